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
    EXPECT_EQ(AppManifest::read(app), (AppManifest { "org.corvanta.Corvanta", "0.9.0" }));
    EXPECT_EQ(AppManifest::installFolder(app + "/bin/"), app);

    for (const QByteArray bad :
         { QByteArray(R"({"id": "org.other.App", "version": "0.9.0"})"),
           QByteArray(R"({"id": "org.corvanta.Corvanta", "version": 0.9})"),
           QByteArray(R"({"id": "org.corvanta.Corvanta"})"), QByteArray("[]"), QByteArray(100000, ' ') }) {
        UpdateFixture::writeFile(app + "/corvanta.json", bad);
        EXPECT_EQ(AppManifest::installFolder(app + "/bin"), "") << bad.left(60).constData();
    }
}
