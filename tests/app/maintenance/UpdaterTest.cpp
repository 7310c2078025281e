// The self-update against a local release server: what is offered, what is
// reported, what is refused, and where an update lands when the application
// cannot replace itself.
#include "maintenance/Updater.h"
#include "kit/AppLog.h"
#include "maintenance/AppManifest.h"
#include "maintenance/ToolRun.h"
#include "maintenance/UpdateProgressDialog.h"
#include "maintenance/VersionCheck.h"
#include "support/HttpPeer.h"
#include "support/Resident.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/TestChild.h"
#include "support/UpdateFixture.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QPointer>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <tuple>
#include <unistd.h>

using namespace UpdateFixture;

namespace {

const QString current = Updater::currentVersion();
const QString newer = current + ".1";

class UpdaterTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    HttpPeer peer;
    QString apps = root.filePath("apps");
    QString app = apps + "/Corvanta";
    QString temp = root.filePath("tmp");
    QString downloads = root.filePath("Downloads");
    QStringList alerts; // "title | text"
    QList<Updater::Release> offers;
    QStringList revealed;
    int quits = 0;
    Updater::Platform platform;

    void SetUp() override
    {
        // Others may pass down to the application's folder: the read-only
        // test asks as another user.
        QFile::setPermissions(root.path(), QFile::permissions(root.path()) | QFile::ReadOther | QFile::ExeOther);
        ASSERT_TRUE(peer.listen());
        QDir().mkpath(temp);
        makeAppFolder(app, AppManifest::appId(), current, "#!/bin/sh\n");
        Settings::standard().set(SettingKeys::updateFeedURL, peer.base() + "/latest.json");
        platform.programDir = app + "/bin";
        platform.processId = 999999999; // no such process; nothing here gets as far as the script
        platform.tempFolder = temp;
        platform.downloadsFolder = downloads;
        platform.alert = [this](const QString& title, const QString& text, bool) { alerts << title + " | " + text; };
        platform.offer = [this](const Updater::Release& release, const QString&) {
            offers << release;
            return false; // "Later"
        };
        platform.reveal = [this](const QString& path) { revealed << path; };
        platform.quit = [this] { ++quits; };
    }
    void TearDown() override { Settings::standard().remove(SettingKeys::updateFeedURL); }

    // unzip's stand-in, found before it until PATH is set back to `path`.
    const QByteArray path = qgetenv("PATH");
    const QString tools = root.filePath("tools");
    void standInUnzip(const QByteArray& script)
    {
        writeFile(tools + "/unzip", "#!/bin/sh\n" + script);
        QFile::setPermissions(tools + "/unzip", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", tools.toUtf8() + ':' + path);
    }

    void serveFeed(const QString& version, const QString& url, const QString& sha256)
    {
        peer.serve("/latest.json", 200,
                   QStringLiteral(R"({"version": "%1", "url": "%2", "sha256": "%3", "notes": "Faster."})")
                                      .arg(version, url, sha256)
                                      .toUtf8());
    }
    Updater::Release serveRelease(const QString& version, const QByteArray& archive)
    {
        const QString path = "/Corvanta-Linux-" + version + ".zip";
        HttpPeer::Response zip;
        zip.body = archive;
        zip.contentType = "application/zip";
        peer.serve(path.toUtf8(), zip);
        serveFeed(version, peer.base() + path, sha256Hex(archive));
        return { version, peer.base() + path, sha256Hex(archive), std::nullopt };
    }
    void check(Updater& updater, bool userAsked)
    {
        updater.check(userAsked);
        ASSERT_TRUE(waitUntil([&] { return !updater.busy(); }));
    }
    void install(Updater& updater, const Updater::Release& release)
    {
        bool done = false;
        updater.install(release, [&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }));
    }
    // The last alert, taken off the list; "" when there was none.
    QString takeAlert() { return alerts.isEmpty() ? QString() : alerts.takeLast(); }
    QStringList entries(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // The disk fills under the download: the file open in the temporary
    // folder becomes, in this process, /dev/full, which refuses every write.
    bool fillTheDisk()
    {
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System)) {
            if (fd.symLinkTarget().startsWith(QFileInfo(temp).canonicalFilePath() + '/'))
                return ::dup3(full, fd.fileName().toInt(), O_CLOEXEC) >= 0 && ::close(full) == 0;
        }
        return false;
    }
};

// Root may write anywhere, so a read-only folder is read-only only to
// another user. The writability test asks for the real user (access(2)):
// this takes an unprivileged real id, keeping root's effective one, and
// gives it back. For other users it does nothing.
struct AsOrdinaryUser {
    const bool wasRoot = getuid() == 0;
    AsOrdinaryUser() { EXPECT_TRUE(!wasRoot || setresuid(65534, 0, 0) == 0); }
    ~AsOrdinaryUser() { EXPECT_TRUE(!wasRoot || setresuid(0, 0, 0) == 0); }
};

} // namespace

TEST_F(UpdaterTest, OffersANewerVersionAndReportsTheRestOnlyWhenAsked)
{
    Updater updater(platform);
    serveFeed(newer, "https://x/a.zip", "00");
    check(updater, false);
    check(updater, true); // "Later" stored nothing: offered again
    ASSERT_EQ(offers.size(), 2);
    EXPECT_EQ(offers[1], (Updater::Release { newer, "https://x/a.zip", "00", QString("Faster.") }));

    for (const QString& version : { current, QString("0.1"), current + "b7" }) {
        serveFeed(version, "https://x/a.zip", "00");
        check(updater, false);
        check(updater, true);
    }
    const QString upToDate = "Corvanta is up to date | You have version " + current + ", the latest.";
    EXPECT_EQ(alerts, QStringList({ upToDate, upToDate, upToDate }));

    alerts.clear();
    for (int status : { 404, 500, 304 }) {
        peer.serve("/latest.json", status, R"({"version": "99", "url": "u", "sha256": "s"})");
        check(updater, true);
        check(updater, false); // leaves only its log line
        const QString answered = QString("The update server answered HTTP %1.").arg(status);
        EXPECT_EQ(takeAlert(), "Couldn't check for updates | " + answered);
        EXPECT_EQ(AppLog::file().tail(50, 100000).count("Update check failed: " + answered), 2);
    }

    peer.serve("/latest.json", 200, "<html>maintenance</html>");
    check(updater, true);
    EXPECT_TRUE(alerts.last().startsWith("Couldn't check for updates | The release feed couldn't be read: "));
    {
        HttpPeer gone;
        ASSERT_TRUE(gone.listen());
        Settings::standard().set(SettingKeys::updateFeedURL, gone.base() + "/latest.json");
    }
    check(updater, true);
    EXPECT_TRUE(alerts.last().startsWith("Couldn't check for updates | 127.0.0.1 refused the connection."));
    EXPECT_EQ(offers.size(), 2);

    QString status;
    updater.installLatestNow([&](const QString& s) { status = s; });
    ASSERT_TRUE(waitUntil([&] { return !status.isEmpty(); }));
    EXPECT_EQ(status, "check failed: 127.0.0.1 refused the connection.");
}

TEST_F(UpdaterTest, ChecksAfterTheFirstDelayThenAtEachIntervalAndNeverTwiceAtOnce)
{
    // The interval is long beside the first delay, so a machine busy with
    // other work cannot make the first check look like the repeat's.
    platform.firstCheckMs = 20;
    platform.repeatMs = 1000;
    Updater updater(platform);
    serveFeed(current, "https://x/a.zip", "00");
    QElapsedTimer clock;
    clock.start();
    updater.start();
    updater.start(); // a second main window arms nothing more
    ASSERT_TRUE(waitUntil([&] { return peer.count("/latest.json") == 1; }));
    const qint64 first = clock.elapsed();
    ASSERT_TRUE(waitUntil([&] { return peer.count("/latest.json") == 2; }));
    EXPECT_LT(first, clock.elapsed() - first); // sooner than the repeat, however slow the machine
    ASSERT_TRUE(waitUntil([&] { return peer.count("/latest.json") == 3; }));
    EXPECT_GE(clock.elapsed(), 1800); // coarse timers may fire up to a tenth early, as seen under load
    EXPECT_TRUE(alerts.isEmpty());

    HttpPeer::Response stalled;
    stalled.stall = true;
    peer.serve("/latest.json", stalled);
    updater.check(false);
    ASSERT_TRUE(waitUntil([&] { return peer.count("/latest.json") == 4; }));
    updater.check(true);
    EXPECT_FALSE(waitUntil([&] { return peer.count("/latest.json") > 4; }, 200));
    EXPECT_TRUE(updater.busy());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(UpdaterTest, RefusesDownloadsFromElsewhereDamagedOrForeignAndLeavesNothingBehind)
{
    // Each refusal's alert comes up once the progress window is gone.
    QPointer<UpdateProgressDialog> progress;
    platform.showProgress = [&](Updater& updater, const Updater::Release& release) {
        (progress = new UpdateProgressDialog(updater, release))->show();
    };
    platform.alert = [&](const QString& title, const QString& text, bool) {
        alerts << title + " | " + text + (progress && progress->isVisible() ? " (over the progress window)" : "");
    };
    Updater updater(platform);
    const QByteArray good = appArchive(AppManifest::appId(), newer, "#!/bin/sh\n");
    ASSERT_FALSE(good.isEmpty());
    for (const char* url : { "https://evil.example/a.zip", "http://corvanta.example/a.zip" })
        install(updater, { newer, url, sha256Hex(good), std::nullopt });
    Updater::Release release = serveRelease(newer, good);
    install(updater, { newer, release.url, sha256Hex("something else"), std::nullopt });
    install(updater, { newer, release.url, " " + release.sha256, std::nullopt }); // no trimming
    install(updater, serveRelease(newer, appArchive("org.other.App", newer, "#!/bin/sh\n")));
    install(updater, serveRelease(newer, appArchive(AppManifest::appId(), newer + ".0", "#!/bin/sh\n")));
    install(updater, serveRelease(newer, appArchive(AppManifest::appId(), newer, {})));
    install(updater, serveRelease(newer, "this is no zip file"));
    peer.serve("/gone.zip", 404, "Not Found");
    install(updater, { newer, peer.base() + "/gone.zip", sha256Hex(good), std::nullopt });
    bool done = false;
    updater.install(serveRelease(newer, QByteArray(1 << 20, 'z')), [&] { done = true; });
    ASSERT_TRUE(fillTheDisk());
    ASSERT_TRUE(waitUntil([&] { return done; }));
    // A local archive while the maker's own feed is in force.
    Settings::standard().remove(SettingKeys::updateFeedURL);
    install(updater, release);

    const QString prefix = "The update didn't work | ";
    const QString elsewhere = prefix + "The update address is not on the Corvanta website.";
    const QString damaged = prefix + "The download is damaged (its checksum doesn't match). Please try again later.";
    const QString foreign = prefix + "The download is not the expected Corvanta version.";
    // unzip's reason in our words; its own in the log.
    const QString notZip = prefix + "The download couldn't be unpacked: it is not a zip archive.";
    const QString gone = prefix + "The download failed: HTTP 404.";
    const QString full = prefix + "The update could not be written to " + temp + ": the disk is full.";
    EXPECT_EQ(alerts, QStringList({ elsewhere, elsewhere, damaged, damaged, foreign, foreign, foreign, notZip, gone,
                                    full, elsewhere }));
    const QString log = AppLog::file().tail(50, 100000);
    EXPECT_EQ(log.count("Update to " + newer + " failed: "), 11);
    EXPECT_TRUE(log.contains(full.mid(prefix.size()) + " Detail: No space left on device"));
    EXPECT_TRUE(log.contains(notZip.mid(prefix.size()) + " Detail: ")
                && log.contains("End-of-central-directory signature not found"));
    // Eight downloads; nothing was fetched from a refused address.
    EXPECT_EQ(peer.requests().size() - peer.count("/latest.json"), 8);
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(entries(temp), QStringList());
    EXPECT_EQ(entries(apps), QStringList({ "Corvanta" }));
    EXPECT_EQ(AppManifest::read(app)->version, current);
}

TEST_F(UpdaterTest, WhereItCannotReplaceItselfTheArchiveGoesToDownloads)
{
    Updater updater(platform);
    const QByteArray archive = appArchive(AppManifest::appId(), newer, "#!/bin/sh\n");
    Updater::Release release = serveRelease(newer, archive);
    release.sha256 = release.sha256.toUpper(); // either case matches
    const QString target = downloads + "/Corvanta-Linux-" + newer + ".zip";
    writeFile(target, "an older download of the same name");
    const QString told
        = "Please install the update yourself | Corvanta can't replace itself in this folder, %1:\n%2\n\n"
          "The new version is in your Downloads folder:\n"
        + target + "\n\nUnzip it %3.";
    const QString owner = "and, as a user who may change that folder, replace the Corvanta folder with it";

    // The folder that holds the application, or the application folder, is read-only.
    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    const auto writable = readOnly | QFile::WriteOwner | QFile::WriteOther;
    for (const QString& locked : { apps, app }) {
        QFile::setPermissions(apps, locked == apps ? readOnly : writable);
        QFile::setPermissions(app, locked == app ? readOnly : writable);
        {
            AsOrdinaryUser user;
            install(updater, release);
        }
        EXPECT_EQ(readFile(target), archive);
        ASSERT_TRUE(waitUntil([&] { return !revealed.isEmpty(); }));
        EXPECT_EQ(revealed.takeLast(), target);
        EXPECT_EQ(alerts.takeLast(), told.arg("which you are not allowed to change", apps, owner));
    }
    QFile::setPermissions(apps, writable);
    EXPECT_EQ(entries(apps), QStringList({ "Corvanta" }));

    // A program that runs from the build tree, with no manifest above it.
    // The progress window is gone when the alert comes, and the archive is shown over it.
    Updater::Platform unpacked = platform;
    unpacked.programDir = root.filePath("build/bin");
    std::optional<Updater> fromBuild;
    unpacked.alert = [&](const QString& title, const QString& text, bool) {
        alerts << title + " | " + text;
        EXPECT_FALSE(fromBuild->busy());
        EXPECT_TRUE(revealed.isEmpty());
    };
    fromBuild.emplace(unpacked);
    install(*fromBuild, release);
    EXPECT_EQ(readFile(target), archive);
    EXPECT_EQ(alerts.takeLast(),
              told.arg("which is not an installed Corvanta folder", unpacked.programDir,
                       "and start the new version from the folder it unpacks to"));
    EXPECT_TRUE(waitUntil([&] { return revealed.size() == 1; }));
    check(*fromBuild, false); // the release waits in Downloads: not offered again by itself
    EXPECT_TRUE(offers.isEmpty());
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(entries(temp), QStringList());
}

TEST_F(UpdaterTest, FeedAnswersThatNeverEndOrNeverStopAreEndedLoggedAndTheNextCheckRuns)
{
    // The feed stalls: not its 20 s inactivity limit but the overall one
    // ends it, long enough for the answers below on a slow machine.
    platform.feedLimitMs = 3000;
    Updater updater(platform);
    HttpPeer::Response stalled;
    stalled.stall = true;
    peer.serve("/latest.json", stalled);
    check(updater, false);
    EXPECT_TRUE(
        AppLog::file().tail(5, 10000).contains("Update check failed: The answer did not come in whole within 3 s."));

    // A feed that announces 100 MB is ended at its header, not when the
    // bytes are in, nor at the limit as they never come.
    HttpPeer::Response huge;
    huge.body = R"({"version": ")";
    huge.announcedLength = 100 << 20;
    huge.stallAfter = huge.body.size();
    peer.serve("/latest.json", huge);
    check(updater, true);
    EXPECT_EQ(alerts, QStringList("Couldn't check for updates | The answer from 127.0.0.1 is larger than 1 MiB."));

    // The next check runs and offers.
    serveFeed(newer, "https://x/a.zip", "00");
    check(updater, false);
    EXPECT_EQ(offers.size(), 1);
}

TEST_F(UpdaterTest, RedirectsAreFollowedOnlyToAllowedAddressesAndRequestsNameTheApplication)
{
    // Another server on this machine, reached by another host name.
    HttpPeer elsewhere;
    ASSERT_TRUE(elsewhere.listen());
    HttpPeer::Response other;
    other.body = R"({"version": "99", "url": "u", "sha256": "s"})";
    elsewhere.serveOthers(other);
    const auto redirect = [](const QString& to) {
        HttpPeer::Response response;
        response.status = 302;
        response.headers = { { "Location", to.toUtf8() } };
        return response;
    };
    Updater updater(platform);

    peer.serve("/latest.json", redirect(QString("http://localhost:%1/latest.json").arg(elsewhere.port())));
    check(updater, true);
    EXPECT_EQ(takeAlert(),
              "Couldn't check for updates | The update server sent the request to an address that "
              "is not on the Corvanta website.");

    // A hop within the allowed addresses is followed.
    peer.serve("/latest.json", redirect(peer.base() + "/feeds/latest.json"));
    const QByteArray archive = appArchive(AppManifest::appId(), newer, "#!/bin/sh\n");
    peer.serve("/feeds/latest.json", 200,
               QStringLiteral(R"({"version": "%1", "url": "%2/moved.zip", "sha256": "%3"})")
                                  .arg(newer, peer.base(), sha256Hex(archive))
                                  .toUtf8());
    check(updater, false);
    ASSERT_EQ(offers.size(), 1);

    peer.serve("/moved.zip", redirect(QString("http://localhost:%1/a.zip").arg(elsewhere.port())));
    install(updater, offers[0]);
    EXPECT_EQ(takeAlert(), "The update didn't work | The update address is not on the Corvanta website.");
    EXPECT_EQ(elsewhere.requests().size(), 0);

    for (const HttpPeer::Request& request : peer.requests())
        EXPECT_EQ(request.headers.value("user-agent"), "Corvanta/0.9 (Linux)") << request.target.constData();
}

TEST_F(UpdaterTest, RefusesArchivesThatWouldUnpackTooLargeOrLeadOutOfTheirFolder)
{
    using Kind = ZipEntry::Kind;
    platform.maxUnpackedBytes = 64 * 1024;
    Updater updater(platform);
    const QByteArray manifest
        = QStringLiteral(R"({"id": "%1", "version": "%2"})").arg(AppManifest::appId(), newer).toUtf8();
    const auto zip = [&](QList<ZipEntry> extra) {
        QList<ZipEntry> entries { { "Corvanta/", {}, Kind::folder },
                                  { "Corvanta/corvanta.json", manifest },
                                  { "Corvanta/bin/corvanta", "#!/bin/sh\n", Kind::program } };
        return storedZip(entries + extra);
    };
    const auto release = [&](QList<ZipEntry> extra) { return serveRelease(newer, zip(extra)); };
    const QString unpackable = "The update didn't work | The download couldn't be unpacked: ";

    // A small archive of a large file.
    QTemporaryDir packed;
    makeAppFolder(packed.filePath("Corvanta"), AppManifest::appId(), newer, "#!/bin/sh\n");
    writeFile(packed.filePath("Corvanta/bin/Resources/map.bin"), QByteArray(1 << 20, '\0'));
    const QByteArray bomb = zipFolder(packed.filePath("Corvanta"));
    ASSERT_LT(bomb.size(), 16 * 1024);
    install(updater, serveRelease(newer, bomb));
    EXPECT_EQ(takeAlert(), unpackable + "it unpacks to more than 64 KiB.");
    install(updater,
            release({ { "Corvanta/bin/ITU", "/home", Kind::link }, { "Corvanta/bin/ITU/.bashrc", "rm -rf ~" } }));
    EXPECT_EQ(takeAlert(), unpackable + "it puts Corvanta/bin/ITU/.bashrc inside the link Corvanta/bin/ITU.");
    install(updater, release({ { "Corvanta/../../escaped", "x" } }));
    EXPECT_EQ(takeAlert(), unpackable + "it names a path outside its folder (Corvanta/../../escaped).");
    install(updater, release({ { "Corvanta/bin/data", "/etc", Kind::link } }));
    EXPECT_EQ(takeAlert(), unpackable + "it holds a link that points outside its folder (bin/data).");
    // Links that each stay inside but together climb out.
    install(updater,
            release({ { "Corvanta/here", ".", Kind::link },
                      { "Corvanta/up", "here/..", Kind::link },
                      { "Corvanta/bin/share", "../up/..", Kind::link } }));
    EXPECT_TRUE(takeAlert().startsWith(unpackable + "it holds a link that points outside its folder ("));
    // Files that hold more, or less, than the archive lists: within the
    // limit by their headers, far beyond it by their data.
    const QByteArray large(60 * 1024, 'x');
    install(updater,
            release({ { "Corvanta/bin/Resources/map.bin", large },
                      { "Corvanta/bin/Resources/a.bin", large, Kind::file, 1000 },
                      { "Corvanta/bin/Resources/b.bin", large, Kind::file, 1000 } }));
    EXPECT_EQ(takeAlert(), unpackable + "Corvanta/bin/Resources/a.bin is not the 1000 bytes the archive lists for it.");
    install(updater, release({ { "Corvanta/bin/Resources/c.bin", "short", Kind::file, 2000 } }));
    EXPECT_EQ(takeAlert(), unpackable + "Corvanta/bin/Resources/c.bin is not the 2000 bytes the archive lists for it.");
    install(updater, release({ { "Corvanta/./bin/c.bin", "x" } }));
    EXPECT_EQ(takeAlert(), unpackable + "it names a path in a roundabout way (Corvanta/./bin/c.bin).");
    // The names the update gives its own work in the user's engine folder,
    // which a later start would take a folder merged with the user's for.
    for (const QString name :
         { "Corvanta/bin/ITU/.corvanta-carry-mydata/.corvanta-carry", "Corvanta/.corvanta-carry" }) {
        install(updater, release({ { name, "x" } }));
        EXPECT_EQ(takeAlert(), unpackable + "it names a path the update keeps for its own work (" + name + ").");
    }
    // Four million entries, as its zip64 end record announces them: refused
    // by that count, before a listing that would take long to read, which
    // unzip is never asked for.
    QByteArray many = zip({}), zip64;
    const qsizetype end = many.size() - 22; // the end record, with no comment
    const auto field = [&](int at) { return quint64(qFromLittleEndian<quint32>(many.constData() + end + at)); };
    QDataStream record(&zip64, QIODevice::WriteOnly);
    record.setByteOrder(QDataStream::LittleEndian);
    record << 0x06064b50u << quint64(44) << quint32(45) << quint64(0) << quint64(4000000) << quint64(4000000)
           << field(12) << field(16) << 0x07064b50u << quint32(0) << quint64(end) << quint32(1);
    many.insert(end, zip64);
    standInUnzip("case \"$1 $2\" in '-Z -T') : >\"$0.listed\" ;; -Z*) ;; *) : >\"$0.unpacked\" ;; esac\n"
                 "exec /usr/bin/unzip \"$@\"\n");
    install(updater, serveRelease(newer, many.replace(many.size() - 14, 4, "\xff\xff\xff\xff")));
    EXPECT_EQ(takeAlert(), unpackable + "it lists 4000000 entries, more than the 10000 a release may hold.");
    // Past the end record's 16 bits, with no zip64 record: the count it announces wraps, unzip's walk does not.
    Updater::Platform roomy = platform;
    roomy.maxUnpackedBytes = 64 << 20;
    Updater manyFiles(roomy);
    install(manyFiles, release(QList<ZipEntry>(70000, { "Corvanta/x", "x" })));
    EXPECT_EQ(takeAlert(), unpackable + "it lists 70003 entries, more than the 10000 a release may hold.");
    EXPECT_FALSE(QFile::exists(tools + "/unzip.listed"));
    // Names with backslashes, which unzip reads as separators where a Windows
    // archiver made the entry: refused before anything is unpacked.
    const QByteArray unix("PK\1\2\x1e\3", 6), windows("PK\1\2\x1e\0", 6); // "made on" in each entry
    for (const QString name : { "Corvanta\\bin\\ITU\\.corvanta-carry-a\\.corvanta-carry", "Corvanta/bin\\x" }) {
        install(updater, serveRelease(newer, zip({ { name, "x" } }).replace(unix, windows)));
        EXPECT_EQ(takeAlert(), unpackable + "it names a path with a backslash in it (" + name + ").");
    }
    EXPECT_FALSE(QFile::exists(tools + "/unzip.unpacked"));
    qputenv("PATH", path);
    // Files damaged on the way, counted; which ones goes to the log.
    QList<ZipEntry> damaged;
    for (int i = 10; i < 22; ++i)
        damaged << ZipEntry { QString("Corvanta/bin/%1").arg(i), "intact " + QByteArray::number(i) };
    for (const qsizetype count : { 12, 1 })
        install(updater, serveRelease(newer, zip(damaged.mid(0, count)).replace("intact", "broken")));
    EXPECT_EQ(takeAlert(), unpackable + "a file of the download is damaged.");
    EXPECT_TRUE(AppLog::file().tail(50, 100000).contains("Corvanta/bin/10 "));
    EXPECT_EQ(takeAlert(), unpackable + "12 files of the download are damaged.");

    EXPECT_EQ(quits, 0);
    EXPECT_EQ(entries(apps), QStringList({ "Corvanta" }));
    EXPECT_EQ(entries(temp), QStringList());

    // Within the limit and with its links inside, the same release goes in.
    updater.install(release({ { "Corvanta/bin/Resources/map.bin", QByteArray(60 * 1024, '\0') },
                              { "Corvanta/bin/help", "Resources", Kind::link } }));
    ASSERT_TRUE(waitUntil([&] { return quits == 1; })) << alerts.join('\n').toStdString();
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join('\n').toStdString();
    // The script finds no process to wait for and replaces the folder at once.
    EXPECT_TRUE(waitUntil([&] { return AppManifest::read(app) && AppManifest::read(app)->version == newer; }));
    EXPECT_EQ(QFileInfo(app + "/bin/help").symLinkTarget(), app + "/bin/Resources");
}

TEST_F(UpdaterTest, AQuietOfferWaitsUntilNoDialogIsOpen)
{
    platform.modalOpen = [] { return QApplication::activeModalWidget() != nullptr; };
    Updater updater(platform);
    serveFeed(newer, "https://x/a.zip", "00");
    QFileDialog files(nullptr, "Import ADIF");
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setModal(true);
    files.show();
    updater.check(false);
    EXPECT_FALSE(waitUntil([&] { return !offers.isEmpty(); }, 1200));
    EXPECT_TRUE(updater.busy()); // a second check meanwhile does nothing
    files.reject();
    ASSERT_TRUE(waitUntil([&] { return !offers.isEmpty(); }));
    EXPECT_TRUE(waitUntil([&] { return !updater.busy(); }));
    EXPECT_EQ(offers.size(), 1);
    EXPECT_EQ(peer.count("/latest.json"), 1);

    // The program quits while the offer is open: the log says so.
    std::optional<Updater> quitting;
    platform.offer = [&](const Updater::Release&, const QString&) { return quitting->stop(), false; };
    quitting.emplace(platform);
    check(*quitting, true);
    EXPECT_TRUE(
        AppLog::file().tail(1, 1000).contains("The offer of Corvanta " + newer + " was closed: Corvanta quits."));
}

TEST_F(UpdaterTest, AToolThatPrintsWithoutEndOnEitherChannelIsStoppedAtTheBoundWithMemoryNearIt)
{
    Updater updater(platform);
    const Updater::Release release = serveRelease(newer, appArchive(AppManifest::appId(), newer, "#!/bin/sh\n"));
    // Far more than the bound, then a mark unless stopped: the count on
    // standard error, the listing on standard output; or nothing, and a
    // signal ends the count.
    for (const auto& [run, channel, told] :
         { std::tuple("-h", ">&2", "unzip printed more than 64 MiB."),
           std::tuple("-T", "", "its listing is larger than 64 MiB."),
           std::tuple("-h", ">/dev/null; kill -9 $$", "unzip was stopped by signal 9.") }) {
        standInUnzip(QByteArray("rm -f \"$0.ended\"; [ \"$2\" = ") + run + " ] || exec /usr/bin/unzip \"$@\"\n"
                     + "head -c 300000000 /dev/zero " + channel + "\n: >\"$0.ended\"\n");
        // Twice, the peak taken on the second: the first also holds what an
        // emulator (qemu-user, for the arm64 suite) keeps of the code it
        // translates as it first runs, which the processor would not.
        [[maybe_unused]] qint64 before = 0;
        for (int round = 0; round < 2; ++round) {
            before = resident("VmRSS:", true);
            install(updater, release);
            EXPECT_EQ(takeAlert(), QString("The update didn't work | The download couldn't be unpacked: ") + told);
            EXPECT_FALSE(QFile::exists(tools + "/unzip.ended")) << channel;
        }
#ifndef __SANITIZE_ADDRESS__ // which keeps up to 256 MiB of what was freed
        EXPECT_LT(resident("VmHWM:") - before, 72 << 20) << channel;
#endif
    }
    qputenv("PATH", path);
}

TEST_F(UpdaterTest, AQuitWhileAToolHangsEndsTheWorkAtOnceWithNothingInPlaceAndNoToolLeft)
{
    // unzip hangs as it unpacks, in a command of its own.
    standInUnzip("case \"$1\" in -Z) exec /usr/bin/unzip \"$@\" ;; esac\nsleep 600 & echo $! >\"$0.pid\"; wait\n");
    QPointer<UpdateProgressDialog> dialog;
    platform.showProgress = [&](Updater& updater, const Updater::Release& release) {
        dialog = new UpdateProgressDialog(updater, release);
        dialog->show();
    };
    bool done = false;
    auto updater = std::make_unique<Updater>(platform);
    updater->install(serveRelease(newer, appArchive(AppManifest::appId(), newer, "#!/bin/sh\n")), [&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return !readFile(tools + "/unzip.pid").isEmpty(); }));
    dialog->reject(); // the dialog alone may not end the work
    EXPECT_TRUE(dialog && dialog->isVisible() && updater->busy());

    updater->stop();
    EXPECT_FALSE(updater->busy());
    EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));
    updater.reset();
    const QString stat = "/proc/" + readFile(tools + "/unzip.pid").trimmed() + "/stat";
    EXPECT_TRUE(waitUntil([&] { return readFile(stat).isEmpty() || readFile(stat).contains(") Z "); }))
        << readFile(stat).constData();
    EXPECT_TRUE(waitUntil([&] { return entries(apps) == QStringList({ "Corvanta" }); }))
        << entries(apps).join(' ').toStdString();
    qputenv("PATH", path);
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join('\n').toStdString();
    EXPECT_EQ(quits, 0);
    EXPECT_FALSE(done);
    EXPECT_EQ(entries(temp), QStringList());
    EXPECT_EQ(AppManifest::read(app)->version, current);
}

TEST_F(UpdaterTest, AToolAndAllItStartedEndWithTheProgramHoweverItEndsAndWithTheToolItself)
{
    // The stand-in starts a command, then ends the program that runs it, which never stops it; or itself.
    for (const QByteArray end : { "kill -9 $PPID; wait", "exit 0" }) {
        standInUnzip("sleep 600 >/dev/null 2>&1 & echo \"$$ $!\" >\"$0.pids\"\n" + end + '\n');
        if (end == "exit 0")
            EXPECT_TRUE(ToolRun::run(tools + "/unzip", {}, QDeadlineTimer::Forever).ok);
        else
            EXPECT_EQ(TestChild::run("run-tool", { "TOOL=" + tools + "/unzip" }).code, SIGKILL);
        for (const QString& pid : QString(readFile(tools + "/unzip.pids")).split(' ', Qt::SkipEmptyParts)) {
            const QString stat = "/proc/" + pid.trimmed() + "/stat";
            EXPECT_TRUE(waitUntil([&] { return readFile(stat).isEmpty() || readFile(stat).contains(") Z "); })) << end.constData();
        }
    }
    qputenv("PATH", path);
}
