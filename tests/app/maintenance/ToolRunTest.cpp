// The update's tools never outlive the program that runs them, nor what
// they start themselves: the program may end without stopping them (the
// display lost, kill -9, a crash).
#include "maintenance/ToolRun.h"
#include "support/TestChild.h"
#include "support/UpdateFixture.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

using namespace UpdateFixture;

namespace {

// Whether the process `pid` is gone, or a zombie no one has reaped yet.
bool gone(const QString& pid)
{
    const QByteArray stat = readFile("/proc/" + pid + "/stat");
    return stat.isEmpty() || stat.contains(") Z ");
}

} // namespace

TEST(ToolRun, NothingAToolStartedOutlivesTheProgramOrTheToolsOwnEnd)
{
    QTemporaryDir root;
    const QString tool = root.filePath("tool"), pids = tool + ".pids";
    const auto standIn = [&](const QByteArray& end) {
        writeFile(tool, "#!/bin/sh\nsleep 600 >/dev/null 2>&1 & echo \"$$ $!\" >\"$0.pids\"\n" + end);
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    // The tool ends the program that runs it, with no word to anyone.
    standIn("kill -9 $PPID; wait\n");
    const TestChild::End end = TestChild::run("run-tool", { "TOOL=" + tool });
    EXPECT_TRUE(end.finished && end.signalled && end.code == SIGKILL);
    const QStringList killed = QString::fromUtf8(readFile(pids)).split(' ', Qt::SkipEmptyParts);
    ASSERT_EQ(killed.size(), 2);
    for (const QString& pid : killed)
        EXPECT_TRUE(waitUntil([&] { return gone(pid); })) << readFile("/proc/" + pid + "/stat").constData();

    // A tool that ends well leaves nothing it started running either.
    standIn("exit 0\n");
    EXPECT_TRUE(ToolRun::run(tool, {}, QDeadlineTimer(QDeadlineTimer::Forever)).ok);
    const QString left = QString::fromUtf8(readFile(pids)).split(' ').last().trimmed();
    EXPECT_TRUE(waitUntil([&] { return gone(left); })) << left.toStdString();
}
