#include "kit/TimeFormat.h"

#include <QLocale>

DateFormatter::DateFormatter(QString format, QTimeZone zone)
    : m_format(std::move(format))
    , m_zone(std::move(zone))
{
}

QString DateFormatter::string(const QDateTime& instant) const
{
    return QLocale::c().toString(instant.toTimeZone(m_zone), m_format);
}

namespace TimeFormat {

namespace {

std::map<QString, DateFormatter>& entries()
{
    static std::map<QString, DateFormatter> formatters;
    return formatters;
}

} // namespace

QString key(const QString& format, const QTimeZone& zone)
{
    return format + QLatin1Char('|') + QString::fromUtf8(zone.id());
}

const DateFormatter& formatter(const QString& format, const QTimeZone& zone)
{
    std::map<QString, DateFormatter>& all = entries();
    const QString k = key(format, zone);
    auto it = all.find(k);
    if (it == all.end())
        it = all.emplace(k, DateFormatter(format, zone)).first;
    // Map nodes never move, so the reference stays good as the cache grows.
    return it->second;
}

const std::map<QString, DateFormatter>& cache() { return entries(); }

} // namespace TimeFormat
