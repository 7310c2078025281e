// The map's cluster badge over a real cluster client talking to a node on
// 127.0.0.1, and the MUF legend as it is drawn.
#include "cluster/DXClusterClient.h"
#include "map/ClusterBadge.h"
#include "map/MUFLegend.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "shell/AppLog.h"
#include "support/ClusterNodePeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QImage>
#include <QLabel>
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

TEST(ClusterBadge, FollowsTheClientsStatusWhileTheClusterIsOn)
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
    DXClusterClient::Timing timing = DXClusterClient::Timing {}.scaled(0.01);
    timing.connectTimeout = 2s;
    DXClusterClient client(settings, timing);
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
    const QRect place = badge->geometry();
    EXPECT_EQ(place.bottom(), 489);
    EXPECT_LE(std::abs(place.center().x() - 500), 1);

    // The node goes away: the failure in one line, an orange dot, and the
    // same words as the tool tip.
    node.setBehaviour(ClusterNodePeer::Behaviour::refuse);
    node.closeConnections();
    ASSERT_TRUE(waitUntil([&] { return client.status().kind == ClusterStatus::Kind::failed; }));
    EXPECT_EQ(badge->text(), client.status().text());
    EXPECT_FALSE(badge->text().contains('\n'));
    EXPECT_EQ(badge->dotColour(), QColor(0xFF, 0x95, 0x00));
    EXPECT_TRUE(badge->toolTip().contains(client.status().text().toHtmlEscaped()));

    settings.set(SettingKeys::clusterEnabled, false);
    EXPECT_FALSE(badge->isVisibleTo(&view));
}

TEST(ClusterBadge, CountsSpotsLabelsAndNeededLabels)
{
    struct Group {
        QList<int> spots;
        QSet<QString> neededIDs;
    };
    const QList<Group> groups { { { 1, 2, 3 }, {} }, { { 4 }, { "K1ABC|20" } }, { { 5, 6 }, {} } };
    EXPECT_EQ(ClusterBadge::count(groups), (ClusterBadge::Counts { 6, 3, 1 }));

    ClusterBadge badge;
    badge.set(ClusterStatus::connected("TEST-1"), { 6, 3, 1 }, Qt::green, QColor(0xFF, 0xC4, 0x00));
    EXPECT_EQ(badge.text(), QString::fromUtf8("DX cluster · 6 spots · 3 countries"));
    EXPECT_EQ(badge.neededText(), QString::fromUtf8("· 1 needed"));
    const QLabel* needed = badge.findChildren<QLabel*>().last();
    EXPECT_EQ(needed->palette().color(QPalette::WindowText), QColor(0xFF, 0xC4, 0x00));
    badge.set(ClusterStatus::connected("TEST-1"), { 6, 3, 0 }, Qt::green, Qt::yellow);
    EXPECT_EQ(badge.neededText(), QString());
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
