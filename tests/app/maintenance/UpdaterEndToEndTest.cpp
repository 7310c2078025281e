// A real installed tree (this build, put in place by `cmake --install`)
// updated to 0.9.1 from the local release server through the real archive
// tool and the real replacement script.
#include "maintenance/AppManifest.h"
#include "maintenance/Updater.h"
#include "maintenance/VersionCheck.h"
#include "support/HttpPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/UpdateFixture.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace UpdateFixture;

TEST(UpdaterEndToEnd, AnInstalledTreeIsReplacedOnceTheOldProcessEndsAndTheNewOneStarts)
{
    ASSERT_TRUE(isNewerVersion("0.9.1", Updater::currentVersion()));
    QTemporaryDir root;
    const QString opt = root.filePath("opt");
    const QString app = opt + "/Corvanta";
    const QString temp = root.filePath("tmp");
    QDir().mkpath(temp);

    QProcess install;
    install.start(CORVANTA_CMAKE, { "--install", CORVANTA_BUILD_TREE, "--prefix", app });
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().constData();
    ASSERT_EQ(AppManifest::read(app), (AppManifest { AppManifest::appId(), Updater::currentVersion() }));
    ASSERT_EQ(AppManifest::installFolder(app + "/bin"), app);
    ASSERT_TRUE(QFileInfo(app + "/bin/corvanta").isExecutable());
    writeFile(app + ".updating/stale", "left by an interrupted update");

    // The new version's program only says that it was started.
    const QString marker = root.filePath("started");
    const QByteArray archive = appArchive(AppManifest::appId(), "0.9.1", markerProgram(marker, "0.9.1"));
    HttpPeer peer;
    ASSERT_TRUE(peer.listen());
    peer.serve("/Corvanta-Linux-0.9.1.zip", { 200, archive, "application/zip" });
    peer.serve("/latest.json", 200,
               QStringLiteral(R"({"version": "0.9.1", "url": "%1/Corvanta-Linux-0.9.1.zip", "sha256": "%2"})")
                                  .arg(peer.base(), sha256Hex(archive))
                                  .toUtf8());
    Settings::standard().set(SettingKeys::updateFeedURL, peer.base() + "/latest.json");

    // The installed program's process, as far as the script can tell.
    QProcess running;
    running.start("sleep", { "60" });
    ASSERT_TRUE(running.waitForStarted());

    QStringList alerts;
    bool quitAsked = false;
    Updater::Platform platform;
    platform.programDir = app + "/bin";
    platform.processId = running.processId();
    platform.tempFolder = temp;
    platform.downloadsFolder = root.filePath("Downloads");
    platform.alert = [&](const QString& title, const QString& text) { alerts << title + " | " + text; };
    platform.offer = [](const Updater::Release&, const QString&) { return true; }; // "Update now"
    platform.quit = [&] { quitAsked = true; };
    Updater updater(platform);
    updater.check(true);
    ASSERT_TRUE(waitUntil([&] { return quitAsked; }, 20000)) << alerts.join('\n').toStdString();
    EXPECT_TRUE(alerts.isEmpty()) << alerts.join('\n').toStdString();

    // Unpacked beside the installed folder; nothing replaced while the old process runs.
    const QStringList unpacked = QDir(opt).entryList({ ".corvanta-update-*" }, QDir::Dirs | QDir::Hidden);
    ASSERT_EQ(unpacked.size(), 1);
    EXPECT_EQ(AppManifest::read(opt + "/" + unpacked[0] + "/Corvanta")->version, "0.9.1");
    EXPECT_EQ(AppManifest::read(app)->version, Updater::currentVersion());
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_TRUE(QFile::exists(app + ".updating/stale"));

    running.kill();
    running.waitForFinished();
    ASSERT_TRUE(waitUntil([&] { return readFile(marker).trimmed() == "0.9.1"; }, 20000));
    EXPECT_EQ(AppManifest::read(app), (AppManifest { AppManifest::appId(), "0.9.1" }));
    EXPECT_TRUE(waitUntil([&] { return QDir(temp).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }))
        << QDir(temp).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).join(' ').toStdString();
    EXPECT_EQ(QDir(opt).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList { "Corvanta" });
    Settings::standard().remove(SettingKeys::updateFeedURL);
}
