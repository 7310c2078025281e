// The info bar's clocks and sun card on an injected clock and time zone, the
// digits' equal cells, and what a tick repaints in a window with the map.
#include "infobar/InfoBar.h"

#include "geo/Maidenhead.h"
#include "infobar/ClockCard.h"
#include "infobar/SpaceWeatherPanel.h"
#include "infobar/SunCard.h"
#include "infobar/WatchStrip.h"
#include "kit/DarkAppearance.h"
#include "kit/DigitCells.h"
#include "kit/LabelFonts.h"
#include "map/AuroraLegend.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "shell/ContentView.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QLayout>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

using namespace std::chrono_literals;

namespace {

// A bar on a clock the test sets, in New York, for an English-speaking user.
struct BarTest : testing::Test {
    Settings& settings = Settings::standard();
    QDateTime clock;
    std::unique_ptr<InfoBar> bar;

    void SetUp() override
    {
        for (const QString& key : settings.allKeys())
            settings.remove(key);
        setenv("TZ", "America/New_York", 1);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void TearDown() override
    {
        bar.reset();
        unsetenv("TZ");
        QLocale::setDefault(QLocale::c());
    }

    void makeBar(const QDateTime& at)
    {
        clock = at;
        bar = std::make_unique<InfoBar>(AppStores {}, InfoBar::Options { [this] { return clock; }, 20ms, 20ms });
        bar->resize(1400, 200);
    }

    void at(const QDateTime& instant)
    {
        clock = instant;
        bar->tick();
    }
};

QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}

// An installed family whose "1" is narrower or wider than its "0", when
// there is one.
QString familyWithProportionalDigits()
{
    for (const QString& family : QFontDatabase::families()) {
        const QFontMetricsF metrics(clockDisplayFont(family, 40, false));
        if (metrics.horizontalAdvance(QLatin1Char('1')) != metrics.horizontalAdvance(QLatin1Char('0')))
            return family;
    }
    return QStringLiteral("System");
}

} // namespace

TEST_F(BarTest, ClocksFollowTheSettingsAndTheComputersZone)
{
    makeBar(utc(2026, 1, 5, 19, 5, 9));
    ClockCard* local = bar->localClock();
    ClockCard* utcClock = bar->utcClock();
    EXPECT_EQ(local->title(), "Local · Eastern Standard Time");
    EXPECT_EQ(utcClock->title(), "UTC");
    EXPECT_EQ(local->timeText(), "14:05:09");
    EXPECT_EQ(utcClock->timeText(), "19:05:09");
    EXPECT_EQ(local->dateText(), "Mon 5 Jan 2026");

    settings.set(SettingKeys::use24Hour, false);
    EXPECT_EQ(local->timeText(), "2:05:09 PM");
    EXPECT_EQ(utcClock->timeText(), "7:05:09 PM");
    settings.set(SettingKeys::clockShowSeconds, false);
    EXPECT_EQ(local->timeText(), "2:05 PM");
    settings.set(SettingKeys::use24Hour, true);
    EXPECT_EQ(local->timeText(), "14:05");
    EXPECT_EQ(bar->sunCard()->riseText().size(), 5) << "sun times never show seconds";

    // Summer time, and the evening when New York's date is a day behind.
    at(utc(2026, 7, 6, 2, 30));
    EXPECT_EQ(local->title(), "Local · Eastern Daylight Time");
    EXPECT_EQ(local->dateText(), "Sun 5 Jul 2026");
    EXPECT_EQ(utcClock->dateText(), "Mon 6 Jul 2026");

    // The computer moves to another zone: the next tick follows it.
    setenv("TZ", "Asia/Tokyo", 1);
    at(utc(2026, 7, 6, 2, 30));
    EXPECT_EQ(local->timeText(), "11:30");
    EXPECT_EQ(local->zone().id(), "Asia/Tokyo");

    // Times and numbers read the same for a German user.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    at(utc(2026, 7, 6, 2, 30));
    EXPECT_EQ(local->timeText(), "11:30");
    static const QRegularExpression elevation("^Elevation -?\\d+\\.\\d°$");
    EXPECT_TRUE(elevation.match(bar->sunCard()->elevationText()).hasMatch())
        << bar->sunCard()->elevationText().toStdString();
    EXPECT_TRUE(local->dateText().startsWith("Mo")) << local->dateText().toStdString();
}

TEST_F(BarTest, SunCardForTheStation)
{
    // The default station in winter, seen from a computer in New York: the
    // sunrise and sunset of New York's day, written in New York's time.
    makeBar(utc(2026, 1, 5, 12, 0));
    SunCard* sun = bar->sunCard();
    EXPECT_EQ(sun->title(), "Sun at KO24pq");
    static const QRegularExpression time("^\\d\\d:\\d\\d$");
    EXPECT_TRUE(time.match(sun->riseText()).hasMatch()) << sun->riseText().toStdString();
    // Vilnius's sunrise near 08:50 local is before 03:00 in New York.
    EXPECT_LT(sun->riseText(), "03:00");
    static const QRegularExpression event("^Sunset in \\d+h \\d\\dm$");
    EXPECT_TRUE(event.match(sun->eventText()).hasMatch()) << sun->eventText().toStdString();
    static const QRegularExpression day("^Day [67]h \\d\\dm$");
    EXPECT_TRUE(day.match(sun->dayText()).hasMatch()) << sun->dayText().toStdString();

    settings.set(SettingKeys::use24Hour, false);
    EXPECT_TRUE(sun->riseText().endsWith(" AM")) << sun->riseText().toStdString();

    // Beyond the polar circle: the midnight sun, then the polar night.
    settings.set(SettingKeys::homeLatitude, 78.2);
    settings.set(SettingKeys::homeLongitude, 15.6);
    at(utc(2026, 6, 21, 12, 0));
    EXPECT_EQ(sun->riseText(), "--:--");
    EXPECT_EQ(sun->setText(), "--:--");
    EXPECT_EQ(sun->eventText(), "Midnight sun, no sunset today");
    EXPECT_EQ(sun->dayText(), "");
    at(utc(2026, 12, 21, 12, 0));
    EXPECT_EQ(sun->eventText(), "Polar night, no sunrise today");
    EXPECT_EQ(sun->title(), "Sun at " + Maidenhead::locator({ 78.2, 15.6 }, 6));
}

TEST_F(BarTest, DigitsStandInEqualCellsAndSizesStayFractional)
{
    const QString family = familyWithProportionalDigits();
    settings.set(SettingKeys::clockFontFamily, family);
    settings.set(SettingKeys::clockFontSize, 25);
    makeBar(utc(2026, 1, 5, 16, 11, 11)); // 11:11:11 in New York
    ClockCard* local = bar->localClock();
    ASSERT_EQ(local->timeText(), "11:11:11");
    const QFont font = clockDisplayFont(family, 25, false);
    const QFontMetricsF metrics(font);
    const QList<double> ones = DigitCells::edges(metrics, local->timeText());
    at(utc(2026, 1, 5, 5, 0, 0)); // midnight in New York
    ASSERT_EQ(local->timeText(), "00:00:00");
    EXPECT_EQ(DigitCells::edges(metrics, local->timeText()), ones) << "every character keeps its place";
    if (family != "System") {
        EXPECT_NE(metrics.horizontalAdvance("11:11:11"), metrics.horizontalAdvance("00:00:00")) << family.toStdString();
    }

    // The sun times at three quarters of 25 points: 18.75, not 19.
    const QFont sun = clockDisplayFont(family, 25 * 0.75, false);
    EXPECT_DOUBLE_EQ(sun.pointSizeF() * 96 / 72, 18.75);
    EXPECT_EQ(sun.pixelSize(), -1);
}

TEST_F(BarTest, CardsShrinkOrElideTheirTextsButNeverCutThem)
{
    // The largest clocks, in the bar of the smallest window, at 1440 and at
    // 1600 points, on a date of the widest weekday.
    settings.set(SettingKeys::clockFontSize, 96);
    makeBar(utc(2026, 9, 30, 19, 5, 9));
    bar->setPalette(DarkAppearance::palette()); // as in the window
    bar->show();
    const QString longTitle = bar->localClock()->title().toUpper();
    for (const int window : { 1600, 1440, 1366, 1024, ContentView::minimumWidth }) {
        const int width = window - 2 * ContentView::barInset;
        bar->resize(width, bar->sizeHint().height());
        bar->layout()->activate();
        bar->tick();
        // Nothing reaches the right edge of a card's content, where the
        // card would cut it: what did not fit shrank or was elided.
        for (InfoCard* card : std::initializer_list<InfoCard*> { bar->localClock(), bar->utcClock(), bar->sunCard() }) {
            const QImage image = card->grab().toImage();
            const int edge = card->width() - int(InfoCard::padding) - 1;
            double brightest = 0;
            for (int y = int(InfoCard::padding); y < card->height() - int(InfoCard::padding); ++y)
                for (int x = edge; x < card->width() - 2; ++x)
                    brightest = std::max(brightest, double(image.pixelColor(x, y).lightnessF()));
            EXPECT_LT(brightest, 0.3) << card->title().toStdString() << " at " << width;
        }
        // Every title, date, event line, day length and elevation whole,
        // the space weather tiles' names and second lines too, in its brief
        // form where the long one does not fit.
        const SunCard* sun = bar->sunCard();
        const auto [day, elevation] = sun->shownFooter();
        QStringList texts { bar->localClock()->shownTitle(), bar->utcClock()->shownTitle(), sun->shownTitle(),
                            bar->localClock()->shownDate(), bar->utcClock()->shownDate(), sun->shownEvent(), day,
                            elevation };
        for (int i = 0; i < 5; ++i)
            texts << bar->spaceWeatherPanel()->tile(i)->shownTitle()
                  << bar->spaceWeatherPanel()->tile(i)->shownSubtitle();
        for (const QString& text : texts)
            EXPECT_TRUE(!text.isEmpty() && !text.contains(QChar(0x2026))) << text.toStdString() << " at " << width;
        EXPECT_EQ(bar->localClock()->shownTitle(), window == 1600 ? longTitle : "LOCAL · EDT") << width;
        EXPECT_EQ(elevation, sun->elevationText()) << width;
    }

    // A zone the user's locale names by its offset ("GMT+2"): the clock
    // names it as the aurora legend does.
    setenv("TZ", "Europe/Berlin", 1);
    bar->tick();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(AuroraLegend::sourceText(clock, clock), "NOAA OVATION, 9:05 PM CEST ");
    EXPECT_EQ(bar->localClock()->shownTitle(), "LOCAL · CEST");
}

TEST_F(BarTest, ATickRepaintsTheCardsAloneAndTheStripBlinksOnItsOwn)
{
    settings.set(SettingKeys::clusterEnabled, true);
    settings.set(SettingKeys::clusterWatchCalls, "DL1ABC");
    MapViewportModel viewport;
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* map = new WorldMapView(AppStores { nullptr, &viewport, nullptr, nullptr, nullptr });
    column->addWidget(map, 1);
    clock = utc(2026, 1, 5, 19, 5, 9);
    auto* infoBar = new InfoBar(AppStores {}, InfoBar::Options { [this] { return clock; }, 20ms, 20ms });
    column->addWidget(infoBar);
    window.resize(1300, 800);

    // Paints counted per widget once the window has settled.
    std::map<QWidget*, int> paints;
    struct Counter : QObject {
        std::map<QWidget*, int>* paints;
        bool eventFilter(QObject* object, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                ++(*paints)[static_cast<QWidget*>(object)];
            return false;
        }
    } counter;
    counter.paints = &paints;
    QWidget* watched[] = { map,
                           infoBar->spaceWeatherPanel(),
                           infoBar->watchStrip(),
                           infoBar->localClock(),
                           infoBar->utcClock(),
                           infoBar->sunCard() };
    for (QWidget* widget : watched)
        widget->installEventFilter(&counter);
    window.show();
    // Settled: the widgets that stand still have had their first paints,
    // however long a slow machine takes for them, and what follows from
    // them, until a turn of the event loop paints none of them again.
    ASSERT_TRUE(waitUntil([&] {
        return paints[map] > 0 && paints[infoBar->spaceWeatherPanel()] > 0 && paints[infoBar->watchStrip()] > 0;
    }));
    const auto still = [&] {
        return std::tuple(paints[map], paints[infoBar->spaceWeatherPanel()], paints[infoBar->watchStrip()]);
    };
    ASSERT_TRUE(waitUntil([&] {
        const auto before = still();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return still() == before;
    }));
    paints.clear();

    for (int second = 1; second <= 3; ++second) {
        clock = clock.addSecs(1);
        const int before = paints[infoBar->utcClock()];
        ASSERT_TRUE(waitUntil([&] { return paints[infoBar->utcClock()] > before; }));
    }
    EXPECT_GE(paints[infoBar->localClock()], 3);
    EXPECT_EQ(paints[map], 0);
    EXPECT_EQ(paints[infoBar->spaceWeatherPanel()], 0);
    EXPECT_EQ(paints[infoBar->watchStrip()], 0) << "nothing spotted: the strip stands still";
    EXPECT_TRUE(infoBar->watchStrip()->isVisible());
    EXPECT_FALSE(infoBar->watchStrip()->isBlinking());
}
