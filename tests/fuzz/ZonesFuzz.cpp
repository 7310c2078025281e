// A CQ or ITU zone file, and the zone under a point: the prepared index must
// answer what a plain walk over the zones answers.

#include "FuzzSupport.h"

#include "geo/Zones.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto zones = Zones::decode(json);
    if (!zones)
        return 0;

    QList<GeoCoordinate> points { { 0, 0 }, { 89.9, 0 }, { -45, 179.99 }, { 10, -190 }, { 10, 350 }, { NAN, 0 } };
    for (const RadioZone& zone : *zones) {
        FUZZ_CHECK(std::isfinite(zone.labelLat) && std::isfinite(zone.labelLon));
        points.append(zone.labelCoordinate());
        for (const Ring& ring : zone.rings) {
            // The corners, the middle of the first edge and a point just
            // beside the first corner.
            for (qsizetype k = 0; k + 1 < ring.size() && k < 8; k += 2)
                points.append({ ring[k + 1], ring[k] });
            if (ring.size() >= 4) {
                points.append({ (ring[1] + ring[3]) / 2, (ring[0] + ring[2]) / 2 });
                points.append({ ring[1] + 1e-9, ring[0] - 1e-9 });
            }
        }
        if (points.size() > 200)
            break;
    }

    const ZoneIndex index(*zones);
    FUZZ_CHECK(index.zones() == *zones);
    for (const GeoCoordinate& point : points) {
        std::optional<RadioZone> walked;
        for (const RadioZone& zone : *zones) {
            if (zone.contains(point)) {
                walked = zone;
                break;
            }
        }
        FUZZ_CHECK(index.zone(point) == walked);
    }
    return 0;
}
