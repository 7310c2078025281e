#include "shell/MainWindow.h"
#include "cluster/DXClusterClient.h"
#include "infobar/InfoBar.h"
#include "infobar/SpaceWeatherPanel.h"
#include "map/MapViewportModel.h"
#include "rotator/RotatorBadges.h"
#include "rotator/RotatorManager.h"
#include "shell/ContentView.h"
#include "shell/CorvantaApp.h"
#include "shell/MainToolBar.h"
#include "shell/RefreshButton.h"
#include "shell/ToolBarStrip.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/FastRotatorTimings.h"
#include "support/RotctldPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/ToolBarPlaces.h"
#include "support/WaitUntil.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QToolButton>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

struct FakeSpaceWeather : SpaceWeatherStore {
    FakeSpaceWeather()
        : SpaceWeatherStore(idle())
    {
    }
    static Options idle()
    {
        Options options;
        options.startLoop = false;
        return options;
    }
    using SpaceWeatherStore::setLastError;
    using SpaceWeatherStore::setLoading;
};

struct FakeCluster : DXClusterClient {
    using DXClusterClient::setStatus;
};

// A content view over stores of its own, on a settings store emptied first.
struct Fixture {
    FakeSpaceWeather spaceWeather;
    MapViewportModel viewport;
    FakeCluster cluster;
    std::unique_ptr<ContentView> view;
    QStringList written;

    explicit Fixture(RotatorManager* rotors = nullptr)
    {
        Settings& settings = Settings::standard();
        for (const QString& key : settings.allKeys())
            settings.remove(key);
        view = std::make_unique<ContentView>(AppStores { &spaceWeather, &viewport, &cluster, nullptr, rotors });
        QObject::connect(&settings, &Settings::changed, view.get(), [this](const QString& key) { written << key; });
    }

    MainToolBar* bar() const { return view->toolBar(); }
    QAction* entry(QActionGroup* group, const QString& text) const
    {
        for (QAction* a : group->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
};

// How many pixels of a widget are drawn light (text, icons) on the dark
// look, and how light it is on average.
struct Look {
    int lightPixels = 0;
    double meanLightness = 0;
};
Look lookOf(QWidget* widget)
{
    const QImage image = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    Look look;
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            sum += c.lightness() * c.alphaF();
            look.lightPixels += c.alpha() > 128 && c.lightness() > 160 ? 1 : 0;
        }
    look.meanLightness = image.isNull() ? 0 : sum / (double(image.width()) * image.height());
    return look;
}

} // namespace

TEST(MainToolBar, TogglesFollowAndWriteTheirKeys)
{
    Fixture f;
    const QStringList titles { "Prefixes", "Greyline", "Aurora", "MUF", "CQ zones", "ITU zones", "Grid", "DX cluster" };
    const QList<bool> defaults { true, true, true, false, false, false, true, false };
    for (int i = 0; i < 8; ++i) {
        const auto& t = MainToolBar::layerToggles()[std::size_t(i)];
        QAction* action = f.bar()->toggle(*t.key);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), titles[i]);
        EXPECT_TRUE(action->isCheckable());
        EXPECT_EQ(action->isChecked(), defaults[i]) << t.key->name;
    }
    EXPECT_EQ(f.bar()->toggle(SettingKeys::showGrid)->toolTip(), "Show latitude/longitude lines");

    // A click writes the key; nothing else is written.
    f.bar()->toggle(SettingKeys::showMUF)->trigger();
    EXPECT_EQ(f.written, QStringList { "showMUF" });
    EXPECT_TRUE(Settings::standard().boolValue("showMUF", false));

    // A write from elsewhere moves the toggle without writing back.
    f.written.clear();
    Settings::standard().setValue("showAurora", false);
    Settings::standard().setValue("showCQZones", "true");
    EXPECT_FALSE(f.bar()->toggle(SettingKeys::showAurora)->isChecked());
    EXPECT_TRUE(f.bar()->toggle(SettingKeys::showCQZones)->isChecked());
    Settings::standard().remove("showAurora");
    EXPECT_TRUE(f.bar()->toggle(SettingKeys::showAurora)->isChecked()); // the reader's default again
    EXPECT_EQ(f.written, (QStringList { "showAurora", "showCQZones", "showAurora" }));
}

TEST(MainToolBar, MapStyleMenuAndThePrefixColourRule)
{
    Fixture f;
    QActionGroup* styles = f.bar()->styleGroup();
    ASSERT_EQ(styles->actions().size(), 13);
    EXPECT_EQ(styles->actions().first()->text(), "Dark");
    EXPECT_TRUE(styles->actions().first()->isChecked()); // absent key: dark
    EXPECT_EQ(styles->exclusionPolicy(), QActionGroup::ExclusionPolicy::Exclusive);

    f.entry(styles, "Light atlas")->trigger();
    f.written.sort();
    EXPECT_EQ(f.written, (QStringList { "mapStyle", "prefixColor" }));
    EXPECT_EQ(Settings::standard().stringValue("mapStyle"), "atlas");
    EXPECT_EQ(Settings::standard().stringValue("prefixColor"), "#14233CFF");
    EXPECT_EQ(f.bar()->styleButton()->text(), "Light atlas");

    // The style already shown: nothing written.
    f.written.clear();
    f.entry(styles, "Light atlas")->trigger();
    EXPECT_TRUE(f.written.isEmpty());

    // A change from the settings window rewrites the colour too, replacing
    // one the user picked; writing the same style again does not.
    Settings::standard().setValue("prefixColor", "#123456FF");
    Settings::standard().setValue("mapStyle", "parchment");
    EXPECT_EQ(Settings::standard().stringValue("prefixColor"), "#3A2A14FF");
    EXPECT_TRUE(f.entry(styles, "Old map (parchment)")->isChecked());
    Settings::standard().setValue("prefixColor", "#123456FF");
    Settings::standard().setValue("mapStyle", "parchment");
    EXPECT_EQ(Settings::standard().stringValue("prefixColor"), "#123456FF");

    const QStringList expected { "#FFEDB3FF", "#14233CFF", "#14233CFF", "#FFEDB3FF", "#14233CFF",
                                 "#FFFFFFFF", "#FFFFFFFF", "#FFFFFFFF", "#FFEDB3FF", "#FFEDB3FF",
                                 "#3A2A14FF", "#14233CFF", "#14233CFF" };
    for (std::size_t i = 0; i < 13; ++i)
        EXPECT_EQ(ContentView::prefixColor(MapStyles::allCases()[i]), expected[qsizetype(i)]);
}

TEST(MainToolBar, CoverageMenuWritesBandMetres)
{
    Fixture f;
    QActionGroup* coverage = f.bar()->coverageGroup();
    QStringList titles;
    for (QAction* a : coverage->actions())
        titles << a->text();
    EXPECT_EQ(titles,
              (QStringList { "No coverage", "Coverage on 10 m", "Coverage on 12 m", "Coverage on 15 m",
                             "Coverage on 17 m", "Coverage on 20 m", "Coverage on 30 m", "Coverage on 40 m",
                             "Coverage on 60 m", "Coverage on 80 m", "Coverage on 160 m" }));
    EXPECT_TRUE(coverage->actions().first()->isChecked());

    coverage->actions().last()->trigger();
    EXPECT_EQ(Settings::standard().intValue("coverageBand", -1), 160);
    EXPECT_EQ(f.bar()->coverageButton()->text(), "Coverage on 160 m");
    coverage->actions().last()->trigger(); // the checked entry stays checked
    EXPECT_TRUE(coverage->actions().last()->isChecked());
    f.entry(coverage, "No coverage")->trigger();
    EXPECT_EQ(Settings::standard().intValue("coverageBand", -1), 0);

    // A stored value that is no entry checks none.
    Settings::standard().setValue("coverageBand", 6);
    EXPECT_EQ(coverage->checkedAction(), nullptr);
    Settings::standard().setValue("coverageBand", 20);
    EXPECT_EQ(coverage->checkedAction(), f.entry(coverage, "Coverage on 20 m"));
}

TEST(MainToolBar, ZoomButtonsAndTheirLimits)
{
    Fixture f;
    EXPECT_FALSE(f.bar()->zoomOutAction()->isEnabled());
    f.viewport.setViewport({ 1.001, QPointF(0.5, 0.5) });
    EXPECT_FALSE(f.bar()->zoomOutAction()->isEnabled());
    f.viewport.setViewport({ 1.0, QPointF(0.5, 0.5) });
    f.bar()->zoomInAction()->trigger();
    EXPECT_DOUBLE_EQ(f.viewport.viewport().zoom, 1.5);
    EXPECT_TRUE(f.bar()->zoomOutAction()->isEnabled());
    f.bar()->zoomOutAction()->trigger();
    EXPECT_NEAR(f.viewport.viewport().zoom, 1.0, 1e-12);
    EXPECT_FALSE(f.bar()->zoomOutAction()->isEnabled());
    for (int i = 0; i < 10; ++i)
        f.bar()->zoomInAction()->trigger();
    EXPECT_TRUE(f.bar()->zoomInAction()->isEnabled());
    EXPECT_DOUBLE_EQ(f.viewport.viewport().zoom, 12.0);
}

TEST(MainToolBar, ClusterHelpWarningAndRefreshFollowTheStores)
{
    Fixture f;
    QAction* cluster = f.bar()->toggle(SettingKeys::clusterEnabled);
    EXPECT_EQ(cluster->toolTip(), MainToolBar::clusterOffHelp());
    f.cluster.setStatus(DXClusterClient::Status::connected("ve7cc"));
    EXPECT_EQ(cluster->toolTip(), MainToolBar::clusterOffHelp());
    cluster->trigger();
    EXPECT_EQ(cluster->toolTip(), "Connected to ve7cc");
    f.cluster.setStatus(DXClusterClient::Status::connecting("dxc.example"));
    EXPECT_EQ(cluster->toolTip(), QString::fromUtf8("Connecting to dxc.example…"));
    // The network's words are shown as they stand, never as markup.
    f.cluster.setStatus(DXClusterClient::Status::failed("<b>refused</b>"));
    EXPECT_TRUE(cluster->toolTip().contains("&lt;b&gt;refused&lt;/b&gt;"));
    EXPECT_EQ(DXClusterClient::Status::off().text(), "DX cluster is off");

    EXPECT_TRUE(f.bar()->warningLabel()->isHidden());
    f.spaceWeather.setLastError(QStringLiteral("Could not load: aurora"));
    EXPECT_FALSE(f.bar()->warningLabel()->isHidden());
    EXPECT_EQ(f.bar()->warningLabel()->toolTip(), "Could not load: aurora");
    f.spaceWeather.setLastError(std::nullopt);
    EXPECT_TRUE(f.bar()->warningLabel()->isHidden());

    EXPECT_FALSE(f.bar()->refreshButton()->isBusy());
    f.spaceWeather.setLoading(true);
    EXPECT_TRUE(f.bar()->refreshButton()->isBusy());
    EXPECT_TRUE(f.bar()->refreshButton()->isEnabled());
    f.spaceWeather.setLoading(false);
    EXPECT_FALSE(f.bar()->refreshButton()->isBusy());
}

TEST(ContentView, WelcomeIsOfferedUntilCompleted)
{
    Fixture f;
    f.view->show();
    EXPECT_TRUE(f.view->showWelcome());
    f.view->completeWelcome();
    EXPECT_FALSE(f.view->showWelcome());
    EXPECT_TRUE(Settings::standard().boolValue("welcomeShown", false));
    f.view->hide();
    f.view->show();
    EXPECT_FALSE(f.view->showWelcome());

    Settings::standard().remove("welcomeShown");
    Settings::standard().setValue("callsign", "  ");
    f.view->hide();
    f.view->show();
    EXPECT_FALSE(f.view->showWelcome()); // blanks count as a callsign
}

TEST(MainWindow, SettingsButtonOpensOneSettingsWindowAndTheWindowIsDark)
{
    CorvantaApp app;
    MainWindow* window = app.openMainWindow();
    QAction* settings = window->contentView()->toolBar()->settingsAction();
    settings->trigger();
    settings->trigger();
    int open = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        open += w->isVisible() && w->windowTitle() == "Corvanta Settings" ? 1 : 0;
    EXPECT_EQ(open, 1);
    EXPECT_LT(window->palette().color(QPalette::Window).lightness(), 60);
    EXPECT_GT(window->palette().color(QPalette::WindowText).lightness(), 200);

    // Tooltips too: the settings button's help, light text on dark.
    QWidget* button = window->contentView()->toolBar()->button(settings);
    QToolTip::showText(button->mapToGlobal(QPoint(4, 4)), settings->toolTip(), button);
    QWidget* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            tip = w;
    ASSERT_NE(tip, nullptr);
    const Look look = lookOf(tip);
    EXPECT_LT(look.meanLightness, 90);
    EXPECT_GT(look.lightPixels, 20);
    QToolTip::hideText();
    window->close();
    app.showSettings()->close();
}

TEST(MainToolBar, AtTheDefaultWidthABadgeAndTheWarningKeepTheMainTitlesAndNoButtonMoves)
{
    RotctldPeer daemon;
    ASSERT_TRUE(daemon.isRunning()) << "rotctld (Debian libhamlib-utils) is needed";
    Settings::standard().remove(QStringLiteral("rotators"));
    RotatorManager rotors(Settings::standard(), fastRotatorTimings());
    Fixture f(&rotors);
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
    Fixture f;
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
    Fixture f;
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
