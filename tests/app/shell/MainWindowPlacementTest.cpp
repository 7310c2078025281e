// The main window on the screens of common laptops: the first start fits
// the screen under the pointer, later starts come back as the window was
// left, unless that no longer fits a screen.
#include "infobar/InfoBar.h"
#include "maintenance/ReportProblemView.h"
#include "shell/ContentView.h"
#include "shell/CorvantaApp.h"
#include "shell/MainWindow.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

// Two screens side by side, a 1366 × 768 laptop and a 1440 × 900 one, and
// below the laptop what a 1024 × 600 netbook leaves free under a 48-pixel
// panel, for Qt's offscreen platform (whose screens have no panels). Set
// before the test's main() creates the application; the file goes with the
// process.
struct VirtualScreens {
    QString file = QDir::tempPath() + QStringLiteral("/corvanta-screens-%1.json").arg(getpid());
    VirtualScreens()
    {
        QFile json(file);
        if (!json.open(QIODevice::WriteOnly))
            return;
        json.write(R"({ "screens": [
            { "name": "Laptop", "x": 0, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96, "dpr": 1 },
            { "name": "Wide", "x": 1366, "y": 0, "width": 1440, "height": 900, "logicalDpi": 96, "dpr": 1 },
            { "name": "Netbook", "x": 0, "y": 768, "width": 1024, "height": 552, "logicalDpi": 96, "dpr": 1 } ] })");
        setenv("QT_QPA_PLATFORM", qPrintable("offscreen:configfile=" + file), 1);
    }
    ~VirtualScreens() { QFile::remove(file); }
};
const VirtualScreens screens;

QScreen* screenNamed(const QString& name)
{
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

void clearSettings()
{
    for (const QString& key : Settings::standard().allKeys())
        Settings::standard().remove(key);
    Settings::standard().set(SettingKeys::welcomeShown, true);
}

// Readies a first start on the named screen: no settings, the pointer on
// the screen. Null when the platform lacks it.
QScreen* firstStartOn(const QString& name)
{
    clearSettings();
    QScreen* screen = screenNamed(name);
    if (screen)
        QCursor::setPos(screen->geometry().center());
    return screen;
}

// Shows a main window of a new start and lets the window system settle.
MainWindow* start(CorvantaApp& app)
{
    MainWindow* window = app.openMainWindow();
    EXPECT_TRUE(waitUntil([&] { return window->isVisible() && window->windowHandle()->isExposed(); }))
        << "the window never came on screen";
    QApplication::processEvents();
    return window;
}

QString describe(const QRect& r)
{
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

TEST(MainWindowPlacement, TheFirstStartFitsTheScreenUnderThePointerFrameIncluded)
{
    ASSERT_EQ(QGuiApplication::screens().size(), 3) << "the offscreen platform did not take the screens";
    for (const QString& name : { QStringLiteral("Laptop"), QStringLiteral("Wide") }) {
        QScreen* screen = firstStartOn(name);
        ASSERT_NE(screen, nullptr);
        CorvantaApp app;
        MainWindow* window = start(app);
        const QRect available = screen->availableGeometry();
        EXPECT_EQ(window->screen(), screen) << name.toStdString();
        EXPECT_TRUE(available.contains(window->frameGeometry()))
            << name.toStdString() << ": frame " << describe(window->frameGeometry()).toStdString() << " on "
            << describe(available).toStdString();
        // The info bar's last line is on the screen, and the window uses
        // the room it has: as large as the default where that fits.
        InfoBar* bar = window->contentView()->infoBar();
        const QRect info(bar->mapToGlobal(QPoint(0, 0)), bar->size());
        EXPECT_TRUE(available.contains(info)) << name.toStdString();
        // (Before the window is shown its frame is guessed as a title bar
        // and thin borders.)
        const QMargins guess = MainWindow::guessedFrame;
        EXPECT_EQ(window->size(),
                  QSize(MainWindow::defaultWidth, MainWindow::defaultHeight)
                      .boundedTo(available.size().shrunkBy(guess)))
            << name.toStdString();
        window->close();
    }

    // Smallest, the window still fits a 1366 × 768 screen below a 48-pixel
    // panel with a 40-pixel title bar (which the offscreen frame lacks).
    clearSettings();
    CorvantaApp app;
    MainWindow* window = start(app);
    EXPECT_LE(window->minimumSizeHint().width() + 2 * 4, 1366);
    EXPECT_LE(window->minimumSizeHint().height() + 40 + 4 + 48, 768);
    window->close();
}

// Where even the smallest main window does not fit, its minimum gives way
// to the free area; the other windows open no larger than the area, and
// the problem report stays so when it tells how a send went.
TEST(MainWindowPlacement, OnANetbookEveryWindowStartsWithinTheFreeArea)
{
    QScreen* netbook = firstStartOn(QStringLiteral("Netbook"));
    ASSERT_NE(netbook, nullptr);
    CorvantaApp app;
    MainWindow* window = start(app);
    const QRect free = netbook->availableGeometry();
    EXPECT_TRUE(free.contains(window->frameGeometry())) << describe(window->geometry()).toStdString();
    // A new window has no room to go lower: it is set off to the right only.
    const QRect second = start(app)->frameGeometry();
    EXPECT_TRUE(free.contains(second) && second.left() > window->frameGeometry().left())
        << describe(second).toStdString();
    setenv("CORVANTA_MAKER_BASE", std::getenv("CORVANTA_FEEDS_BASE"), 1); // a closed port
    auto* report = app.showReport()->findChild<ReportProblemView*>();
    report->findChild<QPlainTextEdit*>()->setPlainText(QStringLiteral("Spots vanish"));
    report->send();
    ASSERT_TRUE(waitUntil([&] { return !report->isSending(); }));
    for (QWidget* other : { app.showSettings(), app.showHelp(), app.showReport(), app.showAbout() }) {
        QApplication::processEvents();
        EXPECT_TRUE(free.size().expandedTo(other->size().grownBy(MainWindow::guessedFrame)) == free.size())
            << other->windowTitle().toStdString() << ": " << describe(other->frameGeometry()).toStdString();
    }
}

TEST(MainWindowPlacement, LaterStartsComeBackAsLeftWhileThatFitsAScreen)
{
    QScreen* laptop = firstStartOn(QStringLiteral("Laptop"));
    QScreen* wide = screenNamed(QStringLiteral("Wide"));
    ASSERT_TRUE(wide && laptop);

    // A start that changes nothing stores nothing.
    {
        CorvantaApp app;
        start(app)->close();
    }
    EXPECT_TRUE(Settings::standard().get(SettingKeys::mainWindowGeometry).isEmpty());

    // Moved to the wide screen and made smaller.
    QRect left;
    {
        CorvantaApp app;
        MainWindow* window = start(app);
        window->setGeometry(QRect(wide->geometry().topLeft() + QPoint(120, 60), QSize(1100, 700)));
        QApplication::processEvents();
        left = window->geometry();
        window->close();
    }
    ASSERT_FALSE(Settings::standard().get(SettingKeys::mainWindowGeometry).isEmpty());

    // Comes back there, though the pointer is on the laptop; then maximised.
    {
        CorvantaApp app;
        MainWindow* window = start(app);
        EXPECT_EQ(window->geometry(), left) << describe(window->geometry()).toStdString();
        EXPECT_EQ(window->screen(), wide);
        EXPECT_FALSE(window->isMaximized());
        // A second window of the same run cascades from it.
        MainWindow* second = start(app);
        const QPoint step = second->frameGeometry().topLeft() - window->frameGeometry().topLeft();
        EXPECT_TRUE(step.x() == step.y() && step.x() >= 20) << step.x() << "," << step.y();
        EXPECT_TRUE(wide->availableGeometry().contains(second->frameGeometry()));
        // Maximised; the second moved and closed meanwhile stores nothing,
        // and Quit stores the one in front.
        window->showMaximized();
        second->move(second->pos() + QPoint(40, 30));
        QApplication::processEvents();
        const QString stored = Settings::standard().get(SettingKeys::mainWindowGeometry);
        second->close();
        EXPECT_EQ(Settings::standard().get(SettingKeys::mainWindowGeometry), stored);
        app.quitAction()->trigger();
    }
    {
        CorvantaApp app;
        MainWindow* window = start(app);
        EXPECT_TRUE(window->isMaximized());
        EXPECT_EQ(window->screen(), wide);
        // Back to normal, it has the size it had before.
        window->showNormal();
        QApplication::processEvents();
        EXPECT_EQ(window->geometry().size(), left.size());

        window->close();
    }
    // Left where no screen is now (on a screen since unplugged).
    QWidget gone;
    gone.setGeometry(QRect(wide->geometry().topRight() + QPoint(400, 100), left.size()));
    Settings::standard().set(SettingKeys::mainWindowGeometry, QString::fromLatin1(gone.saveGeometry().toBase64()));
    {
        CorvantaApp app;
        MainWindow* window = start(app);
        EXPECT_FALSE(window->isMaximized());
        EXPECT_EQ(window->screen(), laptop);
        EXPECT_TRUE(laptop->availableGeometry().contains(window->frameGeometry()))
            << describe(window->frameGeometry()).toStdString();
        window->close();
    }

    // Stored bytes that describe no window are passed over.
    Settings::standard().set(SettingKeys::mainWindowGeometry, QStringLiteral("bm90IGEgd2luZG93"));
    CorvantaApp app;
    MainWindow* window = start(app);
    EXPECT_TRUE(laptop->availableGeometry().contains(window->frameGeometry()));
    window->close();
}
