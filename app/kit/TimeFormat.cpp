#include "kit/TimeFormat.h"

#include <QLocale>
#include <QRegularExpression>

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

QString localTimeOfDay(const QDateTime& instant, const QDateTime& now)
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime local = instant.toTimeZone(zone);
    const QLocale locale;
    static const QRegularExpression seconds(QStringLiteral("[:.]ss?"));
    const QString time = locale.toString(local.time(), locale.timeFormat(QLocale::ShortFormat).remove(seconds));
    if (local.date() == now.toTimeZone(zone).date())
        return time;
    return locale.toString(local.date(), QStringLiteral("d MMM yyyy")) + QLatin1Char(' ') + time;
}

QString zoneAbbreviation(const QDateTime& instant, const QTimeZone& zone)
{
    QString name = instant.toTimeZone(zone).timeZoneAbbreviation();
    if (name.startsWith(QLatin1Char('+')) || name.startsWith(QLatin1Char('-')))
        name.prepend(QStringLiteral("UTC"));
    return name;
}

} // namespace TimeFormat
