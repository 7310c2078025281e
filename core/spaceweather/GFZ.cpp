#include "spaceweather/GFZ.h"

#include "support/Endpoints.h"
#include "support/RawValue.h"

#include <QJsonArray>
#include <QJsonObject>

QString rawValue(IndexSource source)
{
    switch (source) {
    case IndexSource::noaa:
        return QStringLiteral("noaa");
    case IndexSource::gfz:
        return QStringLiteral("gfz");
    }
    return {};
}

std::optional<IndexSource> indexSourceFromRaw(QStringView text) { return findRaw(allIndexSources, text); }

namespace GFZ {

QString rawValue(Index index)
{
    switch (index) {
    case Index::kp:
        return QStringLiteral("Kp");
    case Index::ap:
        return QStringLiteral("Ap");
    case Index::sunspots:
        return QStringLiteral("SN");
    case Index::flux:
        return QStringLiteral("Fobs");
    }
    return {};
}

std::optional<Index> indexFromRaw(QStringView text)
{
    static constexpr std::array allIndices { Index::kp, Index::ap, Index::sunspots, Index::flux };
    return findRaw(allIndices, text);
}

QString base() { return Endpoints::gfzBase() + QStringLiteral("/app/json/"); }

QUrl url(Index index, int days, const QDateTime& now)
{
    const auto stamp = [](const QDateTime& t) {
        QDateTime whole = t.toUTC();
        whole.setTime(QTime(whole.time().hour(), whole.time().minute(), whole.time().second()));
        return whole.toString(Qt::ISODate);
    };
    const QDateTime start = now.addSecs(-qint64(days) * 86400);
    return QUrl(base()
                + QStringLiteral("?start=") + stamp(start)
                                 + QStringLiteral("&end=") + stamp(now) + QStringLiteral("&index=") + rawValue(index));
}

namespace {

SWPCParser::Range range(Index index)
{
    switch (index) {
    case Index::kp:
        return SWPCParser::Ranges::kp;
    case Index::ap:
        return SWPCParser::Ranges::aIndex;
    case Index::sunspots:
        return SWPCParser::Ranges::sunspots;
    case Index::flux:
        return SWPCParser::Ranges::solarFlux;
    }
    return SWPCParser::Ranges::kp;
}

} // namespace

SWPCParser::Result<Value> latest(const QByteArray& data, Index index)
{
    const auto json = SWPCParser::parseJson(data);
    if (!json)
        return std::unexpected(json.error());
    const QString label = QStringLiteral("GFZ ") + rawValue(index);
    const QJsonObject top = json->toObject();
    const QJsonValue valuesMember = top.value(rawValue(index));
    if (!json->isObject() || !valuesMember.isArray())
        return std::unexpected(SWPCParser::ParseError::unexpectedFormat(label));

    const QJsonArray values = valuesMember.toArray();
    const QJsonValue timesMember = top.value(QStringLiteral("datetime"));
    const QJsonArray times = timesMember.isArray() ? timesMember.toArray() : QJsonArray();
    for (qsizetype i = values.size() - 1; i >= 0; --i) {
        // The service writes -1 where it has no value.
        const std::optional<double> value = range(index)(SWPCParser::number(values.at(i)));
        if (!value)
            continue;
        std::optional<QDateTime> time;
        if (i < times.size())
            time = SWPCParser::date(times.at(i));
        return Value { *value, time };
    }
    return std::unexpected(SWPCParser::ParseError::unexpectedFormat(label + QStringLiteral(": no valid values")));
}

} // namespace GFZ
