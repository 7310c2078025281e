#include "shell/CorvantaApp.h"
#include "map/MapViewportModel.h"
#include "shell/ContentView.h"
#include "shell/MainWindow.h"
#include "support/Settings.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

namespace {

QStringList menuTitles(QMenuBar* bar)
{
    QStringList titles;
    for (QAction* menu : bar->actions()) {
        titles << menu->text();
        if (menu->menu())
            for (QAction* item : menu->menu()->actions())
                titles << "  " + (item->isSeparator() ? QStringLiteral("---") : item->text());
    }
    return titles;
}

} // namespace

TEST(CorvantaApp, MainWindowHasTitleSizesAndContent)
{
    CorvantaApp app;
    MainWindow* window = app.openMainWindow();
    EXPECT_EQ(window->windowTitle(), "Corvanta");
    EXPECT_EQ(window->size(), QSize(1440, 900));
    ASSERT_NE(window->contentView(), nullptr);
    EXPECT_EQ(window->centralWidget(), window->contentView());
    EXPECT_EQ(window->contentView()->minimumSize(), QSize(1060, 680));
    EXPECT_EQ(window->contentView()->stores().viewport, app.stores().viewport);
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
    window->close();
}

TEST(CorvantaApp, MenusHoldTheCommandsInOrderWithTheirShortcuts)
{
    CorvantaApp app;
    MainWindow* window = app.openMainWindow();
    const QStringList titles = menuTitles(window->menuBar());
    const QStringList view {
        "View", "  Refresh Space Weather", "  ---", "  Zoom In", "  Zoom Out", "  Show Whole World"
    };
    const QStringList help { "Help", "  Corvanta Help", "  ---", "  Report a Problem…", "  Open Log Folder" };
    EXPECT_TRUE(titles.join('\n').contains(view.join('\n'))) << titles.join('\n').toStdString();
    EXPECT_TRUE(titles.join('\n').contains(help.join('\n'))) << titles.join('\n').toStdString();
    EXPECT_TRUE(titles.contains("  Check for Updates…"));

    EXPECT_EQ(app.refreshSpaceWeatherAction()->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_EQ(app.zoomInAction()->shortcut(), QKeySequence("Ctrl+="));
    EXPECT_EQ(app.zoomOutAction()->shortcut(), QKeySequence("Ctrl+-"));
    EXPECT_EQ(app.showWholeWorldAction()->shortcut(), QKeySequence("Ctrl+0"));
    EXPECT_TRUE(app.checkForUpdatesAction()->shortcut().isEmpty());
    window->close();
}

TEST(CorvantaApp, ZoomCommandsStayWithinLimitsAndActOnEveryWindow)
{
    CorvantaApp app;
    MainWindow* first = app.openMainWindow();
    MainWindow* second = app.openMainWindow();
    MapViewportModel* model = app.stores().viewport;
    EXPECT_EQ(first->contentView()->stores().viewport, second->contentView()->stores().viewport);

    app.zoomOutAction()->trigger();
    EXPECT_EQ(model->viewport(), (MapViewport { 1.0, QPointF(0.5, 0.5) }));

    app.zoomInAction()->trigger();
    EXPECT_DOUBLE_EQ(model->viewport().zoom, 1.5);
    for (int i = 0; i < 20; ++i)
        app.zoomInAction()->trigger();
    EXPECT_DOUBLE_EQ(model->viewport().zoom, 12.0);
    app.zoomOutAction()->trigger();
    EXPECT_DOUBLE_EQ(model->viewport().zoom, 8.0);

    model->setViewport({ 6.0, QPointF(0.9, 0.1) });
    int notified = 0;
    QObject::connect(model, &MapViewportModel::viewportChanged, [&] { ++notified; });
    app.showWholeWorldAction()->trigger();
    EXPECT_EQ(model->viewport(), (MapViewport { 1.0, QPointF(0.5, 0.5) }));
    EXPECT_EQ(notified, 1);
    first->close();
    second->close();
}

TEST(CorvantaApp, SingleWindowsExistOnceAndComeBackWhenAskedAgain)
{
    CorvantaApp app;
    QWidget* help = app.showHelp();
    EXPECT_EQ(help->windowTitle(), "Corvanta Help");
    EXPECT_EQ(help->size(), QSize(760, 820));
    QWidget* report = app.showReport();
    EXPECT_EQ(report->windowTitle(), "Report a Problem");
    QWidget* settings = app.showSettings();
    // A window of no size is never put on screen: each must have one even
    // while its content is still empty.
    for (QWidget* window : { help, report, settings }) {
        EXPECT_FALSE(window->size().isEmpty()) << window->windowTitle().toStdString();
        EXPECT_FALSE(window->testAttribute(Qt::WA_OutsideWSRange)) << window->windowTitle().toStdString();
    }

    help->close();
    EXPECT_FALSE(help->isVisible());
    app.helpAction()->trigger();
    EXPECT_EQ(app.showHelp(), help);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(app.showReport(), report);
    EXPECT_EQ(app.showSettings(), settings);

    int helpWindows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        helpWindows += w->windowTitle() == "Corvanta Help" ? 1 : 0;
    EXPECT_EQ(helpWindows, 1);
    help->close();
    report->close();
    settings->close();
}

TEST(CorvantaApp, StartUpAppliesTheFirstRunDefaultsBeforeTheStores)
{
    CorvantaApp app;
    EXPECT_EQ(Settings::standard().intValue("defaultsVersion", 0), 1);
    EXPECT_EQ(Settings::standard().stringValue("mapStyle"), "classic");
}
