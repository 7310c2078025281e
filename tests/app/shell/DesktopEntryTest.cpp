// An installed Corvanta in the desktop's menu: `cmake --install` puts a
// freedesktop entry and the application's icon under the prefix.
#include "shell/AppIcon.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(DesktopEntry, InstalledEntryValidatesAndStartsTheInstalledProgramWithItsIcon)
{
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate (Debian desktop-file-utils) is needed";
    QTemporaryDir root;
    // A prefix with a blank and a dollar sign, which the entry must quote.
    const QString prefix = root.path() + "/Ham Radio $apps";
    QProcess install;
    install.start(CORVANTA_CMAKE, { "--install", CORVANTA_BUILD_TREE, "--prefix", prefix, "--component", "desktop" });
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    const QString id = QStringLiteral(CORVANTA_APP_ID);
    const QString entry = prefix + "/share/applications/" + id + ".desktop";
    QProcess validate;
    validate.start(validator, { entry });
    ASSERT_TRUE(validate.waitForFinished(30000));
    EXPECT_EQ(validate.exitCode(), 0);
    EXPECT_EQ(validate.readAll() + validate.readAllStandardError(), QByteArray()) << "no warnings either";

    // The program by its installed path, quoted as the format asks.
    const QString text = QString::fromUtf8(contents(entry));
    EXPECT_TRUE(text.contains("\nExec=\"" + QString(prefix).replace("$", "\\\\$") + "/bin/corvanta\"\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\nIcon=" + id + "\n"));
    EXPECT_TRUE(text.contains("\nName=Corvanta\n"));

    // The icon, found by that name in the hicolor theme, is the drawing the
    // windows show, and it draws.
    const QString icon = prefix + "/share/icons/hicolor/scalable/apps/" + id + ".svg";
    ASSERT_FALSE(AppIcon::path().isEmpty());
    EXPECT_EQ(contents(icon), contents(AppIcon::path()));
    EXPECT_TRUE(QSvgRenderer(icon).isValid());
}
