#include "shell/CorvantaApp.h"
#include "kit/AppLog.h"
#include "maintenance/Updater.h"
#include "map/MapViewportModel.h"
#include "settings/SettingsView.h"
#include "shell/AboutBox.h"
#include "shell/ContentView.h"
#include "shell/MainToolBar.h"
#include "shell/MainWindow.h"
#include "support/FakeEngine.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

// The entry QTest uses to offer a key to the shortcuts; exported by QtGui.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject*, ulong, int, Qt::KeyboardModifiers, const QString&, bool,
                                               ushort);

namespace {

QStringList menuTitles(QMenuBar* bar)
{
    QStringList titles;
    for (QAction* menu : bar->actions()) {
        titles << QString(menu->text()).remove('&');
        if (menu->menu())
            for (QAction* item : menu->menu()->actions())
                titles << "  " + (item->isSeparator() ? QStringLiteral("---") : item->text());
    }
    return titles;
}

// A key pressed as the keyboard would: window shortcuts first, then the
// widget with the focus; or the window's list or menu that is unfolded.
void pressKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::activePopupWidget();
    if (!target) {
        window->activateWindow();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window; }))
            << window->windowTitle().toStdString() << " is not in front";
        target = QApplication::focusWidget() && QApplication::focusWidget()->window() == window
            ? QApplication::focusWidget()
            : window;
    }
    if (qt_sendShortcutOverrideEvent(target, 0, key, modifiers, QString(), false, 1))
        return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
}

} // namespace

TEST(CorvantaApp, MainWindowHasTitleSizesAndContent)
{
    CorvantaApp app;
    MainWindow* window = app.openMainWindow();
    EXPECT_EQ(window->windowTitle(), "Corvanta");
    ASSERT_NE(window->contentView(), nullptr);
    EXPECT_EQ(window->centralWidget(), window->contentView());
    // Its least size, but no wider than the free area of the test's screen.
    EXPECT_EQ(window->contentView()->minimumSize(),
              QSize(960, 520).boundedTo(
                  window->screen()->availableGeometry().size().shrunkBy(MainWindow::guessedFrame)));
    // Every window carries the application's own icon.
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_FALSE(window->windowIcon().pixmap(16, 16).isNull());
    EXPECT_EQ(window->contentView()->stores().viewport, app.stores().viewport);
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
    window->close();
}

TEST(CorvantaApp, MenusHoldTheCommandsInOrderWithTheirShortcuts)
{
    CorvantaApp app;
    MainWindow* window = app.openMainWindow();
    // As on Linux desktops: Quit ends File, Settings is in Edit, About
    // ends Help.
    const QStringList titles = menuTitles(window->menuBar());
    const QStringList expected { "File",
                                 "  New Window",
                                 "  Close Window",
                                 "  ---",
                                 "  Quit",
                                 "Edit",
                                 "  Settings…",
                                 "View",
                                 "  Refresh Space Weather",
                                 "  ---",
                                 "  Zoom In",
                                 "  Zoom Out",
                                 "  Show Whole World",
                                 "Help",
                                 "  Corvanta Help",
                                 "  ---",
                                 "  Report a Problem…",
                                 "  Open Log Folder",
                                 "  ---",
                                 "  Check for Updates…",
                                 "  About Corvanta" };
    EXPECT_EQ(titles, expected) << titles.join('\n').toStdString();

    EXPECT_EQ(app.settingsAction()->shortcut(), QKeySequence("Ctrl+,"));
    EXPECT_EQ(app.quitAction()->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(app.helpAction()->shortcuts(), (QList<QKeySequence> { QKeySequence("F1"), QKeySequence("Ctrl+?") }));
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
    // 760 × 820 where the screen has room; the offscreen one is 800 high.
    EXPECT_EQ(help->size(), QSize(760, 800 - 40));
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

TEST(CorvantaApp, KeysOpenAndCloseTheWindowsAsOnLinux)
{
    Settings::standard().setValue("welcomeShown", true); // no sheet over the window
    CorvantaApp app;
    MainWindow* window = app.openMainWindow();
    window->show();
    const auto open = [](const QString& title) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == title)
                return w;
        return static_cast<QWidget*>(nullptr);
    };
    // F1 opens the help; Ctrl+W and Escape close it, and the settings and
    // problem report windows alike.
    pressKey(window, Qt::Key_F1);
    ASSERT_NE(open("Corvanta Help"), nullptr);
    pressKey(open("Corvanta Help"), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(open("Corvanta Help"), nullptr);
    pressKey(window, Qt::Key_Comma, Qt::ControlModifier);
    ASSERT_NE(open("Corvanta Settings"), nullptr);
    pressKey(open("Corvanta Settings"), Qt::Key_Escape);
    EXPECT_EQ(open("Corvanta Settings"), nullptr);
    app.reportAction()->trigger();
    ASSERT_NE(open("Report a Problem"), nullptr);
    pressKey(open("Report a Problem"), Qt::Key_Escape);
    EXPECT_EQ(open("Report a Problem"), nullptr);
    app.showHelp();
    pressKey(open("Corvanta Help"), Qt::Key_Escape);
    EXPECT_EQ(open("Corvanta Help"), nullptr);

    // Ctrl++ typed with Shift or on the keypad zooms in, the keypad's minus
    // out.
    pressKey(window, Qt::Key_Plus, Qt::ControlModifier);
    pressKey(window, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    pressKey(window, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_DOUBLE_EQ(app.stores().viewport->viewport().zoom, 1.5);

    // From the settings window: Ctrl+N opens a main window; Ctrl+W closes
    // the main window in front. With none open, F1 from the settings, one
    // of its lists unfolded, opens the help, and Ctrl+Q there quits.
    const auto mainWindows = [] {
        QWidgetList shown;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<MainWindow*>(w) && w->isVisible())
                shown << w;
        return shown;
    };
    QWidget* settings = app.showSettings();
    pressKey(settings, Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(mainWindows().size(), 2);
    for (QWidget* main : mainWindows())
        pressKey(main, Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(mainWindows().isEmpty());
    const QList<QComboBox*> lists = settings->findChildren<QComboBox*>();
    const auto shown = std::ranges::find_if(lists, &QWidget::isVisible);
    ASSERT_NE(shown, lists.end());
    (*shown)->showPopup();
    ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget(); }));
    pressKey(settings, Qt::Key_F1);
    ASSERT_NE(open("Corvanta Help"), nullptr);
    pressKey(open("Corvanta Help"), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(std::ranges::none_of(QApplication::topLevelWidgets(), &QWidget::isVisible));
}

TEST(CorvantaApp, SettingsOpenAtTheirIdealSizeAndComeToTheFrontWhenAskedAgain)
{
    CorvantaApp app;
    MainWindow* window = app.openMainWindow();
    window->show();
    QWidget* settings = app.showSettings();
    EXPECT_EQ(settings->size(), SettingsView::idealWindowSize);

    // Left behind the main window, even minimised: the toolbar's button
    // brings the same window back to the front.
    settings->showMinimized();
    window->activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(settings->isMinimized());
    window->contentView()->toolBar()->settingsAction()->trigger();
    EXPECT_EQ(app.showSettings(), settings);
    EXPECT_FALSE(settings->isMinimized());
    EXPECT_TRUE(settings->isVisible());
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == settings; }));
    settings->close();
    window->close();
}

TEST(CorvantaApp, AboutBoxShowsWhatCorvantaIsOnTheDarkPaletteWithItsTitleWhole)
{
    CorvantaApp app;
    app.aboutAction()->trigger();
    auto* about = qobject_cast<AboutBox*>(app.showAbout());
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), "About Corvanta");
    EXPECT_EQ(about->nameLabel()->text(), "Corvanta");
    EXPECT_EQ(about->versionLabel()->text(), "Version " + Updater::currentVersion());
    EXPECT_EQ(about->summaryLabel()->text(), AboutBox::summary());
    EXPECT_TRUE(about->addressLabel()->text().contains("https://corvanta.example"));
    ASSERT_FALSE(about->iconLabel()->pixmap().isNull());
    // The icon as drawn: not an empty picture.
    const QImage icon = about->iconLabel()->pixmap().toImage();
    EXPECT_GT(qAlpha(icon.pixel(icon.width() / 2, icon.height() / 2)), 200);
    EXPECT_LT(about->palette().color(QPalette::Window).lightness(), 60);
    EXPECT_GT(about->palette().color(QPalette::WindowText).lightness(), 200);
    // Room for the title bar's text beside its buttons; nothing to
    // minimise or maximise.
    EXPECT_GE(about->width(), about->fontMetrics().horizontalAdvance(about->windowTitle()) + 160);
    EXPECT_FALSE(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    for (QLabel* label : { about->nameLabel(), about->versionLabel(), about->summaryLabel() })
        EXPECT_GE(label->width(), label->minimumSizeHint().width()) << label->text().toStdString();
    about->close();
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
    ASSERT_TRUE(waitUntil([&] { return fake.started() >= 2; })) << fake.log().join('\n').toStdString();
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
