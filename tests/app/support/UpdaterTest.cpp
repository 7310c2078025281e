// The self-update against a local release server: what is offered, what is
// reported, what is refused, and where an update lands when the application
// cannot replace itself.
#include "support/Updater.h"
#include "shell/AppLog.h"
#include "support/AppManifest.h"
#include "support/HttpPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/UpdateFixture.h"
#include "support/VersionCheck.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace UpdateFixture;

namespace {

const QString newer = Updater::currentVersion() + ".1";

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
    bool acceptOffers = false;
    QStringList revealed;
    int quits = 0;

    void SetUp() override
    {
        // Open to every user down to the application's folder, so that the
        // read-only test below can ask as another user.
        QFile::setPermissions(root.path(), QFile::permissions(root.path()) | QFile::ReadOther | QFile::ExeOther);
        ASSERT_TRUE(peer.listen());
        QDir().mkpath(temp);
        makeAppFolder(app, AppManifest::appId(), Updater::currentVersion(), "#!/bin/sh\n");
        Settings::standard().set(SettingKeys::updateFeedURL, peer.base() + "/latest.json");
    }
    void TearDown() override { Settings::standard().remove(SettingKeys::updateFeedURL); }

    Updater::Platform platform()
    {
        Updater::Platform p;
        p.programDir = app + "/bin";
        p.processId = 999999999; // no such process: nothing here gets to run the script
        p.tempFolder = temp;
        p.downloadsFolder = downloads;
        p.alert = [this](const QString& title, const QString& text) { alerts << title + " | " + text; };
        p.offer = [this](const Updater::Release& release, const QString& current) {
            EXPECT_EQ(current, Updater::currentVersion());
            offers << release;
            return acceptOffers;
        };
        p.reveal = [this](const QString& path) { revealed << path; };
        p.quit = [this] { ++quits; };
        return p;
    }

    void serveFeed(const QString& version, const QString& url, const QString& sha256, const char* notes = nullptr)
    {
        QByteArray body
            = QStringLiteral(R"({"version": "%1", "url": "%2", "sha256": "%3")") .arg(version, url, sha256).toUtf8();
        if (notes)
            body += QByteArray(", \"notes\": \"") + notes + "\"";
        peer.serve("/latest.json", 200, body + "}");
    }

    // Serves an archive at /Corvanta-Linux-<version>.zip and a feed that
    // announces `version` with the archive's checksum.
    Updater::Release serveRelease(const QString& version, const QByteArray& archive)
    {
        const QString path = "/Corvanta-Linux-" + version + ".zip";
        peer.serve(path.toUtf8(), { 200, archive, "application/zip" });
        const Updater::Release release { version, peer.base() + path, sha256Hex(archive) };
        serveFeed(release.version, release.url, release.sha256);
        return release;
    }

    void checkAndWait(Updater& updater, bool userAsked)
    {
        updater.check(userAsked);
        EXPECT_TRUE(updater.busy());
        ASSERT_TRUE(waitUntil([&] { return !updater.busy(); }));
    }

    void installAndWait(Updater& updater, const Updater::Release& release)
    {
        bool done = false;
        updater.install(release, [&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }));
        EXPECT_FALSE(updater.busy());
    }

    QString log() { return AppLog::file().tail(50, 100000); }

    QStringList leftovers(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

// Root may write anywhere, so for root a read-only folder is read-only only
// to another user. The writability test asks with the real user id (as
// access() does); this takes an unprivileged real id while keeping root's
// effective one, and gives it back. For other users it does nothing.
struct AsOrdinaryUser {
    const bool wasRoot = getuid() == 0;
    AsOrdinaryUser()
    {
        if (wasRoot)
            EXPECT_EQ(setresuid(65534, 0, 0), 0);
    }
    ~AsOrdinaryUser()
    {
        if (wasRoot)
            EXPECT_EQ(setresuid(0, 0, 0), 0);
    }
};

} // namespace

TEST_F(UpdaterTest, OffersOnlyANewerVersionAndSaysUpToDateOnlyWhenAsked)
{
    Updater updater(platform());
    serveFeed(newer, "https://x/a.zip", "00", "Faster map.");
    checkAndWait(updater, false);
    ASSERT_EQ(offers.size(), 1);
    EXPECT_EQ(offers[0], (Updater::Release { newer, "https://x/a.zip", "00", QString("Faster map.") }));

    // "Later" keeps nothing: the next check offers the same release again.
    checkAndWait(updater, false);
    EXPECT_EQ(offers.size(), 2);

    for (const QString& version : { Updater::currentVersion(), QString("0.1"), QString("0.9.0b7") }) {
        serveFeed(version, "https://x/a.zip", "00");
        checkAndWait(updater, false);
        checkAndWait(updater, true);
    }
    EXPECT_EQ(offers.size(), 2);
    const QString upToDate = "Corvanta is up to date | You have version " + Updater::currentVersion() + ", the latest.";
    EXPECT_EQ(alerts, QStringList({ upToDate, upToDate, upToDate }));
    EXPECT_EQ(peer.count("/latest.json"), 8);
    EXPECT_FALSE(log().contains("Update check failed"));
}

TEST_F(UpdaterTest, FeedFailuresAreLoggedAndShownOnlyWhenAsked)
{
    Updater updater(platform());
    for (int status : { 404, 500, 304 }) {
        peer.serve("/latest.json", status, R"({"version": "99", "url": "u", "sha256": "s"})");
        checkAndWait(updater, true);
        ASSERT_FALSE(alerts.isEmpty());
        EXPECT_EQ(alerts.takeLast(), "Couldn't check for updates | The update server didn't answer.") << status;
    }
    peer.serve("/latest.json", 500, "");
    checkAndWait(updater, false);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(log().count("Update check failed: The update server didn't answer."), 4);

    peer.serve("/latest.json", 200, "<html>maintenance</html>");
    checkAndWait(updater, true);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.takeLast().startsWith("Couldn't check for updates | The release feed couldn't be read: "));

    // Nobody listening: the transport's own description.
    QString closed;
    {
        HttpPeer gone;
        ASSERT_TRUE(gone.listen());
        closed = gone.base();
    }
    Settings::standard().set(SettingKeys::updateFeedURL, closed + "/latest.json");
    checkAndWait(updater, true);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith("Couldn't check for updates | Connection refused")) << alerts[0].toStdString();
    EXPECT_TRUE(offers.isEmpty());
}

TEST_F(UpdaterTest, ACheckWhileAnotherRunsDoesNothing)
{
    Updater updater(platform());
    peer.serve("/latest.json", { .stall = true });
    updater.check(false);
    ASSERT_TRUE(waitUntil([&] { return peer.count("/latest.json") == 1; }));
    updater.check(true);
    updater.check(false);
    EXPECT_FALSE(waitUntil([&] { return peer.count("/latest.json") > 1; }, 300));
    EXPECT_TRUE(updater.busy());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(UpdaterTest, StartChecksAfterTheFirstDelayThenAtEachIntervalOncePerProcess)
{
    Updater::Platform p = platform();
    p.firstCheckMs = 20;
    p.repeatMs = 250;
    Updater updater(p);
    serveFeed(Updater::currentVersion(), "https://x/a.zip", "00");
    QElapsedTimer clock;
    clock.start();
    updater.start();
    updater.start(); // a second main window
    ASSERT_TRUE(waitUntil([&] { return peer.count("/latest.json") == 1; }));
    EXPECT_LT(clock.elapsed(), 240);
    ASSERT_TRUE(waitUntil([&] { return peer.count("/latest.json") == 3; }));
    EXPECT_GE(clock.elapsed(), 450); // coarse timers may fire a little early
    EXPECT_TRUE(alerts.isEmpty());   // scheduled checks say nothing when up to date
}

TEST_F(UpdaterTest, ADamagedOrForeignDownloadIsRefusedAndLeavesNothingBehind)
{
    Updater updater(platform());
    const QByteArray good = appArchive(AppManifest::appId(), newer, "#!/bin/sh\n");
    ASSERT_FALSE(good.isEmpty());

    Updater::Release release = serveRelease(newer, good);
    release.sha256 = sha256Hex("something else");
    installAndWait(updater, release);

    release.sha256 = " " + sha256Hex(good); // no trimming
    installAndWait(updater, release);

    installAndWait(updater, serveRelease(newer, appArchive("org.other.App", newer, "#!/bin/sh\n")));
    installAndWait(updater, serveRelease(newer, appArchive(AppManifest::appId(), newer + ".0", "#!/bin/sh\n")));
    installAndWait(updater, serveRelease(newer, "this is no zip file"));

    const QString damaged = "The update didn't work | The download is damaged (its checksum doesn't match). Please "
                            "try again later.";
    const QString foreign = "The update didn't work | The download is not the expected Corvanta version.";
    EXPECT_EQ(alerts,
              QStringList({ damaged, damaged, foreign, foreign,
                            "The update didn't work | The download couldn't be unpacked." }));
    EXPECT_EQ(log().count("Update to " + newer + " failed: The download is damaged"), 2);
    EXPECT_EQ(log().count("Update to " + newer + " failed: The download is not the expected Corvanta version."), 2);

    EXPECT_EQ(quits, 0);
    EXPECT_EQ(leftovers(temp), QStringList());
    EXPECT_EQ(leftovers(apps), QStringList({ "Corvanta" }));
    EXPECT_EQ(AppManifest::read(app)->version, Updater::currentVersion());
}

TEST_F(UpdaterTest, ArchivesFromElsewhereAreRefusedBeforeAnyRequest)
{
    Updater updater(platform());
    const QString maker = "corvanta.example";
    for (const QString& url : { "https://evil.example/Corvanta-Linux-" + newer + ".zip",
                                "http://" + maker + "/Corvanta-Linux-" + newer + ".zip", QString("not a url"),
                                "https://127.0.0.1:" + QString::number(peer.port()) + "/a.zip" })
        installAndWait(updater, { newer, url, "00" });
    EXPECT_EQ(alerts.size(), 4);
    EXPECT_EQ(alerts.filter("The update didn't work | The update address is not on the Corvanta website.").size(), 4);

    // 127.0.0.1 is fine only while the local feed is in force.
    const QByteArray archive = appArchive(AppManifest::appId(), newer, "#!/bin/sh\n");
    const Updater::Release release = serveRelease(newer, archive);
    Settings::standard().remove(SettingKeys::updateFeedURL);
    installAndWait(updater, release);
    EXPECT_EQ(alerts.size(), 5);
    EXPECT_TRUE(alerts.last().endsWith("The update address is not on the Corvanta website."));
    EXPECT_EQ(peer.requests().size(), 0);
}

TEST_F(UpdaterTest, AReadOnlyInstallFolderGetsTheArchiveInDownloads)
{
    Updater updater(platform());
    const QByteArray archive = appArchive(AppManifest::appId(), newer, "#!/bin/sh\n");
    Updater::Release release = serveRelease(newer, archive);
    release.sha256 = release.sha256.toUpper(); // either case
    const QString target = downloads + "/Corvanta-Linux-" + newer + ".zip";
    writeFile(target, "an older download of the same name");

    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    const auto writable = readOnly | QFile::WriteOwner | QFile::WriteOther;
    QFile::setPermissions(apps, writable);
    QFile::setPermissions(app, writable);
    for (const QString& locked : { apps, app }) {
        QFile::setPermissions(locked, readOnly);
        {
            AsOrdinaryUser user;
            installAndWait(updater, release);
        }
        QFile::setPermissions(locked, writable);
        EXPECT_EQ(readFile(target), archive);
        EXPECT_EQ(revealed.takeLast(), target);
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts.takeLast(),
                  "Please install the update yourself | Corvanta can't replace itself in " + apps
                      + ". The new version is in your Downloads folder: unzip it and replace the Corvanta folder.");
    }
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(leftovers(apps), QStringList({ "Corvanta" }));
    EXPECT_EQ(leftovers(temp), QStringList());
    EXPECT_FALSE(log().contains("failed"));
}

TEST_F(UpdaterTest, AProgramOutsideAnInstalledFolderNeverReplacesItself)
{
    Updater::Platform p = platform();
    p.programDir = root.filePath("build/bin"); // like the build tree: no manifest above it
    QDir().mkpath(p.programDir);
    Updater updater(p);
    const QByteArray archive = appArchive(AppManifest::appId(), newer, "#!/bin/sh\n");
    installAndWait(updater, serveRelease(newer, archive));
    EXPECT_EQ(readFile(downloads + "/Corvanta-Linux-" + newer + ".zip"), archive);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].contains("Corvanta can't replace itself in " + p.programDir + "."));
    EXPECT_EQ(quits, 0);
}

TEST_F(UpdaterTest, InstallLatestNowReportsInOneLine)
{
    Updater updater(platform());
    QString status;
    const auto run = [&] {
        status.clear();
        updater.installLatestNow([&](const QString& s) { status = s; });
        EXPECT_TRUE(waitUntil([&] { return !status.isEmpty(); }));
        return status;
    };
    serveFeed(Updater::currentVersion(), "https://x/a.zip", "00");
    EXPECT_EQ(run(), "up to date (" + Updater::currentVersion() + ")");
    peer.serve("/latest.json", 404, "");
    EXPECT_EQ(run(), "check failed: The update server didn't answer.");
    const Updater::Release release = serveRelease(newer, "not the archive the feed announced");
    serveFeed(newer, release.url, sha256Hex("another"));
    EXPECT_EQ(run(), "update failed");
    EXPECT_EQ(alerts.size(), 1); // the failed installation's own alert
    EXPECT_TRUE(offers.isEmpty());
}
