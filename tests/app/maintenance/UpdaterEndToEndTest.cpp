// Real installed trees (this build, put in place by `cmake --install`)
// updated from the local release server through the real archive tool and
// the real replacement script, one test per way an update can end. The
// installed program is swapped for one that only says it was started, so
// that whatever the script starts at the end can be seen and ends at once.
#include "kit/AppLog.h"
#include "maintenance/AppManifest.h"
#include "maintenance/UpdateLeftovers.h"
#include "maintenance/UpdateProgressDialog.h"
#include "maintenance/Updater.h"
#include "maintenance/VersionCheck.h"
#include "prediction/ITUEngine.h"
#include "support/ByteSize.h"
#include "support/FakeEngine.h"
#include "support/HttpPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/UpdateFixture.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace UpdateFixture;

namespace {

const QString current = Updater::currentVersion();
const QString newer = current + ".1";

QString logTail() { return AppLog::file().tail(60, 200000); }

class UpdaterEndToEnd : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString temp = root.filePath("tmp");
    QString downloads = root.filePath("Downloads");
    QString outcomeFile = root.filePath("state/update-outcome.txt");
    QString marker = root.filePath("started");
    HttpPeer peer;
    QByteArray archive;
    QProcess running;   // the installed program's process, as far as the script can tell
    QStringList alerts; // "title | text"
    QStringList revealed;
    int offers = 0;
    bool acceptOffer = true;
    int quits = 0;

    void SetUp() override
    {
        ASSERT_TRUE(isNewerVersion(newer, current));
        QDir().mkpath(temp);
        ASSERT_TRUE(peer.listen());
        Settings::standard().set(SettingKeys::updateFeedURL, peer.base() + "/latest.json");
        running.start("sleep", { "60" });
        ASSERT_TRUE(running.waitForStarted());
    }
    void TearDown() override
    {
        qputenv("PATH", path);
        running.kill();
        running.waitForFinished();
        Settings::standard().remove(SettingKeys::updateFeedURL);
    }

    // A stand-in for a command-line tool, found before the real one (also
    // by the replacement script) until PATH is set back to `path`, as
    // TearDown does.
    const QByteArray path = qgetenv("PATH");
    QDir fakeTools { root.filePath("tools") };
    void fakeTool(const QString& name, const QString& script)
    {
        writeFile(fakeTools.filePath(name), "#!/bin/sh\n" + script.toUtf8());
        QFile::setPermissions(fakeTools.filePath(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", fakeTools.path().toUtf8() + ':' + path);
    }

    // Installs this build into `prefix`; its program only writes its version
    // into the marker file.
    void install(const QString& prefix)
    {
        QProcess cmake;
        cmake.start(CORVANTA_CMAKE, { "--install", CORVANTA_BUILD_TREE, "--prefix", prefix });
        ASSERT_TRUE(cmake.waitForFinished(60000));
        ASSERT_EQ(cmake.exitCode(), 0) << cmake.readAllStandardError().constData();
        ASSERT_EQ(AppManifest::installFolder(prefix + "/bin"), prefix);
        writeFile(prefix + "/bin/corvanta", markerProgram(marker, current.toUtf8()));
    }

    // A release made as one is made: this build installed into a folder of
    // its own, the manifest's version raised; served with the feed.
    void serveRelease()
    {
        QTemporaryDir staging;
        const QString folder = staging.filePath("Corvanta");
        install(folder);
        QJsonObject manifest = QJsonDocument::fromJson(readFile(folder + "/corvanta.json")).object();
        manifest["version"] = newer;
        writeFile(folder + "/corvanta.json", QJsonDocument(manifest).toJson());
        writeFile(folder + "/bin/corvanta", markerProgram(marker, newer.toUtf8()));
        archive = zipFolder(folder);
        ASSERT_FALSE(archive.isEmpty());
        HttpPeer::Response zip;
        zip.body = archive;
        zip.contentType = "application/zip";
        peer.serve("/Corvanta-Linux.zip", zip);
        peer.serve("/latest.json", 200,
                   QStringLiteral(R"({"version": "%1", "url": "%2/Corvanta-Linux.zip", "sha256": "%3"})")
                                      .arg(newer, peer.base(), sha256Hex(archive))
                                      .toUtf8());
    }

    Updater::Platform platform(const QString& app)
    {
        Updater::Platform p;
        p.programDir = app + "/bin";
        p.program = CORVANTA_PROGRAM; // the installed one only leaves its marker
        p.processId = running.processId();
        p.tempFolder = temp;
        p.downloadsFolder = downloads;
        p.outcomeFile = outcomeFile;
        p.alert = [this](const QString& title, const QString& text, bool) { alerts << title + " | " + text; };
        p.offer = [this](const Updater::Release&, const QString&) {
            ++offers;
            return acceptOffer;
        };
        p.reveal = [this](const QString& path) { revealed << path; };
        p.quit = [this] { ++quits; };
        return p;
    }

    // Asks for updates as the menu does, answers the offer and waits until
    // the installation has ended or the application was asked to quit (the
    // check ends before the installation it started begins).
    void update(Updater& updater)
    {
        int ends = 0;
        const QMetaObject::Connection counting
            = QObject::connect(&updater, &Updater::busyChanged, [&](bool busy) { ends += busy ? 0 : 1; });
        updater.check(true);
        const bool ended = waitUntil([&] { return quits > 0 || ends == (acceptOffer ? 2 : 1); }, 30000);
        QObject::disconnect(counting);
        ASSERT_TRUE(ended);
    }

    void expectStartable(const QString& app, const QString& version)
    {
        EXPECT_TRUE(QFileInfo(app + "/bin/corvanta").isExecutable());
        EXPECT_EQ(AppManifest::read(app)->version, version);
    }

    QStringList entries(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST_F(UpdaterEndToEnd, ADedicatedFolderIsReplacedInPlaceAndKeepsTheUsersEngine)
{
    const QString opt = root.filePath("opt");
    const QString app = opt + "/Corvanta";
    install(app);
    EXPECT_EQ(AppManifest::read(app)->installed,
              QStringList({ "bin/CorvantaCore/", "bin/ITU/", "bin/Resources/", "bin/corvanta", "corvanta.json",
                            "share/applications/org.corvanta.Corvanta.desktop",
                            "share/icons/hicolor/scalable/apps/org.corvanta.Corvanta.svg" }));
    writeFile(app + ".updating/notes.txt", "the user's"); // a folder of theirs that bears the backup's name

    // The user's engine: the program, a link to it as its library would be,
    // and a data file of their own beside them, each with its own mode.
    const QString engine = app + "/bin/ITU";
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/fake_iturhfprop", engine + "/ITURHFProp"));
    QFile::setPermissions(engine + "/ITURHFProp",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    ASSERT_TRUE(QFile::link("ITURHFProp", engine + "/libp533.so"));
    writeFile(engine + "/Data/antennas/beam.ant", "my own antenna");
    QFile::setPermissions(engine + "/Data/antennas/beam.ant", QFile::ReadOwner | QFile::ReadGroup);
    writeFile(engine + "/.corvanta-carry-Notes1/todo.txt", "a folder of the user's, named as the update's are");
    writeFile(engine + "/.corvanta-carry/sites.txt", "a folder of the user's, named as the update's mark");
    const QStringList engineBefore = snapshot(engine);

    serveRelease();
    // As on one processor: the pool's one thread stays free for the short
    // jobs while the update waits on a tool.
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    Updater::Platform exchangeDies = platform(app);
    exchangeDies.program = fakeTools.filePath("exchange");
    Updater updater(exchangeDies);
    update(updater);
    EXPECT_TRUE(!alerts.isEmpty() && alerts.takeFirst().contains(app + ".updating is in the way, and it is not"));
    makeAppFolder(app + ".updating", AppManifest::appId(), current, {}); // now it is an interrupted update's
    // A copy of the engine that fails is told by its cause, and whole in the log.
    for (const QString reason : { "Permission denied", "No space left on device" }) {
        fakeTool("cp", "for i in $(seq 300); do echo \"cp: cannot create '$i': " + reason + "\" >&2; done; exit 1\n");
        update(updater);
        EXPECT_TRUE(logTail().contains("cp: cannot create '300': " + reason)) << logTail().toStdString();
    }
    // The backup of an update that ended with the old version in it, then a
    // fresh install: it alone holds the user's engine. A copy out of it cut
    // short inside a file, its program killed with it, leaves no short file:
    // the next start keeps the backup, the update stops before quitting.
    const QString backup = app + ".updating";
    makeAppFolder(backup, AppManifest::appId(), current, {});
    ASSERT_TRUE(QDir().mkpath(backup + "/bin") && QDir().rename(engine, backup + "/bin/ITU") && QDir().mkdir(engine));
    const QString cut = fakeTools.filePath("cp.cut"); // there while the copy cut short waits
    fakeTool("cp", "ulimit -f 1; trap '' XFSZ; /bin/cp \"$@\" 2>/dev/null && exit; echo 'cp: File too large' >&2\n"
                   ": >\"$0.cut\"; while [ -e \"$0.cut\" ]; do sleep 0.1; done; exit 9\n");
    updater.check(true);
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(cut); }));
    Updater::Platform later = platform(app);
    later.leftoverAgeMs = 0;
    {
        Updater restarted(later);
        restarted.start();
        ASSERT_TRUE(waitUntil([&] { return logTail().contains("lacks: " + backup) || !QFileInfo::exists(backup); }));
    }
    QFile::remove(cut);
    ASSERT_TRUE(waitUntil([&] { return !updater.busy(); }));
    EXPECT_EQ(snapshot(backup + "/bin/ITU").replaceInStrings(backup, app), engineBefore);
    EXPECT_TRUE(std::ranges::includes(engineBefore, snapshot(engine))); // nothing short under its name
    const QString notCarried = "The update didn't work | The P.533 engine in " + engine
        + " could not be carried into the new version: ";
    const QString holds = backup + ", left by an earlier update, holds files of the P.533 engine that " + engine
        + " lacks. Please move them there";
    EXPECT_EQ(alerts,
              QStringList({ notCarried + "access was refused.", notCarried + "the disk is full.",
                            "The update didn't work | Corvanta can't replace itself: " + holds
                                + " and check for updates again. Copying them failed: the file is larger than the "
                                  "disk allows." }));
    alerts.clear();
    fakeTool("cp", "exec /bin/cp \"$@\"\n");
    // The folders are exchanged in one step: no rename leaves a moment with no Corvanta at its path.
    fakeTool("exchange", "'" CORVANTA_PROGRAM "' \"$@\"; kill -9 $$\n"); // dies before it can tell
    fakeTool("mv", "echo \"mv: no rename on this file system\" >&2; exit 1\n");
    update(updater);
    qputenv("PATH", path);
    ASSERT_EQ(quits, 1) << alerts.join('\n').toStdString();
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join('\n').toStdString();

    // Unpacked beside the installed folder; nothing replaced while the old process runs.
    const QStringList unpacked = QDir(opt).entryList({ ".corvanta-update-*" }, QDir::Dirs | QDir::Hidden);
    ASSERT_EQ(unpacked.size(), 1);
    EXPECT_EQ(AppManifest::read(app)->version, current);
    EXPECT_FALSE(QFile::exists(marker));

    running.kill();
    running.waitForFinished();
    ASSERT_TRUE(waitUntil([&] { return readFile(marker).trimmed() == newer; }));
    expectStartable(app, newer);
    EXPECT_EQ(snapshot(engine), engineBefore);
    EXPECT_TRUE(waitUntil([&] { return entries(temp).isEmpty(); })) << entries(temp).join(' ').toStdString();
    EXPECT_EQ(entries(opt), QStringList { "Corvanta" });

    // The engine carried over runs a prediction.
    FakeEngine data;
    ITUEngine predictions({ engine, data.dataFolder(), data.bundledDataFolder(), data.workParent() });
    const StationSetup setup { 100, StationAntennas(), PredictionMode::cw, NoiseEnvironment::rural };
    std::optional<ITUEngine::Result> result;
    predictions.run(P533::Request({ 54.687, 25.28 }, setup, 3.0, 2026, 6, { 0, 13 }, { 14.15 }, 120, 40, 40, -75, -75,
                                  1, 1),
                    [&](const ITUEngine::Result& r) { result = r; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    ASSERT_TRUE(result->has_value()) << result->error().description().toStdString();
    EXPECT_FALSE((*result)->isEmpty());

    // The next start logs how the replacement went, and shows nothing. What
    // interrupted updates left beside the folder goes once it is old; what is
    // not certainly theirs stays.
    makeAppFolder(opt + "/.corvanta-update-AbCdEf/Corvanta", AppManifest::appId(), newer, "#!/bin/sh\n");
    writeFile(opt + "/.corvanta-update-AbCdEf/Corvanta/bin/ITU/ITURHFProp", "a copy of the engine in place");
    QDir().mkpath(opt + "/.corvanta-update-PqRsTu/previous/bin/ITU");
    ASSERT_TRUE(QFile::link(opt, opt + "/.corvanta-update-PqRsTu/previous/bin/ITU/mine")); // the only link to a folder
    makeAppFolder(app + ".updating", AppManifest::appId(), current, "#!/bin/sh\n");
    // The only copy of a folder of the user's engine, where the installed engine has a file of its name.
    writeFile(opt + "/.corvanta-update-Folder/previous/bin/ITU/ITURHFProp/notes.txt", "the user's");
    writeFile(opt + "/.corvanta-update-GhIjKl/notes.txt", "the user's");
    writeFile(opt + "/.corvanta-update-mine/Corvanta/notes.txt", "the user's");
    // And in the temporary folder the download, the archive it became and a script; not their look-alikes.
    for (const QString& name : QStringList { "corvanta-download-AbCdEf", "corvanta-download-AbCdEf.zip",
                                             "corvanta-update-0f8fad5b-d9cb-469f-a165-70867728950e.sh",
                                             "corvanta-download-mine", "corvanta-update-1.sh" })
        writeFile(temp + '/' + name, "left");
    ASSERT_TRUE(QFile::link(temp + "/corvanta-download-mine", temp + "/corvanta-download-GhIjKl"));
    EXPECT_EQ(UpdateLeftovers::removeTemporaries(temp, std::chrono::hours(1)), QStringList()); // not old yet
    Updater next(later);
    next.start();
    QCoreApplication::processEvents();
    EXPECT_TRUE(logTail().contains("Corvanta was updated to " + newer + ".")) << logTail().toStdString();
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_FALSE(QFile::exists(outcomeFile));
    const QString removed = "Removed what an interrupted update left: " + opt + "/.corvanta-update-AbCdEf, " + app
        + ".updating";
    EXPECT_TRUE(waitUntil([&] { return logTail().contains(removed); })) << logTail().toStdString();
    EXPECT_TRUE(logTail().contains("engine that the installed Corvanta lacks: " + opt + "/.corvanta-update-Folder, "
                                   + opt + "/.corvanta-update-PqRsTu"));
    EXPECT_TRUE(QFile::exists(engine + "/.corvanta-carry-Notes1/todo.txt"));
    EXPECT_EQ(entries(opt), QStringList({ ".corvanta-update-Folder", ".corvanta-update-GhIjKl", ".corvanta-update-mine",
                                          ".corvanta-update-PqRsTu", "Corvanta" }));
    EXPECT_EQ(entries(temp),
              QStringList({ "corvanta-download-GhIjKl", "corvanta-download-mine", "corvanta-update-1.sh" }));
}

TEST_F(UpdaterEndToEnd, APrefixSharedWithOtherProgramsTakesTheHandInstallPathAndStaysUntouched)
{
    // ~/.local as many users have it: other programs and Corvanta's own data.
    const QString local = root.filePath("home/.local");
    writeFile(local + "/bin/othertool", "#!/bin/sh\n");
    QFile::setPermissions(local + "/bin/othertool", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeFile(local + "/share/otherapp/data.db", "another program's data");
    writeFile(local + "/share/Corvanta/logbook.json", "[]");
    writeFile(local + "/share/Corvanta/cty.dat", "country file");
    writeFile(local + "/lib/python3/site-packages/x.py", "pass\n");
    install(local);
    const QStringList before = snapshot(local);

    serveRelease();
    Updater updater(platform(local));
    update(updater);
    EXPECT_EQ(quits, 0);
    const QString copy = downloads + "/Corvanta-Linux-" + newer + ".zip";
    EXPECT_EQ(alerts,
              QStringList("Please install the update yourself | Corvanta can't replace itself in this folder, which "
                          "holds other programs' files too:\n"
                          + local + "\n\nThe new version is in your Downloads folder:\n" + copy
                          + "\n\nUnzip it and install it the way you installed this version."));
    EXPECT_EQ(readFile(copy), archive);
    EXPECT_TRUE(waitUntil([&] { return revealed == QStringList { copy }; }));
    EXPECT_TRUE(logTail().contains("Update to " + newer + " left in " + copy + ": " + local
                                   + " holds more than Corvanta (bin/othertool, lib/, share/Corvanta/, share/otherapp/)."))
        << logTail().toStdString();

    EXPECT_EQ(snapshot(local), before);
    EXPECT_EQ(entries(root.filePath("home")), QStringList { ".local" });
    EXPECT_EQ(entries(temp), QStringList());
    EXPECT_FALSE(QFile::exists(marker));
}

TEST_F(UpdaterEndToEnd, AStalledDownloadOrUnpackEndsWithAMessageAndTheNextCheckRuns)
{
    const QString app = root.filePath("opt/Corvanta");
    install(app);
    const QStringList before = snapshot(app);
    serveRelease();
    // Half the archive arrives, then nothing.
    HttpPeer::Response halfway;
    halfway.body = archive;
    halfway.contentType = "application/zip";
    halfway.stallAfter = archive.size() / 2;
    peer.serve("/Corvanta-Linux.zip", halfway);

    // The real progress dialog, kept in sight.
    QPointer<UpdateProgressDialog> dialog;
    const auto withDialog = [&](Updater::Platform p) {
        p.showProgress = [&](Updater& updater, const Updater::Release& release) {
            dialog = new UpdateProgressDialog(updater, release);
            dialog->show();
        };
        return p;
    };
    const QString half = ByteSize::text(archive.size() / 2) + " of " + ByteSize::text(archive.size());
    const auto bytesShown = [&] { return dialog ? dialog->findChild<QLabel*>("bytes")->text() : QString(); };

    // Nothing arrives for the inactivity limit.
    Updater::Platform idle = withDialog(platform(app));
    idle.downloadIdleMs = 2000; // the half arrives well within it on a slow machine
    Updater updater(idle);
    updater.check(true);
    ASSERT_TRUE(waitUntil([&] { return bytesShown() == half; })) << bytesShown().toStdString();
    EXPECT_GT(dialog->findChild<QProgressBar*>("bar")->value(), 0);
    ASSERT_TRUE(waitUntil([&] { return !updater.busy(); }));
    const QString stalled = "Nothing arrived for 2 s; the server stopped sending.";
    EXPECT_EQ(alerts, QStringList("The update didn't work | " + stalled));
    EXPECT_TRUE(logTail().contains("Update to " + newer + " failed: " + stalled)) << logTail().toStdString();
    EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));

    // The overall limit ends it before the inactivity limit would.
    Updater::Platform slow = withDialog(platform(app));
    slow.downloadIdleMs = 60000;
    slow.downloadLimitMs = 600;
    Updater slowUpdater(slow);
    update(slowUpdater);
    EXPECT_EQ(alerts.last(), "The update didn't work | The answer did not come in whole within 600 ms.");
    EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));

    // The user gives up: the dialog's Cancel ends it without an alert.
    Updater::Platform patient = withDialog(platform(app));
    patient.downloadIdleMs = 60000;
    Updater cancelled(patient);
    cancelled.check(true);
    ASSERT_TRUE(waitUntil([&] { return bytesShown() == half; }));
    dialog->findChild<QPushButton*>("cancel")->click();
    ASSERT_TRUE(waitUntil([&] { return !cancelled.busy(); }));
    EXPECT_TRUE(logTail().contains("Update to " + newer + " failed: The download was cancelled."));
    EXPECT_EQ(alerts.size(), 2);

    // The download is whole, but unpacking never ends (a disk that stopped
    // answering): it ends at its limit.
    HttpPeer::Response whole;
    whole.body = archive;
    peer.serve("/Corvanta-Linux.zip", whole);
    fakeTool("unzip", "case \"$1\" in -Z*) exec /usr/bin/unzip \"$@\" ;; esac; exec sleep 60\n");
    Updater::Platform hung = platform(app);
    hung.fileStepLimitMs = 300;
    Updater hungUpdater(hung);
    update(hungUpdater);
    EXPECT_EQ(alerts.last(), "The update didn't work | The download couldn't be unpacked: unpacking took too long; "
                             "the disk may be failing.");
    qputenv("PATH", path);

    // "Check for Updates…" works again and finds the release.
    const int feedRequests = peer.count("/latest.json");
    acceptOffer = false;
    update(updater);
    EXPECT_EQ(peer.count("/latest.json"), feedRequests + 1);
    EXPECT_EQ(offers, 5);

    EXPECT_EQ(quits, 0);
    EXPECT_EQ(snapshot(app), before);
    EXPECT_EQ(entries(temp), QStringList());
    EXPECT_EQ(entries(root.filePath("opt")), QStringList { "Corvanta" });
}

TEST_F(UpdaterEndToEnd, WhenTheSwapAndTheRestoreFailTheOldVersionIsCopiedBackStartedAndReported)
{
    const QString opt = root.filePath("opt");
    const QString app = opt + "/Corvanta";
    install(app);
    EXPECT_EQ(QProcess::execute("timeout", { "60", CORVANTA_BUILD_TREE "/bin/corvanta", "--exchange-folders" }), 2);
    serveRelease();
    // A file system that cannot exchange two folders, and whose renames of
    // the new version and of the backup onto the application's path fail:
    // moving the new version in fails, and so does moving the old one back.
    fakeTool("mv", QStringLiteral("for last; do :; done\n"
                                  "case \"$last:$2\" in '%1':*/Corvanta|'%1':*.updating)\n"
                                  "  echo \"mv: cannot move to '$last': Input/output error\" >&2; exit 1 ;;\n"
                                  "esac\n"
                                  "exec /bin/mv \"$@\"\n")
                       .arg(app));
    Updater::Platform noExchange = platform(app);
    noExchange.program = "false";
    Updater updater(noExchange);
    update(updater);
    ASSERT_EQ(quits, 1) << alerts.join('\n').toStdString();
    running.kill();
    running.waitForFinished();

    // The old version is back where it was, and is started.
    ASSERT_TRUE(waitUntil([&] { return readFile(marker).trimmed() == current; }));
    expectStartable(app, current);
    EXPECT_TRUE(waitUntil([&] { return entries(opt) == QStringList { "Corvanta" }; }))
        << entries(opt).join(' ').toStdString();

    // The next start tells the user what happened.
    ASSERT_TRUE(QFile::exists(outcomeFile));
    Updater next(platform(app));
    next.start();
    ASSERT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }));
    const QString told = "Corvanta " + newer + " was not installed: it could not be moved into " + app
        + ". The previous version could not be moved back either and was copied back.";
    EXPECT_EQ(alerts, QStringList("The update didn't work | " + told));
    EXPECT_TRUE(logTail().contains(told + " Detail: mv: cannot move to '" + app + "': Input/output error"))
        << logTail().toStdString();
    EXPECT_FALSE(QFile::exists(outcomeFile));

    // Once more, and the disk fills while copying back: no half copy stands
    // at the application's path; the old version starts from the backup.
    fakeTool("cp", "for last; do :; done; mkdir -p \"$last/bin\"; : >\"$last/bin/corvanta\"\n"
                   "echo 'cp: error writing: No space left on device' >&2; exit 1\n");
    QFile::remove(marker);
    quits = 0;
    running.start("sleep", { "60" });
    ASSERT_TRUE(running.waitForStarted());
    Updater again(noExchange);
    update(again);
    qputenv("PATH", path);
    ASSERT_EQ(quits, 1) << alerts.join('\n').toStdString();
    running.kill();
    running.waitForFinished();
    ASSERT_TRUE(waitUntil([&] { return readFile(marker).trimmed() == current; }));
    EXPECT_FALSE(QFileInfo::exists(app));
    expectStartable(app + ".updating", current);
    EXPECT_TRUE(waitUntil([&] { return entries(opt) == QStringList { "Corvanta.updating" }; }))
        << entries(opt).join(' ').toStdString();
}

TEST_F(UpdaterEndToEnd, ABackupThatCannotBeDeletedStopsTheUpdateBeforeQuittingAndItIsNotOfferedAgain)
{
    const QString app = root.filePath("opt/Corvanta");
    install(app);
    // A backup of an earlier update that this user cannot delete: a folder
    // they may not change (for root, one marked immutable).
    const QString backup = app + ".updating";
    makeAppFolder(backup, AppManifest::appId(), current, "old");
    const QByteArray locked = QFile::encodeName(backup + "/bin");
    const int fd = ::open(locked.constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    int flags = 0;
    bool immutable = false;
    if (geteuid() == 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags |= FS_IMMUTABLE_FL;
        immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    const auto unlock = [&] {
        flags &= ~FS_IMMUTABLE_FL;
        if (immutable)
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        ::close(fd);
        QFile::setPermissions(backup + "/bin", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    if (!immutable) {
        if (geteuid() == 0) {
            unlock();
            GTEST_SKIP() << "this file system marks nothing immutable, and root may delete anything else";
        }
        QFile::setPermissions(backup + "/bin", QFile::ReadOwner | QFile::ExeOwner);
    }
    const QStringList before = snapshot(app);

    serveRelease();
    Updater updater(platform(app));
    update(updater);
    const QString why = "Corvanta can't replace itself: " + backup
        + ", left by an earlier update, cannot be deleted. Please delete it and check for updates again.";
    EXPECT_EQ(alerts, QStringList("The update didn't work | " + why));
    EXPECT_TRUE(logTail().contains("Update to " + newer + " failed: " + why)) << logTail().toStdString();
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(snapshot(app), before);
    EXPECT_TRUE(QDir(root.filePath("opt")).entryList({ ".corvanta-update-*" }, QDir::Dirs | QDir::Hidden).isEmpty());
    EXPECT_EQ(entries(temp), QStringList());

    // The scheduled checks stay quiet about it for the rest of the run.
    const int feedRequests = peer.count("/latest.json");
    updater.check(false);
    ASSERT_TRUE(waitUntil([&] { return peer.count("/latest.json") > feedRequests && !updater.busy(); }));
    EXPECT_EQ(offers, 1);
    EXPECT_EQ(alerts.size(), 1);
    unlock();
}
