// The main window's toolbar at every width: at the default width with a
// rotator's badge and the feeds' warning, narrowing (titles go in order,
// then items move into the overflow menu), through every style and
// coverage, and at rest once laid out.
#include "infobar/InfoBar.h"
#include "infobar/SpaceWeatherPanel.h"
#include "rotator/RotatorBadges.h"
#include "rotator/RotatorManager.h"
#include "shell/ContentView.h"
#include "shell/CorvantaApp.h"
#include "shell/MainToolBar.h"
#include "shell/MainWindow.h"
#include "shell/RefreshButton.h"
#include "shell/ToolBarStrip.h"
#include "support/ContentFixture.h"
#include "support/FastRotatorTimings.h"
#include "support/RotctldPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace {

// The toolbar's buttons, each with a name to report it by.
QList<std::pair<QString, QToolButton*>> buttonsOf(const MainToolBar* bar)
{
    QList<std::pair<QString, QToolButton*>> buttons;
    for (const auto& t : MainToolBar::layerToggles())
        buttons.append({ QLatin1String(t.title), bar->button(bar->toggle(*t.key)) });
    buttons.append({ "Coverage", bar->coverageButton() });
    buttons.append({ "Map style", bar->styleButton() });
    buttons.append({ "Zoom out", bar->button(bar->zoomOutAction()) });
    buttons.append({ "Zoom in", bar->button(bar->zoomInAction()) });
    buttons.append({ "Refresh", bar->refreshButton() });
    buttons.append({ "Settings", bar->button(bar->settingsAction()) });
    return buttons;
}

// Every item of the bar where it stands, in the bar's coordinates.
QMap<QString, QRect> placesOf(const MainToolBar* bar)
{
    QMap<QString, QRect> places;
    for (const auto& [name, button] : buttonsOf(bar))
        places[name] = QRect(button->mapTo(bar, QPoint(0, 0)), button->size());
    places["Rotators"] = QRect(bar->rotatorBadges()->mapTo(bar, QPoint(0, 0)), bar->rotatorBadges()->size());
    places["Warning"] = QRect(bar->warningLabel()->mapTo(bar, QPoint(0, 0)), bar->warningLabel()->size());
    return places;
}

// The buttons that are neither whole on the bar, clear of the others, nor
// waiting in the overflow menu.
QStringList lostButtons(const MainToolBar* bar)
{
    QStringList lost;
    QList<QRect> taken;
    for (const auto& [name, button] : buttonsOf(bar)) {
        if (bar->strip()->isOverflowed(button) && !button->isVisible())
            continue;
        const QRect place(button->mapTo(bar, QPoint(0, 0)), button->size());
        const bool clear
            = std::none_of(taken.begin(), taken.end(), [&](const QRect& r) { return r.intersects(place); });
        if (!button->isVisible() || !bar->rect().contains(place) || !clear)
            lost << name;
        taken << place;
    }
    return lost;
}

// What the overflow menu offers when opened.
QStringList overflowMenu(MainToolBar* bar)
{
    QStringList entries;
    QMenu* menu = bar->overflowButton()->menu();
    QTimer::singleShot(0, menu, [&] {
        for (QAction* action : menu->actions())
            entries << action->text();
        menu->close();
    });
    bar->overflowButton()->showMenu();
    return entries;
}


} // namespace

TEST(MainToolBar, AtTheDefaultWidthABadgeAndTheWarningKeepTheMainTitlesAndNoButtonMoves)
{
    RotctldPeer daemon;
    ASSERT_TRUE(daemon.isRunning()) << "rotctld (Debian libhamlib-utils) is needed";
    Settings::standard().remove(QStringLiteral("rotators"));
    RotatorManager rotors(Settings::standard(), fastRotatorTimings());
    ContentFixture f(&rotors);
    MainToolBar* bar = f.bar();
    QWidget window; // a plain parent, so resizing is immediate
    bar->setParent(&window);
    window.show();
    bar->resize(MainWindow::defaultWidth, bar->sizeHint().height());
    QApplication::processEvents();
    EXPECT_TRUE(lostButtons(bar).isEmpty()) << lostButtons(bar).join(", ").toStdString();

    // A rotator and a failed feed take room of their own.
    RotatorConfig tower;
    tower.name = "Tower";
    tower.proto = RotatorProtocol::rotctld;
    tower.host = "127.0.0.1";
    tower.tcpPort = daemon.port();
    tower.softStart = false;
    RotatorConfig::save(Settings::standard(), { tower });
    ASSERT_TRUE(waitUntil([&] { return bar->rotatorBadges()->badges().size() == 1; }));
    RotatorBadge* badge = bar->rotatorBadges()->badges().first();
    f.spaceWeather.setLastError(QStringLiteral("Could not load: aurora"));
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    ASSERT_TRUE(bar->rotatorBadges()->isVisible());
    ASSERT_TRUE(bar->warningLabel()->isVisible());
    EXPECT_TRUE(lostButtons(bar).isEmpty()) << lostButtons(bar).join(", ").toStdString();

    // Titles go from the least important end: the menus' choices, the
    // cluster and the first layers keep theirs.
    const auto titled = [&](QToolButton* b) { return bar->strip()->showsTitle(b); };
    for (const BoolKey* key :
         { &SettingKeys::clusterEnabled, &SettingKeys::showPrefixes, &SettingKeys::showGreyline })
        EXPECT_TRUE(titled(bar->button(bar->toggle(*key)))) << key->name;
    EXPECT_TRUE(titled(bar->coverageButton()));
    EXPECT_TRUE(titled(bar->styleButton()));
    EXPECT_FALSE(titled(bar->button(bar->settingsAction())));
    EXPECT_FALSE(bar->overflowButton()->isVisible());

    // Menus showing other choices, the rotator turning with its Stop
    // button, the warning going: no item moves.
    const QMap<QString, QRect> before = placesOf(bar);
    const auto unmoved = [&](const char* after) {
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QMap<QString, QRect> now = placesOf(bar);
        for (auto it = before.begin(); it != before.end(); ++it)
            EXPECT_EQ(now[it.key()], it.value()) << it.key().toStdString() << " moved after " << after;
    };
    f.entry(f.bar()->coverageGroup(), "Coverage on 160 m")->trigger();
    unmoved("Coverage on 160 m");
    f.entry(f.bar()->coverageGroup(), "Coverage on 20 m")->trigger();
    unmoved("Coverage on 20 m");
    for (QAction* style : f.bar()->styleGroup()->actions()) {
        style->trigger();
        unmoved(qPrintable(style->text()));
    }
    ASSERT_TRUE(waitUntil([&] { return badge->helpText() == "Tower: connected"; }));
    unmoved("the first heading");
    rotors.turn(tower.id, 270);
    ASSERT_TRUE(waitUntil([&] { return badge->stopButton()->isVisible(); }));
    unmoved("a turn began");
    badge->stopButton()->click();
    ASSERT_TRUE(waitUntil([&] { return !badge->isTurning(); }));
    unmoved("the rotator stopped");
    f.spaceWeather.setLastError(std::nullopt);
    unmoved("the feeds recovered");
    RotatorConfig::save(Settings::standard(), {});
}

TEST(MainToolBar, NarrowingGivesUpTitlesInOrderThenMovesItemsIntoTheOverflowMenu)
{
    ContentFixture f;
    MainToolBar* bar = f.bar();
    QWidget window;
    bar->setParent(&window);
    window.show();
    const int height = bar->sizeHint().height();
    bar->resize(bar->sizeHint().width(), height);
    QApplication::processEvents();
    EXPECT_EQ(bar->strip()->step(), 0);

    // The order titles go in, least important first.
    QList<QToolButton*> order { bar->button(bar->settingsAction()), bar->refreshButton() };
    for (const BoolKey* key : { &SettingKeys::showGrid, &SettingKeys::showITUZones, &SettingKeys::showCQZones,
                                &SettingKeys::showMUF, &SettingKeys::showAurora, &SettingKeys::showGreyline,
                                &SettingKeys::showPrefixes, &SettingKeys::clusterEnabled })
        order << bar->button(bar->toggle(*key));
    order << bar->styleButton() << bar->coverageButton();

    bool overflowSeen = false;
    for (int width = bar->sizeHint().width(); width >= 200; width -= 7) {
        bar->resize(width, height);
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        ASSERT_TRUE(lostButtons(bar).isEmpty()) << lostButtons(bar).join(", ").toStdString() << " at " << width;
        // A title is given up only after every less important one.
        for (qsizetype i = 1; i < order.size(); ++i) {
            if (bar->strip()->showsTitle(order[i - 1])) {
                ASSERT_TRUE(bar->strip()->showsTitle(order[i]) || bar->strip()->isOverflowed(order[i]))
                    << order[i]->text().toStdString() << " lost its title before " << order[i - 1]->text().toStdString()
                    << " at " << width;
            }
        }
        QStringList overflowed;
        for (const auto& [name, button] : buttonsOf(bar))
            if (bar->strip()->isOverflowed(button))
                overflowed << name;
        ASSERT_EQ(bar->overflowButton()->isVisible(), !overflowed.isEmpty()) << width;
        if (overflowed.isEmpty())
            continue;
        // Items move out only once no title is left, and the overflow
        // menu offers exactly them.
        for (const auto& [name, button] : buttonsOf(bar))
            ASSERT_FALSE(bar->strip()->showsTitle(button)) << name.toStdString() << " at " << width;
        ASSERT_TRUE(bar->rect().contains(
            QRect(bar->overflowButton()->mapTo(bar, QPoint(0, 0)), bar->overflowButton()->size())));
        if (!overflowSeen || overflowed.size() == buttonsOf(bar).size()) {
            QStringList expected;
            for (const auto& [name, button] : buttonsOf(bar))
                if (overflowed.contains(name))
                    expected << (button->defaultAction() ? button->defaultAction()->text() : name);
            EXPECT_EQ(overflowMenu(bar), expected) << width;
        }
        overflowSeen = true;
    }
    EXPECT_TRUE(overflowSeen);
    EXPECT_GT(lookOf(bar->overflowButton()).lightPixels, 8); // its icon shows, light on the dark bar

    // A toggle chosen from the overflow menu writes its key.
    f.written.clear();
    bar->toggle(SettingKeys::showMUF)->trigger();
    EXPECT_EQ(f.written, QStringList { "showMUF" });
}

TEST(MainToolBar, EveryButtonStaysOnTheBarThroughEveryStyleAndCoverage)
{
    CorvantaApp app;
    MainWindow* window = app.openMainWindow();
    window->show();
    MainToolBar* bar = window->contentView()->toolBar();
    QActionGroup* styles = bar->styleGroup();
    QActionGroup* coverage = bar->coverageGroup();
    const QSize standard(MainWindow::defaultWidth, MainWindow::defaultHeight);
    // Every style beside the longest coverage title, then every coverage
    // entry beside the longest style title.
    std::vector<std::pair<QAction*, QAction*>> choices;
    QAction* longestStyle = styles->actions().first();
    for (QAction* style : styles->actions()) {
        choices.emplace_back(style, coverage->actions().last()); // Coverage on 160 m
        if (style->text().size() > longestStyle->text().size())
            longestStyle = style;
    }
    for (QAction* band : coverage->actions())
        choices.emplace_back(longestStyle, band);
    for (const QSize size : { standard, QSize(1, 1) }) { // the default, then the smallest the window allows
        window->resize(size);
        QApplication::processEvents();
        for (const auto& [style, band] : choices) {
            style->trigger();
            band->trigger();
            // Lay out what changed; the map's repaints have nothing to say here.
            QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            const QStringList lost = lostButtons(bar);
            ASSERT_TRUE(lost.isEmpty()) << lost.join(", ").toStdString() << " off the bar at " << window->width()
                                        << " wide, " << style->text().toStdString() << ", "
                                        << band->text().toStdString();
            ASSERT_FALSE(bar->overflowButton()->isVisible());
        }
    }
    EXPECT_EQ(window->width(), window->minimumSizeHint().width());
    // There the space weather panel's caption takes more lines; the info
    // bar is as tall as they need.
    QWidget* panel = window->contentView()->infoBar()->spaceWeatherPanel();
    EXPECT_GE(panel->height(), panel->heightForWidth(panel->width()));
    window->close();
}

// Once laid out, the bar asks for no more layouts: a strip that hid and
// showed its separators on every pass kept the main thread busy for good.
TEST(MainToolBar, TheBarComesToRestAtEveryWidth)
{
    ContentFixture f;
    MainToolBar* bar = f.bar();
    QWidget window;
    bar->setParent(&window);
    window.show();
    const int height = bar->sizeHint().height();
    for (const int width : { MainWindow::defaultWidth, 1100, 700, 420 }) {
        int requests = 0;
        struct Counter : QObject {
            int& count;
            explicit Counter(int& count)
                : count(count)
            {
            }
            bool eventFilter(QObject*, QEvent* event) override
            {
                count += event->type() == QEvent::LayoutRequest;
                return false;
            }
        } counter(requests);
        qApp->installEventFilter(&counter);
        bar->resize(width, height);
        // Turns of the event loop, each delivering what the one before
        // posted, until one brings no layout request: a bar at rest gets
        // there in a few, one that asks again at every pass never.
        int turns = 0;
        for (int before = -1; before != requests && turns < 20; ++turns) {
            before = requests;
            QApplication::sendPostedEvents();
            QApplication::processEvents();
        }
        qApp->removeEventFilter(&counter);
        EXPECT_LT(turns, 20) << "at " << width << " px";
    }
}
