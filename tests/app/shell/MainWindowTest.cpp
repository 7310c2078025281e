// The main window's toolbar and content: the layer toggles, the style and
// coverage menus, zoom, the cluster's help and the feeds' warning, the
// welcome sheet's offer and the settings button's window, on the dark look.
#include "shell/MainWindow.h"
#include "shell/ContentView.h"
#include "shell/CorvantaApp.h"
#include "shell/MainToolBar.h"
#include "shell/RefreshButton.h"
#include "support/ContentFixture.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QToolButton>
#include <QToolTip>
#include <gtest/gtest.h>

TEST(MainToolBar, TogglesFollowAndWriteTheirKeys)
{
    ContentFixture f;
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
    ContentFixture f;
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
    ContentFixture f;
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
    ContentFixture f;
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
    ContentFixture f;
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
    ContentFixture f;
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
