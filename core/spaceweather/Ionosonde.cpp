#include "spaceweather/Ionosonde.h"

#include "support/Endpoints.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace Zelq {

namespace {

const QString stationsLabel = QStringLiteral("Zelq stations");

// Shortest round-trip form, always with a decimal point: 40 → "40.0".
QString coordinateText(double value)
{
    QString text = QLocale::c().toString(value, 'g', QLocale::FloatingPointShortest);
    if (!text.contains(u'.') && !text.contains(u'e'))
        text += QStringLiteral(".0");
    return text;
}

std::optional<double> stationOrRecordNumber(const QJsonObject& station, const QJsonObject& record, const QString& key)
{
    if (station.contains(key))
        return SWPCParser::number(station.value(key));
    return SWPCParser::number(record.value(key));
}

std::optional<IonosondeReading> readingFrom(const QJsonObject& record, const QDateTime& now)
{
    const QJsonValue stationValue = record.value(QStringLiteral("station"));
    const QJsonObject station = stationValue.isObject() ? stationValue.toObject() : QJsonObject();

    const std::optional<double> mufd = SWPCParser::number(record.value(QStringLiteral("mufd")));
    if (!mufd || !(*mufd > 0))
        return std::nullopt;
    const std::optional<double> latitude = stationOrRecordNumber(station, record, QStringLiteral("latitude"));
    if (!latitude || std::abs(*latitude) > 90)
        return std::nullopt;
    std::optional<double> longitude = stationOrRecordNumber(station, record, QStringLiteral("longitude"));
    if (!longitude || *longitude < -180 || *longitude > 360)
        return std::nullopt;
    // The feed gives longitudes east of Greenwich in 0...360 (some readers
    // of it send -180...180, which passes through unchanged).
    if (*longitude > 180)
        *longitude -= 360;

    const std::optional<QDateTime> time = SWPCParser::date(record.value(QStringLiteral("time")));
    if (time && time->msecsTo(now) > maxAge * 1000)
        return std::nullopt;

    IonosondeReading reading;
    const QJsonValue code = station.value(QStringLiteral("code"));
    const QJsonValue stationCode = record.value(QStringLiteral("station_code"));
    if (code.isString())
        reading.code = code.toString();
    else if (stationCode.isString())
        reading.code = stationCode.toString();
    else
        reading.code = coordinateText(*latitude) + u',' + coordinateText(*longitude);
    const QJsonValue name = station.value(QStringLiteral("name"));
    reading.name = name.isString() ? name.toString() : reading.code;
    reading.coordinate = { *latitude, *longitude };
    reading.mufd = *mufd;
    reading.fof2 = SWPCParser::number(record.value(QStringLiteral("fof2")));
    reading.confidence = SWPCParser::number(record.value(QStringLiteral("cs")));
    // The service sends −1 for a reading it has not scored: no score, not a
    // poor one.
    if (reading.confidence && *reading.confidence < 0)
        reading.confidence.reset();
    reading.time = time;
    return reading;
}

} // namespace

QUrl stationsURL() { return QUrl(Endpoints::zelqBase() + QStringLiteral("/api/stations.json")); }

SWPCParser::Result<QList<IonosondeReading>> parseStations(const QByteArray& data, const QDateTime& now)
{
    const auto json = SWPCParser::parseJson(data);
    if (!json)
        return std::unexpected(json.error());
    if (!json->isArray())
        return std::unexpected(SWPCParser::ParseError::unexpectedFormat(stationsLabel));
    const QJsonArray array = json->toArray();
    for (const QJsonValue& element : array)
        if (!element.isObject())
            return std::unexpected(SWPCParser::ParseError::unexpectedFormat(stationsLabel));

    QList<IonosondeReading> readings;
    for (const QJsonValue& element : array)
        if (auto reading = readingFrom(element.toObject(), now))
            readings.append(std::move(*reading));
    return readings;
}

std::optional<NearestStation> nearest(const GeoCoordinate& point, const QList<IonosondeReading>& readings,
                                      double maxDistanceKm)
{
    std::optional<NearestStation> best;
    for (const IonosondeReading& reading : readings) {
        if (reading.confidence && !(*reading.confidence >= 25))
            continue;
        const double d = GeoMath::distanceKm(point, reading.coordinate);
        if (!(d <= maxDistanceKm))
            continue;
        if (!best || d < best->distanceKm)
            best = NearestStation { reading, d };
    }
    return best;
}

std::optional<Estimate> estimate(const GeoCoordinate& point, const QList<IonosondeReading>& readings)
{
    if (readings.isEmpty())
        return std::nullopt;

    const IonosondeReading* nearestReading = &readings.first();
    double nearestKm = std::numeric_limits<double>::max();
    double weightSum = 0;
    double weightedSum = 0;
    int used = 0;
    for (const IonosondeReading& reading : readings) {
        const double d = GeoMath::distanceKm(point, reading.coordinate);
        if (d < nearestKm) {
            nearestKm = d;
            nearestReading = &reading;
        }
        if (!(d < reachKm))
            continue;
        const double weight = stationWeight(d, quality(reading.confidence));
        weightSum += weight;
        weightedSum += weight * reading.mufd;
        ++used;
    }
    if (!(weightSum > 0))
        return std::nullopt;
    const double confidence = std::max(0.0, std::min(1.0, (3000 - nearestKm) / 2200));
    return Estimate { weightedSum / weightSum, confidence, used, *nearestReading, nearestKm };
}

QString highestOpenBand(double muf)
{
    struct Edge {
        double mhz;
        const char* band;
    };
    static constexpr std::array<Edge, 10> edges { {
        { 50, "6 m" },
        { 28, "10 m" },
        { 24.9, "12 m" },
        { 21, "15 m" },
        { 18.068, "17 m" },
        { 14, "20 m" },
        { 10.1, "30 m" },
        { 7, "40 m" },
        { 3.5, "80 m" },
        { 1.8, "160 m" },
    } };
    for (const Edge& edge : edges)
        if (muf >= edge.mhz)
            return QString::fromLatin1(edge.band);
    return QStringLiteral("below 160 m");
}

} // namespace Zelq
