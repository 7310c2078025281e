#pragma once

#include "geo/SolarCalculator.h"
#include "support/SettingsCatalogue.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QString>
#include <QTimeZone>

#include <optional>

class Settings;

// How the clocks and the sun card draw their times, from the clock settings
// and the 24-hour switch; the defaults are the keys' reader defaults.
struct ClockLook {
    QString family = QString::fromUtf8(SettingKeys::clockFontFamily.fallback);
    double size = SettingKeys::clockFontSize.fallback; // the clocks' size, view points; sun times take 3/4
    bool bold = SettingKeys::clockFontBold.fallback;
    QString colour = QString::fromUtf8(SettingKeys::clockFontColor.fallback); // empty: the card's own colour
    bool seconds = SettingKeys::clockShowSeconds.fallback;
    bool use24Hour = SettingKeys::use24Hour.fallback;

    static ClockLook fromSettings(const Settings& settings);
    // True for the keys the look is read from.
    static bool followsKey(const QString& changed);

    QFont clockFont() const;
    QFont sunFont() const;
    // White unless a colour is set.
    QColor clockColour() const;
    // The primary text colour unless a colour is set.
    QColor sunColour() const;

    friend bool operator==(const ClockLook&, const ClockLook&) = default;
};

// The texts of the clocks and the sun card. Times and numbers are written
// the same under every locale; only the date line and the zone's name
// follow the user's.
namespace ClockText {

// "HH:mm", "HH:mm:ss", "h:mm AP" or "h:mm:ss AP" (Qt's forms of the clock
// patterns).
QString timePattern(bool use24Hour, bool seconds);
// "14:05:09", "14:05", "2:05:09 PM" or "2:05 PM" in the zone, through the
// shared formatter cache.
QString time(const QDateTime& instant, const QTimeZone& zone, bool use24Hour, bool seconds);
// "Sun 6 Dec 2026": weekday and month named in the user's current locale;
// "6 Dec 2026" without the weekday, for a narrow card.
QString date(const QDateTime& instant, const QTimeZone& zone, bool weekday = true);
// "Local · " and the zone's long name in the user's locale, its summer form
// while daylight-saving time is in force at the instant; the zone's
// identifier when the zone has no name. With the short name, for a card
// too narrow for the long one, the zone's abbreviation ("Local · CEST"),
// as the aurora legend names it.
QString localTitle(const QTimeZone& zone, const QDateTime& instant, QTimeZone::NameType name = QTimeZone::LongName);

// "06:42" or "6:42 AM": sun times never show seconds.
QString sunTime(const QDateTime& instant, const QTimeZone& zone, bool use24Hour);
// "3h 07m": whole hours and the minutes left; negative counts as 0.
QString duration(double seconds);
// "Elevation 23.4°", with a point whatever the locale.
QString elevation(double degrees);
// The polar texts, "Sunrise in 1h 05m" / "Sunset in …", or an empty text;
// briefly, for a narrow card, "Midnight sun", "Polar night", "Rise in 1h
// 05m" / "Set in …".
QString eventLine(const SolarCalculator::SunTimes& times, const std::optional<SolarCalculator::SunEvent>& next,
                  const QDateTime& now, bool brief = false);
// "Day 7h 31m" when both sunrise and sunset exist, else an empty text.
QString dayLength(const SolarCalculator::SunTimes& times);

} // namespace ClockText
