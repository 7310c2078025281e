#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <map>

// A date formatter fixed to one format and one time zone, always in the C
// locale (never the user's), so "HH:mm" reads 07:05 wherever it runs. The
// format is Qt's date-time format ("HH:mm", "ddd d MMM").
class DateFormatter {
public:
    DateFormatter(QString format, QTimeZone zone);

    QString string(const QDateTime& instant) const;
    const QString& format() const { return m_format; }
    const QTimeZone& zone() const { return m_zone; }

private:
    QString m_format;
    QTimeZone m_zone;
};

// Formatters are costly to set up (the zone's rules are read from the time
// zone database), and the clocks ask for theirs every second: each format
// and zone gets one, made on first use and kept for the life of the
// process. Main thread only; the cache has no lock.
namespace TimeFormat {

// The cache key: the format, "|" and the zone's identifier.
QString key(const QString& format, const QTimeZone& zone);

// The cached formatter for the format and zone, created on a miss.
const DateFormatter& formatter(const QString& format, const QTimeZone& zone);

// The whole cache, for inspection.
const std::map<QString, DateFormatter>& cache();

// An instant as the user's locale writes a short time of day (hours and
// minutes; seconds a locale's short form carries are left out) in the
// computer's time zone, with the date in front when the instant is on
// another day there than `now`: "15:07", or "3 Mar 2024 15:07".
QString localTimeOfDay(const QDateTime& instant, const QDateTime& now);

// The zone's short name at the instant, as the time zone database writes
// it ("CET", "EDT"); a name that is only an offset ("+03") as "UTC+03".
// The local clock and the aurora legend name a zone so, whatever names
// the user's locale has for it ("GMT+1" in some).
QString zoneAbbreviation(const QDateTime& instant, const QTimeZone& zone);

} // namespace TimeFormat
