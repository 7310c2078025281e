// The settings store's note in the windows: the main window's status bar
// and the settings window show it while changes cannot be saved.
#include "kit/AppLog.h"
#include "kit/SettingsNote.h"
#include "settings/SettingsView.h"
#include "shell/CorvantaApp.h"
#include "shell/MainWindow.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>
#include <gtest/gtest.h>

namespace {

QString logText()
{
    AppLog::file().flush();
    QFile file(AppLog::file().path());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(SettingsNote, ChangesThatCannotBeSavedAreNotedInTheMainWindowAndTheSettingsWindow)
{
    CorvantaApp app;
    MainWindow* window = app.openMainWindow();
    QStatusBar* bar = window->statusBar();
    auto* barNote = bar->findChild<SettingsNote*>();
    ASSERT_NE(barNote, nullptr);
    auto* view = app.showSettings()->findChild<SettingsView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(view->note()->isVisible());

    // The configuration folder turns into a file: no save can work (a
    // read-only folder would not stop a test run as root).
    Settings& settings = Settings::standard();
    const QString folder = QFileInfo(settings.fileName()).absolutePath();
    settings.sync();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    {
        QFile blocker(folder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    settings.set(SettingKeys::callsign, "LY2ABC");
    ASSERT_TRUE(waitUntil([&] { return bar->isVisible(); }));
    const QString note = "Settings cannot be saved (the folder " + folder
        + " could not be made): changes last until Corvanta quits.";
    EXPECT_EQ(barNote->text(), note);
    EXPECT_LT(bar->height(), 2 * barNote->fontMetrics().height()) << "one line under the window";
    EXPECT_TRUE(view->note()->isVisible());
    EXPECT_EQ(view->note()->text(), note);
    EXPECT_EQ(settings.get(SettingKeys::callsign), "LY2ABC");

    // Logged once, however often it fails.
    settings.set(SettingKeys::mapStyle, "atlas");
    settings.sync();
    EXPECT_EQ(logText().count("Settings: could not save " + settings.fileName()), 1);

    // The folder is back: the next save works and the notes go.
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    settings.set(SettingKeys::stationPowerW, 200);
    ASSERT_TRUE(waitUntil([&] { return !bar->isVisible(); }));
    EXPECT_FALSE(view->note()->isVisible());
    QFile saved(settings.fileName());
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().contains("callsign=LY2ABC"));
    window->close();
}
