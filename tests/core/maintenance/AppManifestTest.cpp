// The manifest decides whether the program may replace its own folder.
#include "maintenance/AppManifest.h"
#include "support/UpdateFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(AppManifest, FindsTheInstalledFolderOnlyByThisApplicationsManifest)
{
    QTemporaryDir root;
    const QString app = root.filePath("Corvanta");
    QDir().mkpath(app + "/bin");
    EXPECT_EQ(AppManifest::installFolder(app + "/bin"), ""); // a build tree has none

    UpdateFixture::writeFile(app + "/corvanta.json", R"({"id": "org.corvanta.Corvanta", "version": "0.9.0", "x": 1})");
    EXPECT_EQ(AppManifest::read(app),
              (AppManifest { "org.corvanta.Corvanta", "0.9.0", AppManifest::legacyInstalled() }));
    EXPECT_EQ(AppManifest::installFolder(app + "/bin/"), app);

    for (const QByteArray& bad :
         { QByteArray(R"({"id": "org.other.App", "version": "0.9.0"})"),
           QByteArray(R"({"id": "org.corvanta.Corvanta", "version": 0.9})"),
           QByteArray(R"({"id": "org.corvanta.Corvanta"})"), QByteArray("[]"), QByteArray(100000, ' '),
           QByteArray(R"({"id": "org.corvanta.Corvanta", "version": "0.9.0", "installed": "bin/corvanta"})"),
           QByteArray(R"({"id": "org.corvanta.Corvanta", "version": "0.9.0", "installed": ["bin/corvanta", 1]})") }) {
        UpdateFixture::writeFile(app + "/corvanta.json", bad);
        EXPECT_EQ(AppManifest::installFolder(app + "/bin"), "") << bad.left(60).constData();
    }
}

TEST(AppManifest, FindsWhatAFolderHoldsBeyondWhatTheInstallPutThere)
{
    QTemporaryDir root;
    const QString app = root.filePath("Corvanta");
    using UpdateFixture::writeFile;
    writeFile(app + "/corvanta.json", R"({"id": "org.corvanta.Corvanta", "version": "0.9.0", "installed":
        ["bin/corvanta", "bin/ITU/", "bin/Resources/", "share/applications/corvanta.desktop", "corvanta.json",
         "../escape", "/etc/passwd", "bin/./x"]})");
    const AppManifest manifest = *AppManifest::read(app);
    EXPECT_EQ(manifest.installed, QStringList({ "bin/corvanta", "bin/ITU/", "bin/Resources/",
                                                "share/applications/corvanta.desktop", "corvanta.json" }));

    writeFile(app + "/bin/corvanta", "program");
    writeFile(app + "/bin/Resources/HELP.md", "help");
    writeFile(app + "/bin/Resources/anything the user put here", "");
    writeFile(app + "/share/applications/corvanta.desktop", "[Desktop Entry]");
    EXPECT_EQ(manifest.foreignEntries(app), QStringList());
    // The user keeps the engine elsewhere and links it in.
    QDir(app + "/bin/ITU").removeRecursively();
    ASSERT_TRUE(QFile::link(root.filePath("engine"), app + "/bin/ITU"));
    EXPECT_EQ(manifest.foreignEntries(app), QStringList());

    writeFile(app + "/.hidden", "");
    writeFile(app + "/bin/othertool", "");
    writeFile(app + "/share/applications/other.desktop", "");
    QDir().mkpath(app + "/lib");
    QDir().mkpath(app + "/share/icons");
    ASSERT_TRUE(QFile::link("/etc", app + "/bin/corvanta-data"));
    QFile::remove(app + "/bin/corvanta");
    QDir().mkpath(app + "/bin/corvanta"); // a folder where the program should be
    EXPECT_EQ(manifest.foreignEntries(app), QStringList({ ".hidden", "bin/corvanta-data", "bin/corvanta/",
                                                          "bin/othertool", "lib/", "share/applications/other.desktop",
                                                          "share/icons/" }));
}
