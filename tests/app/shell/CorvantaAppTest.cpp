#include "shell/CorvantaApp.h"
#include "kit/AppLog.h"
#include "map/MapViewportModel.h"
#include "shell/ContentView.h"
#include "shell/MainWindow.h"
#include "support/FakeEngine.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

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

// The program itself, started beside a stand-in engine that works slowly,
// with the 20 m coverage map to compute: SIGTERM ends it the way Quit does,
// so the engines are stopped and their work folders removed.
TEST(CorvantaApp, SIGTERMEndsTheApplicationThroughItsQuit)
{
    FakeEngine fake;
    fake.setControl("delay_ms 60000\n");
    const QString folder = QFileInfo(fake.engineFolder()).path();
    const QString program = folder + "/corvanta";
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/corvanta", program));
    const QString temp = folder + "/tmp";
    QDir().mkpath(temp);
    const int month = QDateTime::currentDateTimeUtc().date().month();
    ASSERT_TRUE(FakeEngine::writeDataFiles(AppLog::folder() + "/ITU", month));
    Settings& settings = Settings::standard();
    settings.set(SettingKeys::defaultsVersion, 1);
    settings.set(SettingKeys::predictionEngine, "itu");
    settings.set(SettingKeys::coverageBand, 20);
    settings.sync();

    QProcess app;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temp);
    app.setProcessEnvironment(environment);
    app.setProgram(program);
    app.start();
    ASSERT_TRUE(app.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return fake.started() >= 2; }, 30000)) << fake.log().join('\n').toStdString();
    EXPECT_FALSE(QDir(temp).entryList({ "Corvanta-ITU-*" }, QDir::Dirs).isEmpty());

    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(20000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_TRUE(QDir(temp).entryList({ "Corvanta-ITU-*" }, QDir::Dirs).isEmpty())
        << QDir(temp).entryList().join(' ').toStdString();
    for (const QString& start : fake.log().filter(QRegularExpression("^start "))) {
        const pid_t engine = pid_t(start.section(' ', 1, 1).toInt());
        EXPECT_TRUE(::kill(engine, 0) == -1 && errno == ESRCH) << "engine " << engine << " still runs";
    }
    QFile log(AppLog::folder() + "/log.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(" Quit on SIGTERM\n"));
}
