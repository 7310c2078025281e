// The replacement script runs after the application has ended; whatever
// happens, the user must be left with a working application folder.
#include "support/ReplacementScript.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

// An application folder whose program, when started, writes `name` into `marker`.
void makeApp(const QString& folder, const QByteArray& name, const QString& marker)
{
    write(folder + "/corvanta.json", "{\"id\": \"org.corvanta.Corvanta\", \"version\": \"" + name + "\"}");
    write(folder + "/bin/corvanta", "#!/bin/sh\necho " + name + " > '" + marker.toUtf8() + "'\n");
    QFile::setPermissions(folder + "/bin/corvanta", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
        write(script, ReplacementScript::text().toUtf8());
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
    write(scene.backup + "/stale", "left by an interrupted update");

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
