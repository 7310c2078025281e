#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/TestChild.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/Corvanta.ini"; }
    // The store as the next run of the application sees it, values read back
    // from the INI text. QSettings caches a file per process, so the next run
    // reads a copy under a fresh name.
    std::unique_ptr<Settings> restart(std::unique_ptr<Settings>& store)
    {
        const QString copy = dir.path() + QString("/run%1.ini").arg(++runs);
        store->sync();
        EXPECT_TRUE(QFile::copy(store->fileName(), copy));
        store.reset();
        return std::make_unique<Settings>(copy);
    }
    int runs = 0;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The store's log lines, for as long as the test runs.
struct LogLines : QStringList {
    LogLines()
    {
        Settings::setLog([this](const QString& line) { append(line); });
    }
    ~LogLines() { Settings::setLog({}); }
};

} // namespace

TEST_F(SettingsTest, EveryWriteAndRemovalSignalsItsKey)
{
    Settings store(path());
    QStringList keys;
    QObject::connect(&store, &Settings::changed, [&](const QString& key) { keys << key; });
    store.setValue("showAurora", false);
    store.setValue("showAurora", false);
    store.setValue("homeLatitude", 54.687);
    store.remove("showAurora");
    store.remove("neverWritten");
    EXPECT_EQ(keys, (QStringList { "showAurora", "showAurora", "homeLatitude", "showAurora", "neverWritten" }));
    EXPECT_FALSE(store.contains("showAurora"));
    EXPECT_TRUE(store.boolValue("showAurora", true));
}

TEST_F(SettingsTest, ValuesSurviveARestartWithTheReadersTypes)
{
    auto store = std::make_unique<Settings>(path());
    store->setValue("showGrid", false);
    store->setValue("clusterEnabled", true);
    store->setValue("coverageBand", 20);
    store->setValue("homeLatitude", 54.687);
    store->setValue("homeLongitude", -0.30000000000000004);
    store->setValue("clusterBands", "160,80,60,40");
    store->setValue("clusterWatchCalls", "DL1ABC, K1*; @odd");
    store->setValue("callsign", "");
    store->setValue("big", Q_INT64_C(9007199254740993));
    store->setValue("text", "  =;\"quoted\"  ");

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "same run" : "after a restart");
        EXPECT_FALSE(store->boolValue("showGrid", true));
        EXPECT_TRUE(store->boolValue("clusterEnabled", false));
        EXPECT_EQ(store->intValue("coverageBand", 0), 20);
        EXPECT_EQ(store->doubleValue("homeLatitude", 0), 54.687);
        EXPECT_EQ(store->doubleValue("homeLongitude", 0), -0.30000000000000004);
        EXPECT_EQ(store->stringValue("clusterBands"), "160,80,60,40");
        EXPECT_EQ(store->stringValue("clusterWatchCalls"), "DL1ABC, K1*; @odd");
        EXPECT_EQ(store->optionalString("callsign"), QString(""));
        EXPECT_EQ(store->intValue("big", 0), Q_INT64_C(9007199254740993));
        EXPECT_EQ(store->stringValue("text"), "  =;\"quoted\"  ");
        EXPECT_EQ(store->stringValue("coverageBand"), "20");
        store = restart(store);
    }
}

TEST_F(SettingsTest, TextsReadAsBooleansAndNumbers)
{
    Settings store(path());
    store.setValue("t", "true");
    store.setValue("one", "1");
    store.setValue("lat", "54.687");
    store.setValue("no", " NO ");
    store.setValue("zero", "0");
    store.setValue("word", "maybe");
    store.setValue("nan", "nan");
    store.setValue("huge", "1e300");

    EXPECT_EQ(store.optionalBool("t"), true);
    EXPECT_EQ(store.optionalBool("one"), true);
    EXPECT_EQ(store.optionalBool("lat"), true);
    EXPECT_EQ(store.optionalBool("no"), false);
    EXPECT_EQ(store.optionalBool("zero"), false);
    EXPECT_TRUE(store.boolValue("word", true));
    EXPECT_FALSE(store.boolValue("word", false));

    EXPECT_EQ(store.optionalInt("one"), 1);
    EXPECT_EQ(store.optionalInt("lat"), 54);
    EXPECT_EQ(store.optionalInt("t"), std::nullopt);
    EXPECT_EQ(store.intValue("huge", 7), 7);
    EXPECT_EQ(store.optionalDouble("lat"), 54.687);
    EXPECT_EQ(store.optionalDouble("one"), 1.0);
    EXPECT_EQ(store.doubleValue("nan", 25.28), 25.28);
    EXPECT_EQ(store.doubleValue("word", 25.28), 25.28);
    EXPECT_EQ(store.doubleValue("absent", 25.28), 25.28);
    EXPECT_EQ(store.optionalDouble("absent"), std::nullopt);
    EXPECT_EQ(store.stringValue("absent", "fallback"), "fallback");
}

TEST_F(SettingsTest, HandEditedListsReadBackAsTheirText)
{
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\nclusterBands=160,80,20\nshowMUF=1\nhomeLatitude=-33.9\n");
    }
    Settings store(path());
    EXPECT_EQ(store.stringValue("clusterBands"), "160,80,20");
    EXPECT_TRUE(store.boolValue("showMUF", false));
    EXPECT_EQ(store.doubleValue("homeLatitude", 0), -33.9);
}

TEST(SettingsStandard, WriteJustBeforeTheApplicationEndsReachesTheFile)
{
    const TestChild::End end = TestChild::run("write-setting");
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.code, 0);
    EXPECT_EQ(Settings(Settings::standard().fileName()).stringValue("lastWords"), "written at exit");
}

// A save smaller than Qt's write buffer, cut short by a file size limit:
// the unbuffered write sees it at once and calls it a full disk; the file
// it would replace stays as it was, and no part of the save is left.
TEST_F(SettingsTest, ASaveCutShortSaysTheDiskIsFullAndLeavesTheOldFile)
{
    writeFile(path(), "[General]\ncallsign=LY2ABC\n");
    const TestChild::End end = TestChild::run("save-past-size-limit", { "SAVE_PATH=" + path() });
    EXPECT_TRUE(end.finished && !end.signalled && end.code == 0) << "the save did not say \"the disk is full\"";
    EXPECT_EQ(readFile(path()), "[General]\ncallsign=LY2ABC\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { "Corvanta.ini" });
}

TEST_F(SettingsTest, CataloguedKeysReadTheirDefaultsAndClampHandEditedValues)
{
    std::unique_ptr<Settings> store = std::make_unique<Settings>(path());
    EXPECT_TRUE(store->get(SettingKeys::showGrid));
    EXPECT_EQ(store->get(SettingKeys::prefixColor), "#FFEDB3");
    EXPECT_EQ(store->get(SettingKeys::clusterSpotMinutes), 20);

    // A hand-edited file may hold anything; readers keep to the controls'
    // ranges, and the store keeps what is written.
    store->setValue("prefixFontSize", "2000");
    store->setValue("clockFontSize", -3);
    store->setValue("clusterSpotMinutes", "99999999999999");
    store->setValue("refreshMinutes", 1);
    store = restart(store);
    EXPECT_EQ(store->get(SettingKeys::prefixFontSize), 24);
    EXPECT_EQ(store->get(SettingKeys::clockFontSize), 20);
    EXPECT_EQ(store->get(SettingKeys::clusterSpotMinutes), 525600);
    EXPECT_EQ(store->get(SettingKeys::refreshMinutes), 5);
    EXPECT_EQ(store->stringValue("prefixFontSize"), "2000");

    store->set(SettingKeys::prefixFontSize, 12.5);
    store->set(SettingKeys::mapStyle, "atlas");
    store = restart(store);
    EXPECT_EQ(store->get(SettingKeys::prefixFontSize), 12.5);
    EXPECT_EQ(store->get(SettingKeys::mapStyle), "atlas");
}

TEST_F(SettingsTest, ChangesThatCannotBeSavedStayInMemoryAreLoggedOnceAndNotedUntilASaveWorks)
{
    // The folder would have to be inside a file: nothing can be written
    // there (a read-only folder would not stop a test run as root).
    const QString folder = dir.filePath("blocker");
    writeFile(folder, "not a folder");
    const QString file = folder + "/Corvanta.ini";
    LogLines log;
    Settings store(file);
    int notes = 0;
    QObject::connect(&store, &Settings::noteChanged, [&] { ++notes; });
    EXPECT_EQ(store.note(), "");

    // Saved on the next turn of the event loop, which finds the failure.
    store.set(SettingKeys::callsign, "LY2ABC");
    store.set(SettingKeys::homeLatitude, 54.687);
    ASSERT_TRUE(waitUntil([&] { return store.unsaved().has_value(); }));
    const QString cause = "the folder " + folder + " could not be made";
    EXPECT_EQ(store.unsaved()->message, cause);
    EXPECT_EQ(store.note(), "Settings cannot be saved (" + cause + "): changes last until Corvanta quits.");
    EXPECT_EQ(log, QStringList { "Settings: could not save " + file + ": " + cause
                                 + "; changes last until Corvanta quits" });
    EXPECT_EQ(notes, 1);

    // More failures of the same cause: no more lines, the values in memory.
    store.set(SettingKeys::mapStyle, "atlas");
    store.sync();
    store.remove(SettingKeys::homeLatitude);
    store.sync();
    EXPECT_EQ(log.size(), 1);
    EXPECT_EQ(notes, 1);
    EXPECT_EQ(store.get(SettingKeys::callsign), "LY2ABC");
    EXPECT_EQ(store.get(SettingKeys::mapStyle), "atlas");
    EXPECT_FALSE(store.contains(SettingKeys::homeLatitude));

    // The folder is back: the next save writes all that was kept.
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    store.set(SettingKeys::stationPowerW, 400);
    ASSERT_TRUE(waitUntil([&] { return !store.unsaved(); }));
    EXPECT_EQ(store.note(), "");
    EXPECT_EQ(notes, 2);
    EXPECT_EQ(log.last(), "Settings: saved to Corvanta.ini again");
    const QByteArray saved = readFile(file);
    EXPECT_TRUE(saved.contains("callsign=LY2ABC")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("mapStyle=atlas"));
    EXPECT_TRUE(saved.contains("stationPowerW=400"));
    EXPECT_FALSE(saved.contains("homeLatitude"));
}

TEST_F(SettingsTest, AFileThatDoesNotReadBackCleanlyIsCopiedAsideBeforeAnythingWritesOverIt)
{
    // A hand edit left a quote open: every later line became part of its
    // value. A section without its bracket is a syntax error.
    const QByteArray unclosedQuote = "[General]\ncallsign=LY2ABC\nclusterCommands=\"set/skimmer\n"
                                     "homeLatitude=54.687\nhomeLongitude=25.28\nstationPower=400\nmapStyle=atlas\n";
    const QByteArray openSection = "[General\ncallsign=LY2ABC\nhomeLatitude=54.687\n";
    int run = 0;
    for (const QByteArray& damaged : { unclosedQuote, openSection }) {
        SCOPED_TRACE(damaged.toStdString());
        // A name of its own each time: QSettings keeps what it read per file.
        const QString file = dir.filePath(QString("damaged%1/Corvanta.ini").arg(++run));
        QDir().mkpath(QFileInfo(file).path());
        writeFile(file, damaged);
        LogLines log;
        {
            Settings store(file);
            EXPECT_EQ(readFile(store.unreadableCopyPath()), damaged);
            EXPECT_EQ(store.note(), "The settings file could not be read whole; the old one is kept as "
                                    "Corvanta.ini.unreadable.");
            EXPECT_EQ(log, QStringList { "Settings: " + file + " could not be read whole; a copy is kept as "
                                         "Corvanta.ini.unreadable" });
            // The start writes its defaults; the copy keeps what was there.
            store.set(SettingKeys::defaultsVersion, 1);
            store.sync();
            EXPECT_FALSE(store.unsaved());
            EXPECT_TRUE(readFile(file).contains("defaultsVersion=1"));
        }
        EXPECT_EQ(readFile(file + ".unreadable"), damaged);

        // A file that reads cleanly, the rewritten one, is taken as it is.
        log.clear();
        const QString next = dir.filePath(QString("clean%1.ini").arg(run));
        ASSERT_TRUE(QFile::copy(file, next));
        Settings again(next);
        EXPECT_EQ(again.note(), "");
        EXPECT_TRUE(log.isEmpty());
        EXPECT_FALSE(QFile::exists(next + ".unreadable"));
    }
}

TEST_F(SettingsTest, OnlyTheProgramsOwnTemporariesAreRemovedAtStartOnceAMinuteOld)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto leave = [&](const QString& name, qint64 ageSeconds) {
        writeFile(dir.filePath(name), "part of a save");
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(now.addSecs(-ageSeconds), QFileDevice::FileModificationTime));
    };
    const QString copying = ".Corvanta.ini.unreadable.corvanta-save-";
    leave(copying + "aB3xYz", 120);  // a kill while the unreadable file was copied
    leave(copying + "kALOpq", 5);    // a copy under way in another instance
    leave("Corvanta.ini.Backup", 120); // the user's own, named as QSettings' temporaries are
    leave("Corvanta.ini.aB3xYz", 120);
    leave("Corvanta.ini.lock", 120);
    Settings store(path());
    QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    EXPECT_EQ(names, QStringList({ copying + "kALOpq", "Corvanta.ini.Backup", "Corvanta.ini.aB3xYz",
                                   "Corvanta.ini.lock" }));
}
