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

namespace {

// The start's trigonometry, shared by every point of a path.
struct Start {
    double lambda1;
    double sinPhi1;
    double cosPhi1;
    double sinTheta;
    double cosTheta;

    Start(const GeoCoordinate& from, double bearing)
        : lambda1(radians(from.longitude))
        , sinPhi1(std::sin(radians(from.latitude)))
        , cosPhi1(std::cos(radians(from.latitude)))
        , sinTheta(std::sin(radians(bearing)))
        , cosTheta(std::cos(radians(bearing)))
    {
    }

    GeoCoordinate at(double delta) const
    {
        const double sinDelta = std::sin(delta);
        const double cosDelta = std::cos(delta);
        const double phi2 = std::asin(cosPhi1 * sinDelta * cosTheta + sinPhi1 * cosDelta);
        const double lambda2 = lambda1 + std::atan2(sinTheta * sinDelta * cosPhi1, cosDelta - sinPhi1 * std::sin(phi2));
        return GeoCoordinate { degrees(phi2), wrap180(degrees(lambda2)) };
    }
};

} // namespace

GeoCoordinate destination(const GeoCoordinate& from, double bearing, double distanceKm)
{
    return Start(from, bearing).at(distanceKm / earthRadiusKm);
}

QList<GeoCoordinate> greatCirclePath(const GeoCoordinate& from, double bearing, double lengthKm, int steps)
{
    const Start start(from, bearing);
    if (steps <= 0)
        return { start.at(0.0) };
    QList<GeoCoordinate> points;
    points.reserve(qsizetype(steps) + 1);
    for (int i = 0; i <= steps; ++i)
        points.append(start.at(double(i) * lengthKm / double(steps) / earthRadiusKm));
    return points;
}

} // namespace GeoMath
