#include "cluster/SpotPlacer.h"

#include "geo/GeoMath.h"

SpotPlacer::SpotPlacer(QList<PrefixEntity> list)
    : labels(std::move(list))
{
    for (const PrefixEntity& label : std::as_const(labels))
        byPrefix.insert(label.prefix.toUpper(), label);
}

PrefixEntity SpotPlacer::label(const CtyEntity& entity) const
{
    if (const auto own = byPrefix.constFind(entity.primaryPrefix.toUpper()); own != byPrefix.cend())
        return *own;
    const PrefixEntity* nearest = nullptr;
    double best = reachKm;
    for (const PrefixEntity& label : labels) {
        const double d = GeoMath::distanceKm(entity.coordinate(), label.coordinate());
        if (d < best) {
            best = d;
            nearest = &label;
        }
    }
    if (nearest)
        return *nearest;
    return { entity.primaryPrefix, entity.name, entity.latitude, entity.longitude, entity.continent };
}
