#include "spaceweather/SWPCFeeds.h"

#include "support/Endpoints.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace SWPCEndpoint {

namespace {

QUrl product(const char* path) { return QUrl(base().toString() + u'/' + QString::fromLatin1(path)); }

} // namespace

QUrl base() { return QUrl(Endpoints::swpcBase()); }

#define SWPC_PRODUCT(name, path)                                                                                       \
    QUrl name() { return product(path); }

SWPC_PRODUCT(ovationAurora, "json/ovation_aurora_latest.json")
SWPC_PRODUCT(kp1Minute, "json/planetary_k_index_1m.json")
SWPC_PRODUCT(kp3Hour, "products/noaa-planetary-k-index.json")
SWPC_PRODUCT(f107, "json/f107_cm_flux.json")
SWPC_PRODUCT(f107Summary, "products/summary/10cm-flux.json")
SWPC_PRODUCT(magSummary, "products/summary/solar-wind-mag-field.json")
SWPC_PRODUCT(windSummary, "products/summary/solar-wind-speed.json")
SWPC_PRODUCT(sunspotsDaily, "json/solar-cycle/swpc_observed_ssn.json")
SWPC_PRODUCT(sunspotsMonthly, "json/solar-cycle/observed-solar-cycle-indices.json")

#undef SWPC_PRODUCT

} // namespace SWPCEndpoint

namespace SWPCParser {

namespace {

std::unexpected<ParseError> refuse(const char* label)
{
    return std::unexpected(ParseError::unexpectedFormat(QString::fromLatin1(label)));
}

// Members of a summary object or of a table record.
template <typename Object>
QJsonValue member(const Object& object, const char* key)
{
    return object.value(QString::fromLatin1(key));
}

// The member under the first of `keys` the object has, whatever its value;
// absent when it has none of them.
template <typename Object>
QJsonValue firstPresent(const Object& object, std::initializer_list<const char*> keys)
{
    for (const char* key : keys)
        if (object.contains(QString::fromLatin1(key)))
            return member(object, key);
    return QJsonValue(QJsonValue::Undefined);
}

// A value with its time; picking the latest treats a missing time as the
// earliest, and the first of equal times wins.
template <typename T>
struct Timed {
    T value;
    std::optional<QDateTime> time;
};

template <typename T>
std::optional<Timed<T>> latest(const QList<Timed<T>>& candidates)
{
    if (candidates.isEmpty())
        return std::nullopt;
    Timed<T> best = candidates.first();
    for (const Timed<T>& candidate : candidates)
        if (candidate.time && (!best.time || *candidate.time > *best.time))
            best = candidate;
    return best;
}

// Row r is latitude 90 - r; column c is longitude -180 + c.
std::optional<qsizetype> auroraCell(double longitude, double latitude)
{
    const double row = std::round(90 - latitude);
    if (!(row >= 0 && row <= AuroraGrid::height - 1))
        return std::nullopt;
    // The forecast leaves the tropics out.
    if (std::abs(latitude) < 25)
        return std::nullopt;
    const double rounded = std::round(wrap360(longitude + 180));
    if (!(rounded >= 0 && rounded <= 360))
        return std::nullopt;
    const int column = int(rounded) % AuroraGrid::width;
    return qsizetype(row) * AuroraGrid::width + column;
}

std::uint8_t auroraByte(double value) { return std::uint8_t(value); }

} // namespace

Result<AuroraGrid> aurora(const QByteArray& data)
{
    constexpr const char* label = "OVATION aurora";
    const auto json = parseJson(data);
    if (!json)
        return std::unexpected(json.error());
    if (!json->isObject())
        return refuse(label);
    const QJsonObject top = json->toObject();
    const QJsonValue coordinatesValue = member(top, "coordinates");
    if (!coordinatesValue.isArray())
        return refuse(label);
    const QJsonArray coordinates = coordinatesValue.toArray();
    for (const QJsonValue& element : coordinates)
        if (!element.isArray())
            return refuse(label);

    AuroraGrid grid;
    grid.values.assign(std::size_t(AuroraGrid::width) * AuroraGrid::height, 0);
    for (const QJsonValue& element : coordinates) {
        const QJsonArray point = element.toArray();
        if (point.size() < 3)
            continue;
        const std::optional<double> longitude = number(point.at(0));
        const std::optional<double> latitude = number(point.at(1));
        const std::optional<double> value = Ranges::aurora(number(point.at(2)));
        if (!longitude || !latitude || !value)
            continue;
        if (const auto cell = auroraCell(*longitude, *latitude))
            grid.values[std::size_t(*cell)] = auroraByte(*value);
    }
    grid.observationTime = date(member(top, "Observation Time"));
    grid.forecastTime = date(member(top, "Forecast Time"));
    return grid;
}

Result<KpNow> kpNow(const QByteArray& data)
{
    const auto json = parseJson(data);
    if (!json)
        return std::unexpected(json.error());
    const QList<Record> list = records(*json);
    for (auto it = list.crbegin(); it != list.crend(); ++it) {
        std::optional<double> kp = Ranges::kp(number(member(*it, "estimated_kp")));
        if (!kp)
            kp = Ranges::kp(number(member(*it, "kp_index")));
        if (kp)
            return KpNow { *kp, date(member(*it, "time_tag")) };
    }
    return refuse("Kp 1-minute");
}

Result<QList<KpSample>> kpHistory(const QByteArray& data)
{
    const auto json = parseJson(data);
    if (!json)
        return std::unexpected(json.error());
    QList<KpSample> samples;
    for (const Record& record : records(*json)) {
        const std::optional<QDateTime> time = date(member(record, "time_tag"));
        if (!time)
            continue;
        const std::optional<double> kp = Ranges::kp(number(firstPresent(record, { "Kp", "kp" })));
        if (!kp)
            continue;
        samples.append(KpSample { *time, *kp, Ranges::aIndex(number(member(record, "a_running"))) });
    }
    if (samples.isEmpty())
        return refuse("Kp 3-hour");
    std::stable_sort(samples.begin(), samples.end(),
                     [](const KpSample& a, const KpSample& b) { return a.time < b.time; });
    return samples;
}

Result<SolarFlux> solarFlux(const QByteArray& data)
{
    const auto json = parseJson(data);
    if (!json)
        return std::unexpected(json.error());
    if (json->isObject()) {
        const QJsonObject summary = json->toObject();
        if (const auto flux = Ranges::solarFlux(number(firstPresent(summary, { "Flux", "flux" }))))
            return SolarFlux { *flux, date(firstPresent(summary, { "TimeStamp", "time_tag" })) };
    }
    QList<Timed<double>> candidates;
    for (const Record& record : records(*json))
        if (const auto flux = Ranges::solarFlux(number(member(record, "flux"))))
            candidates.append({ *flux, date(member(record, "time_tag")) });
    const auto best = latest(candidates);
    if (!best)
        return refuse("F10.7");
    return SolarFlux { best->value, best->time };
}

Result<Sunspots> sunspots(const QByteArray& data)
{
    const auto json = parseJson(data);
    if (!json)
        return std::unexpected(json.error());
    QList<Timed<double>> candidates;
    for (const Record& record : records(*json)) {
        // The products write -1 where they have no number.
        const auto ssn = Ranges::sunspots(number(firstPresent(record, { "swpc_ssn", "ssn", "observed_swpc_ssn" })));
        if (!ssn)
            continue;
        std::optional<QDateTime> time = date(firstPresent(record, { "Obsdate", "obsdate", "time_tag" }));
        const QJsonValue month = member(record, "time-tag");
        if (!time && month.isString())
            time = date(QJsonValue(month.toString() + QStringLiteral("-01T00:00:00")));
        candidates.append({ *ssn, time });
    }
    const auto best = latest(candidates);
    if (!best)
        return refuse("sunspots");
    return Sunspots { best->value, best->time };
}

Result<MagField> magField(const QByteArray& data)
{
    constexpr const char* label = "solar wind mag";
    const auto json = parseJson(data);
    if (!json)
        return std::unexpected(json.error());
    if (json->isObject()) {
        const QJsonObject summary = json->toObject();
        return MagField { Ranges::magField(number(member(summary, "Bt"))),
                          Ranges::magField(number(member(summary, "Bz"))) };
    }
    // The same summary as a list of timed records with lower-case keys.
    QList<Timed<MagField>> candidates;
    for (const Record& record : records(*json)) {
        const MagField field { Ranges::magField(number(member(record, "bt"))),
                               Ranges::magField(number(member(record, "bz_gsm"))) };
        if (field.bt || field.bz)
            candidates.append({ field, date(member(record, "time_tag")) });
    }
    const auto best = latest(candidates);
    if (!best)
        return refuse(label);
    return best->value;
}

Result<double> windSpeed(const QByteArray& data)
{
    constexpr const char* label = "solar wind speed";
    const auto json = parseJson(data);
    if (!json)
        return std::unexpected(json.error());
    if (json->isObject()) {
        if (const auto speed = Ranges::windSpeed(number(member(json->toObject(), "WindSpeed"))))
            return *speed;
        return refuse(label);
    }
    // The same summary as a list of timed records with lower-case keys.
    QList<Timed<double>> candidates;
    for (const Record& record : records(*json))
        if (const auto speed = Ranges::windSpeed(number(member(record, "proton_speed"))))
            candidates.append({ *speed, date(member(record, "time_tag")) });
    const auto best = latest(candidates);
    if (!best)
        return refuse(label);
    return best->value;
}

} // namespace SWPCParser
