#include "geo/GeoMath.h"

#include <QJsonValue>

#include <algorithm>
#include <bit>

std::optional<GeoCoordinate> GeoCoordinate::fromJson(const QJsonObject& object)
{
    const QJsonValue latitude = object.value(QLatin1String("latitude"));
    const QJsonValue longitude = object.value(QLatin1String("longitude"));
    if (!latitude.isDouble() || !longitude.isDouble())
        return std::nullopt;
    return GeoCoordinate { latitude.toDouble(), longitude.toDouble() };
}

QJsonObject GeoCoordinate::toJson() const
{
    return QJsonObject { { QLatin1String("latitude"), latitude }, { QLatin1String("longitude"), longitude } };
}

size_t qHash(const GeoCoordinate& coordinate, size_t seed) noexcept
{
    // −0 == +0 compares equal, so both must feed the same bits.
    auto bits = [](double value) { return std::bit_cast<quint64>(value == 0.0 ? 0.0 : value); };
    return qHashMulti(seed, bits(coordinate.latitude), bits(coordinate.longitude));
}

namespace GeoMath {

double distanceKm(const GeoCoordinate& from, const GeoCoordinate& to)
{
    const double phi1 = radians(from.latitude);
    const double phi2 = radians(to.latitude);
    const double sinHalfDPhi = std::sin((phi2 - phi1) / 2.0);
    const double sinHalfDLambda = std::sin((radians(to.longitude) - radians(from.longitude)) / 2.0);
    const double h = sinHalfDPhi * sinHalfDPhi + std::cos(phi1) * std::cos(phi2) * sinHalfDLambda * sinHalfDLambda;
    // Rounding can push h a hair above 1 for antipodal points.
    return 2.0 * earthRadiusKm * std::asin(std::min(1.0, std::sqrt(h)));
}

double bearing(const GeoCoordinate& from, const GeoCoordinate& to)
{
    const double phi1 = radians(from.latitude);
    const double phi2 = radians(to.latitude);
    const double dLambda = radians(to.longitude) - radians(from.longitude);
    const double y = std::sin(dLambda) * std::cos(phi2);
    const double x = std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(dLambda);
    return wrap360(degrees(std::atan2(y, x)));
}

Course::Course(const GeoCoordinate& from, double bearing)
    : m_lambda1(radians(from.longitude))
    , m_sinPhi1(std::sin(radians(from.latitude)))
    , m_cosPhi1(std::cos(radians(from.latitude)))
    , m_sinTheta(std::sin(radians(bearing)))
    , m_cosTheta(std::cos(radians(bearing)))
{
}

GeoCoordinate Course::at(double distanceKm) const
{
    const double delta = distanceKm / earthRadiusKm;
    const double sinDelta = std::sin(delta);
    const double cosDelta = std::cos(delta);
    const double phi2 = std::asin(m_cosPhi1 * sinDelta * m_cosTheta + m_sinPhi1 * cosDelta);
    const double lambda2
        = m_lambda1 + std::atan2(m_sinTheta * sinDelta * m_cosPhi1, cosDelta - m_sinPhi1 * std::sin(phi2));
    return GeoCoordinate { degrees(phi2), wrap180(degrees(lambda2)) };
}

GeoCoordinate destination(const GeoCoordinate& from, double bearing, double distanceKm)
{
    return Course(from, bearing).at(distanceKm);
}

QList<GeoCoordinate> greatCirclePath(const GeoCoordinate& from, double bearing, double lengthKm, int steps)
{
    const Course course(from, bearing);
    if (steps <= 0)
        return { course.at(0.0) };
    QList<GeoCoordinate> points;
    points.reserve(qsizetype(steps) + 1);
    for (int i = 0; i <= steps; ++i)
        points.append(course.at(double(i) * lengthKm / double(steps)));
    return points;
}

} // namespace GeoMath
