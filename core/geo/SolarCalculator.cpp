#include "geo/SolarCalculator.h"

#include <algorithm>
#include <cmath>

namespace SolarCalculator {

namespace {

double secondsSinceEpoch(const QDateTime& instant) { return double(instant.toMSecsSinceEpoch()) / 1000.0; }

// Whole milliseconds; a non-finite time (from a NaN place) gives an invalid
// instant rather than undefined behaviour.
QDateTime instantAt(double seconds)
{
    if (!std::isfinite(seconds))
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000.0)), QTimeZone::utc());
}

SunPosition positionAt(double t)
{
    const double jd = t / 86400.0 + 2440587.5;
    const double T = (jd - 2451545.0) / 36525.0;

    const double L0 = wrap360(280.46646 + T * (36000.76983 + 0.0003032 * T));
    const double M = 357.52911 + T * (35999.05029 - 0.0001537 * T);
    const double e = 0.016708634 - T * (0.000042037 + 0.0000001267 * T);
    const double Mr = radians(M);
    const double C = std::sin(Mr) * (1.914602 - T * (0.004817 + 0.000014 * T))
        + std::sin(2 * Mr) * (0.019993 - 0.000101 * T) + std::sin(3 * Mr) * 0.000289;
    const double omega = radians(125.04 - 1934.136 * T);
    const double lambda = L0 + C - 0.00569 - 0.00478 * std::sin(omega);
    const double epsilon0 = 23.0 + (26.0 + (21.448 - T * (46.815 + T * (0.00059 - 0.001813 * T))) / 60.0) / 60.0;
    const double epsilon = epsilon0 + 0.00256 * std::cos(omega);

    const double declination = degrees(std::asin(std::sin(radians(epsilon)) * std::sin(radians(lambda))));

    const double tanHalf = std::tan(radians(epsilon) / 2.0);
    const double y = tanHalf * tanHalf;
    const double L0r = radians(L0);
    const double E = y * std::sin(2 * L0r) - 2 * e * std::sin(Mr) + 4 * e * y * std::sin(Mr) * std::cos(2 * L0r)
        - 0.5 * y * y * std::sin(4 * L0r) - 1.25 * e * e * std::sin(2 * Mr);
    const double equationOfTime = 4.0 * degrees(E);

    double daySeconds = std::fmod(t, 86400.0);
    if (daySeconds < 0)
        daySeconds += 86400.0;
    const double utcMinutes = daySeconds / 60.0;

    return SunPosition { declination, equationOfTime,
                         GeoCoordinate { declination, wrap180((720.0 - utcMinutes - equationOfTime) / 4.0) } };
}

// The hour angle (degrees) at which the Sun crosses the altitude: nothing
// when it never climbs that high, −1 when it never sinks that low.
std::optional<double> hourAngle(double t, double latitude, double altitude)
{
    const double delta = radians(positionAt(t).declination);
    const double phi = radians(latitude);
    const double c
        = (std::sin(radians(altitude)) - std::sin(delta) * std::sin(phi)) / (std::cos(delta) * std::cos(phi));
    if (c > 1)
        return std::nullopt;
    if (c < -1)
        return -1.0;
    if (std::isnan(c)) // 0 ÷ 0 at a pole, or a NaN place: no crossing to find
        return std::nullopt;
    return degrees(std::acos(c));
}

} // namespace

std::optional<double> SunTimes::dayLength() const
{
    if (!sunrise || !sunset)
        return std::nullopt;
    return double(sunrise->msecsTo(*sunset)) / 1000.0;
}

SunPosition position(const QDateTime& instant) { return positionAt(secondsSinceEpoch(instant)); }

double elevation(const GeoCoordinate& place, const GeoCoordinate& subsolarPoint)
{
    const double phi = radians(place.latitude);
    const double delta = radians(subsolarPoint.latitude);
    const double H = radians(place.longitude - subsolarPoint.longitude);
    const double x = std::cos(H) * std::cos(phi) * std::cos(delta) + std::sin(delta) * std::sin(phi);
    // Rounding may leave asin's domain at the subsolar point and its antipode.
    return degrees(std::asin(std::max(std::min(x, 1.0), -1.0)));
}

double elevation(const GeoCoordinate& place, const QDateTime& instant)
{
    return elevation(place, position(instant).subsolarPoint);
}

SunTimes sunTimes(const QDateTime& instant, const GeoCoordinate& place, const QTimeZone& timeZone, double altitude)
{
    const QTimeZone zone = timeZone.isValid() ? timeZone : QTimeZone::utc();
    // startOfDay copes with days whose midnight a daylight-saving change
    // skips; the noon estimate is 12 hours of elapsed time after it.
    const QDate day = instant.toTimeZone(zone).date();
    double noon = secondsSinceEpoch(day.startOfDay(zone)) + 43200.0;

    for (int i = 0; i < 3; ++i) {
        const SunPosition sun = positionAt(noon);
        noon += wrap180(sun.subsolarPoint.longitude - place.longitude) / 15.0 * 3600.0;
    }

    SunTimes times;
    times.solarNoon = instantAt(noon);
    const std::optional<double> H = hourAngle(noon, place.latitude, altitude);
    if (!H) {
        times.kind = DayKind::polarNight;
        return times;
    }
    if (*H < 0) {
        times.kind = DayKind::polarDay;
        return times;
    }

    // One refinement each, both from the first estimates at noon.
    const double sunrise0 = noon - *H / 15.0 * 3600.0;
    const double sunset0 = noon + *H / 15.0 * 3600.0;
    const std::optional<double> H1 = hourAngle(sunrise0, place.latitude, altitude);
    const std::optional<double> H2 = hourAngle(sunset0, place.latitude, altitude);
    times.kind = DayKind::normal;
    times.sunrise = instantAt(H1 && *H1 >= 0 ? noon - *H1 / 15.0 * 3600.0 : sunrise0);
    times.sunset = instantAt(H2 && *H2 >= 0 ? noon + *H2 / 15.0 * 3600.0 : sunset0);
    return times;
}

std::optional<SunEvent> nextEvent(const QDateTime& after, const GeoCoordinate& place, const QTimeZone& timeZone)
{
    std::optional<SunEvent> best;
    auto consider = [&](bool isSunrise, const std::optional<QDateTime>& time) {
        // Strictly later; on a tie the earlier candidate stays.
        if (time && time->isValid() && *time > after && (!best || *time < best->time))
            best = SunEvent { isSunrise, *time };
    };
    for (int k = 0; k < 3; ++k) {
        const SunTimes times = sunTimes(after.addSecs(qint64(k) * 86400), place, timeZone, sunriseAltitude);
        consider(true, times.sunrise);
        consider(false, times.sunset);
    }
    return best;
}

} // namespace SolarCalculator
