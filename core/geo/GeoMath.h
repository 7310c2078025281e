#pragma once

#include <QHashFunctions>
#include <QJsonObject>
#include <QList>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>

// A point on the Earth, in degrees, north and east positive. Nothing is
// validated or normalised on construction.
struct GeoCoordinate {
    double latitude = 0;
    double longitude = 0;

    // Plain floating-point comparison: a coordinate holding NaN is not equal
    // to itself.
    friend bool operator==(const GeoCoordinate&, const GeoCoordinate&) = default;

    // JSON form {"latitude": …, "longitude": …}. Reading is strict: both keys
    // must be present and hold numbers; any other key is ignored.
    static std::optional<GeoCoordinate> fromJson(const QJsonObject& object);
    QJsonObject toJson() const;
};

// Hashes the bit patterns of latitude then longitude, with −0 taken as +0 so
// that equal coordinates hash alike.
size_t qHash(const GeoCoordinate& coordinate, size_t seed = 0) noexcept;

template <>
struct std::hash<GeoCoordinate> {
    size_t operator()(const GeoCoordinate& coordinate) const noexcept { return qHash(coordinate); }
};

// Angle helpers used throughout the core library. Multiplication comes
// before division so results match the reference values bit for bit.
inline double radians(double angle) { return angle * std::numbers::pi / 180.0; }
inline double degrees(double angle) { return angle * 180.0 / std::numbers::pi; }

// Brings an angle into (−180, 180]: −180 and 540 both become +180.
inline double wrap180(double angle)
{
    double r = std::fmod(angle, 360.0);
    if (r <= -180.0)
        r += 360.0;
    if (r > 180.0)
        r -= 360.0;
    return r;
}

// Brings an angle into [0, 360). A tiny negative angle may round up to 360.
inline double wrap360(double angle)
{
    double r = std::fmod(angle, 360.0);
    if (r < 0)
        r += 360.0;
    return r;
}

// Great-circle computations on a sphere of radius 6371 km; angles in
// degrees, distances in kilometres.
namespace GeoMath {

inline constexpr double earthRadiusKm = 6371.0;
// The long path between two places is this minus the short-path distance.
inline constexpr double earthCircumferenceKm = 2.0 * std::numbers::pi * earthRadiusKm;

// Haversine distance, 0 up to half the circumference.
double distanceKm(const GeoCoordinate& from, const GeoCoordinate& to);

// Initial bearing at `from` towards `to`, clockwise from true north, in
// [0, 360). Identical points give 0.
double bearing(const GeoCoordinate& from, const GeoCoordinate& to);

// The point reached from `from` along the initial bearing after the
// distance; its longitude is wrapped into (−180, 180].
GeoCoordinate destination(const GeoCoordinate& from, double bearing, double distanceKm);

// Points along one initial bearing from a start, the start's trigonometry
// worked out once for all of them: at(km) is destination(from, bearing, km).
class Course {
public:
    Course(const GeoCoordinate& from, double bearing);
    GeoCoordinate at(double distanceKm) const;

private:
    double m_lambda1;
    double m_sinPhi1;
    double m_cosPhi1;
    double m_sinTheta;
    double m_cosTheta;
};

// steps + 1 points evenly spaced along the great circle, the first at the
// start and the last lengthKm away. A count of 0 or below gives the start
// point alone.
QList<GeoCoordinate> greatCirclePath(const GeoCoordinate& from, double bearing, double lengthKm, int steps);

} // namespace GeoMath
