#include "geo/MapData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

PrefixEntity label(const char* prefix, const char* name, double lat, double lon, const char* continent)
{
    return { QString::fromUtf8(prefix), QString::fromUtf8(name), lat, lon, QString::fromUtf8(continent) };
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

TEST(PrefixEntityCell, CentresOnOddDegreesWithBordersGoingSouthAndEast)
{
    const QList<PrefixEntity> labels { label("G", "England", 52, -1, "EU") };
    struct Case {
        double lat, lon;
        const char* prefix;
        double centreLat, centreLon;
    };
    for (const Case& c : { Case { 51.5, -0.1, "cell:51,-1", 51, -1 }, Case { 0, 0, "cell:-1,1", -1, 1 },
                           Case { 1, 2, "cell:1,3", 1, 3 }, Case { -33.87, 151.21, "cell:-33,151", -33, 151 },
                           Case { 90, 180, "cell:89,179", 89, 179 }, Case { -90, -180, "cell:-89,-179", -89, -179 } }) {
        const PrefixEntity cell = PrefixEntity::cell({ c.lat, c.lon }, labels);
        EXPECT_EQ(cell.prefix, QString::fromUtf8(c.prefix)) << c.lat << "," << c.lon;
        EXPECT_EQ(cell.lat, c.centreLat);
        EXPECT_EQ(cell.lon, c.centreLon);
        EXPECT_TRUE(cell.isCell());
        EXPECT_EQ(cell.name, QStringLiteral("near G England"));
        EXPECT_EQ(cell.continent, QStringLiteral("EU"));
    }
    EXPECT_FALSE(label("G", "England", 52, -1, "EU").isCell());
}

TEST(PrefixEntityCell, NamesTheNearestLabelAndTheFirstOnATie)
{
    EXPECT_EQ(PrefixEntity::cell({ 51.5, -0.1 }, {}),
              (PrefixEntity { QStringLiteral("cell:51,-1"), QString(), 51, -1, QString() }));

    // Two labels on the same spot are exactly as far away.
    const QList<PrefixEntity> tie { label("A", "East", 51, 1, "EU"), label("B", "West", 51, 1, "EU") };
    EXPECT_EQ(PrefixEntity::cell({ 51.5, -0.1 }, tie).name, QStringLiteral("near A East"));
    const QList<PrefixEntity> swapped { tie[1], tie[0] };
    EXPECT_EQ(PrefixEntity::cell({ 51.5, -0.1 }, swapped).name, QStringLiteral("near B West"));

    const QList<PrefixEntity> apart { label("A", "Far", -40, 100, "OC"), label("B", "Near", 50, 0, "EU") };
    EXPECT_EQ(PrefixEntity::cell({ 51.5, -0.1 }, apart).continent, QStringLiteral("EU"));
}

TEST(PrefixEntityCell, SurvivesNonFiniteCoordinates)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(PrefixEntity::cell({ inf, -inf }, {}).prefix, QStringLiteral("cell:89,-179"));
    EXPECT_EQ(PrefixEntity::cell({ -inf, inf }, {}).prefix, QStringLiteral("cell:-89,179"));
    const PrefixEntity cell = PrefixEntity::cell({ nan, nan }, { label("G", "England", 52, -1, "EU") });
    EXPECT_EQ(cell.prefix, QStringLiteral("cell:-1,1"));
    EXPECT_EQ(cell.name, QStringLiteral("near G England"));

    EXPECT_FALSE(PrefixEntity::coverageIndex({ nan, 0 }).has_value());
    EXPECT_FALSE(PrefixEntity::coverageIndex({ 0, inf }).has_value());
}

TEST(PrefixEntityCoverageIndex, NumbersTheGridFromTheNorthWest)
{
    EXPECT_EQ(PrefixEntity::coverageIndex({ 51.5, -0.1 }), 3509);
    EXPECT_EQ(PrefixEntity::coverageIndex({ 0, 0 }), 8190);
    EXPECT_EQ(PrefixEntity::coverageIndex({ 89.9, 179.9 }), 179);
    EXPECT_EQ(PrefixEntity::coverageIndex({ -89.9, -179.9 }), 16020);
    EXPECT_EQ(PrefixEntity::coverageIndex({ -33.87, 151.21 }), 11145);
    for (const GeoCoordinate edge :
         { GeoCoordinate { 90, 0 }, GeoCoordinate { -90, 0 }, GeoCoordinate { 0, 180 }, GeoCoordinate { 0, -180 } })
        EXPECT_FALSE(PrefixEntity::coverageIndex(edge).has_value()) << edge.latitude << "," << edge.longitude;
    // The cell and its index agree everywhere strictly inside the grid.
    for (double lat = -89.5; lat < 90; lat += 7.25) {
        for (double lon = -179.5; lon < 180; lon += 11.5) {
            const PrefixEntity cell = PrefixEntity::cell({ lat, lon }, {});
            const int expected = int((89 - cell.lat) / 2) * 180 + int((cell.lon + 179) / 2);
            EXPECT_EQ(PrefixEntity::coverageIndex({ lat, lon }), expected) << lat << "," << lon;
        }
    }
}

TEST(PrefixEntity, EqualityAndHashingCoverEveryField)
{
    const PrefixEntity g = label("G", "England", 52, -1, "EU");
    EXPECT_EQ(g.id(), QStringLiteral("G"));
    EXPECT_EQ(g.coordinate(), (GeoCoordinate { 52, -1 }));
    PrefixEntity other = g;
    other.continent = QStringLiteral("AF");
    EXPECT_NE(g, other);
    other = g;
    other.lon = -1.5;
    EXPECT_NE(g, other);
    PrefixEntity zero = label("X", "Zero", 0.0, 0.0, "EU");
    PrefixEntity negativeZero = label("X", "Zero", -0.0, -0.0, "EU");
    EXPECT_EQ(zero, negativeZero);
    EXPECT_EQ(qHash(zero), qHash(negativeZero));
}

TEST(MapDataDecoding, PrefixesAreReadStrictly)
{
    const auto good = MapData::decodePrefixes(
        R"([{"prefix":"G","name":"England","lat":52,"lon":-1.5,"continent":"EU","extra":true},
            {"continent":"AF","lon":2,"lat":-3.25,"name":"X","prefix":"3B8"}])");
    ASSERT_TRUE(good.has_value());
    ASSERT_EQ(good->size(), 2);
    EXPECT_EQ(good->at(0), label("G", "England", 52, -1.5, "EU"));
    EXPECT_EQ(good->at(1), label("3B8", "X", -3.25, 2, "AF"));

    for (const char* bad :
         { R"([{"prefix":"G","name":"England","lat":52,"lon":-1.5}])",                    // a key missing
           R"([{"prefix":"G","name":"England","lat":"52","lon":-1.5,"continent":"EU"}])", // number as text
           R"([{"prefix":1,"name":"England","lat":52,"lon":-1.5,"continent":"EU"}])",     // text as number
           R"([{"prefix":"G","name":null,"lat":52,"lon":-1.5,"continent":"EU"}])",        // null
           R"([{"prefix":"G","name":"England","lat":52,"lon":-1.5,"continent":"EU"},7])", // not an object
           R"({"prefix":"G"})", "", "[", "not json" })
        EXPECT_FALSE(MapData::decodePrefixes(bad).has_value()) << bad;
    EXPECT_EQ(MapData::decodePrefixes("[]"), QList<PrefixEntity> {});
}

TEST(MapDataDecoding, CountriesAndLakesAreReadStrictly)
{
    const auto countries = MapData::decodeCountries(R"([{"p":[[[1,2,3,4,5,6],[1.5,2.5]]],"c":3,"name":"x"}])");
    ASSERT_TRUE(countries.has_value());
    ASSERT_EQ(countries->size(), 1);
    EXPECT_EQ(countries->at(0).colorGroup(), 3);
    EXPECT_EQ(countries->at(0).polygons(), (QList<Polygon> { { { 1, 2, 3, 4, 5, 6 }, { 1.5, 2.5 } } }));

    for (const char* bad : { R"([{"c":3}])", R"([{"p":[]}])", R"([{"c":2.5,"p":[]}])", R"([{"c":"3","p":[]}])",
                             R"([{"c":3,"p":[[[1,"2"]]]}])", R"([{"c":3,"p":[[1,2]]}])", R"([{"c":3,"p":{}}])",
                             R"([{"c":1e20,"p":[]}])" })
        EXPECT_FALSE(MapData::decodeCountries(bad).has_value()) << bad;

    const auto lakes = MapData::decodeLakes("[[[0,0,1,0,1,1],[0.2,0.2,0.8,0.8,0.2,0.8]],[[5,5,6,5,6,6]]]");
    ASSERT_TRUE(lakes.has_value());
    ASSERT_EQ(lakes->size(), 2);
    EXPECT_EQ(lakes->at(0).size(), 2);
    for (const char* bad : { "[[[0,0,1,true]]]", "[[0,0,1,0]]", "[{}]", "{}" })
        EXPECT_FALSE(MapData::decodeLakes(bad).has_value()) << bad;
}

TEST(MapDataResources, TheApplicationsOwnFileComesFirst)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const ResourceFolders folders { root.filePath("app"), root.filePath("core") };
    QDir().mkpath(folders.application);
    QDir().mkpath(folders.core);
    writeFile(folders.core + "/prefixes.json",
              R"([{"prefix":"G","name":"England","lat":52,"lon":-1,"continent":"EU"}])");
    writeFile(folders.core + "/lakes.json", "[[[0,0,1,0,1,1]]]");
    writeFile(folders.application + "/prefixes.json",
              R"([{"prefix":"F","name":"France","lat":47,"lon":2,"continent":"EU"}])");

    EXPECT_EQ(MapData::resourceURL("prefixes", "json", folders), folders.application + "/prefixes.json");
    EXPECT_EQ(MapData::resourceURL("lakes", "json", folders), folders.core + "/lakes.json");
    EXPECT_FALSE(MapData::resourceURL("countries", "json", folders).has_value());
    EXPECT_FALSE(MapData::resourceURL("lakes", "txt", folders).has_value());

    EXPECT_EQ(MapData::prefixes(folders), (QList<PrefixEntity> { label("F", "France", 47, 2, "EU") }));
    EXPECT_EQ(MapData::lakes(folders).size(), 1);
    EXPECT_TRUE(MapData::countries(folders).isEmpty());

    // One element missing its continent spoils the whole file.
    writeFile(folders.application + "/prefixes.json",
              R"([{"prefix":"F","name":"France","lat":47,"lon":2,"continent":"EU"},
                  {"prefix":"G","name":"England","lat":52,"lon":-1}])");
    EXPECT_TRUE(MapData::prefixes(folders).isEmpty());

    // A folder holding a directory of the file's name does not count.
    QDir().mkpath(folders.application + "/countries.json");
    EXPECT_FALSE(MapData::resourceURL("countries", "json", folders).has_value());
}

TEST(MapDataResources, AMissingCoreFolderMeansMissingFiles)
{
    QTemporaryDir root;
    const ResourceFolders none { root.filePath("absent"), QString() };
    EXPECT_FALSE(MapData::resourceURL("countries", "json", none).has_value());
    EXPECT_TRUE(MapData::countries(none).isEmpty());
    EXPECT_TRUE(MapData::lakes(none).isEmpty());
    EXPECT_TRUE(MapData::prefixes(none).isEmpty());
    EXPECT_TRUE(MapData::prefixes(ResourceFolders {}).isEmpty());
}

TEST(MapDataResources, TheStandardFoldersSitNextToTheExecutable)
{
    const ResourceFolders folders = ResourceFolders::standard();
    EXPECT_EQ(folders.application, QCoreApplication::applicationDirPath() + "/Resources");
    EXPECT_EQ(folders.core, QCoreApplication::applicationDirPath() + "/CorvantaCore");
    EXPECT_EQ(MapData::resourceURL("countries", "json"), folders.core + "/countries.json");
}
