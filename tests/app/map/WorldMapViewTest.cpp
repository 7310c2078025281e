#include "map/WorldMapView.h"
#include "map/MapShape.h"
#include "map/MapViewportModel.h"
#include "prediction/ITUEngine.h"
#include "prediction/PredictionStore.h"
#include "shell/ContentView.h"
#include "shell/MainToolBar.h"
#include "support/FakeEngine.h"
#include "support/MapRendering.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QAction>
#include <QImage>
#include <QPainter>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

void clearSettings()
{
    Settings& settings = Settings::standard();
    for (const QString& key : settings.allKeys())
        settings.remove(key);
}

// How many pixels of two pictures of one size differ by more than a
// rounding step in any channel.
int differingPixels(const QImage& a, const QImage& b)
{
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8
                || std::abs(qBlue(p) - qBlue(q)) > 8)
                ++differing;
        }
    return differing;
}

} // namespace

TEST(MapShape, KeepsTwoToOneCentredOrFills)
{
    EXPECT_EQ(MapShape::contentRect(QRect(0, 0, 1000, 300), true), QRect(200, 0, 600, 300));
    EXPECT_EQ(MapShape::contentRect(QRect(0, 0, 1000, 600), true), QRect(0, 50, 1000, 500));
    EXPECT_EQ(MapShape::contentRect(QRect(10, 20, 1000, 300), false), QRect(10, 20, 1000, 300));
    EXPECT_EQ(MapShape::contentRect(QRect(0, 0, 0, 300), true), QRect(0, 0, 0, 300));

    MapShape shape;
    auto* content = new QWidget;
    shape.resize(800, 600);
    shape.setContent(content);
    shape.show();
    EXPECT_EQ(content->geometry(), QRect(0, 0, 800, 600));
    shape.setKeepProportions(true);
    EXPECT_EQ(content->geometry(), QRect(0, 100, 800, 400));
    shape.resize(1000, 300);
    EXPECT_EQ(content->geometry(), QRect(200, 0, 600, 300));
}

TEST(WorldMapView, FitModeDecidesBaseSizeProportionsAndResetsTheViewport)
{
    clearSettings();
    MapViewportModel model;
    WorldMapView view(AppStores { nullptr, &model, nullptr, nullptr, nullptr });
    QList<bool> keep;
    QObject::connect(&view, &WorldMapView::keepProportionsChanged, [&](bool on) { keep << on; });
    view.resize(1000, 300);
    view.show();
    EXPECT_EQ(model.viewSize(), QSizeF(1000, 300));
    EXPECT_TRUE(model.fill()); // absent key: fill
    EXPECT_EQ(view.projection().base, QSizeF(1000, 500));

    model.setViewport({ 4, QPointF(0.3, 0.4) });
    Settings::standard().setValue("mapFit", "stretch");
    EXPECT_FALSE(model.fill());
    EXPECT_EQ(model.viewport(), MapViewport::world());
    EXPECT_EQ(view.projection().base, QSizeF(1000, 300));
    Settings::standard().setValue("mapFit", "whole");
    ASSERT_EQ(keep.size(), 2);
    EXPECT_EQ(keep, (QList<bool> { false, true }));
    Settings::standard().setValue("mapFit", "Whole"); // no fit mode: the default
    EXPECT_TRUE(model.fill());
}

TEST(WorldMapView, HaloAndStationSetupFromSettings)
{
    clearSettings();
    EXPECT_EQ(WorldMapView::halo(MapStyle::atlas), QColor::fromRgbF(1, 1, 1, 0.9f));
    EXPECT_EQ(WorldMapView::halo(MapStyle::dark), QColor::fromRgbF(0, 0, 0, 0.9f));

    StationSetup setup = WorldMapView::stationSetup();
    EXPECT_EQ(setup.powerW, 100.0);
    EXPECT_EQ(setup.mode, PredictionMode::ssb);
    EXPECT_EQ(setup.noise, NoiseEnvironment::residential);
    Settings::standard().setValue("predictionMode", "cw");
    Settings::standard().setValue("noiseEnvironment", "quietRural");
    Settings::standard().setValue("stationPowerW", "400");
    setup = WorldMapView::stationSetup();
    EXPECT_EQ(setup.mode, PredictionMode::cw);
    EXPECT_EQ(setup.noise, NoiseEnvironment::quietRural);
    EXPECT_EQ(setup.powerW, 400.0);
    Settings::standard().setValue("predictionMode", "FT8");
    Settings::standard().setValue("noiseEnvironment", "suburban");
    setup = WorldMapView::stationSetup();
    EXPECT_EQ(setup.mode, PredictionMode::ssb);
    EXPECT_EQ(setup.noise, NoiseEnvironment::residential);
}

TEST(WorldMapView, ToolbarToggleRedrawsTheMapAndRestartsTheSlowLayers)
{
    clearSettings();
    MapViewportModel model;
    ContentView content(AppStores { nullptr, &model, nullptr, nullptr, nullptr });
    content.resize(1200, 800);
    content.show();
    WorldMapView* map = content.mapView();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(content.mapShape()->content(), map);

    const QImage withNight = renderMap(*map);
    const QDateTime before = map->slowLayerDate();
    QThread::msleep(5);
    content.toolBar()->toggle(SettingKeys::showGreyline)->trigger();
    EXPECT_FALSE(Settings::standard().boolValue("showGreyline", true));
    EXPECT_GT(map->slowLayerDate(), before);
    const QImage withoutNight = renderMap(*map);
    EXPECT_NE(withNight, withoutNight);

    // Keys the map does not read leave its timeline alone.
    const QDateTime after = map->slowLayerDate();
    QThread::msleep(5);
    Settings::standard().setValue("welcomeShown", true);
    EXPECT_EQ(map->slowLayerDate(), after);
}

TEST(WorldMapView, OverlaysArePinnedToTheirSideOrCorner)
{
    using O = WorldMapView::Overlay;
    const QSize map(1000, 500);
    const QSize badge(200, 30);
    const struct {
        O overlay;
        bool cluster;
        QPoint topLeft;
    } cases[] = {
        { O::coverageLegend, true, { 400, 426 } }, { O::coverageLegend, false, { 400, 460 } },
        { O::clusterBadge, true, { 400, 460 } },   { O::mufLegend, false, { 790, 460 } },
        { O::zoomBadge, false, { 790, 10 } },      { O::legendColumn, true, { 10, 460 } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(WorldMapView::overlayRect(c.overlay, badge, map, c.cluster), QRect(c.topLeft, badge))
            << int(c.overlay);
    // Never larger than the map leaves room for.
    EXPECT_EQ(WorldMapView::overlayRect(O::zoomBadge, QSize(2000, 30), map, false), QRect(10, 10, 980, 30));

    clearSettings();
    MapViewportModel model;
    WorldMapView view(AppStores { nullptr, &model, nullptr, nullptr, nullptr });
    view.resize(map);
    view.show();
    auto* legend = new QWidget;
    legend->setFixedSize(badge);
    view.addOverlay(O::coverageLegend, legend);
    EXPECT_EQ(legend->parentWidget(), &view);
    EXPECT_EQ(legend->geometry(), QRect(QPoint(400, 460), badge));
    Settings::standard().setValue("clusterEnabled", true);
    EXPECT_EQ(legend->geometry(), QRect(QPoint(400, 426), badge));
    view.resize(800, 400);
    EXPECT_EQ(legend->geometry(), QRect(QPoint(300, 326), badge));
    EXPECT_EQ(view.legendColumn()->parentWidget(), &view);
}

TEST(WorldMapView, PredictsWithTheEngineOnlyWhenAskedAndInstalled)
{
    clearSettings();
    FakeEngine fake;
    auto* predictions = new PredictionStore(new ITUEngine({ fake.engineFolder(), fake.dataFolder(),
                                                            fake.bundledDataFolder(), fake.workParent() }),
                                            nullptr);
    std::unique_ptr<PredictionStore> owner(predictions);
    MapViewportModel model;
    AppStores stores;
    stores.viewport = &model;
    stores.predictions = predictions;
    WorldMapView view(stores);

    EXPECT_TRUE(view.useITU()); // absent key: "itu"
    Settings::standard().set(SettingKeys::predictionEngine, "quick");
    EXPECT_FALSE(view.useITU());
    Settings::standard().set(SettingKeys::predictionEngine, "anything else");
    EXPECT_TRUE(view.useITU());
    fake.uninstall();
    EXPECT_FALSE(view.useITU());
    EXPECT_FALSE(WorldMapView(AppStores { nullptr, &model, nullptr, nullptr, nullptr }).useITU());

    // The map's chart for a place comes from the engine.
    FakeEngine installed;
    std::unique_ptr<PredictionStore> engineStore(
        new PredictionStore(new ITUEngine({ installed.engineFolder(), installed.dataFolder(),
                                            installed.bundledDataFolder(), installed.workParent() }),
                            nullptr));
    stores.predictions = engineStore.get();
    WorldMapView engineView(stores);
    Settings::standard().set(SettingKeys::predictionEngine, "itu");
    ASSERT_TRUE(engineView.useITU());
    const PrefixEntity place { "VK", "Australia", -25, 135, "OC" };
    const auto ask = [&] {
        return engineStore->chart(place, engineView.options().home, WorldMapView::stationSetup(), std::nullopt,
                                  QDateTime::currentDateTimeUtc());
    };
    EXPECT_FALSE(ask().has_value());
    ASSERT_TRUE(waitUntil([&] { return ask().has_value(); }));
    EXPECT_EQ(installed.started(), 2);
}

TEST(WorldMapView, EachViewKeepsItsOwnPictures)
{
    // Two windows of different sizes over one viewport, painted in turn as
    // the spot layer's blink would: after each view's first paint, every
    // repaint copies that view's own frame.
    clearSettings();
    Settings::standard().setValue("showCQZones", true);
    Settings::standard().setValue("showITUZones", true);
    MapViewportModel model;
    const AppStores stores { nullptr, &model, nullptr, nullptr, nullptr };
    WorldMapView small(stores);
    WorldMapView large(stores);
    small.resize(800, 400);
    large.resize(1100, 700);

    const QImage smallFirst = renderMap(small);
    const QImage largeFirst = renderMap(large);
    for (int beat = 0; beat < 3; ++beat) {
        EXPECT_EQ(renderMap(small), smallFirst);
        EXPECT_EQ(renderMap(large), largeFirst);
    }
    for (const WorldMapView* view : { &small, &large })
        EXPECT_EQ(view->frame().renders(), 1);

    // A change one view shows is drawn anew in each view, once.
    Settings::standard().setValue("mapStyle", "atlas");
    renderMap(small);
    renderMap(large);
    renderMap(small);
    EXPECT_EQ(small.frame().renders(), 2);
    EXPECT_EQ(large.frame().renders(), 2);
}

TEST(WorldMapView, HugeStoredFontSizesDrawAtTheLargestTheSettingsOffer)
{
    // A hand-edited settings file asks for labels thousands of points high;
    // the map draws them at the largest size its settings controls offer
    // (prefixes and grid 24, zones 40) instead of rendering giant labels.
    clearSettings();
    Settings& settings = Settings::standard();
    settings.setValue("showCQZones", true);
    settings.setValue("showGrid", true);
    MapViewportModel model;
    WorldMapView view(AppStores { nullptr, &model, nullptr, nullptr, nullptr });
    view.resize(900, 450);
    const QImage ordinary = renderMap(view);

    settings.setValue("prefixFontSize", "2000");
    settings.setValue("zoneFontSize", 5000);
    settings.setValue("gridFontSize", "1e6");
    const QImage huge = renderMap(view);
    EXPECT_EQ(view.options().prefixSize, 24);
    EXPECT_EQ(view.options().zoneSize, 40);
    EXPECT_EQ(view.options().gridSize, 24);

    settings.setValue("prefixFontSize", 24);
    settings.setValue("zoneFontSize", 40);
    settings.setValue("gridFontSize", 24);
    // The same picture, but for the Sun marker, which moves on with the
    // clock by a fraction of a pixel.
    EXPECT_EQ(differingPixels(renderMap(view), huge), 0);
    EXPECT_GT(differingPixels(huge, ordinary), 1000);
}
