#include "geo/Zones.h"

#include "support/JsonList.h"
#include "support/RawValue.h"
#include "support/VectorState.h"

#include <algorithm>
#include <cmath>
#include <limits>

QString rawValue(ZoneKind kind) { return kind == ZoneKind::cq ? QStringLiteral("cq") : QStringLiteral("itu"); }

std::optional<ZoneKind> zoneKindFromRaw(QStringView raw) { return findRaw(allZoneKinds, raw); }

QString title(ZoneKind kind) { return kind == ZoneKind::cq ? QStringLiteral("CQ") : QStringLiteral("ITU"); }

namespace {

// Whether the ray from (x, φ) towards the east crosses the ring an odd
// number of times. An odd trailing number and rings of fewer than three
// points are ignored.
bool crossesOddly(const Ring& ring, double x, double phi)
{
    const qsizetype n = ring.size() / 2;
    if (n < 3)
        return false;
    const double* p = ring.constData();
    bool odd = false;
    for (qsizetype i = 0, j = n - 1; i < n; j = i++) {
        const double xi = p[2 * i], yi = p[2 * i + 1];
        const double xj = p[2 * j], yj = p[2 * j + 1];
        if ((yi > phi) == (yj > phi))
            continue;
        // Where the edge meets the latitude, never past the edge's ends:
        // the plain formula can land beyond them by rounding (far beyond,
        // with huge coordinates), and a ring's bounding box would then no
        // longer tell which rings cannot hold the point.
        const double along = (phi - yi) / (yj - yi);
        if (x < std::lerp(xi, xj, along >= 0 ? std::min(along, 1.0) : 0.0))
            odd = !odd;
    }
    return odd;
}

constexpr double longitudeOffsets[] = { 0.0, 360.0, -360.0 };

} // namespace

bool RadioZone::contains(const GeoCoordinate& at) const
{
    for (const double offset : longitudeOffsets) {
        const double x = at.longitude + offset;
        bool inside = false;
        for (const Ring& ring : rings)
            inside ^= crossesOddly(ring, x, at.latitude);
        if (inside)
            return true;
    }
    return false;
}

std::optional<RadioZone> RadioZone::fromJson(const QJsonObject& object)
{
    using namespace MapData;
    const auto number = integerFromJson(object.value(QLatin1String("number")));
    const QJsonValue name = object.value(QLatin1String("name"));
    const auto labelLat = numberFromJson(object.value(QLatin1String("labelLat")));
    const auto labelLon = numberFromJson(object.value(QLatin1String("labelLon")));
    auto rings = ringsFromJson(object.value(QLatin1String("rings")));
    if (!number || !name.isString() || !labelLat || !labelLon || !rings)
        return std::nullopt;
    return RadioZone { *number, name.toString(), *labelLat, *labelLon, std::move(*rings) };
}

// ------------------------------------------------------------------ index

ZoneIndex::ZoneIndex(QList<RadioZone> zones)
    : m_zones(std::move(zones))
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const RadioZone& zone : m_zones) {
        QList<Box> boxes;
        Box all { inf, -inf, inf, -inf };
        for (const Ring& ring : zone.rings) {
            Box box { inf, -inf, inf, -inf };
            // Only the points the containment test walks: an odd trailing
            // number is no point.
            for (qsizetype k = 0; k + 1 < ring.size(); k += 2) {
                box.minX = std::min(box.minX, ring[k]);
                box.maxX = std::max(box.maxX, ring[k]);
                box.minY = std::min(box.minY, ring[k + 1]);
                box.maxY = std::max(box.maxY, ring[k + 1]);
            }
            boxes.append(box);
            all = { std::min(all.minX, box.minX), std::max(all.maxX, box.maxX), std::min(all.minY, box.minY),
                    std::max(all.maxY, box.maxY) };
        }
        m_boxes.append(boxes);
        m_zoneBoxes.append(all);
    }
}

bool ZoneIndex::contains(qsizetype zoneIndex, const GeoCoordinate& at) const
{
    // A ring whose box misses the point adds an even number of crossings
    // (none, or every one of its crossings, which come in pairs), so skipping
    // it leaves the even-odd answer unchanged.
    auto misses = [](const Box& box, double x, double phi) {
        return !(phi >= box.minY && phi <= box.maxY && x >= box.minX && x <= box.maxX);
    };
    const RadioZone& zone = m_zones[zoneIndex];
    const QList<Box>& boxes = m_boxes[zoneIndex];
    for (const double offset : longitudeOffsets) {
        const double x = at.longitude + offset;
        if (misses(m_zoneBoxes[zoneIndex], x, at.latitude))
            continue;
        bool inside = false;
        for (qsizetype r = 0; r < zone.rings.size(); ++r) {
            if (!misses(boxes[r], x, at.latitude))
                inside ^= crossesOddly(zone.rings[r], x, at.latitude);
        }
        if (inside)
            return true;
    }
    return false;
}

std::optional<RadioZone> ZoneIndex::zone(const GeoCoordinate& at) const
{
    VectorState::clean();
    for (qsizetype i = 0; i < m_zones.size(); ++i) {
        if (contains(i, at))
            return m_zones[i];
    }
    return std::nullopt;
}

// ------------------------------------------------------------------ zones

namespace Zones {

std::optional<QList<RadioZone>> decode(const QByteArray& json)
{
    return JsonList::decode<RadioZone>(json, JsonList::object<RadioZone>);
}

QList<RadioZone> load(ZoneKind kind, const ResourceFolders& folders)
{
    const QString name = kind == ZoneKind::cq ? QStringLiteral("cqzones") : QStringLiteral("ituzones");
    return MapData::readList<RadioZone>(name, folders, decode);
}

namespace {

// Loaded once per kind, on first use; function-local statics make the first
// use safe from any thread. A failed load stays empty: there is no retry.
const ZoneIndex& index(ZoneKind kind)
{
    if (kind == ZoneKind::cq) {
        static const ZoneIndex cq(load(ZoneKind::cq, ResourceFolders::standard()));
        return cq;
    }
    static const ZoneIndex itu(load(ZoneKind::itu, ResourceFolders::standard()));
    return itu;
}

} // namespace

const QList<RadioZone>& zones(ZoneKind kind) { return index(kind).zones(); }

std::optional<RadioZone> zone(ZoneKind kind, const GeoCoordinate& at) { return index(kind).zone(at); }

} // namespace Zones
