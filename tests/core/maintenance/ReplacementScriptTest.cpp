// The replacement script runs after the application has ended; whatever
// happens, the user must be left with a working application and the next
// start must learn how it went. (The usual swap and a failed restore are
// driven end to end by UpdaterEndToEndTest.)
#include "maintenance/ReplacementScript.h"
#include "support/UpdateFixture.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using namespace UpdateFixture;

TEST(ReplacementScript, PutsTheOldFolderBackAndStartsItWhenTheNewOneCannotMoveIn)
{
    QTemporaryDir root;
    const QString old = root.filePath("apps/Corvanta");
    const QString unpack = root.filePath("apps/.corvanta-update-1");
    const QString marker = root.filePath("started");
    const QString script = root.filePath("corvanta-update-1.sh");
    makeAppFolder(old, "org.corvanta.Corvanta", "0.9.0", markerProgram(marker, "0.9.0"));
    makeAppFolder(old + ".updating", "org.corvanta.Corvanta", "0.8.9", {}); // left by an interrupted update
    writeFile(script, ReplacementScript::text().toUtf8());
    QDir().mkpath(unpack); // but no new folder in it: moving it in fails

    const pid_t pid = fork(); // the old process, ended but not yet reaped: a zombie
    if (pid == 0)
        _exit(0);
    ASSERT_TRUE(waitUntil([&] { return readFile("/proc/" + QString::number(pid) + "/stat").contains(") Z "); }));

    // Detached, and with no hold on the output the test runner waits on.
    QProcess shell;
    shell.setProgram("/bin/sh");
    const QString outcome = root.filePath("update-outcome.txt");
    shell.setArguments(ReplacementScript::arguments(script, pid, unpack + "/Corvanta", old, outcome, "0.9.1", "false"));
    shell.setStandardOutputFile(QProcess::nullDevice());
    shell.setStandardErrorFile(QProcess::nullDevice());
    ASSERT_TRUE(shell.startDetached());

    ASSERT_TRUE(waitUntil([&] { return readFile(marker).trimmed() == "0.9.0"; }));
    EXPECT_EQ(readFile(old + "/corvanta.json").trimmed(), R"({"id": "org.corvanta.Corvanta", "version": "0.9.0"})");
    EXPECT_TRUE(QFileInfo(old + "/bin/corvanta").isExecutable());
    EXPECT_TRUE(waitUntil([&] { return !QFile::exists(script); }));
    EXPECT_EQ(QDir(root.filePath("apps")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList { "Corvanta" });
    const auto told = ReplacementScript::takeOutcome(outcome);
    ASSERT_TRUE(told.has_value());
    EXPECT_FALSE(told->updated);
    EXPECT_EQ(told->text, "Corvanta 0.9.1 was not installed: it could not be moved into " + old
                              + ". The previous version was put back.");
    EXPECT_TRUE(told->detail.startsWith("mv: ")) << told->detail.toStdString(); // for the log alone
    EXPECT_FALSE(QFile::exists(outcome));
    EXPECT_FALSE(ReplacementScript::takeOutcome(outcome).has_value());
    writeFile(old + ".updating/notes.txt", "the user's"); // a folder of theirs of that name stays, and stops it
    writeFile(script, ReplacementScript::text().toUtf8());
    QFile::remove(marker);
    ASSERT_TRUE(shell.startDetached());
    ASSERT_TRUE(waitUntil([&] { return !QFile::exists(script) && QFile::exists(marker); }));
    EXPECT_TRUE(ReplacementScript::takeOutcome(outcome)->text.contains(old + ".updating is in the way, and it is not"));
    waitpid(pid, nullptr, 0);
}

TEST(ReplacementScript, RefusesAProcessIdThatNamesNoSingleProcess)
{
    // "kill -0 0" asks about the whole process group and always succeeds:
    // the script would wait forever and never put anything in place.
    QTemporaryDir root;
    const QString old = root.filePath("apps/Corvanta");
    const QString script = root.filePath("corvanta-update-1.sh");
    makeAppFolder(old, "org.corvanta.Corvanta", "0.9.0", markerProgram(root.filePath("started"), "0.9.0"));
    writeFile(script, ReplacementScript::text().toUtf8());
    for (const QString& pid : { QString("0"), QString(""), QString("12x") }) {
        QProcess shell;
        shell.start("/bin/sh", { script, pid, root.filePath("new/Corvanta"), old, root.filePath("outcome"), "0.9.1" });
        ASSERT_TRUE(shell.waitForFinished()) << pid.toStdString();
        EXPECT_NE(shell.exitCode(), 0);
        EXPECT_TRUE(QFile::exists(old + "/corvanta.json"));
    }
}

TEST(ReplacementScript, KeepsABackupThatHoldsTheUsersEngineAsTheProgramAnswers)
{
    // One that turned up after the program looked, where the folders
    // cannot be exchanged: the script asks the program, and is run to its end.
    QTemporaryDir root;
    const QString old = root.filePath("apps/Corvanta"), backup = old + ".updating", outcome = root.filePath("outcome");
    const QString unpacked = root.filePath("apps/.corvanta-update-1/Corvanta"), program = root.filePath("corvanta");
    makeAppFolder(old, "org.corvanta.Corvanta", "0.9.0", "#!/bin/sh\n");
    makeAppFolder(unpacked, "org.corvanta.Corvanta", "0.9.1", "#!/bin/sh\n");
    makeAppFolder(backup, "org.corvanta.Corvanta", "0.8.9", {});
    writeFile(backup + "/bin/ITU/Data/beam.ant", "the only copy");
    writeFile(root.filePath("update.sh"), ReplacementScript::text().toUtf8());
    writeFile(program, "#!/bin/sh\n[ \"$1\" = --exchange-folders ] && exit 1\nexec '" CORVANTA_PROGRAM "' \"$@\"\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_EQ(QProcess::execute("/bin/sh", ReplacementScript::arguments(root.filePath("update.sh"), 999999999, unpacked,
                                                                         old, outcome, "0.9.1", program)),
              0);
    EXPECT_EQ(ReplacementScript::takeOutcome(outcome).value_or(ReplacementScript::Outcome {}).text,
              "Corvanta 0.9.1 was not installed: " + backup + ", left by an earlier update, holds files of the P.533 "
                  "engine that " + old + "/bin/ITU lacks. Please move them there; Corvanta will then offer the "
                  "update again.");
    EXPECT_EQ(readFile(backup + "/bin/ITU/Data/beam.ant"), "the only copy");
}
