// The map's space weather layers on the real road: the space weather store
// fetches the services' answers from a local peer, the map view builds its
// pictures from the published snapshot, and the rendered pixels are read at
// known places.
#include "geo/SolarCalculator.h"
#include "kit/MUFPalette.h"
#include "map/AuroraLegend.h"
#include "map/MUFContourLayer.h"
#include "map/MUFLayer.h"
#include "map/MUFLegend.h"
#include "map/MapViewportModel.h"
#include "map/SpaceWeatherLayers.h"
#include "map/WorldMapView.h"
#include "map/ZoomBadge.h"
#include "spaceweather/Ionosonde.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/HttpPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/WaitUntil.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace Feeds = SpaceWeatherFeeds;
using namespace std::chrono_literals;

namespace {

int distance(QRgb a, QRgb b)
{
    return std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)) });
}

// The colour of `pixel` (premultiplied or not) drawn at `opacity` on `under`.
QRgb blend(QRgb under, QRgb pixel, double opacity)
{
    const QRgb over = qUnpremultiply(pixel);
    const auto mix = [opacity](int u, int o) { return int(std::lround(u + (o - u) * opacity)); };
    return qRgb(mix(qRed(under), qRed(over)), mix(qGreen(under), qGreen(over)), mix(qBlue(under), qBlue(over)));
}

// A 1440 × 720 map over a store that reads every feed from a local peer,
// with the layers that would tint the pixels under test switched off.
struct MapWithFeeds : testing::Test {
    HttpPeer peer;
    Settings& settings = Settings::standard();
    QDateTime clock = QDateTime::currentDateTimeUtc();
    std::unique_ptr<SpaceWeatherStore> store;
    MapViewportModel viewport;
    std::unique_ptr<WorldMapView> view;

    void SetUp() override
    {
        ASSERT_TRUE(peer.listen());
        setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
        Feeds::serveAll(peer);
        for (const QString& key : settings.allKeys())
            settings.remove(key);
        settings.set(SettingKeys::showGreyline, false);
        settings.set(SettingKeys::showPrefixes, false);
        settings.set(SettingKeys::showGrid, false);
        SpaceWeatherStore::Options options;
        options.startLoop = false;
        options.now = [this] { return clock; };
        store = std::make_unique<SpaceWeatherStore>(options);
        view = std::make_unique<WorldMapView>(AppStores { store.get(), &viewport, nullptr, nullptr, nullptr });
        view->resize(1440, 720);
        view->show();
    }

    void TearDown() override
    {
        view.reset();
        setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9", 1);
    }

    void refresh()
    {
        store->refresh();
        ASSERT_TRUE(waitUntil([&] { return !store->isLoading(); }));
    }

    SpaceWeatherLayers& layers() { return *view->findChild<SpaceWeatherLayers*>(); }

    // The map as painted once its pictures are built.
    QImage render()
    {
        QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
        auto paint = [&] {
            image.fill(Qt::magenta);
            QPainter painter(&image);
            view->render(painter);
        };
        paint();
        if (layers().building()) {
            EXPECT_TRUE(waitUntil([&] { return !layers().building(); }));
            paint();
        }
        return image;
    }

    // A place on this map: four points per degree, the world filling it.
    static QPoint at(double latitude, double longitude)
    {
        return QPoint(int(std::lround((longitude + 180) * 4)), int(std::lround((90 - latitude) * 4)));
    }
};

} // namespace

TEST_F(MapWithFeeds, AuroraOvalIsShadedNearThePoleWithItsLegend)
{
    settings.set(SettingKeys::showAurora, true);
    settings.set(SettingKeys::auroraOpacity, 1.0);
    const QImage before = render();
    EXPECT_FALSE(view->findChild<AuroraLegend*>()->isVisibleTo(view.get())); // no grid yet

    refresh();
    ASSERT_TRUE(store->snapshot().aurora);
    const QImage shaded = render();
    // The forecast gives 72 % and a little more at 67° N: yellow turning to
    // red at 90 % of opacity, over the dark sea.
    const QRgb oval = shaded.pixel(at(67, 0));
    EXPECT_GT(qRed(oval), 215);
    EXPECT_LT(qGreen(oval), 0.7 * qRed(oval));
    EXPECT_LT(qBlue(oval), 50);
    EXPECT_LT(qRed(before.pixel(at(67, 0))), 80);
    // The south has its oval too; the mid-latitudes have none.
    EXPECT_GT(qRed(shaded.pixel(at(-67, 100))), 215);
    EXPECT_EQ(shaded.pixel(at(-40, 20)), before.pixel(at(-40, 20)));

    auto* legend = view->findChild<AuroraLegend*>();
    EXPECT_TRUE(legend->isVisibleTo(view.get()));
    EXPECT_TRUE(legend->sourceLine().startsWith("NOAA OVATION, ")) << legend->sourceLine().toStdString();
    EXPECT_EQ(legend->parentWidget(), view->legendColumn());

    // Half the opacity: a weaker oval, from an image made anew with it.
    settings.set(SettingKeys::auroraOpacity, 0.5);
    const QRgb half = render().pixel(at(67, 0));
    EXPECT_LT(qRed(half), qRed(oval) - 60);

    // Off: the image goes, and so does the legend.
    settings.set(SettingKeys::showAurora, false);
    EXPECT_EQ(render().pixel(at(67, 0)), before.pixel(at(67, 0)));
    EXPECT_TRUE(layers().auroraImage().isNull());
    EXPECT_FALSE(legend->isVisibleTo(view.get()));
}

TEST_F(MapWithFeeds, MUFShadingDotsAndLegendFollowTheReadings)
{
    peer.serve(Feeds::path(Zelq::stationsURL()), 200, "[]");
    settings.set(SettingKeys::showAurora, false);
    settings.set(SettingKeys::showMUF, true);
    settings.set(SettingKeys::mufOpacity, 0.9); // the most the slider gives
    settings.set(SettingKeys::bordersOverMUF, false);
    settings.set(SettingKeys::mufContours, false);
    refresh();
    auto* legend = view->findChild<MUFLegend*>();

    // No readings: the model alone is shaded, without a legend.
    QImage map = render();
    ASSERT_FALSE(layers().mufImage().isNull());
    EXPECT_FALSE(legend->isVisibleTo(view.get()));

    // Readings arrive with the next refresh (the last ones are old enough).
    Feeds::serveAll(peer);
    clock = clock.addSecs(15 * 60);
    refresh();
    ASSERT_EQ(store->snapshot().ionosondes.size(), 2);
    map = render();
    EXPECT_TRUE(legend->isVisibleTo(view.get()));
    EXPECT_EQ(legend->geometry().bottomRight(), QPoint(1429, 709)); // bottom trailing, 10 points in

    // The shading shows the cell's colour at 90 %: one pixel of the image per
    // degree, stretched over the map. Checked at an open-sea cell inside a
    // band of one colour, away from the Sun's marker.
    const QImage& field = layers().mufImage();
    const GeoCoordinate sun = SolarCalculator::position(view->slowLayerDate()).subsolarPoint;
    auto pixelOf = [](const GeoCoordinate& c) { return QPoint(int(c.longitude + 180), int(90 - c.latitude)); };
    auto suits = [&](const GeoCoordinate& c) {
        if (GeoMath::distanceKm(sun, c) < 3000)
            return false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (field.pixel(pixelOf(c) + QPoint(dx, dy)) != field.pixel(pixelOf(c)))
                    return false;
        return true;
    };
    const QList<GeoCoordinate> seas { { -10.5, -19.5 }, { 40.5, -150.5 }, { -30.5, -100.5 },
                                      { -45.5, 60.5 },  { 10.5, -140.5 }, { -20.5, 80.5 } };
    const auto sea = std::ranges::find_if(seas, suits);
    ASSERT_NE(sea, seas.end());
    const GeoCoordinate cell = *sea;
    const QPoint cellPixel = pixelOf(cell);
    settings.set(SettingKeys::showMUF, false);
    const QRgb under = render().pixel(at(cell.latitude, cell.longitude));
    settings.set(SettingKeys::showMUF, true);
    map = render();
    EXPECT_LE(distance(map.pixel(at(cell.latitude, cell.longitude)), blend(under, field.pixel(cellPixel), 0.9)), 3);

    // Juliusruh measured 24.3 MHz: its dot carries "24" in the palette's
    // colour for 24.3, nearly opaque (scored 90).
    const MUFPalette palette = MUFPalette::fromHex(QString());
    const QPoint dot = at(54.6, 13.4);
    EXPECT_LE(distance(map.pixel(dot + QPoint(0, 9)), palette.color(24.3).rgb()), 16);
    EXPECT_EQ(MUFLayer::label(24.3), "24");

    // Banded shading has only the ten level colours; smooth has many more.
    auto colours = [](const QImage& image) {
        QSet<QRgb> seen;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                seen.insert(image.pixel(x, y));
        return seen.size();
    };
    EXPECT_LE(colours(field), 10);
    settings.set(SettingKeys::mufBanded, false);
    const QImage smooth = render();
    EXPECT_GT(colours(layers().mufImage()), 100);
    EXPECT_LE(distance(smooth.pixel(at(cell.latitude, cell.longitude)),
                       blend(under, layers().mufImage().pixel(cellPixel), 0.9)),
              3);
    // Another opacity: the shading is made anew with it.
    settings.set(SettingKeys::mufOpacity, 0.3);
    EXPECT_LE(distance(render().pixel(at(cell.latitude, cell.longitude)),
                       blend(under, layers().mufImage().pixel(cellPixel), 0.3)),
              3);
    settings.set(SettingKeys::mufOpacity, 0.9);

    // Contour labels sit on dark plates (the halo colour of the dark style)
    // over the shading.
    settings.set(SettingKeys::mufContours, true);
    const QImage lined = render();
    const QList<MUFModel::Contour>& contours = layers().contours();
    ASSERT_EQ(contours.size(), 10);
    // Labels near a dot, the Sun's or the station's marker or another label
    // may be covered; the others show their plate beside the text. Where
    // the labels fall depends on the hour.
    QList<QPoint> labels;
    for (const MUFModel::Contour& contour : contours)
        for (const QPointF& label : contour.labels)
            labels.append(QPoint(int(label.x() * 4), int(label.y() * 4)));
    const GeoCoordinate home = view->options().home;
    auto crowded = [&](QPoint p) {
        if ((at(sun.latitude, sun.longitude) - p).manhattanLength() < 50
            || (at(home.latitude, home.longitude) - p).manhattanLength() < 50)
            return true;
        for (const IonosondeReading& reading : store->snapshot().ionosondes)
            if ((at(reading.coordinate.latitude, reading.coordinate.longitude) - p).manhattanLength() < 50)
                return true;
        return std::ranges::count_if(labels, [&](QPoint q) { return (q - p).manhattanLength() < 50; }) > 1;
    };
    int plates = 0;
    for (const MUFModel::Contour& contour : contours)
        for (const QPointF& label : contour.labels) {
            const QPoint p(int(label.x() * 4), int(label.y() * 4));
            if (!QRect(30, 30, 1380, 660).contains(p) || crowded(p))
                continue;
            const int w = int(
                QFontMetricsF(MUFContourLayer::labelFont()).horizontalAdvance(MUFContourLayer::label(contour.level)));
            const QPoint beside = p - QPoint(w / 2 + 2, 0);
            auto brightness = [&](const QImage& image) {
                const QRgb px = image.pixel(beside);
                return qRed(px) + qGreen(px) + qBlue(px);
            };
            // Black at 0.9 × 0.75 over the shading leaves a third of it.
            EXPECT_LT(brightness(lined), 0.4 * brightness(smooth)) << contour.level;
            ++plates;
        }
    EXPECT_GT(plates, 0);

    // Off: shading, dots and legend go, and their images are freed.
    settings.set(SettingKeys::showMUF, false);
    const QImage off = render();
    EXPECT_NE(off.pixel(dot + QPoint(0, 9)), lined.pixel(dot + QPoint(0, 9)));
    EXPECT_FALSE(legend->isVisibleTo(view.get()));
    EXPECT_TRUE(layers().mufImage().isNull());
}

TEST_F(MapWithFeeds, RepaintCopiesThePicturesUntilTheViewChangesAndTheZoomBadgeResets)
{
    settings.set(SettingKeys::showAurora, true);
    settings.set(SettingKeys::showMUF, true);
    refresh();
    const QImage first = render();
    const int renders = view->frame().renders();
    EXPECT_GT(renders, 0);
    EXPECT_EQ(render(), first);
    EXPECT_EQ(view->frame().renders(), renders);

    auto* badge = view->findChild<ZoomBadge*>();
    EXPECT_FALSE(badge->isVisibleTo(view.get()));
    viewport.setViewport({ 1.001, QPointF(0.5, 0.5) });
    EXPECT_FALSE(badge->isVisibleTo(view.get()));
    viewport.setViewport({ 2.5, QPointF(0.3, 0.3) });
    EXPECT_TRUE(badge->isVisibleTo(view.get()));
    EXPECT_EQ(badge->text(), QString::fromUtf8("2.5×"));
    EXPECT_EQ(badge->geometry().topRight(), QPoint(1429, 10));
    render();
    EXPECT_GT(view->frame().renders(), renders);

    badge->resetButton()->click();
    EXPECT_EQ(viewport.viewport(), MapViewport::world());
    EXPECT_FALSE(badge->isVisibleTo(view.get()));
}
