// The spotted countries on the map: the layer's beat and drawing, and the
// map view that feeds it from the cluster client.
#include "cluster/DXClusterClient.h"
#include "kit/LabelFonts.h"
#include "map/DXSpotLayer.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "support/ClusterNodePeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
const QColor spotColour(0xFF, 0x4F, 0xD8);
const QColor neededColour(0xFF, 0xC4, 0x00);
const QColor watchColour(0x3C, 0xF0, 0xA0);

SpotGroup group(const QString& prefix, double lat, double lon, bool needed, bool watched)
{
    SpotGroup g { { prefix, prefix, lat, lon, "EU" }, {}, {}, {} };
    if (needed)
        g.neededIDs.insert(prefix + "|20");
    if (watched)
        g.watchedIDs.insert(prefix + "|20");
    return g;
}

// A 360 × 180 view of the world: x = longitude + 180, y = 90 − latitude.
DXSpotLayer layer(QList<SpotGroup> groups)
{
    return { MapProjection::forView(QSizeF(360, 180), MapViewport::world(), true),
             std::move(groups),
             labelFont("System", 10, true),
             spotColour,
             neededColour,
             watchColour,
             QColor::fromRgbF(0, 0, 0, 0.9f) };
}

QImage draw(const DXSpotLayer& spots, const QDateTime& at)
{
    QImage image(360, 180, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    spots.paint(painter, at);
    return image;
}

QColor pixel(const QImage& image, double x, double y) { return image.pixelColor(int(x), int(y)); }

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24
        && std::abs(a.blue() - b.blue()) < 24;
}

// The first column of row 90, from the left, whose pixel is near the colour.
int firstColumn(const QImage& image, const QColor& colour)
{
    for (int x = 0; x < image.width(); ++x)
        if (near(image.pixelColor(x, 90), colour))
            return x;
    return -1;
}

} // namespace

TEST(DXSpotLayer, BeatRingAndBlinkFollowTheClock)
{
    EXPECT_EQ(DXSpotLayer::beat(reference), 0);
    EXPECT_EQ(DXSpotLayer::beat(reference.addMSecs(299)), 0);
    EXPECT_EQ(DXSpotLayer::beat(reference.addMSecs(300)), 1);
    EXPECT_EQ(DXSpotLayer::beat(reference.addMSecs(-1)), -1);
    EXPECT_EQ(DXSpotLayer::beat(QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC)), 2727756000);

    EXPECT_EQ(DXSpotLayer::ringSpread(4000), 4);
    EXPECT_DOUBLE_EQ(DXSpotLayer::ringOpacity(4000), 0.9);
    EXPECT_EQ(DXSpotLayer::ringSpread(4003), 11.5);
    EXPECT_DOUBLE_EQ(DXSpotLayer::ringOpacity(4003), 0.225);

    const bool lit[] = { true, false, true, false };
    const bool plain[] = { true, true, false, false };
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(DXSpotLayer::solid(n + 400, true), lit[n]) << n;
        EXPECT_EQ(DXSpotLayer::solid(n + 400, false), plain[n]) << n;
    }
    // The map wakes at the next beat while a plate is highlighted, else at
    // the next even beat.
    EXPECT_EQ(DXSpotLayer::nextChange(reference.addMSecs(100), true), reference.addMSecs(300));
    EXPECT_EQ(DXSpotLayer::nextChange(reference.addMSecs(100), false), reference.addMSecs(600));
    EXPECT_EQ(DXSpotLayer::nextChange(reference.addMSecs(650), false), reference.addMSecs(1200));
    EXPECT_EQ(DXSpotLayer::nextChange(reference.addMSecs(600), true), reference.addMSecs(900));
}

TEST(DXSpotLayer, DrawsRankedPlatesWithRingsAndCullsOutsideTheMargin)
{
    const QFontMetricsF metrics(labelFont("System", 10, true));
    const double half = metrics.horizontalAdvance("DL") / 2;
    // A watched and an ordinary group at one place: the watched one is on
    // top whatever the order, and only it has a ring. Plates sit on whole
    // pixels, so their edges may move by half a pixel.
    const QImage solid = draw(layer({ group("DL", 0, 0, false, true), group("DL", 0, 0, false, false) }), reference);
    EXPECT_EQ(pixel(solid, 180 - half - 2, 90), watchColour);
    EXPECT_NEAR(firstColumn(solid, watchColour), 180 - half - 6, 1.5);
    EXPECT_NEAR(firstColumn(solid, QColor::fromRgbF(0.9 * watchColour.redF(), 0.9 * watchColour.greenF(),
                                                    0.9 * watchColour.blueF())),
                180 - half - 6 - 4 - 1, 1.5); // the ring, 4 points out at opacity 0.9
    EXPECT_EQ(firstColumn(solid, spotColour), -1);
    EXPECT_EQ(pixel(solid, 180, 90 - metrics.height() - 8), QColor(Qt::black)) << "nothing beyond the ring";

    const QImage ordinary = draw(layer({ group("DL", 0, 0, false, false) }), reference);
    EXPECT_NEAR(firstColumn(ordinary, spotColour), 180 - half - 4, 1.5) << "no ring";
    // The outlined look: dark inside, the plate colour on the edge.
    const QImage outlined = draw(layer({ group("DL", 0, 0, true, false) }), reference.addMSecs(300));
    EXPECT_LT(pixel(outlined, 180 - half - 2, 90).red(), 100);
    EXPECT_NEAR(firstColumn(outlined, neededColour), 180 - half - 6 - 1, 1.5);

    // A wide plate whose label lies just inside the 40-point margin reaches
    // into the view; at the margin it is not drawn at all.
    const QImage blank = draw(layer({}), reference);
    const QString wide = "WWWWWWWWW";
    ASSERT_GT(metrics.horizontalAdvance(wide) / 2, 40);
    EXPECT_NE(draw(layer({ group(wide, 0, -219.9, false, false) }), reference), blank);
    EXPECT_EQ(draw(layer({ group(wide, 0, -220, false, false) }), reference), blank);
}

TEST(DXSpotLayer, ABlinkChangesNothingOutsideItsArea)
{
    // The map repaints only this area at a beat: whatever any look of any
    // plate (rings at full spread included) draws must lie inside it.
    const DXSpotLayer spots = layer({ group("DL", 51, 10, false, false), group("VP2V", 18.4, -64.6, true, false),
                                      group("JA", 36, 138, false, true) });
    const QRegion area = spots.blinkArea();
    for (int beat = 0; beat < 8; ++beat) {
        const QImage image = draw(spots, reference.addMSecs(beat * DXSpotLayer::beatMs));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != qRgb(0, 0, 0)) {
                    ASSERT_TRUE(area.contains(QPoint(x, y))) << beat << " at " << x << ',' << y;
                }
    }
}

TEST(WorldMapView, ShowsTheClustersSpotsAndBlinksOnlyWhileThereAreAny)
{
    Settings& settings = Settings::standard();
    for (const QString& key : settings.allKeys())
        settings.remove(key);
    settings.set(SettingKeys::clusterEnabled, true); // no callsign: no connection
    DXClusterClient::Timing timing;
    const QDateTime now(QDate(2026, 12, 7), QTime(9, 20), Qt::UTC);
    timing.now = [now] { return now; };
    DXClusterClient::Services services;
    services.labels = WorldMapView::prefixes();
    DXClusterClient client(settings, timing, services);
    MapViewportModel model;
    WorldMapView view(AppStores { nullptr, &model, &client, nullptr, nullptr });
    view.resize(720, 360);
    view.show();
    EXPECT_TRUE(view.spotGroups().isEmpty());
    EXPECT_FALSE(view.spotBlinkRunning());

    client.ingest(ClusterNodePeer::liveSpot("W3LPL", 14025, "JA1ABC", "cw", now.time())
                  + ClusterNodePeer::liveSpot("W3LPL", 7025, "JA2XYZ", "cw", now.time())
                  + ClusterNodePeer::liveSpot("W3LPL", 21025, "VK2ABC", "cw", now.time()));
    ASSERT_EQ(view.spotGroups().size(), 2);
    EXPECT_TRUE(view.spotBlinkRunning());
    settings.set(SettingKeys::clusterBands, "40");
    ASSERT_EQ(view.spotGroups().size(), 1);
    EXPECT_EQ(view.spotGroups().front().spots.size(), 1);
    settings.set(SettingKeys::clusterWatchCalls, "vk2abc");
    ASSERT_EQ(view.spotGroups().size(), 2);
    settings.set(SettingKeys::clusterShow, "Needed"); // only "needed" exactly hides anything
    EXPECT_EQ(view.spotGroups().size(), 2);
    settings.set(SettingKeys::clusterShow, "needed"); // no logbook: the watched call alone
    EXPECT_EQ(view.spotGroups().size(), 1);

    settings.set(SettingKeys::clusterEnabled, false);
    EXPECT_TRUE(view.spotGroups().isEmpty());
    EXPECT_FALSE(view.spotBlinkRunning());
}
