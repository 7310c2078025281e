#include "kit/AppLog.h"
#include "kit/CrashLog.h"
#include "maintenance/Updater.h"
#include "support/TestChild.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {

TestChild::End runChild(const QString& mode, const QString& dataHome)
{
    return TestChild::run(mode, { "XDG_DATA_HOME=" + dataHome });
}

QStringList logLines(const QString& dataHome, const QString& name = "log.txt")
{
    QFile file(dataHome + "/Corvanta/" + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// "2024-03-01T12:00:00Z " and the rest of a log line.
QString message(const QString& line) { return line.mid(21); }

} // namespace

TEST(CrashLog, SignalLineCarriesTheUtcTimeAndTheNumber)
{
    char buffer[CrashLog::bufferSize];
    auto text
        = [&](std::time_t t, int signal) { return std::string(buffer, CrashLog::formatSignalLine(buffer, t, signal)); };
    EXPECT_EQ(text(0, 6), "1970-01-01T00:00:00Z Crash: fatal signal 6\n");
    EXPECT_EQ(text(951868799, 11), "2000-02-29T23:59:59Z Crash: fatal signal 11\n");
    EXPECT_EQ(text(4107542400, 5), "2100-03-01T00:00:00Z Crash: fatal signal 5\n");
    EXPECT_EQ(text(1709294400, 7), "2024-03-01T12:00:00Z Crash: fatal signal 7\n");
    // Same stamp as an ordinary log line.
    const QDateTime when = QDateTime::fromSecsSinceEpoch(1735689599, Qt::UTC);
    EXPECT_EQ(QString::fromStdString(text(1735689599, 8)).left(20), LogFile::line("", when).left(20));
}

TEST(AppLog, StartLineAndSystemDescriptionNameLinux)
{
    EXPECT_EQ(Updater::currentVersion(), "0.9.0");
    const QString line = AppLog::startLine();
    EXPECT_TRUE(line.startsWith(QString::fromUtf8("Corvanta 0.9.0 started \u00B7 Linux "))) << line.toStdString();
    EXPECT_TRUE(line.endsWith(" GB RAM"));
    EXPECT_EQ(AppLog::describeSystem("Debian GNU/Linux 12 (bookworm)", "ThinkPad X1", "x86_64", 16ull << 30),
              "Linux Debian GNU/Linux 12 (bookworm), ThinkPad X1 x86_64, 16 GB RAM");
    // A Raspberry Pi has no DMI name, only the device tree's, ended by a NUL.
    EXPECT_EQ(AppLog::machineModel(" \n", QByteArray("Raspberry Pi 4 Model B\0", 23)), "Raspberry Pi 4 Model B");
    EXPECT_EQ(AppLog::machineModel("ThinkPad X1 \n", "Raspberry Pi"), "ThinkPad X1");
    EXPECT_TRUE(AppLog::describeSystem("os", "m", "a", 7ull << 29).endsWith(", 4 GB RAM"));
    EXPECT_TRUE(AppLog::describeSystem("os", "m", "a", (5ull << 29) - 1).endsWith(", 2 GB RAM"));
    EXPECT_EQ(CrashLog::exceptionLine("int", ""), "Crash: uncaught exception int: ");
}

TEST(AppLog, FatalSignalLeavesItsLineAfterTheStartLineAndEndsTheProcessBySignal)
{
    QTemporaryDir home;
    const TestChild::End end = runChild("segv", home.path());
    ASSERT_TRUE(end.finished);
    EXPECT_TRUE(end.signalled);
    EXPECT_EQ(end.code, SIGSEGV);
    const QStringList lines = logLines(home.path());
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(message(lines[0]).startsWith("Corvanta 0.9.0 started"));
    EXPECT_EQ(message(lines[1]), "Crash: fatal signal 11");

    QTemporaryDir abortHome;
    const TestChild::End aborted = runChild("abort", abortHome.path());
    EXPECT_TRUE(aborted.signalled);
    EXPECT_EQ(aborted.code, SIGABRT);
    EXPECT_EQ(message(logLines(abortHome.path()).value(1)), "Crash: fatal signal 6");
}

TEST(AppLog, UncaughtExceptionsLeaveTheirLine)
{
    QTemporaryDir home;
    const TestChild::End end = runChild("throw", home.path());
    ASSERT_TRUE(end.finished);
    EXPECT_TRUE(end.signalled);
    const QStringList lines = logLines(home.path());
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(message(lines[1]), "Crash: uncaught exception std::runtime_error: feed table corrupt");

    QTemporaryDir intHome;
    runChild("throw-int", intHome.path());
    EXPECT_EQ(message(logLines(intHome.path()).value(1)), "Crash: uncaught exception int: ");
}

TEST(AppLog, ExceptionOnTheLogQueueEndsTheProcessInsteadOfHanging)
{
    QTemporaryDir home;
    const TestChild::End end = runChild("throw-on-queue", home.path());
    ASSERT_TRUE(end.finished) << "the child hung";
    EXPECT_TRUE(end.signalled);
    const QStringList lines = logLines(home.path());
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return message(l) == "Crash: uncaught exception std::logic_error: failed on the log queue";
    })) << lines.join('\n').toStdString();
}

TEST(AppLog, CrashLineLandsInTheCurrentLogAfterTwoRotations)
{
    QTemporaryDir home;
    const TestChild::End end = runChild("rotate-segv", home.path());
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.code, SIGSEGV);
    EXPECT_EQ(QDir(home.path() + "/Corvanta").entryList(QDir::Files), (QStringList { "log.txt", "log.txt.old" }));
    const QStringList lines = logLines(home.path());
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(message(lines[lines.size() - 2]), "last line before the crash");
    EXPECT_EQ(message(lines.back()), "Crash: fatal signal 11");
    EXPECT_FALSE(logLines(home.path(), "log.txt.old").join('\n').contains("Crash"));
}

// The cases below share this process's log: each reads only the lines it
// added, whichever ran before it.
TEST(AppLog, StartWritesTheStartLineFirstOnlyOnce)
{
    const qsizetype before = logLines(AppLog::folder().section('/', 0, -2)).size();
    AppLog::start();
    AppLog::start();
    AppLog::file().flush();
    const QStringList lines = logLines(AppLog::folder().section('/', 0, -2)).mid(before);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(message(lines[0]), AppLog::startLine());
    EXPECT_EQ(AppLog::file().maxBytes(), 500000);
    EXPECT_GE(CrashLog::descriptor(), 0);
}

TEST(AppLog, AMissingCoreResourceFolderLeavesOneLine)
{
    const QString present = QCoreApplication::applicationDirPath() + "/CorvantaCore";
    ASSERT_TRUE(QFileInfo(present).isDir());
    const qsizetype before = logLines(AppLog::folder().section('/', 0, -2)).size();
    AppLog::noteMissingMapData(ResourceFolders { QString(), present });
    AppLog::noteMissingMapData(ResourceFolders { QString(), "/nonexistent/CorvantaCore" });
    AppLog::file().flush();
    const QStringList lines = logLines(AppLog::folder().section('/', 0, -2)).mid(before);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(message(lines[0]), "Map data: core resource folder not found: /nonexistent/CorvantaCore");
}

TEST(AppLog, OpenLogFolderShowsThePathWhereNothingOpensItAndLeavesAnOpenedOneToTheUser)
{
    // No session bus in tests, so no file manager answers; the opener is
    // whatever "xdg-open" the search path holds.
    QTemporaryDir bin;
    const QByteArray path = qgetenv("PATH");
    const QString folder = QDir::toNativeSeparators(AppLog::folder());
    const auto shownPaths = [] {
        QStringList paths;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                paths << box->informativeText();
        return paths;
    };
    const auto opener = [&](const QString& script) {
        QFile file(bin.path() + "/xdg-open");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(("#!/bin/sh\n" + script + "\n").toUtf8());
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
    };
    qputenv("PATH", bin.path().toLocal8Bit());

    // None installed: the message at once, its path ready to copy.
    AppLog::openFolder();
    ASSERT_EQ(shownPaths(), QStringList { folder });
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
            box = b;
    EXPECT_TRUE(box->textInteractionFlags() & Qt::TextSelectableByMouse);
    QAbstractButton* copy = nullptr;
    for (QAbstractButton* b : box->buttons())
        if (b->text() == "Copy Path")
            copy = b;
    ASSERT_NE(copy, nullptr);
    copy->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), folder);
    EXPECT_TRUE(box->isVisible()) << "copying leaves the message open";
    box->close();
    QApplication::processEvents();
    EXPECT_TRUE(shownPaths().isEmpty());

    // One that finds nothing to open the folder with (xdg-open's 3).
    opener("exit 3");
    AppLog::openFolder();
    EXPECT_TRUE(waitUntil([&] { return shownPaths() == QStringList { folder }; }));
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w))
            w->close();
    QApplication::processEvents();

    // One that works: it is given the folder, and nothing is shown.
    opener("echo $$ \"$1\" > \"" + bin.path() + "/opened\"");
    AppLog::openFolder();
    EXPECT_TRUE(waitUntil([&] { return QFileInfo(bin.path() + "/opened").size() > 0; }));
    QFile opened(bin.path() + "/opened");
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    const QString said = QString::fromUtf8(opened.readAll()).trimmed();
    EXPECT_EQ(said.section(' ', 1), AppLog::folder());
    // Once the opener has ended and is reaped.
    const pid_t openerId = pid_t(said.section(' ', 0, 0).toInt());
    EXPECT_TRUE(waitUntil([&] { return ::kill(openerId, 0) != 0; }));
    EXPECT_TRUE(shownPaths().isEmpty()) << shownPaths().join(", ").toStdString();

    // One that runs the file manager until its window is closed, as where
    // nothing hands the folder on: a quit leaves that window to the user,
    // and ends cleanly, nothing told of the opener on the program's way out.
    opener("echo $$ > \"" + bin.path() + "/manager\"; exec /bin/sleep 600");
    const TestChild::End end = TestChild::run("open-folder-then-quit",
        { "OPENED=" + bin.path() + "/manager", "XDG_DATA_HOME=" + bin.path() });
    qputenv("PATH", path);
    EXPECT_TRUE(end.finished && !end.signalled && end.code == 0) << (end.signalled ? "signal " : "status ") << end.code;
    QFile managerId(bin.path() + "/manager");
    ASSERT_TRUE(managerId.open(QIODevice::ReadOnly));
    const pid_t manager = pid_t(managerId.readAll().trimmed().toInt());
    ASSERT_GT(manager, 0);
    // Still running, not a zombie, in a session of its own that a
    // terminal's Ctrl+C or hang-up does not reach.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(manager));
    ASSERT_TRUE(stat.open(QIODevice::ReadOnly));
    EXPECT_NE(QString::fromLatin1(stat.readAll()).section(')', -1).trimmed().left(1), "Z");
    EXPECT_NE(::getsid(manager), ::getsid(0));
    ::kill(manager, SIGKILL);
    EXPECT_FALSE(logLines(bin.path()).join('\n').contains("Crash:"));
}

