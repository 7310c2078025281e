#pragma once

#include "geo/GeoMath.h"
#include "geo/MapData.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

enum class ZoneKind { cq, itu };

inline constexpr std::array<ZoneKind, 2> allZoneKinds { ZoneKind::cq, ZoneKind::itu };

QString rawValue(ZoneKind kind);                          // "cq", "itu"
std::optional<ZoneKind> zoneKindFromRaw(QStringView raw); // exact, case-sensitive
QString title(ZoneKind kind);                             // "CQ", "ITU"

// One CQ or ITU zone with its outline.
struct RadioZone {
    int number = 0;
    QString name;
    double labelLat = 0; // where the zone number is drawn
    double labelLon = 0;
    QList<Ring> rings; // longitudes may run past ±180 for zones across the date line

    int id() const { return number; }
    GeoCoordinate labelCoordinate() const { return { labelLat, labelLon }; }

    // Even-odd rule over all rings together (an inner ring is a hole),
    // tried with the longitude as given, then +360, then −360. Rings of
    // fewer than three points take no part.
    bool contains(const GeoCoordinate& at) const;

    friend bool operator==(const RadioZone&, const RadioZone&) = default;

    // Strict: all five keys present with the right types; others ignored.
    static std::optional<RadioZone> fromJson(const QJsonObject& object);
};

// The zones of one kind, prepared for fast lookup: each ring's bounding box
// lets the lookup skip rings that cannot change the answer, which keeps it
// cheap enough for every pointer move.
class ZoneIndex {
public:
    ZoneIndex() = default;
    explicit ZoneIndex(QList<RadioZone> zones);

    const QList<RadioZone>& zones() const { return m_zones; }

    // The first zone, in list order, that contains the point: overlaps go to
    // the earlier zone.
    std::optional<RadioZone> zone(const GeoCoordinate& at) const;

private:
    struct Box {
        double minX, maxX, minY, maxY;
    };
    bool contains(qsizetype zoneIndex, const GeoCoordinate& at) const;

    QList<RadioZone> m_zones;
    QList<QList<Box>> m_boxes; // per zone, per ring
    QList<Box> m_zoneBoxes;
};

// The CQ and ITU zones of the core resources ("cqzones", "ituzones").
namespace Zones {

// The zones of a kind in file order, loaded on first use and kept for the
// process; empty when the file is missing or not exactly of the expected
// shape.
const QList<RadioZone>& zones(ZoneKind kind);

// The first zone of the kind, in file order, that contains the point.
std::optional<RadioZone> zone(ZoneKind kind, const GeoCoordinate& at);

// Reads and decodes a kind's file from the given folders, uncached.
QList<RadioZone> load(ZoneKind kind, const ResourceFolders& folders);

// The file format, all or nothing.
std::optional<QList<RadioZone>> decode(const QByteArray& json);

} // namespace Zones
