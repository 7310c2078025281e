// The main window of a first start under a real window manager: openbox on
// a 1024 × 600 screen whose bottom 24 pixels a panel keeps. The test runs
// itself again on that screen (scripts/desktop), on Qt's X11 platform,
// which reads the frame the window manager reports (_NET_FRAME_EXTENTS).
#include "shell/CorvantaApp.h"
#include "shell/MainWindow.h"
#include "support/TestEnvironment.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

std::string describe(const QRect& r)
{
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

} // namespace

TEST(MainWindowFrame, OnANetbookUnderAPanelTheWholeFrameIsOnTheScreen)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        QProcess desktop;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        desktop.setProcessEnvironment(environment);
        desktop.setProcessChannelMode(QProcess::MergedChannels);
        // A screen's size and its panel's height, then the command.
        const QStringList arguments { "1024x600", "24", QCoreApplication::applicationFilePath(),
                                      "--gtest_filter=MainWindowFrame.*" };
        desktop.start(TestEnvironment::sourceDir() + "/scripts/desktop", arguments);
        if (!desktop.waitForFinished(240000))
            desktop.terminate();
        desktop.waitForFinished();
        const std::string output = desktop.readAll().toStdString();
        if (desktop.exitStatus() == QProcess::NormalExit && desktop.exitCode() == 77)
            GTEST_SKIP() << output;
        EXPECT_TRUE(desktop.exitStatus() == QProcess::NormalExit && desktop.exitCode() == 0) << output;
        return;
    }

    CorvantaApp app;
    MainWindow* window = app.openMainWindow();
    const QRect free = window->screen()->availableGeometry();
    ASSERT_EQ(free.size(), QSize(1024, 576)) << "the panel's room is free";
    // Once framed: the title bar and the lower edge are on the screen.
    const auto framedWithin
        = [&] { return !window->windowHandle()->frameMargins().isNull() && free.contains(window->frameGeometry()); };
    EXPECT_TRUE(waitUntil(framedWithin, 30000)) << describe(window->frameGeometry());
    window->showMaximized();
    EXPECT_TRUE(waitUntil([&] { return framedWithin() && window->frameGeometry() == free; }, 30000))
        << describe(window->frameGeometry());
}
