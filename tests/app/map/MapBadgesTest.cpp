// The map's cluster badge over a real cluster client talking to a node on
// 127.0.0.1, and the MUF legend as it is drawn.
#include "cluster/DXClusterClient.h"
#include "cluster/Logbook.h"
#include "kit/AppLog.h"
#include "map/ClusterBadge.h"
#include "map/MUFLegend.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "support/ClusterNodePeer.h"
#include "support/FastClusterTiming.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

void clearSettings()
{
    Settings& settings = Settings::standard();
    for (const QString& key : settings.allKeys())
        settings.remove(key);
}

} // namespace

TEST(ClusterBadge, CountsTheSpottedLabelsAndFollowsTheClientsStatus)
{
    clearSettings();
    AppLog::start();
    Settings& settings = Settings::standard();
    ClusterNodePeer node;
    ASSERT_TRUE(node.listen());
    settings.set(SettingKeys::clusterNode, "custom");
    settings.set(SettingKeys::clusterCustomAddress, node.address());
    settings.set(SettingKeys::callsign, "LY2ABC");
    settings.set(SettingKeys::clusterSpotColor, "#00FF00");
    settings.set(SettingKeys::clusterNeededColor, "#FFC400");
    // The real country file and a logbook with Germany worked.
    QTemporaryDir dir;
    QFile::copy("/usr/share/hamradio-files/cty.dat", dir.filePath("cty.dat"));
    QFile log(dir.filePath("logbook.json"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write(LogbookQSO::encode({ { "DL1XX", Band::m20, true } }));
    log.close();
    const QDateTime now(QDate(2026, 12, 7), QTime(9, 20), Qt::UTC);
    DXClusterClient::Timing timing = fastClusterTiming();
    timing.now = [now] { return now; };
    DXClusterClient::Services services;
    services.supportFolder = dir.path();
    services.labels = WorldMapView::prefixes();
    DXClusterClient client(settings, timing, services);
    MapViewportModel viewport;
    WorldMapView view(AppStores { nullptr, &viewport, &client, nullptr, nullptr });
    view.resize(1000, 500);
    view.show();
    auto* badge = view.findChild<ClusterBadge*>();
    ASSERT_NE(badge, nullptr);
    EXPECT_FALSE(badge->isVisibleTo(&view)); // the cluster is off

    settings.set(SettingKeys::clusterEnabled, true);
    EXPECT_TRUE(badge->isVisibleTo(&view));
    ASSERT_TRUE(waitUntil([&] { return client.status().kind == ClusterStatus::Kind::connected; }));
    EXPECT_EQ(badge->text(), QString::fromUtf8("DX cluster · 0 spots · 0 countries"));
    EXPECT_EQ(badge->neededText(), QString());
    EXPECT_EQ(badge->dotColour(), QColor(0, 255, 0));
    // Bottom centre, 10 points up.
    EXPECT_EQ(badge->geometry().bottom(), 489);
    EXPECT_LE(std::abs(badge->geometry().center().x() - 500), 1);

    // Germany (worked) once, Japan (needed) twice on two bands: three spots
    // at two labels, one of them needed.
    ASSERT_TRUE(waitUntil([&] { return node.receivedLines(0).size() >= 1; }));
    node.send("Hello LY2ABC\r\n" + ClusterNodePeer::liveSpot("W3LPL", 14025, "DL2ABC", "cw", now.time())
              + ClusterNodePeer::liveSpot("W3LPL", 14026, "JA1ABC", "cw", now.time())
              + ClusterNodePeer::liveSpot("W3LPL", 7025, "JA2XYZ", "cw", now.time()));
    ASSERT_TRUE(waitUntil([&] { return view.spotGroups().size() == 2; }));
    EXPECT_EQ(badge->text(), QString::fromUtf8("DX cluster · 3 spots · 2 countries"));
    EXPECT_EQ(badge->neededText(), QString::fromUtf8("· 1 needed"));
    const QLabel* needed = badge->findChildren<QLabel*>().last();
    EXPECT_EQ(needed->palette().color(QPalette::WindowText), QColor(0xFF, 0xC4, 0x00));

    // The node goes away: the failure in one line, an orange dot, and the
    // same words as the tool tip.
    node.setBehaviour(ClusterNodePeer::Behaviour::refuse);
    node.closeConnections();
    ASSERT_TRUE(waitUntil([&] { return client.status().kind == ClusterStatus::Kind::failed; }));
    EXPECT_EQ(badge->text(), client.status().text());
    EXPECT_FALSE(badge->text().contains('\n'));
    EXPECT_EQ(badge->dotColour(), QColor(0xFF, 0x95, 0x00));
    EXPECT_EQ(badge->neededText(), QString());
    EXPECT_TRUE(badge->toolTip().contains(client.status().text().toHtmlEscaped()));

    settings.set(SettingKeys::clusterEnabled, false);
    EXPECT_FALSE(badge->isVisibleTo(&view));
}

TEST(MUFLegend, SwatchesInThePalettesColoursWithTheLevels)
{
    MUFLegend legend;
    legend.setColours(MUFPalette::fromHex("#102030,#203040,#304050,#405060,#506070,"
                                          "#607080,#708090,#8090A0,#90A0B0,#FF0000"));
    legend.show();
    EXPECT_EQ(legend.title(), QString::fromUtf8("MUF (MHz) · dots: ionosondes, shading: estimate"));
    const QImage drawn = legend.grab().toImage();
    const QRect first = legend.swatchRect(0);
    const QRect last = legend.swatchRect(9);
    EXPECT_EQ(first.size(), QSize(26, 16));
    EXPECT_EQ(last.left() - first.left(), 9 * 28);
    EXPECT_EQ(drawn.pixelColor(first.topLeft() + QPoint(3, 3)), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(drawn.pixelColor(last.topLeft() + QPoint(3, 3)), QColor(0xFF, 0, 0));
    // The level's text is written in black in the middle of its swatch.
    bool dark = false;
    for (int x = last.left() + 6; x < last.right() - 5; ++x)
        dark = dark || qRed(drawn.pixel(x, last.center().y())) < 100;
    EXPECT_TRUE(dark);
}
