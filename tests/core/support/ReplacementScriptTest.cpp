// The replacement script runs after the application has ended; whatever
// happens, the user must be left with a working application folder.
#include "support/ReplacementScript.h"
#include "support/UpdateFixture.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace UpdateFixture;

namespace {

QByteArray read(const QString& path) { return readFile(path).trimmed(); }

void makeApp(const QString& folder, const QByteArray& version, const QString& marker)
{
    makeAppFolder(folder, "org.corvanta.Corvanta", version, markerProgram(marker, version));
}

struct Scene {
    QTemporaryDir root;
    QString old = root.path() + "/apps/Corvanta";
    QString backup = old + ".updating";
    QString unpack = root.path() + "/apps/.corvanta-update-1";
    QString marker = root.path() + "/started";
    QString script = root.path() + "/corvanta-update-1.sh";

    Scene()
    {
        makeApp(old, "0.9.0", marker);
        writeFile(script, ReplacementScript::text().toUtf8());
    }

    void run(qint64 pid, const QString& newFolder)
    {
        // Detached, and with no hold on the test's output, which the test
        // runner waits on.
        QProcess shell;
        shell.setProgram("/bin/sh");
        shell.setArguments(ReplacementScript::arguments(script, pid, newFolder, old));
        shell.setStandardOutputFile(QProcess::nullDevice());
        shell.setStandardErrorFile(QProcess::nullDevice());
        ASSERT_TRUE(shell.startDetached());
    }
};

} // namespace

TEST(ReplacementScript, WaitsForTheProgramThenSwapsTheFoldersAndStartsTheNewOne)
{
    Scene scene;
    makeApp(scene.unpack + "/Corvanta", "0.9.1", scene.marker);
    writeFile(scene.backup + "/stale", "left by an interrupted update");

    QProcess running;
    running.start("sleep", { "60" });
    ASSERT_TRUE(running.waitForStarted());
    scene.run(running.processId(), scene.unpack + "/Corvanta");

    // Two of its polls later nothing has been touched.
    QThread::msleep(450);
    EXPECT_EQ(read(scene.old + "/corvanta.json"), R"({"id": "org.corvanta.Corvanta", "version": "0.9.0"})");
    EXPECT_TRUE(QFile::exists(scene.backup + "/stale"));

    running.kill();
    running.waitForFinished();
    ASSERT_TRUE(waitUntil([&] { return read(scene.marker) == "0.9.1"; }));
    EXPECT_EQ(read(scene.old + "/corvanta.json"), R"({"id": "org.corvanta.Corvanta", "version": "0.9.1"})");
    EXPECT_TRUE(waitUntil([&] { return !QFile::exists(scene.script); }));
    EXPECT_FALSE(QFile::exists(scene.backup));
    EXPECT_FALSE(QFile::exists(scene.unpack));
}

TEST(ReplacementScript, PutsTheOldFolderBackWhenTheNewOneCannotMoveIn)
{
    Scene scene;
    QDir().mkpath(scene.unpack); // the new folder is missing: its move fails

    QProcess ended;
    ended.start("sleep", { "60" });
    ASSERT_TRUE(ended.waitForStarted());
    const qint64 pid = ended.processId();
    ended.kill();
    ended.waitForFinished();
    scene.run(pid, scene.unpack + "/Corvanta");

    ASSERT_TRUE(waitUntil([&] { return read(scene.marker) == "0.9.0"; }));
    EXPECT_EQ(read(scene.old + "/corvanta.json"), R"({"id": "org.corvanta.Corvanta", "version": "0.9.0"})");
    EXPECT_TRUE(QFileInfo(scene.old + "/bin/corvanta").isExecutable());
    EXPECT_TRUE(waitUntil([&] { return !QFile::exists(scene.script); }));
    EXPECT_FALSE(QFile::exists(scene.backup));
    EXPECT_FALSE(QFile::exists(scene.unpack));
}
