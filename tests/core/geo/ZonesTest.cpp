#include "geo/Zones.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>

namespace {

RadioZone zone(int number, QList<Ring> rings)
{
    return { number, QStringLiteral("Zone %1").arg(number), 0, 0, std::move(rings) };
}

const Ring square { 10, 10, 20, 10, 20, 20, 10, 20 };
const Ring innerSquare { 12, 12, 18, 12, 18, 18, 12, 18 };

bool inside(const RadioZone& z, double lat, double lon) { return z.contains({ lat, lon }); }

} // namespace

TEST(RadioZone, EvenOddAcrossAllRings)
{
    const RadioZone plain = zone(1, { square });
    EXPECT_TRUE(inside(plain, 15, 15));
    EXPECT_FALSE(inside(plain, 15, 25));
    EXPECT_FALSE(inside(plain, 25, 15));

    const RadioZone holed = zone(2, { square, innerSquare });
    EXPECT_FALSE(inside(holed, 15, 15));
    EXPECT_TRUE(inside(holed, 11, 11));

    // Winding plays no part: a reversed square is the same square.
    const RadioZone reversed = zone(3, { { 10, 20, 20, 20, 20, 10, 10, 10 } });
    EXPECT_TRUE(inside(reversed, 15, 15));
}

TEST(RadioZone, LongitudesPastTheDateLineMatchTheirWrappedPoints)
{
    const RadioZone across = zone(1, { { 170, 0, 190, 0, 190, 10, 170, 10 } });
    EXPECT_TRUE(inside(across, 5, -175));
    EXPECT_TRUE(inside(across, 5, 175));
    EXPECT_FALSE(inside(across, 5, -165));
    const RadioZone west = zone(2, { { -200, 0, -170, 0, -170, 10, -200, 10 } });
    EXPECT_TRUE(inside(west, 5, 170));
    EXPECT_TRUE(inside(west, 5, -175));
}

TEST(RadioZone, DegenerateOutlinesContainNothing)
{
    EXPECT_FALSE(inside(zone(1, { { 10, 10, 20, 20 } }), 15, 15));
    EXPECT_FALSE(inside(zone(1, {}), 0, 0));
    EXPECT_FALSE(inside(zone(1, { {} }), 0, 0));
    // An odd trailing number is no point of the ring.
    EXPECT_TRUE(inside(zone(1, { { 10, 10, 20, 10, 20, 20, 10, 20, 99 } }), 15, 15));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(inside(zone(1, { square }), nan, 15));
    EXPECT_FALSE(inside(zone(1, { square }), 15, nan));
    EXPECT_EQ(ZoneIndex({ zone(1, { square }) }).zone({ nan, nan }), std::nullopt);
}

TEST(ZoneIndex, TheEarlierOfTwoOverlappingZonesWins)
{
    const RadioZone first = zone(7, { square });
    const RadioZone second = zone(3, { { 0, 0, 30, 0, 30, 30, 0, 30 } });
    EXPECT_EQ(ZoneIndex({ first, second }).zone({ 15, 15 }), first);
    EXPECT_EQ(ZoneIndex({ second, first }).zone({ 15, 15 }), second);
    EXPECT_EQ(ZoneIndex({ first, second }).zone({ 25, 25 }), second);
    EXPECT_EQ(ZoneIndex({ first, second }).zone({ 45, 25 }), std::nullopt);
    EXPECT_EQ(ZoneIndex().zone({ 15, 15 }), std::nullopt);
}

TEST(ZoneIndex, AgreesWithThePlainTestOnTheShippedZones)
{
    // The bounding boxes only skip work; every answer must stay the same,
    // holes, date line and skipped degenerate rings included.
    QList<RadioZone> tricky { zone(1, { square, innerSquare, { 1, 1, 2, 2 } }),
                              zone(2, { { 170, -30, 192, -30, 192, -5, 170, -5 } }) };
    for (ZoneKind kind : allZoneKinds) {
        QList<RadioZone> zones = tricky + Zones::zones(kind);
        const ZoneIndex index(zones);
        for (double lat = -89.75; lat < 90; lat += 1.5) {
            for (double lon = -179.8; lon < 180; lon += 1.7) {
                std::optional<RadioZone> plain;
                for (const RadioZone& z : zones) {
                    if (z.contains({ lat, lon })) {
                        plain = z;
                        break;
                    }
                }
                ASSERT_EQ(index.zone({ lat, lon }).has_value(), plain.has_value()) << lat << "," << lon;
                if (plain) {
                    ASSERT_EQ(index.zone({ lat, lon })->number, plain->number) << lat << "," << lon;
                }
            }
        }
    }
}

TEST(ZoneIndex, AgreesWithThePlainTestWhenAnEdgeHasAHugeLongitude)
{
    // Where the edge from 200° W to a vertex at 1.8e46° W meets 50° N, the
    // plain formula rounded the crossing far east of the ring's box, so the
    // box skipped a ring that the plain test counted.
    const RadioZone wild = zone(2,
                                { { -141.004, 80, -140.999, 58.008, -130.781, 48.575, -12170, 50, -200, 50,
                                    -1.8444444444444444e46, 60, -168.961, 65.745, -170, 80 } });
    const ZoneIndex index({ wild });
    for (const GeoCoordinate at : { GeoCoordinate { 50, -200 }, GeoCoordinate { 50, 160 }, GeoCoordinate { 55, 160 },
                                    GeoCoordinate { 55, -200 }, GeoCoordinate { 59, -300 } })
        EXPECT_EQ(index.zone(at).has_value(), wild.contains(at)) << at.latitude << "," << at.longitude;
}

TEST(ZoneKind, RawTextsAndTitles)
{
    EXPECT_EQ(zoneKindFromRaw(u"cq"), ZoneKind::cq);
    EXPECT_EQ(zoneKindFromRaw(u"itu"), ZoneKind::itu);
    for (const char16_t* bad : { u"CQ", u"ITU", u"", u" cq", u"waz" })
        EXPECT_EQ(zoneKindFromRaw(bad), std::nullopt);
    EXPECT_EQ(rawValue(ZoneKind::itu), QStringLiteral("itu"));
    EXPECT_EQ(title(ZoneKind::cq), QStringLiteral("CQ"));
    EXPECT_EQ(title(ZoneKind::itu), QStringLiteral("ITU"));
    EXPECT_EQ(allZoneKinds[0], ZoneKind::cq);
    EXPECT_EQ(allZoneKinds[1], ZoneKind::itu);
}

TEST(ZonesDecoding, EveryKeyIsRequiredWithItsType)
{
    const auto good = Zones::decode(
        R"([{"number":14,"name":"Western Europe","labelLat":50,"labelLon":-5.5,"rings":[[1,2,3,4,5,6]],"x":0}])");
    ASSERT_TRUE(good.has_value());
    ASSERT_EQ(good->size(), 1);
    EXPECT_EQ(good->at(0), (RadioZone { 14, "Western Europe", 50, -5.5, { { 1, 2, 3, 4, 5, 6 } } }));
    EXPECT_EQ(good->at(0).labelCoordinate(), (GeoCoordinate { 50, -5.5 }));
    EXPECT_EQ(good->at(0).id(), 14);

    for (const char* bad : { R"([{"name":"A","labelLat":50,"labelLon":-5,"rings":[]}])",
                             R"([{"number":1.5,"name":"A","labelLat":50,"labelLon":-5,"rings":[]}])",
                             R"([{"number":1,"name":2,"labelLat":50,"labelLon":-5,"rings":[]}])",
                             R"([{"number":1,"name":"A","labelLat":"50","labelLon":-5,"rings":[]}])",
                             R"([{"number":1,"name":"A","labelLat":50,"labelLon":-5,"rings":[[1,null]]}])",
                             R"([{"number":1,"name":"A","labelLat":50,"labelLon":-5}])",
                             R"([{"number":1,"name":"A","labelLat":50,"labelLon":-5,"rings":[]},[]])", "{}", "", "[{" })
        EXPECT_FALSE(Zones::decode(bad).has_value()) << bad;
}

TEST(ZonesLoading, AMissingFileEmptiesOnlyItsKind)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const ResourceFolders folders { root.filePath("app"), root.filePath("core") };
    QDir().mkpath(folders.core);
    QFile file(folders.core + "/cqzones.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"([{"number":1,"name":"A","labelLat":15,"labelLon":15,"rings":[[10,10,20,10,20,20,10,20]]}])");
    file.close();

    const ZoneIndex cq(Zones::load(ZoneKind::cq, folders));
    const ZoneIndex itu(Zones::load(ZoneKind::itu, folders));
    EXPECT_EQ(cq.zones().size(), 1);
    EXPECT_EQ(cq.zone({ 15, 15 })->number, 1);
    EXPECT_TRUE(itu.zones().isEmpty());
    EXPECT_EQ(itu.zone({ 15, 15 }), std::nullopt);
}

TEST(ZonesData, ZonesComeInAscendingOrder)
{
    for (auto [kind, count] : { std::pair { ZoneKind::cq, 40 }, std::pair { ZoneKind::itu, 90 } }) {
        const QList<RadioZone>& zones = Zones::zones(kind);
        ASSERT_EQ(zones.size(), count);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(zones[i].number, i + 1);
            EXPECT_FALSE(zones[i].rings.isEmpty());
        }
    }
    EXPECT_EQ(Zones::zones(ZoneKind::cq)[13].name, QStringLiteral("Western Zone of Europe"));
    EXPECT_EQ(Zones::zones(ZoneKind::itu)[26].name, QStringLiteral("ITU Zone 27"));
}

TEST(ZonesData, PlacesLieInTheirZones)
{
    struct Place {
        const char* name;
        double lat, lon;
        int cq, itu;
    };
    for (const Place& p : { Place { "London", 51.5, -0.1, 14, 27 }, Place { "New York", 40.7, -74, 5, 8 },
                            Place { "Tokyo", 35.7, 139.7, 25, 45 }, Place { "Sydney", -33.87, 151.21, 30, 59 },
                            Place { "Honolulu", 21.3, -157.8, 31, 61 }, Place { "Anadyr", 64.7, 177.5, 19, 26 },
                            Place { "Apia", -13.8, -171.8, 32, 62 }, Place { "North Pole", 89.9, 10, 40, 75 },
                            Place { "Moscow", 55.75, 37.62, 16, 29 }, Place { "Anchorage", 61.2, -149.9, 1, 1 },
                            Place { "Cape Town", -33.92, 18.42, 38, 57 } }) {
        const auto cq = Zones::zone(ZoneKind::cq, { p.lat, p.lon });
        const auto itu = Zones::zone(ZoneKind::itu, { p.lat, p.lon });
        ASSERT_TRUE(cq && itu) << p.name;
        EXPECT_EQ(cq->number, p.cq) << p.name;
        EXPECT_EQ(itu->number, p.itu) << p.name;
    }
}
