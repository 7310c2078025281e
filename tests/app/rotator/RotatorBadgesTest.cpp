#include "rotator/RotatorBadges.h"

#include "geo/GeoMath.h"
#include "map/MapInput.h"
#include "map/MapViewportModel.h"
#include "map/RotatorLegend.h"
#include "map/WorldMapView.h"
#include "rotator/RotatorManager.h"
#include "shell/MainToolBar.h"
#include "support/FastRotatorTimings.h"
#include "support/MapRendering.h"
#include "support/RotctldPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QEvent>
#include <QImage>
#include <QLayout>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>

namespace {

RotatorConfig rotctld(const QString& name, int port, const QString& color)
{
    RotatorConfig config;
    config.name = name;
    config.proto = RotatorProtocol::rotctld;
    config.host = "127.0.0.1";
    config.tcpPort = port;
    config.color = color;
    config.beamWidth = 4;
    config.softStart = false;
    return config;
}

// Counts the paints a widget gets.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Whether the map shows the rotator's pure green near a place along a
// bearing from the station.
bool greenAt(const QImage& image, const WorldMapView& view, double bearing, double km)
{
    const GeoCoordinate home = view.options().home;
    const QPointF p = view.projection().point(GeoMath::destination(home, bearing, km));
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QRgb c = image.pixel(int(p.x()) + dx, int(p.y()) + dy);
            if (qGreen(c) > 200 && qRed(c) < 80 && qBlue(c) < 80)
                return true;
        }
    return false;
}

} // namespace

TEST(RotatorBadges, FollowATurnOfRotctldWithTheMapAndLegendUntilArrivalAndStop)
{
    for (const QString& key : Settings::standard().allKeys())
        Settings::standard().remove(key);
    Settings::standard().set(SettingKeys::showGreyline, false);
    RotctldPeer daemon;
    ASSERT_TRUE(daemon.isRunning()) << "rotctld (Debian libhamlib-utils) is needed";
    const RotatorConfig tower = rotctld("Tower", daemon.port(), "#00FF00");
    const int nobody = RotctldPeer::freePort();
    const RotatorConfig nowhere = rotctld("Nowhere", nobody, "#FF0000");
    RotatorConfig::save(Settings::standard(), { tower, nowhere });

    RotatorManager rotors(Settings::standard(), fastRotatorTimings());
    MapViewportModel viewport;
    const AppStores stores { nullptr, &viewport, nullptr, nullptr, &rotors };
    MainToolBar bar(stores);
    bar.resize(1600, 40);
    bar.show();
    WorldMapView map(stores);
    map.resize(720, 360);
    map.show();
    PaintCounter counter;
    map.installEventFilter(&counter);

    RotatorBadges* badges = bar.rotatorBadges();
    ASSERT_TRUE(badges);
    ASSERT_EQ(badges->badges().size(), 2);
    EXPECT_TRUE(badges->isVisibleTo(&bar));
    RotatorBadge* badge = badges->badges()[0];
    RotatorBadge* lost = badges->badges()[1];
    auto* legend = map.legendColumn()->layout()->itemAt(0)->widget();
    ASSERT_TRUE(qobject_cast<RotatorLegend*>(legend)); // at the top of the column
    const auto rows = [&] { return static_cast<RotatorLegend*>(legend)->rows(); };

    // Before the first reading: a dimmed arrow pointing up, no heading.
    EXPECT_EQ(badge->text(), QString::fromUtf8("Tower \u2013"));
    EXPECT_EQ(badge->arrowAngle(), 0);
    EXPECT_NE(badge->arrowColor(), QColor(0, 255, 0));
    EXPECT_FALSE(greenAt(renderMap(map, Qt::black), map, 0, 2000));

    ASSERT_TRUE(waitUntil([&] { return badge->helpText() == "Tower: connected"; }));
    EXPECT_EQ(badge->text(), QString::fromUtf8("Tower 000°"));
    EXPECT_EQ(badge->arrowColor(), QColor(0, 255, 0));
    EXPECT_FALSE(badge->isTurning());
    EXPECT_EQ(rows()[0].heading, QString::fromUtf8("000°"));
    EXPECT_FALSE(rows()[0].notConnected);
    EXPECT_TRUE(greenAt(renderMap(map, Qt::black), map, 0, 2000));

    // The one nobody answers: its message in the tooltip, never on the map.
    const QString refused = "Nowhere: Can't connect to rotctld at 127.0.0.1:" + QString::number(nobody);
    ASSERT_TRUE(waitUntil([&] { return lost->helpText() == refused; }));
    EXPECT_EQ(lost->text(), QString::fromUtf8("Nowhere \u2013"));
    EXPECT_NE(lost->arrowColor(), QColor(255, 0, 0));
    EXPECT_EQ(rows()[1], (RotatorLegend::Row { QColor(255, 0, 0), "Nowhere", QString::fromUtf8("\u2013"), {}, true }));

    // A turn from the map's menu: spinner, "Stop" and the target while it
    // runs; the map is painted again as the heading moves.
    const GeoCoordinate home = map.options().home;
    const QPointF place = map.projection().point(GeoMath::destination(home, 10, 2000));
    const MapMenu entries = MapMenu::build(place, map.projection(), std::nullopt, home, rotors.rotators());
    QMenu popup;
    entries.populate(popup, rotors);
    const int paintsBefore = counter.paints;
    popup.actions()[1]->trigger(); // after the section title: Tower, short path
    ASSERT_TRUE(waitUntil([&] { return badge->isTurning(); }));
    EXPECT_EQ(badge->helpText(), QString::fromUtf8("Turning to 010°"));
    EXPECT_TRUE(badge->stopButton()->isVisibleTo(badge));
    EXPECT_EQ(rows()[0].target, QString::fromUtf8("→ 010°"));
    ASSERT_TRUE(waitUntil([&] { return !badge->isTurning(); }));
    const double arrived = *rotors.status(tower.id)->heading;
    EXPECT_NEAR(arrived, 10, 2.5);
    EXPECT_EQ(badge->text(), "Tower " + RotatorStatus::degreesText(arrived));
    EXPECT_EQ(badge->arrowAngle(), arrived);
    EXPECT_EQ(badge->helpText(), "Tower: connected");
    EXPECT_FALSE(badge->stopButton()->isVisibleTo(badge));
    EXPECT_FALSE(rows()[0].target);
    EXPECT_GT(counter.paints, paintsBefore + 1);
    QImage image = renderMap(map, Qt::black);
    EXPECT_TRUE(greenAt(image, map, arrived, 3000));
    EXPECT_FALSE(greenAt(image, map, 0, 3000)); // the old heading is 10° outside the 4° beam

    // "Stop" while turning far: the target goes, the heading stays short.
    rotors.turn(tower.id, 90);
    ASSERT_TRUE(waitUntil([&] { return badge->isTurning() && *rotors.status(tower.id)->heading > arrived + 1; }));
    badge->stopButton()->click();
    ASSERT_TRUE(waitUntil([&] { return !badge->isTurning(); }));
    EXPECT_LT(*rotors.status(tower.id)->heading, 60);
    EXPECT_EQ(badge->helpText(), "Tower: connected");

    // No rotators: no badges, no legend, no beams.
    RotatorConfig::save(Settings::standard(), {});
    ASSERT_TRUE(waitUntil([&] { return rotors.rotators().isEmpty(); }));
    EXPECT_TRUE(badges->badges().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return !badges->isVisibleTo(&bar); }));
    EXPECT_FALSE(legend->isVisibleTo(&map));
    image = renderMap(map, Qt::black);
    EXPECT_FALSE(greenAt(image, map, arrived, 3000));
}

TEST(RotatorBadges, TooltipsShowAStatusMessageAsPlainText)
{
    RotatorConfig config;
    config.name = "Mast";
    RotatorBadge badge(nullptr, config.id);
    RotatorStatus status;
    status.message = "<b>Port busy</b>";
    badge.display(config, status);
    EXPECT_EQ(badge.helpText(), "Mast: <b>Port busy</b>");
    EXPECT_TRUE(badge.toolTip().contains("&lt;b&gt;Port busy&lt;/b&gt;"));

    status.connected = true;
    status.heading = 359.6;
    badge.display(config, status);
    EXPECT_EQ(badge.text(), QString::fromUtf8("Mast 360°"));
    EXPECT_EQ(badge.toolTip(), "Mast: connected");
}
