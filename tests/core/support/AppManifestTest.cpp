// The manifest decides whether the program may replace its own folder.
#include "support/AppManifest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

TEST(AppManifest, FindsTheInstalledFolderOnlyByThisApplicationsManifest)
{
    EXPECT_EQ(AppManifest::appId(), "org.corvanta.Corvanta");
    QTemporaryDir root;
    const QString app = root.path() + "/Corvanta";
    QDir().mkpath(app + "/bin");

    EXPECT_EQ(AppManifest::read(app), std::nullopt);
    EXPECT_EQ(AppManifest::installFolder(app + "/bin"), ""); // a build tree has no manifest

    write(app + "/corvanta.json", R"({"id": "org.corvanta.Corvanta", "version": "0.9.0", "more": 1})");
    EXPECT_EQ(AppManifest::read(app), (AppManifest { "org.corvanta.Corvanta", "0.9.0" }));
    EXPECT_EQ(AppManifest::installFolder(app + "/bin"), app);
    EXPECT_EQ(AppManifest::installFolder(app + "/bin/"), app);

    write(app + "/corvanta.json", R"({"id": "org.other.App", "version": "0.9.0"})");
    EXPECT_EQ(AppManifest::installFolder(app + "/bin"), "");

    for (const QByteArray bad :
         { QByteArray(R"({"id": "org.corvanta.Corvanta", "version": 0.9})"),
           QByteArray(R"({"id": "org.corvanta.Corvanta"})"), QByteArray(R"(["org.corvanta.Corvanta", "0.9.0"])"),
           QByteArray("garbage"), QByteArray(100000, ' ') }) {
        write(app + "/corvanta.json", bad);
        EXPECT_EQ(AppManifest::read(app), std::nullopt) << bad.left(60).constData();
        EXPECT_EQ(AppManifest::installFolder(app + "/bin"), "");
    }
    EXPECT_EQ(AppManifest::installFolder(""), "");
}
