// The space weather panel over a real store fetching from a local server:
// the tiles, the caption and the header follow the snapshot, the settings
// and the shared MUF field; the help button opens and closes its popover.
#include "infobar/SpaceWeatherPanel.h"

#include "geo/Maidenhead.h"
#include "infobar/SpaceWeatherColors.h"
#include "kit/AppLog.h"
#include "kit/DarkAppearance.h"
#include "kit/PanelStyle.h"
#include "map/AuroraLegend.h"
#include "map/MapContrast.h"
#include "spaceweather/MUFModel.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/HttpPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>

using namespace std::chrono_literals;

namespace {

struct PanelTest : testing::Test {
    HttpPeer peer;
    Settings& settings = Settings::standard();
    QDateTime clock = QDateTime::currentDateTimeUtc();
    std::unique_ptr<SpaceWeatherStore> store;

    void SetUp() override
    {
        ASSERT_TRUE(peer.listen());
        setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
        SpaceWeatherFeeds::serveAll(peer);
        // The stations measured ten minutes before the test's own clock,
        // not before the moment the feeds were set up a little later.
        peer.serve(SpaceWeatherFeeds::path(Zelq::stationsURL()), 200, SpaceWeatherFeeds::zelqStations(clock));
        for (const QString& key : settings.allKeys())
            settings.remove(key);
        AppLog::start();
        SpaceWeatherStore::Options options;
        options.startLoop = false;
        options.now = [this] { return clock; };
        store = std::make_unique<SpaceWeatherStore>(options);
    }

    void TearDown() override
    {
        QLocale::setDefault(QLocale::c());
        setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9", 1);
    }

    std::unique_ptr<SpaceWeatherPanel> makePanel()
    {
        auto panel
            = std::make_unique<SpaceWeatherPanel>(store.get(), SpaceWeatherPanel::Options { [this] { return clock; } });
        panel->resize(700, 200);
        panel->show();
        return panel;
    }

    void refresh()
    {
        store->refresh();
        ASSERT_TRUE(waitUntil([&] { return !store->isLoading(); }));
    }

    static QStringList values(const SpaceWeatherPanel& panel)
    {
        QStringList texts;
        for (int i = 0; i < 5; ++i)
            texts << panel.tile(i)->valueText();
        return texts;
    }
};

} // namespace

TEST_F(PanelTest, TilesCaptionAndHeaderFollowTheStoresSnapshot)
{
    // A German user: decimals are still written with a point.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto panel = makePanel();
    // Before the first refresh: four unknown indices, the model's MUF.
    EXPECT_EQ(values(*panel).mid(0, 4), QStringList({ "–", "–", "–", "–" }));
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(panel->tile(i)->content().rating);
        EXPECT_EQ(panel->tile(i)->valueColor(), PanelStyle::primaryText());
    }
    EXPECT_TRUE(panel->tile(4)->content().rating->startsWith("Up to "));
    EXPECT_EQ(panel->statusText(), "");
    EXPECT_EQ(panel->captionText(),
              "MUF at KO24pq is a model estimate from the Sun's position and an assumed sunspot number of 80 (the "
              "day's is unknown): no ionosonde within 3000 km.");
    EXPECT_EQ(panel->tile(4)->content().subtitle, "MHz, KO24pq");
    // Its tool tip points to the MUF layer while that is off.
    EXPECT_TRUE(panel->tile(4)->toolTip().endsWith(" Turn on the MUF layer to see the map."));
    settings.set(SettingKeys::showMUF, true);
    EXPECT_FALSE(panel->tile(4)->toolTip().contains("MUF layer"));

    // Offline, a refresh brings nothing and the header says so; its tool
    // tip names the failed feeds and the one reason they share.
    setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9", 1);
    refresh();
    EXPECT_EQ(panel->statusText(), "Update failed " + clock.toTimeZone(QTimeZone::systemTimeZone()).toString("HH:mm"));
    EXPECT_EQ(panel->statusLabel()->palette().color(QPalette::WindowText), PanelStyle::yellow());
    ASSERT_TRUE(store->lastError() && store->lastErrorCause());
    EXPECT_EQ(panel->statusLabel()->toolTip(), *store->lastError() + "\n" + *store->lastErrorCause());
    setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);

    store->refresh();
    EXPECT_EQ(panel->statusText(), "Downloading…");
    ASSERT_TRUE(waitUntil([&] { return !store->isLoading(); }));
    const SpaceWeatherSnapshot& s = store->snapshot();
    ASSERT_TRUE(s.fetchedAt);
    EXPECT_EQ(panel->statusText(), "Updated " + s.fetchedAt->toTimeZone(QTimeZone::systemTimeZone()).toString("HH:mm"));
    EXPECT_EQ(panel->statusLabel()->palette().color(QPalette::WindowText), PanelStyle::secondaryText());
    EXPECT_EQ(SpaceWeatherPanel::sourcesText(s), "NOAA · Zelq");

    // Kp 3 (the last minute has no estimate), flux 148, running A 27, 118
    // sunspots; the MUF of the shared field at the station.
    const GeoCoordinate home { 54.687, 25.28 };
    const double muf = MUFModel::field(s.ionosondes, s.sunspotNumber, clock).muf(home);
    EXPECT_EQ(values(*panel), QStringList({ "3.0", "148", "27", "118", QString::asprintf("%.1f", muf) }));
    // Rated as when measured, in August 2026; now muted, their age in place
    // of a rating and in their tool tips. The MUF is worked out for now.
    const auto then = SpaceWeatherPanel::tiles(s, muf, "KO24pq", MUFPalette::fromHex(""), *s.kpNowTime);
    const QStringList ratings { "Unsettled", "Very good", "Active", "High" };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(then[i].rating, ratings[i]);
        EXPECT_EQ(panel->tile(i)->valueColor(), PanelStyle::secondaryText());
        EXPECT_TRUE(panel->tile(i)->toolTip().startsWith(then[i].help + "\n\nLast measured "));
    }
    EXPECT_EQ(then[2].color, PanelStyle::yellow());
    EXPECT_EQ(panel->tile(0)->content().rating, QStringLiteral("%1 days old").arg(s.kpNowTime->secsTo(clock) / 86400));
    // The age reads on its capsule, over the window's ground, as every text.
    QImage shot(panel->size(), QImage::Format_RGB32);
    shot.fill(DarkAppearance::palette().window().color());
    panel->render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
    const QRectF capsule = panel->tile(0)->ratingCapsule().translated(panel->tile(0)->pos());
    const QRect inside = capsule.adjusted(capsule.height() / 2, 2, -capsule.height() / 2, -2).toRect();
    QList<double> shades;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            shades.append(MapContrast::luminance(shot.pixelColor(x, y)));
    EXPECT_GE(MapContrast::ratio(std::ranges::min(shades), std::ranges::max(shades)), 4.5);
    EXPECT_EQ(panel->tile(4)->content().rating, "Up to " + Zelq::highestOpenBand(muf));
    EXPECT_EQ(panel->tile(4)->valueColor(), MUFPalette::fromHex("").color(muf));
    EXPECT_TRUE(panel->tile(0)->toolTip().startsWith("Planetary K index."));

    // Juliusruh is the station within 3000 km; the feed measured it ten
    // minutes ago.
    static const QRegularExpression caption(
        "^MUF at KO24pq from the ionosondes, filled in by a day/night model between them\\. Nearest: Juliusruh, "
        "(\\d+) km away, MUF 24\\.3 MHz, foF2 (\\d+\\.\\d MHz|–), measured 10 min ago\\.$");
    const QRegularExpressionMatch match = caption.match(panel->captionText());
    EXPECT_TRUE(match.hasMatch()) << panel->captionText().toStdString();
    EXPECT_NEAR(match.captured(1).toInt(), 763, 20);

    // Another palette recolours the MUF; another station moves it and its
    // locator, the field being shared.
    const QString palette = "#102030,#203040,#304050,#405060,#506070,#607080,#708090,#8090A0,#90A0B0,#FF0000";
    settings.set(SettingKeys::mufColors, palette);
    EXPECT_EQ(panel->tile(4)->valueColor(), MUFPalette::fromHex(palette).color(muf));
    const int built = MUFModel::buildCounts().fields;
    settings.set(SettingKeys::homeLatitude, -33.9);
    settings.set(SettingKeys::homeLongitude, 151.2);
    EXPECT_EQ(MUFModel::buildCounts().fields, built) << "the same slot's field is reused";
    EXPECT_EQ(panel->tile(4)->content().subtitle, "MHz, " + Maidenhead::locator({ -33.9, 151.2 }, 6));
    EXPECT_TRUE(panel->captionText().endsWith("position and the sunspot number: no ionosonde within 3000 km."));

    // The next slot builds its own field.
    clock = MUFModel::slotCentre(clock).addSecs(300);
    settings.set(SettingKeys::homeLatitude, 54.687);
    EXPECT_EQ(MUFModel::buildCounts().fields, built + 1);

    // The GFZ source: its Kp and its own A.
    settings.set(SettingKeys::indexSource, "gfz");
    refresh();
    EXPECT_EQ(SpaceWeatherPanel::sourcesText(store->snapshot()), "GFZ · NOAA · Zelq");
    EXPECT_EQ(values(*panel).mid(0, 3), QStringList({ "3.3", "148", "18" }));
    EXPECT_EQ(panel->tile(2)->valueColor(), PanelStyle::secondaryText());
}

TEST_F(PanelTest, RatingsAtTheirEdges)
{
    SpaceWeatherSnapshot s;
    const auto at = [&](int tile) {
        return SpaceWeatherPanel::tiles(s, 10, "KO24pq", MUFPalette::fromHex(""),
                                        QDateTime::currentDateTimeUtc())[tile];
    };
    s.kpNow = 3;
    EXPECT_EQ(at(0).rating, "Unsettled");
    EXPECT_EQ(at(0).color, SpaceWeatherColors::yellowGreen());
    s.kpNow = 2.99;
    EXPECT_EQ(at(0).color, SpaceWeatherColors::goodGreen());
    s.kpNow = 7;
    EXPECT_EQ(at(0).color, PanelStyle::red());
    s.solarFlux = 150;
    EXPECT_EQ(at(1).rating, "Excellent");
    s.solarFlux = 69.9;
    EXPECT_EQ(at(1).rating, "Poor");
    EXPECT_EQ(at(1).value, "70");
    EXPECT_EQ(at(1).color, PanelStyle::red());
    s.solarFlux = 152.5; // an exact half reads as the map's dots and printf write it
    EXPECT_EQ(at(1).value, "152");
    s.aIndexValue = 30;
    EXPECT_EQ(at(2).color, PanelStyle::orange());
    s.sunspotNumber = 0;
    EXPECT_EQ(at(3).rating, "Very low");
    EXPECT_EQ(at(3).color, PanelStyle::red());
    EXPECT_EQ(SpaceWeatherPanel::ageText(QDateTime(), QDateTime::currentDateTimeUtc()), "");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    EXPECT_EQ(SpaceWeatherPanel::ageText(now.addSecs(-119), now), ", measured 1 min ago");
    EXPECT_EQ(SpaceWeatherPanel::ageText(now.addSecs(300), now), ", measured 0 min ago");
}

TEST_F(PanelTest, OldValuesShowTheirAgeAndOldTimesTheirDate)
{
    setenv("TZ", "UTC", 1);
    const QDateTime now(QDate(2024, 3, 5), QTime(12, 0), QTimeZone::utc());
    SpaceWeatherSnapshot s;
    s.kpNow = 2;
    s.kpNowTime = now.addDays(-1); // within two days
    s.solarFlux = 150;
    s.solarFluxTime = QDateTime(QDate(2024, 3, 2), QTime(20, 0), QTimeZone::utc());
    IonosondeReading reading;
    reading.time = now.addSecs(-4 * 3600); // past the readings' three hours
    s.ionosondes = { reading };
    const QList<IndexTile::Content> tiles = SpaceWeatherPanel::tiles(s, 10, "KO24pq", MUFPalette::fromHex(""), now);
    EXPECT_FALSE(tiles[0].help.contains("Last measured"));
    EXPECT_TRUE(tiles[1].help.endsWith("\n\nLast measured 2 days ago, 2 Mar 2024 20:00."))
        << tiles[1].help.toStdString();
    EXPECT_TRUE(tiles[4].help.endsWith("\n\nLast measured 4 h ago, 08:00.")) << tiles[4].help.toStdString();
    // Past two days an index is muted, its age in place of its rating.
    EXPECT_EQ(tiles[0].rating, "Quiet");
    EXPECT_EQ(tiles[1].rating, "2 days old");
    EXPECT_EQ(tiles[1].color, PanelStyle::secondaryText());

    // The aurora forecast of another day names that day.
    const QDateTime run(QDate(2024, 3, 3), QTime(15, 7), QTimeZone::utc());
    EXPECT_EQ(AuroraLegend::sourceText(run, run.addSecs(3600)), "NOAA OVATION, 15:07 UTC ");
    EXPECT_EQ(AuroraLegend::sourceText(run, now), "NOAA OVATION, 3 Mar 2024 15:07 UTC ");
    unsetenv("TZ");
}

TEST_F(PanelTest, HelpButtonOpensAndClosesThePopover)
{
    const auto panel = makePanel();
    EXPECT_FALSE(panel->showHelp());
    panel->helpButton()->click();
    ASSERT_TRUE(panel->showHelp());
    SpaceWeatherHelp* help = panel->help();
    EXPECT_EQ(help->width(), SpaceWeatherHelp::popoverWidth);
    QStringList texts;
    for (const QLabel* label : help->findChildren<QLabel*>()) {
        texts << label->text();
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        // Every wrapped text has the lines it needs.
        EXPECT_GE(label->height(), label->heightForWidth(label->width())) << label->text().toStdString();
    }
    EXPECT_EQ(texts.first(), "Reading the space weather panel");
    EXPECT_TRUE(texts.contains("Sunspots (SSN)"));
    EXPECT_TRUE(texts.filter("Data: https://prop.kc2g.com (GIRO network)").size() == 1);
    // Below the button.
    EXPECT_GE(help->geometry().top(), panel->helpButton()->mapToGlobal(QPoint(0, 0)).y());

    // Escape closes it; the button opens it again, and a second press closes it.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(help, &escape);
    ASSERT_TRUE(waitUntil([&] { return !panel->showHelp(); }));
    panel->toggleHelp();
    EXPECT_TRUE(panel->showHelp());
    panel->toggleHelp();
    EXPECT_FALSE(panel->showHelp());
}
