// Checks the map data the core library ships, and that the generator still
// makes exactly these files from its sources.
#include "geo/MapData.h"
#include "support/TestEnvironment.h"

#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cmath>

namespace {

double signedArea(const Ring& ring)
{
    double sum = 0;
    const qsizetype n = ring.size() / 2;
    for (qsizetype i = 0, j = n - 1; i < n; j = i++)
        sum += ring[2 * j] * ring[2 * i + 1] - ring[2 * i] * ring[2 * j + 1];
    return sum / 2;
}

// Every ring a closed outline of at least three points, in range, without
// its closing point repeated.
void expectWellFormed(const Ring& ring)
{
    ASSERT_GE(ring.size(), 6);
    ASSERT_EQ(ring.size() % 2, 0);
    for (qsizetype k = 0; k < ring.size(); k += 2) {
        EXPECT_LE(std::abs(ring[k]), 180.0);
        EXPECT_LE(std::abs(ring[k + 1]), 90.0);
    }
    EXPECT_FALSE(ring[0] == ring[ring.size() - 2] && ring[1] == ring[ring.size() - 1]);
}

} // namespace

TEST(MapDataFiles, CountriesHaveColourGroupsAndClosedOutlines)
{
    const QList<CountryShape> countries = MapData::countries();
    ASSERT_EQ(countries.size(), 241);
    for (const CountryShape& country : countries) {
        EXPECT_GE(country.c, 1);
        EXPECT_LE(country.c, 7);
        ASSERT_FALSE(country.p.isEmpty());
        for (const Polygon& polygon : country.p) {
            for (const Ring& ring : polygon)
                expectWellFormed(ring);
        }
    }
}

TEST(MapDataFiles, LakeIslandsWindAgainstTheirShore)
{
    const QList<Lake> lakes = MapData::lakes();
    EXPECT_GT(lakes.size(), 350);
    EXPECT_LT(lakes.size(), 450);
    int islands = 0;
    for (const Lake& lake : lakes) {
        ASSERT_FALSE(lake.isEmpty());
        for (const Ring& ring : lake)
            expectWellFormed(ring);
        for (qsizetype k = 1; k < lake.size(); ++k) {
            ++islands;
            EXPECT_LT(signedArea(lake[0]) * signedArea(lake[k]), 0);
        }
    }
    EXPECT_GT(islands, 0);
}

TEST(MapDataFiles, OneLabelPerCountryWithUniquePrefixes)
{
    const QList<PrefixEntity> labels = MapData::prefixes();
    ASSERT_EQ(labels.size(), 340);
    QSet<QString> prefixes;
    for (const PrefixEntity& label : labels) {
        EXPECT_FALSE(prefixes.contains(label.prefix)) << label.prefix.toStdString();
        prefixes.insert(label.prefix);
        EXPECT_FALSE(label.prefix.startsWith('*'));
        EXPECT_LE(std::abs(label.lat), 90.0);
        EXPECT_LE(std::abs(label.lon), 180.0);
        EXPECT_EQ(label.continent.size(), 2);
        EXPECT_FALSE(label.name.isEmpty());
    }
    for (const char* renamed : { "KL7", "EW" })
        EXPECT_TRUE(prefixes.contains(renamed)) << renamed;
    for (const char* gone : { "KL", "EU", "*TA1", "TA1" })
        EXPECT_FALSE(prefixes.contains(gone)) << gone;

    auto find = [&](const char* prefix) {
        const auto it
            = std::find_if(labels.begin(), labels.end(), [&](const PrefixEntity& p) { return p.prefix == prefix; });
        return it == labels.end() ? PrefixEntity {} : *it;
    };
    // East is positive here, unlike in the country file.
    EXPECT_GT(find("JA").lon, 100);
    EXPECT_LT(find("K").lon, -60);
    EXPECT_EQ(find("CE9").coordinate(), (GeoCoordinate { -80, 0 }));
}

TEST(MapDataFiles, TheGeneratorReproducesTheShippedFiles)
{
    const QString python = QStandardPaths::findExecutable("python3");
    const QString script = TestEnvironment::sourceDir() + "/tools/mapdata/generate.py";
    if (python.isEmpty() || !QFileInfo::exists(TestEnvironment::sharedDataDir() + "/zones/cqzones.geojson"))
        GTEST_SKIP() << "python3 or the map sources are not here: " << python.toStdString() << " "
                     << TestEnvironment::sharedDataDir().toStdString();
    QProcess generator;
    generator.start(python, { script, "--check", "--data", TestEnvironment::sharedDataDir() });
    ASSERT_TRUE(generator.waitForFinished(240000));
    const QString errors = QString::fromUtf8(generator.readAllStandardError());
    if (generator.exitCode() == 2)
        GTEST_SKIP() << "the sources changed since the files were made: " << errors.toStdString();
    EXPECT_EQ(generator.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(generator.exitCode(), 0) << errors.toStdString();
}
