// The main window of a first start under a real window manager: openbox on
// a 1024 × 600 screen whose bottom 24 pixels a panel keeps. The test runs
// itself again on that screen (scripts/desktop), on Qt's X11 platform,
// which reads the frame the window manager reports (_NET_FRAME_EXTENTS).
#include "shell/CorvantaApp.h"
#include "shell/MainWindow.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/TestEnvironment.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QDataStream>
#include <QProcess>
#include <QScreen>
#include <QTemporaryFile>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>

TEST(MainWindowFrame, OnANetbookUnderAPanelTheWholeFrameIsOnTheScreen)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        // Under the sanitizers, what the X11 platform's libraries do is
        // theirs: libxkbcommon-x11 copies key names with strndup from
        // buffers that hold no NUL (an overflow to the strict string
        // checks), and libdbus keeps a buffer to the end.
        QString asan = qEnvironmentVariable("ASAN_OPTIONS");
        asan += QString(asan.isEmpty() ? "" : ":") + "strict_string_checks=0";
        QTemporaryFile suppressions;
        suppressions.open();
        suppressions.write("leak:libdbus-1.so\n");
        suppressions.flush();
        QProcess desktop;
        desktop.setProcessChannelMode(QProcess::MergedChannels);
        desktop.start(TestEnvironment::sourceDir() + "/scripts/desktop",
                      { "1024x600", "24", "env", "QT_QPA_PLATFORM=xcb", "ASAN_OPTIONS=" + asan,
                        "LSAN_OPTIONS=suppressions=" + suppressions.fileName(),
                        CORVANTA_SELF, "--gtest_filter=MainWindowFrame.*" });
        const bool ended = desktop.waitForFinished(240000) && desktop.exitStatus() == QProcess::NormalExit;
        if (ended && desktop.exitCode() == 77)
            GTEST_SKIP() << desktop.readAll().toStdString();
        EXPECT_TRUE(ended && desktop.exitCode() == 0) << desktop.readAll().toStdString();
        return;
    }
    auto app = std::make_unique<CorvantaApp>();
    MainWindow* window = app->openMainWindow();
    const QRect free = window->screen()->availableGeometry();
    ASSERT_EQ(free.size(), QSize(1024, 576)) << "the panel's room is free";
    // The frame with the margins the window manager gave last: the
    // widget's may keep those of before until the window next moves.
    const auto frame = [&] { return window->windowHandle()->frameGeometry(); };
    const auto shown
        = [&] { return testing::PrintToString(frame().topLeft()) + " " + testing::PrintToString(frame().size()); };
    // Once framed: the title bar and the lower edge are on the screen.
    const auto framedWithin
        = [&] { return !window->windowHandle()->frameMargins().isNull() && free.contains(frame()); };
    // Maximised once grown to the minimum its frame leaves it, as a user
    // could: a window manager takes a change of size that follows the
    // request for leaving the maximised state.
    const auto grown = [&] { return window->size() == window->size().expandedTo(window->minimumSizeHint()); };
    ASSERT_TRUE(waitUntil([&] { return framedWithin() && grown(); })) << shown();
    const QMargins normalFrame = window->windowHandle()->frameMargins();
    window->showMaximized();
    ASSERT_TRUE(waitUntil([&] { return framedWithin() && frame() == free; })) << shown();

    // Closed maximised, it starts maximised: as stored, and as Qt often
    // stores it moments after maximising (soon after the welcome sheet),
    // with the margins of the frame before, beyond the free area.
    const QRect stale = window->geometry().marginsAdded(normalFrame);
    window->close();
    QByteArray stored = QByteArray::fromBase64(Settings::standard().get(SettingKeys::mainWindowGeometry).toLatin1());
    for (const bool staleFrame : { false, true }) {
        QDataStream frameAfterVersion(&stored, QIODevice::ReadWrite);
        frameAfterVersion.device()->seek(8);
        if (staleFrame)
            frameAfterVersion << stale;
        Settings::standard().set(SettingKeys::mainWindowGeometry, QString::fromLatin1(stored.toBase64()));
        app = std::make_unique<CorvantaApp>();
        window = app->openMainWindow();
        ASSERT_TRUE(waitUntil([&] { return window->isMaximized() && frame() == free; }))
            << shown() << (staleFrame ? " from a stale frame" : "");
    }
}
