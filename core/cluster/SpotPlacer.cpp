#include "cluster/SpotPlacer.h"

#include <cmath>

SpotPlacer::SpotPlacer(QList<PrefixEntity> list)
    : labels(std::move(list))
{
    for (const PrefixEntity& label : std::as_const(labels))
        byPrefix.insert(label.prefix.toUpper(), label);
}

double SpotPlacer::distanceKm(double lat1, double lon1, double lat2, double lon2)
{
    const double phi1 = radians(lat1);
    const double phi2 = radians(lat2);
    const double dPhi = radians(lat2 - lat1);
    const double dLambda = radians(lon2 - lon1);
    const double s = std::sin(dPhi / 2);
    const double t = std::sin(dLambda / 2);
    const double a = s * s + std::cos(phi1) * std::cos(phi2) * t * t;
    return 12742.0 * std::asin(std::min(1.0, std::sqrt(a)));
}

PrefixEntity SpotPlacer::label(const CtyEntity& entity) const
{
    if (const auto own = byPrefix.constFind(entity.primaryPrefix.toUpper()); own != byPrefix.cend())
        return *own;
    const PrefixEntity* nearest = nullptr;
    double best = reachKm;
    for (const PrefixEntity& label : labels) {
        const double d = distanceKm(entity.latitude, entity.longitude, label.lat, label.lon);
        if (d < best) {
            best = d;
            nearest = &label;
        }
    }
    if (nearest)
        return *nearest;
    return { entity.primaryPrefix, entity.name, entity.latitude, entity.longitude, entity.continent };
}
