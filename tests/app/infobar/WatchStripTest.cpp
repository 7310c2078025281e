// The watch strip over a real cluster client logged in to a node on
// 127.0.0.1: watched calls become blinking chips, everything else leaves it
// alone, and it follows its three settings.
#include "infobar/WatchStrip.h"

#include "cluster/DXClusterClient.h"
#include "kit/AppLog.h"
#include "kit/MapStyle.h"
#include "kit/PanelStyle.h"
#include "support/ClusterNodePeer.h"
#include "support/FastClusterTiming.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QImage>
#include <QLocale>
#include <QTimeZone>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// The colour the strip paints at a point, in a fresh picture.
QColor pixel(QWidget& widget, QPointF at)
{
    const QImage picture = widget.grab().toImage();
    return picture.pixelColor(at.toPoint());
}

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12
        && std::abs(a.blue() - b.blue()) < 12;
}

} // namespace

TEST(WatchStrip, WatchedSpotsFromTheNodeBlinkAsChips)
{
    Settings& settings = Settings::standard();
    for (const QString& key : settings.allKeys())
        settings.remove(key);
    AppLog::start();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ClusterNodePeer node;
    ASSERT_TRUE(node.listen());
    settings.set(SettingKeys::clusterNode, "custom");
    settings.set(SettingKeys::clusterCustomAddress, node.address());
    settings.set(SettingKeys::callsign, "LY2ABC");
    settings.set(SettingKeys::clusterWatchCalls, "dl1abc; vp8*");

    QDateTime clock(QDate(2026, 12, 7), QTime(9, 20, 0, 100), QTimeZone::utc());
    DXClusterClient::Timing timing = fastClusterTiming();
    timing.now = [&] { return clock; };
    DXClusterClient client(settings, timing, DXClusterClient::Services {});

    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* strip = new WatchStrip(&client, WatchStrip::Options { [&] { return clock; }, 20ms }, &window);
    column->addWidget(strip);
    window.resize(900, 60);
    window.show();

    // The cluster is off: no strip, whatever is watched.
    EXPECT_FALSE(strip->isVisible());
    settings.set(SettingKeys::clusterEnabled, true);
    ASSERT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->waitingText(), "Watching DL1ABC, VP8*: not spotted yet");
    EXPECT_FALSE(strip->isBlinking());
    const QPointF border(strip->width() / 2.0, 1);
    const QColor steady = pixel(*strip, border);

    // A watched call and an unwatched one.
    ASSERT_TRUE(waitUntil([&] { return client.status().kind == ClusterStatus::Kind::connected; }));
    ASSERT_TRUE(waitUntil([&] { return node.receivedLines(0).size() >= 1; }));
    node.send("Hello LY2ABC\r\n" + ClusterNodePeer::liveSpot("W3LPL", 14025, "K1XYZ", "cw", clock.time())
              + ClusterNodePeer::liveSpot("W3LPL", 14025, "DL1ABC", "up 2", clock.time()));
    ASSERT_TRUE(waitUntil([&] { return strip->spots().size() == 1; }));
    EXPECT_EQ(strip->waitingText(), "");
    const WatchStrip::ChipTexts texts = WatchStrip::chipTexts(strip->spots()[0], clock);
    EXPECT_EQ(texts, (WatchStrip::ChipTexts { "DL1ABC", "14025.0", "CW", "now", "up 2 · spotted by W3LPL" }));

    // It blinks: the chip filled with the watch colour and the border at
    // full colour, then the chip outlined and the border faded.
    ASSERT_TRUE(strip->isBlinking());
    const QColor tint(0x3C, 0xF0, 0xA0);
    EXPECT_EQ(strip->tint(), tint);
    EXPECT_FALSE(near(steady, tint));
    const QRectF chip = strip->chipRect(0);
    const QPointF inside(chip.left() + 3, chip.center().y());
    ASSERT_TRUE(waitUntil([&] { return strip->tickInstant() == clock; }));
    for (int beat = 0; beat < 2; ++beat) {
        const bool wasOn = strip->phase();
        clock = clock.addMSecs(500);
        ASSERT_TRUE(waitUntil([&] { return strip->phase() != wasOn; }));
        const QImage picture = strip->grab().toImage();
        const QColor fill = picture.pixelColor(inside.toPoint());
        const QColor edge = picture.pixelColor(border.toPoint());
        EXPECT_EQ(near(fill, tint), strip->phase()) << fill.name().toStdString();
        EXPECT_EQ(near(edge, tint), strip->phase()) << edge.name().toStdString();
    }

    // A minute on, the chip's age reads in minutes.
    clock = clock.addSecs(60);
    ASSERT_TRUE(waitUntil([&] { return strip->tickInstant() == clock; }));
    EXPECT_EQ(WatchStrip::chipTexts(strip->spots()[0], strip->tickInstant()).age, "1 min");

    // Thirteen more watched spots: twelve chips, in the client's order.
    QByteArray burst;
    for (char c = 'A'; c <= 'M'; ++c)
        burst += ClusterNodePeer::liveSpot("W3LPL", 7010, QStringLiteral("VP8%1").arg(QChar(c)), "", clock.time());
    node.send(burst);
    ASSERT_TRUE(waitUntil([&] { return strip->spots().size() == WatchStrip::maxChips; }));
    EXPECT_EQ(strip->spots(), client.watchedSpots(CallWatchList(u"dl1abc; vp8*")).mid(0, 12));
    EXPECT_EQ(WatchStrip::chipTexts(strip->spots()[0], clock).toolTip, "Spotted by W3LPL");
    // Those that do not fit whole are counted after the last that does.
    const int shown = strip->shownChips();
    ASSERT_GT(shown, 0);
    ASSERT_LT(shown, WatchStrip::maxChips);
    EXPECT_EQ(strip->moreText(), QStringLiteral("+%1").arg(WatchStrip::maxChips - shown));
    EXPECT_LT(strip->chipRect(shown - 1).right(), strip->moreRect().left());
    EXPECT_LE(strip->moreRect().right(), strip->width() - 12);
    EXPECT_TRUE(strip->chipRect(shown).isNull());

    // Off again: it takes no room and stops blinking.
    settings.set(SettingKeys::clusterEnabled, false);
    EXPECT_FALSE(strip->isVisible());
    EXPECT_FALSE(strip->isBlinking());
    settings.set(SettingKeys::clusterEnabled, true);
    settings.set(SettingKeys::clusterWatchCalls, " ,; ");
    EXPECT_FALSE(strip->isVisible());
    QLocale::setDefault(QLocale::c());
}
