// The whole map frame with every layer on, pixel for pixel: base map with
// graticule, aurora, greyline, the quick model's coverage, MUF shading with
// borders over it and labelled contours, ITU and CQ zones, prefixes,
// ionosonde dots, markers, a rotator's beam and blinking spots, for a fixed
// clock and fixed data (the space weather feeds from a local peer, spots
// fed to the cluster client, a rotator on a local rotctld). The ionosonde
// readings carry the real time, since their reader drops old ones; nothing
// drawn depends on it. Each frame is
// compared with the reference picture kept beside this file, at one and two
// device pixels per point, for the whole world and for a zoomed-in view;
// then the same frames must come out of every shortcut the view takes
// (a repaint, a pan or a zoom gesture that has come to rest).
//
// A deliberate change of what the map draws is recorded by running this
// test once with CORVANTA_UPDATE_FRAMES=1, which writes the pictures anew.

#include "cluster/DXClusterClient.h"
#include "map/MapCoverage.h"
#include "map/MapInput.h"
#include "map/MapViewportModel.h"
#include "map/SpaceWeatherLayers.h"
#include "map/WorldMapView.h"
#include "rotator/RotatorManager.h"
#include "spaceweather/Ionosonde.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/ClusterNodePeer.h"
#include "support/FastRotatorTimings.h"
#include "support/HttpPeer.h"
#include "support/RotctldPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QBackingStore>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace std::chrono_literals;

namespace {

const QDateTime clock(QDate(2026, 8, 18), QTime(12, 4, 30), Qt::UTC);

QString referenceFolder() { return qEnvironmentVariable("CORVANTA_SOURCE_DIR") + "/tests/app/map/frames/"; }

// The map painted into an image at a pixel ratio, over magenta so that a
// pixel the map leaves alone shows.
QImage frame(WorldMapView& view, double ratio)
{
    QImage image(view.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    view.render(painter);
    return image;
}

// How many pixels differ by more than `tolerance` in a channel; the first
// difference is named in `where`.
int differing(const QImage& a, const QImage& b, QString& where, int tolerance = 0)
{
    const auto near = [tolerance](QRgb p, QRgb q) {
        return std::abs(qRed(p) - qRed(q)) <= tolerance && std::abs(qGreen(p) - qGreen(q)) <= tolerance
            && std::abs(qBlue(p) - qBlue(q)) <= tolerance && std::abs(qAlpha(p) - qAlpha(q)) <= tolerance;
    };
    if (a.size() != b.size()) {
        where = "sizes differ";
        return a.width() * a.height();
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if (!near(p[x], q[x]) && count++ == 0)
                where = QStringLiteral("%1,%2: %3 instead of %4")
                            .arg(x)
                            .arg(y)
                            .arg(p[x], 8, 16, QChar('0'))
                            .arg(q[x], 8, 16, QChar('0'));
    }
    return count;
}

struct MapFrame : testing::Test {
    HttpPeer feeds;
    RotctldPeer daemon;
    Settings& settings = Settings::standard();
    std::unique_ptr<SpaceWeatherStore> weather;
    std::unique_ptr<DXClusterClient> cluster;
    std::unique_ptr<RotatorManager> rotors;
    MapViewportModel viewport;
    std::unique_ptr<WorldMapView> view;

    void SetUp() override
    {
        for (const QString& key : settings.allKeys())
            settings.remove(key);
        for (const BoolKey& key : { SettingKeys::showAurora, SettingKeys::showGreyline, SettingKeys::showMUF,
                                    SettingKeys::showPrefixes, SettingKeys::showGrid, SettingKeys::showCQZones,
                                    SettingKeys::showITUZones, SettingKeys::mufContours, SettingKeys::bordersOverMUF,
                                    SettingKeys::clusterEnabled })
            settings.set(key, true);
        settings.set(SettingKeys::coverageBand, 20);
        settings.set(SettingKeys::predictionEngine, "quick");
        settings.set(SettingKeys::callsign, "LY2ABC");
        settings.set(SettingKeys::clusterWatchCalls, "VK2ABC");

        ASSERT_TRUE(feeds.listen());
        setenv("CORVANTA_FEEDS_BASE", qPrintable(feeds.base()), 1);
        SpaceWeatherFeeds::serveAll(feeds);
        SpaceWeatherStore::Options options;
        options.startLoop = false;
        weather = std::make_unique<SpaceWeatherStore>(options);
        weather->refresh();
        ASSERT_TRUE(waitUntil([&] { return !weather->isLoading(); }));
        ASSERT_TRUE(weather->snapshot().aurora);
        ASSERT_FALSE(weather->snapshot().ionosondes.isEmpty());

        DXClusterClient::Timing timing;
        timing.now = [] { return clock; };
        DXClusterClient::Services services;
        services.labels = WorldMapView::prefixes();
        cluster = std::make_unique<DXClusterClient>(settings, timing, services);
        cluster->ingest(ClusterNodePeer::liveSpot("W3LPL", 14025, "JA1ABC", "cw", clock.time())
                        + ClusterNodePeer::liveSpot("DL1XX", 7025, "PY2XYZ", "cw", clock.time())
                        + ClusterNodePeer::liveSpot("K1TTT", 21025, "VK2ABC", "ssb", clock.time()));

        ASSERT_TRUE(daemon.isRunning()) << "rotctld (Debian libhamlib-utils) is needed";
        RotatorConfig tower;
        tower.name = "Tower";
        tower.proto = RotatorProtocol::rotctld;
        tower.host = "127.0.0.1";
        tower.tcpPort = daemon.port();
        tower.color = "#00FF00";
        tower.beamWidth = 30;
        RotatorConfig::save(settings, { tower });
        rotors = std::make_unique<RotatorManager>(settings, fastRotatorTimings());
        ASSERT_TRUE(waitUntil([&] {
            const auto status = rotors->status();
            return !status.isEmpty() && status.begin()->heading.has_value();
        }));

        view = std::make_unique<WorldMapView>(
            AppStores { weather.get(), &viewport, cluster.get(), nullptr, rotors.get() });
        view->setClock([] { return clock; });
        view->resize(640, 320);
        view->show();
        ASSERT_EQ(view->spotGroups().size(), 3);
    }

    void TearDown() override
    {
        view.reset();
        rotors.reset();
        setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9", 1);
    }

    // Paints until the pictures built away from the paint (aurora, MUF,
    // coverage) have arrived and a paint asks for nothing new.
    QImage settled(double ratio) { return settledFrame(*view, ratio); }

    static QImage settledFrame(WorldMapView& map, double ratio)
    {
        const auto building = [&] {
            return map.findChild<SpaceWeatherLayers*>()->building() || map.findChild<MapCoverage*>()->building();
        };
        QImage last = frame(map, ratio);
        const QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
            if (building())
                continue;
            QImage next = frame(map, ratio);
            if (next == last && !building())
                return next;
            last = std::move(next);
        }
        ADD_FAILURE() << "the map's pictures never settled";
        return last;
    }

    // The reference picture of a name, written anew when asked to.
    void expectReference(const QImage& image, const QString& name)
    {
        const QString file = referenceFolder() + name + ".png";
        if (qEnvironmentVariableIntValue("CORVANTA_UPDATE_FRAMES") == 1) {
            QDir().mkpath(referenceFolder());
            ASSERT_TRUE(image.save(file));
            return;
        }
        QImage reference(file);
        ASSERT_FALSE(reference.isNull()) << "no reference picture " << file.toStdString();
        reference = reference.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QString where;
        const int count = differing(image, reference, where);
        if (count > 0) {
            // In the test process's own folder (see TestEnvironment).
            const QString saved = qEnvironmentVariable("XDG_CACHE_HOME") + "/" + name + "-drawn.png";
            image.save(saved);
            ADD_FAILURE() << name.toStdString() << ": " << count << " pixels differ, first at " << where.toStdString()
                          << "; drawn picture in " << saved.toStdString();
        }
    }
};

const MapViewport europe { 3, QPointF(0.56, 0.22) };

TEST_F(MapFrame, EveryLayerAtOneAndTwoPixelsPerPointAsTheReferencePictures)
{
    for (const double ratio : { 1.0, 2.0 }) {
        const QString suffix = ratio == 1 ? "-1x" : "-2x";
        viewport.setViewport(MapViewport::world());
        expectReference(settled(ratio), "world" + suffix);
        // A repaint with nothing changed shows the same.
        expectReference(frame(*view, ratio), "world" + suffix);

        viewport.setViewport(europe);
        expectReference(settled(ratio), "europe" + suffix);
        expectReference(frame(*view, ratio), "europe" + suffix);
    }
}

// A frame goes straight into the image a painter writes to, at the view's
// place in it: band by band as it is drawn (here nothing is drawn over the
// whole frame at the end: no rotator), and as one copy when the view only
// repaints; in a window only the part the window system asks for.
TEST_F(MapFrame, AWindowShowsTheFrameAtTheViewsPlace)
{
    QWidget window;
    window.resize(700, 380);
    MapViewportModel mapViewport;
    auto* map = new WorldMapView(AppStores { weather.get(), &mapViewport, cluster.get(), nullptr, nullptr }, &window);
    map->setClock([] { return clock; });
    map->resize(640, 320);
    map->move(33, 21);
    window.show();
    settledFrame(*map, 1);
    const int renders = map->frame().renders();
    mapViewport.setViewport(europe);
    window.repaint();
    EXPECT_EQ(map->frame().renders(), renders + 1);
    auto* buffer = dynamic_cast<QImage*>(window.backingStore()->paintDevice());
    ASSERT_NE(buffer, nullptr);
    const QImage copied = frame(*map, 1);
    EXPECT_EQ(map->frame().renders(), renders + 1);
    // The middle of the map, clear of the legends, badges and hover panel
    // (on a map this small those of the bottom centre stack up above the
    // corners' legends).
    const QRect middle(120, 40, 400, 100);
    QString where;
    EXPECT_EQ(differing(buffer->copy(middle.translated(33, 21)), copied.copy(middle), where), 0) << where.toStdString();

    buffer->fill(Qt::magenta);
    map->repaint(QRect(200, 100, 50, 40));
    EXPECT_EQ(buffer->pixel(33 + 199, 21 + 120), QColor(Qt::magenta).rgb());
    EXPECT_EQ(buffer->pixel(33 + 200, 21 + 120), copied.pixel(200, 120));
    EXPECT_EQ(buffer->pixel(33 + 249, 21 + 139), copied.pixel(249, 139));
    EXPECT_EQ(buffer->pixel(33 + 250, 21 + 139), QColor(Qt::magenta).rgb());

    // Into an image of two pixels per point, drawn anew and then copied.
    const QImage drawn = frame(*map, 2);
    EXPECT_EQ(map->frame().renders(), renders + 2);
    EXPECT_EQ(differing(drawn, frame(*map, 2), where), 0) << where.toStdString();

    // Into a caller's image whose pixels a copy shares: the copy stays.
    QImage shared(copied.size(), copied.format());
    shared.fill(Qt::magenta);
    const QImage copy = shared;
    QPainter painter(&shared);
    map->render(painter);
    EXPECT_TRUE(copy.pixel(320, 160) == QColor(Qt::magenta).rgb() && shared == copied);
}

// A drag that comes back to where it started, then rests: while it runs
// the frame is the finished one moved, and what a step uncovers or what is
// pinned to the view (the graticule's labels) is drawn afresh; once it
// rests, the crisp frame is exactly the reference again.
TEST_F(MapFrame, ADragMovesTheFrameAndTheRestedFrameIsTheReference)
{
    MapViewportModel otherViewport;
    WorldMapView other(AppStores { weather.get(), &otherViewport, cluster.get(), nullptr, rotors.get() });
    other.setClock([] { return clock; });
    other.resize(view->size());
    for (const double ratio : { 1.0, 2.0 }) {
        const QString name = ratio == 1 ? "europe-1x" : "europe-2x";
        viewport.setViewport(europe);
        settled(ratio);
        const int renders = view->frame().renders();
        MapInput& input = *view->input();
        QImage moved;
        MapViewport movedTo;
        for (const QSizeF step : { QSizeF(40, 20), QSizeF(80, 40), QSizeF(40, 20), QSizeF(0, 0) }) {
            input.dragChanged(step);
            const QImage moving = frame(*view, ratio);
            EXPECT_TRUE(view->inGesture());
            if (step == QSizeF(80, 40))
                std::tie(moved, movedTo) = std::pair(moving, viewport.viewport());
        }
        input.gestureEnded();
        EXPECT_EQ(viewport.viewport(), europe);
        EXPECT_EQ(view->frame().renders(), renders); // moved, never drawn whole
        // Back where it started, what no step drew afresh was only moved.
        QImage reference(referenceFolder() + name + ".png");
        reference = reference.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QString where;
        const QRect inner(QPoint(90, 10) * ratio, QSize(460, 240) * ratio);
        EXPECT_EQ(differing(frame(*view, ratio).copy(inner), reference.copy(inner), where), 0) << where.toStdString();

        // At rest (the view's own 150 ms), the crisp frame.
        ASSERT_TRUE(waitUntil([&] { return !view->inGesture(); }));
        expectReference(frame(*view, ratio), name);
        EXPECT_GT(view->frame().renders(), renders);

        // What the second step uncovered, and the pinned labels, are what a
        // view that never moved shows (up to the image filter's rounding).
        otherViewport.setViewport(movedTo);
        const QImage crisp = settledFrame(other, ratio);
        QRegion fresh = QRegion(0, 0, 40, 320) + QRegion(0, 0, 640, 20);
        for (const QRectF& area : view->pinnedAreas(view->projection()))
            fresh += area.toAlignedRect();
        for (const QRect& area : fresh) {
            const QRect pixels(area.topLeft() * ratio, area.size() * ratio);
            EXPECT_EQ(differing(moved.copy(pixels), crisp.copy(pixels), where, 3), 0) << where.toStdString();
        }
    }
}

// Scroll-wheel zooming scales the frame it started from; at rest the view
// draws what a view that never zoomed draws at the same viewport.
TEST_F(MapFrame, AWheelZoomScalesTheFrameAndTheRestedFrameIsDrawnAnew)
{
    MapViewportModel otherViewport;
    WorldMapView other(AppStores { weather.get(), &otherViewport, cluster.get(), nullptr, rotors.get() });
    other.setClock([] { return clock; });
    other.resize(view->size());
    for (const double ratio : { 1.0, 2.0 }) {
        viewport.setViewport(europe);
        settled(ratio);
        const int renders = view->frame().renders();
        const QPointF pointer(250, 120);
        // In, and out past the start: the last step uncovers the margins.
        for (const double factor : { 1.16, 1.16, 1 / 1.16, 1 / 1.16, 1 / 1.16 }) {
            view->input()->wheelZoomed(factor, pointer);
            frame(*view, ratio);
        }
        EXPECT_EQ(view->frame().renders(), renders);
        EXPECT_GT(view->frame().follows(), 0);
        view->settle();
        const QImage rested = frame(*view, ratio);
        EXPECT_EQ(view->frame().renders(), renders + 1);

        otherViewport.setViewport(viewport.viewport());
        const QImage fresh = settledFrame(other, ratio);
        QString where;
        EXPECT_EQ(differing(rested, fresh, where), 0) << where.toStdString();
    }
}

} // namespace
