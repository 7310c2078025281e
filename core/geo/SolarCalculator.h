#pragma once

#include "geo/GeoMath.h"

#include <QDateTime>
#include <QTimeZone>

#include <optional>

// Where the Sun stands, from the low-precision NOAA solar equations (after
// Meeus). Pure functions: no state, callable from any thread. Instants are
// QDateTime values; results are in UTC.
namespace SolarCalculator {

// The Sun's altitude at sunrise and sunset, in degrees (refraction and the
// Sun's radius).
inline constexpr double sunriseAltitude = -0.833;

struct SunPosition {
    double declination = 0;      // degrees
    double equationOfTime = 0;   // minutes, apparent minus mean solar time
    GeoCoordinate subsolarPoint; // latitude equals the declination

    friend bool operator==(const SunPosition&, const SunPosition&) = default;
};

enum class DayKind { normal, polarDay, polarNight };

struct SunTimes {
    std::optional<QDateTime> sunrise; // absent on a polar day or night
    std::optional<QDateTime> sunset;  // absent on a polar day or night
    QDateTime solarNoon;
    DayKind kind = DayKind::normal;

    // Seconds from sunrise to sunset when both exist.
    std::optional<double> dayLength() const;

    friend bool operator==(const SunTimes&, const SunTimes&) = default;
};

struct SunEvent {
    bool isSunrise = false;
    QDateTime time;

    friend bool operator==(const SunEvent&, const SunEvent&) = default;
};

SunPosition position(const QDateTime& instant);

// The Sun's elevation in degrees, −90 … 90, at a place.
double elevation(const GeoCoordinate& place, const GeoCoordinate& subsolarPoint);
double elevation(const GeoCoordinate& place, const QDateTime& instant);

// Sunrise, sunset and solar noon of the local calendar day (in the time
// zone) that contains the instant. Sunrise and sunset may fall outside
// that day. An invalid time zone counts as UTC.
SunTimes sunTimes(const QDateTime& instant, const GeoCoordinate& place, const QTimeZone& timeZone,
                  double altitude = sunriseAltitude);

// The first sunrise or sunset strictly after the instant, looked for over
// the three local days from the instant's on; nothing if none happens there.
std::optional<SunEvent> nextEvent(const QDateTime& after, const GeoCoordinate& place, const QTimeZone& timeZone);

} // namespace SolarCalculator
