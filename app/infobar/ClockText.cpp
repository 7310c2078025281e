#include "infobar/ClockText.h"

#include "kit/Color.h"
#include "kit/LabelFonts.h"
#include "kit/PanelStyle.h"
#include "kit/TimeFormat.h"
#include "support/NumberText.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QLocale>

#include <cmath>

ClockLook ClockLook::fromSettings(const Settings& settings)
{
    return ClockLook {
        settings.get(SettingKeys::clockFontFamily),  settings.get(SettingKeys::clockFontSize),
        settings.get(SettingKeys::clockFontBold),    settings.get(SettingKeys::clockFontColor),
        settings.get(SettingKeys::clockShowSeconds), settings.get(SettingKeys::use24Hour),
    };
}

bool ClockLook::followsKey(const QString& changed)
{
    return isKey(changed, SettingKeys::clockFontFamily) || isKey(changed, SettingKeys::clockFontSize)
        || isKey(changed, SettingKeys::clockFontBold) || isKey(changed, SettingKeys::clockFontColor)
        || isKey(changed, SettingKeys::clockShowSeconds) || isKey(changed, SettingKeys::use24Hour);
}

QFont ClockLook::clockFont() const { return clockDisplayFont(family, size, bold); }
QFont ClockLook::sunFont() const { return clockDisplayFont(family, size * 0.75, bold); }
QColor ClockLook::clockColour() const { return colour.isEmpty() ? QColor(Qt::white) : Color::fromHex(colour); }
QColor ClockLook::sunColour() const { return colour.isEmpty() ? PanelStyle::primaryText() : Color::fromHex(colour); }

namespace ClockText {

QString timePattern(bool use24Hour, bool seconds)
{
    QString pattern = use24Hour ? QStringLiteral("HH:mm") : QStringLiteral("h:mm");
    if (seconds)
        pattern += QStringLiteral(":ss");
    if (!use24Hour)
        pattern += QStringLiteral(" AP");
    return pattern;
}

QString time(const QDateTime& instant, const QTimeZone& zone, bool use24Hour, bool seconds)
{
    return TimeFormat::formatter(timePattern(use24Hour, seconds), zone).string(instant);
}

QString date(const QDateTime& instant, const QTimeZone& zone, bool weekday)
{
    return QLocale().toString(instant.toTimeZone(zone),
                              weekday ? QStringLiteral("ddd d MMM yyyy") : QStringLiteral("d MMM yyyy"));
}

QString localTitle(const QTimeZone& zone, const QDateTime& instant, QTimeZone::NameType nameType)
{
    if (nameType == QTimeZone::ShortName)
        return QStringLiteral("Local · ") + TimeFormat::zoneAbbreviation(instant, zone);
    const QTimeZone::TimeType type = zone.isDaylightTime(instant) ? QTimeZone::DaylightTime : QTimeZone::StandardTime;
    QString name = zone.displayName(type, nameType, QLocale());
    if (name.isEmpty())
        name = QString::fromUtf8(zone.id());
    return QStringLiteral("Local · ") + name;
}

QString sunTime(const QDateTime& instant, const QTimeZone& zone, bool use24Hour)
{
    return time(instant, zone, use24Hour, false);
}

QString duration(double seconds)
{
    const double whole = std::isfinite(seconds) ? std::trunc(seconds) : 0;
    const qint64 minutes = whole > 0 ? qint64(whole / 60) : 0;
    return QStringLiteral("%1h %2m").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString elevation(double degrees)
{
    return QStringLiteral("Elevation ") + NumberText::printf("%.1f", degrees) + QStringLiteral("°");
}

QString eventLine(const SolarCalculator::SunTimes& times, const std::optional<SolarCalculator::SunEvent>& next,
                  const QDateTime& now, bool brief)
{
    switch (times.kind) {
    case SolarCalculator::DayKind::polarDay:
        return brief ? QStringLiteral("Midnight sun") : QStringLiteral("Midnight sun, no sunset today");
    case SolarCalculator::DayKind::polarNight:
        return brief ? QStringLiteral("Polar night") : QStringLiteral("Polar night, no sunrise today");
    case SolarCalculator::DayKind::normal:
        break;
    }
    if (!next)
        return {};
    const double seconds = double(now.msecsTo(next->time)) / 1000.0;
    if (brief)
        return (next->isSunrise ? QStringLiteral("Rise in ") : QStringLiteral("Set in ")) + duration(seconds);
    return (next->isSunrise ? QStringLiteral("Sunrise in ") : QStringLiteral("Sunset in ")) + duration(seconds);
}

QString dayLength(const SolarCalculator::SunTimes& times)
{
    const std::optional<double> length = times.dayLength();
    return length ? QStringLiteral("Day ") + duration(*length) : QString();
}

} // namespace ClockText
