// The coverage layer: the quick model's image and its one-entry cache, and
// the whole road from the toolbar's coverage menu through the settings to
// the map's pixels and legend, with the quick model and with the stand-in
// P.533 engine.
#include "map/CoverageLayer.h"
#include "geo/SolarCalculator.h"
#include "map/CoverageLegend.h"
#include "map/MapCoverage.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "prediction/ITUEngine.h"
#include "prediction/PredictionStore.h"
#include "prediction/ReliabilityColor.h"
#include "shell/ContentView.h"
#include "shell/MainToolBar.h"
#include "support/FakeEngine.h"
#include "support/MapRendering.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QAction>
#include <QActionGroup>
#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

void clearSettings()
{
    Settings& settings = Settings::standard();
    for (const QString& key : settings.allKeys())
        settings.remove(key);
}

const QDateTime noon(QDate(2026, 3, 20), QTime(12, 5), QTimeZone::utc());
const GeoCoordinate vilnius { 54.687, 25.28 };

QList<IonosondeReading> readings()
{
    return { { "JR055", "Juliusruh", { 54.6, 13.4 }, 17.5, 6.1, 90, noon.addSecs(-900) },
             { "EB040", "Roquetes", { 40.8, 0.5 }, 22.0, 7.4, 80, noon.addSecs(-600) } };
}

StationSetup station(double watts = 100)
{
    return StationSetup(watts, StationAntennas(), PredictionMode::ssb, NoiseEnvironment::residential);
}

QRgb cellPixel(const QImage& image, int row, int column) { return image.pixel(column, row); }

int colouredCells(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0;
    return count;
}

} // namespace

TEST(CoverageLayer, EachCellIsThePointsQuickValueInTheReliabilityColours)
{
    const auto made = CoverageLayer::image(vilnius, Band::m20, readings(), 120.0, noon, 3.0, station());
    ASSERT_TRUE(made.has_value());
    ASSERT_EQ(made->size(), QSize(180, 90));

    // Every cell is the single-point value at its centre (row 0 at 89° N,
    // column 0 at 179° W), coloured as the colour rule says; cells below
    // 0.05 stay fully transparent.
    int open = 0;
    int closed = 0;
    for (int row = 0; row < 90; row += 3)
        for (int column = 1; column < 180; column += 4) {
            const GeoCoordinate centre { 89.0 - 2 * row, -179.0 + 2 * column };
            const auto value
                = CoverageLayer::quickValue(centre, vilnius, Band::m20, readings(), 120.0, noon, 3.0, station());
            ASSERT_TRUE(value.has_value());
            const QImage expected = *coverageImage({ *value }, 1, 1);
            EXPECT_EQ(cellPixel(*made, row, column), expected.pixel(0, 0)) << row << ' ' << column;
            (*value >= 0.05 ? open : closed) += 1;
            if (*value < 0.05) {
                EXPECT_EQ(cellPixel(*made, row, column), 0u);
            }
        }
    // A 20 m noon picture from Europe reaches some of the world, not all.
    EXPECT_GT(open, 50);
    EXPECT_GT(closed, 50);
    // Europe by day is open; the far side of the night is not.
    const auto near
        = CoverageLayer::quickValue({ 45, 10 }, vilnius, Band::m20, readings(), 120.0, noon, 3.0, station());
    const auto antipode
        = CoverageLayer::quickValue({ -54, -155 }, vilnius, Band::m20, readings(), 120.0, noon, 3.0, station());
    EXPECT_GT(*near, 0.1);
    EXPECT_LT(*antipode, 0.05);

    // 6 m is not predicted: no image, no value.
    EXPECT_FALSE(CoverageLayer::image(vilnius, Band::m6, readings(), 120.0, noon, 3.0, station()));
    EXPECT_FALSE(CoverageLayer::quickValue({ 45, 10 }, vilnius, Band::m6, readings(), 120.0, noon, 3.0, station()));
}

TEST(CoverageLayer, OneEntryCacheAnswersUntilAnInputMoves)
{
    const auto image = [](GeoCoordinate home, std::optional<double> kp, const QDateTime& date, double watts = 100) {
        return *CoverageLayer::image(home, Band::m40, readings(), 90.0, date, kp, station(watts));
    };
    const QImage first = image(vilnius, 2.0, noon);
    const int builds = CoverageLayer::imageBuilds();

    // The same 10-minute slot, Kp in the same third: the cached image.
    EXPECT_EQ(image(vilnius, 2.2, noon.addSecs(200)).cacheKey(), first.cacheKey());
    EXPECT_EQ(CoverageLayer::imageBuilds(), builds);

    // An unknown Kp is keyed apart from 2.0 but predicted as 2.0.
    const QImage unknownKp = image(vilnius, std::nullopt, noon);
    EXPECT_EQ(CoverageLayer::imageBuilds(), builds + 1);
    EXPECT_EQ(unknownKp, first);

    // A new third of Kp, a station moved by a hair, a new slot, a new
    // power: each a new image.
    image(vilnius, 2.4, noon);
    image({ vilnius.latitude + 1e-9, vilnius.longitude }, 2.0, noon);
    image(vilnius, 2.0, noon.addSecs(600));
    const QImage stronger = image(vilnius, 2.0, noon, 1500);
    EXPECT_EQ(CoverageLayer::imageBuilds(), builds + 5);
    EXPECT_GT(colouredCells(stronger), colouredCells(first));

    // An unpredicted band leaves the cache alone.
    EXPECT_FALSE(CoverageLayer::image(vilnius, Band::m2, readings(), 90.0, noon, 2.0, station()));
    EXPECT_EQ(image(vilnius, 2.0, noon, 1500).cacheKey(), stronger.cacheKey());
}

TEST(CoverageLayer, ChosenInTheToolbarItIsDrawnWithItsLegendAndFollowsTheStation)
{
    clearSettings();
    Settings& settings = Settings::standard();
    settings.set(SettingKeys::predictionEngine, "quick");
    // Only the base map under the coverage: every changed pixel is the layer's.
    settings.set(SettingKeys::showGreyline, false);
    settings.set(SettingKeys::showPrefixes, false);
    settings.set(SettingKeys::showAurora, false);
    MapViewportModel model;
    ContentView content(AppStores { nullptr, &model, nullptr, nullptr, nullptr });
    content.resize(1440, 800);
    content.show();
    WorldMapView& map = *content.mapView();
    auto* coverage = map.findChild<MapCoverage*>();
    auto* legend = map.findChild<CoverageLegend*>();
    ASSERT_TRUE(coverage && legend);
    EXPECT_FALSE(legend->isVisibleTo(&map));
    const QImage plain = renderMap(map);
    const GeoCoordinate firstHome = map.options().home;

    const auto choose = [&](const QString& title) {
        for (QAction* action : content.toolBar()->coverageGroup()->actions())
            if (action->text() == title)
                return action->trigger();
        FAIL() << qPrintable(title);
    };
    // The picture once the pool has made it: the paint itself never waits.
    const auto finished = [&] {
        QImage frame = renderMap(map);
        if (coverage->building()) {
            EXPECT_TRUE(waitUntil([&] { return !coverage->building(); }));
            frame = renderMap(map);
        }
        return frame;
    };

    choose("Coverage on 40 m");
    EXPECT_EQ(settings.get(SettingKeys::coverageBand), 40);
    EXPECT_TRUE(legend->isVisibleTo(&map));
    EXPECT_EQ(legend->title(), "Predicted coverage on 40 m, SSB, this hour (% chance) · quick model");
    EXPECT_FALSE(legend->working());
    EXPECT_EQ(legend->geometry().bottom(), map.height() - 11); // 10 points up, no cluster badge
    renderMap(map);
    EXPECT_TRUE(coverage->building());
    const QImage shown = finished();
    const QImage cells = coverage->image();
    ASSERT_FALSE(cells.isNull());
    ASSERT_GT(colouredCells(cells), 0);

    // Each cell's centre on the map: tinted where the image has colour,
    // untouched where it has none (and no neighbour's colour is smoothed
    // into it).
    const MapProjection projection = map.projection();
    const auto at
        = [&](int row, int column) { return projection.point(89.0 - 2 * row, -179.0 + 2 * column).toPoint(); };
    // Points on the view away from the home and Sun markers, which move.
    const auto comparable = [&](QPoint p) {
        if (!map.rect().adjusted(0, 0, -1, -1).contains(p))
            return false;
        const GeoCoordinate home = map.options().home;
        const GeoCoordinate sun = SolarCalculator::position(map.slowLayerDate()).subsolarPoint;
        for (const QPointF marker : { projection.point(home), projection.point(firstHome), projection.point(sun) })
            if (QLineF(marker, p).length() < 30)
                return false;
        return true;
    };
    int tinted = 0;
    for (int row = 0; row < 90; row += 2)
        for (int column = 0; column < 180; column += 2) {
            const QPoint centre = at(row, column);
            if (!comparable(centre))
                continue;
            const bool coloured = qAlpha(cells.pixel(column, row)) > 0;
            // Smoothing reaches the centre from all eight neighbours.
            bool neighbours = false;
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc)
                    neighbours = neighbours
                        || qAlpha(cells.pixel(std::clamp(column + dc, 0, 179), std::clamp(row + dr, 0, 89))) > 0;
            if (coloured) {
                EXPECT_NE(shown.pixel(centre), plain.pixel(centre)) << row << ' ' << column;
                ++tinted;
            } else if (!neighbours) {
                EXPECT_EQ(shown.pixel(centre), plain.pixel(centre)) << row << ' ' << column;
            }
        }
    EXPECT_GT(tinted, 0);

    // Power, antennas, mode and home each change the picture.
    QImage last = cells;
    const auto changes = [&](const char* what, const std::function<void()>& change) {
        change();
        finished();
        EXPECT_NE(coverage->image(), last) << what;
        last = coverage->image();
    };
    changes("power", [&] { settings.set(SettingKeys::stationPowerW, 1500.0); });
    changes("antennas", [&] {
        StationAntennas antennas;
        antennas.set(Band::m40, BandAntenna { AntennaPreset::yagi3, 30, 0 });
        settings.set(SettingKeys::stationBandAntennas, antennas.encoded());
    });
    changes("mode", [&] { settings.set(SettingKeys::predictionMode, "cw"); });
    EXPECT_EQ(legend->title(), "Predicted coverage on 40 m, CW, this hour (% chance) · quick model");
    changes("home", [&] {
        settings.set(SettingKeys::homeLatitude, -33.9);
        settings.set(SettingKeys::homeLongitude, 151.2);
    });

    // 6 m: the legend names it, no layer is drawn.
    settings.set(SettingKeys::clusterEnabled, true);
    settings.set(SettingKeys::coverageBand, 6);
    EXPECT_EQ(legend->title(), "Predicted coverage on 6 m, CW, this hour (% chance) · quick model");
    EXPECT_EQ(legend->geometry().bottom(), map.height() - 45); // lifted over the cluster badge
    const QImage sixMetres = finished();
    EXPECT_TRUE(coverage->image().isNull());
    for (int row = 0; row < 90; row += 9)
        for (int column = 0; column < 180; column += 9)
            if (comparable(at(row, column))) {
                EXPECT_EQ(sixMetres.pixel(at(row, column)), plain.pixel(at(row, column)));
            }

    // "No coverage" takes layer and legend away.
    choose("Coverage on 20 m");
    finished();
    EXPECT_FALSE(coverage->image().isNull());
    choose("No coverage");
    EXPECT_EQ(settings.get(SettingKeys::coverageBand), 0);
    EXPECT_FALSE(legend->isVisibleTo(&map));
    const QImage none = renderMap(map);
    EXPECT_TRUE(coverage->image().isNull());
    for (int row = 0; row < 90; row += 3)
        for (int column = 0; column < 180; column += 3)
            if (comparable(at(row, column))) {
                EXPECT_EQ(none.pixel(at(row, column)), plain.pixel(at(row, column)));
            }
}

TEST(CoverageLayer, WithTheEngineTheImageComesFromThePredictionStore)
{
    clearSettings();
    FakeEngine fake;
    PredictionStore predictions(new ITUEngine({ fake.engineFolder(), fake.dataFolder(), fake.bundledDataFolder(),
                                                fake.workParent() }),
                                nullptr);
    fake.setControl("delay_ms 1000"); // a job long enough to be seen working on a slow machine
    Settings& settings = Settings::standard();
    settings.set(SettingKeys::showGreyline, false);
    settings.set(SettingKeys::showPrefixes, false);
    MapViewportModel model;
    AppStores stores;
    stores.viewport = &model;
    stores.predictions = &predictions;
    WorldMapView map(stores);
    map.resize(1440, 720);
    map.show();
    ASSERT_TRUE(map.useITU());
    auto* coverage = map.findChild<MapCoverage*>();
    auto* legend = map.findChild<CoverageLegend*>();
    const QImage plain = renderMap(map);

    settings.set(SettingKeys::coverageBand, 20);
    // Nothing yet: the store starts its job, the legend says it computes.
    renderMap(map);
    EXPECT_TRUE(coverage->image().isNull());
    EXPECT_FALSE(coverage->building()); // no quick-model job
    ASSERT_TRUE(waitUntil([&] { return predictions.busy(); }));
    EXPECT_TRUE(legend->working());
    EXPECT_EQ(legend->title(), "Predicted coverage on 20 m, SSB, this hour (% chance) · ITU-R P.533");

    // The finished map is drawn; the stand-in engine gives every cell
    // 10 % or more, so the whole world is tinted.
    ASSERT_TRUE(waitUntil([&] { return predictions.coverage().has_value(); }));
    EXPECT_FALSE(legend->working());
    const QImage shown = renderMap(map);
    EXPECT_EQ(coverage->image().cacheKey(), predictions.coverage()->image.cacheKey());
    for (const QPoint place : { QPoint(100, 100), QPoint(720, 360), QPoint(1300, 650) })
        EXPECT_NE(shown.pixel(place), plain.pixel(place));
    // Repaints copy the view's frame.
    const int renders = map.frame().renders();
    renderMap(map);
    EXPECT_EQ(map.frame().renders(), renders);

    // Another band: the store still holds the 20 m map, which must not be
    // shown under the 40 m legend while the engine computes.
    settings.set(SettingKeys::coverageBand, 40);
    renderMap(map);
    EXPECT_TRUE(coverage->image().isNull());
    EXPECT_EQ(predictions.coverage()->band, Band::m20);
    ASSERT_TRUE(waitUntil([&] { return predictions.coverage()->band == Band::m40 && !predictions.busy(); }));
    renderMap(map);
    EXPECT_EQ(coverage->image().cacheKey(), predictions.coverage()->image.cacheKey());

    // The quick model again: its own image, and the legend says so.
    settings.set(SettingKeys::predictionEngine, "quick");
    EXPECT_EQ(legend->title(), "Predicted coverage on 40 m, SSB, this hour (% chance) · quick model");
    renderMap(map);
    EXPECT_TRUE(waitUntil([&] { return !coverage->building(); }));
    EXPECT_NE(coverage->image().cacheKey(), predictions.coverage()->image.cacheKey());
}
