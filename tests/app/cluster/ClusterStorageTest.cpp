// The cluster client's country file and logbook: the download from a local
// server, the cached copy and its age, the ADIF import and its storage.
#include "cluster/DXClusterClient.h"
#include "geo/MapData.h"
#include "kit/AppLog.h"
#include "support/ClusterNodePeer.h"
#include "support/FastClusterTiming.h"
#include "support/HttpPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#include <sys/resource.h>

using namespace std::chrono_literals;

namespace {

const QDateTime clock0(QDate(2026, 12, 7), QTime(9, 20), Qt::UTC);

QByteArray realCountryFile()
{
    QFile file("/usr/share/hamradio-files/cty.dat");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A country file of `count` made-up countries.
QByteArray madeUpCountryFile(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QString("Country %1: 14: 28: EU: 50.00: -10.00: -1.0: X%1:\n    X%1;\n").arg(i).toLatin1();
    return text;
}

QString logText()
{
    AppLog::file().flush();
    QFile file(AppLog::file().path());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void setModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
}

// Clients over a support folder of their own and a local country file server.
struct Fixture {
    QTemporaryDir dir;
    Settings settings { dir.filePath("Corvanta.ini") };
    HttpPeer server;
    QString folder = dir.filePath("Corvanta");
    DXClusterClient::Timing timing = fastClusterTiming();

    Fixture()
    {
        EXPECT_TRUE(server.listen());
        timing.now = [] { return clock0; };
    }
    std::unique_ptr<DXClusterClient> start(const QString& supportFolder = {}, Settings* over = nullptr)
    {
        DXClusterClient::Services services;
        services.supportFolder = supportFolder.isEmpty() ? folder : supportFolder;
        services.countryFileURL = server.base() + "/cty/cty.dat";
        services.labels = MapData::prefixes();
        return std::make_unique<DXClusterClient>(over ? *over : settings, timing, services);
    }
    void cacheCountryFile(const QDateTime& modified)
    {
        QDir().mkpath(folder);
        writeFile(folder + "/cty.dat", realCountryFile());
        setModified(folder + "/cty.dat", modified);
    }
    // Lets queued work run without waiting for anything in particular.
    static void settle()
    {
        waitUntil([] { return false; }, 100);
    }
};

} // namespace

TEST(CountryFile, OnlyAFullDownloadIsUsedAndCached)
{
    Fixture f;
    const QByteArray real = realCountryFile();
    ASSERT_FALSE(real.isEmpty());
    f.server.serve("/cty/cty.dat", 200, madeUpCountryFile(300));
    auto client = f.start(); // no cached file: a download at once
    const int builtIn = client->countries().entityCount();
    ASSERT_TRUE(waitUntil(
        [&] { return logText().contains("Data feed failed: cty.dat: not a full country file (300 countries)"); }));
    EXPECT_EQ(f.server.requests().front().headers.value("user-agent"), "Corvanta/0.9 (Linux)");
    EXPECT_EQ(client->countries().entityCount(), builtIn);
    EXPECT_FALSE(client->countryFileDate());
    EXPECT_FALSE(QFile::exists(f.folder + "/cty.dat"));

    f.server.serve("/cty/cty.dat", 404, real);
    client->updateCountryFile();
    ASSERT_TRUE(waitUntil([&] { return logText().contains("Data feed failed: cty.dat: HTTP 404"); }));
    EXPECT_EQ(client->countries().entityCount(), builtIn);

    // A byte outside ASCII reads the same downloaded and, after a restart,
    // cached.
    const QByteArray curacao = "Cura\xE7" "ao";
    const QByteArray full = madeUpCountryFile(301).replace("Country 7:", curacao + ':');
    f.server.serve("/cty/cty.dat", 200, full);
    int changes = 0;
    QObject::connect(client.get(), &DXClusterClient::countriesChanged, [&] { ++changes; });
    client->updateCountryFile();
    ASSERT_TRUE(waitUntil([&] { return changes == 1; }));
    EXPECT_EQ(client->countries().entityCount(), 301);
    EXPECT_EQ(client->countryFileDate(), clock0);
    EXPECT_EQ(client->entity("X300ABC")->name, "Country 300");
    EXPECT_EQ(client->entity("X7ABC")->name, QString::fromLatin1(curacao));
    EXPECT_EQ(readFile(f.folder + "/cty.dat"), full);
    client.reset();
    setModified(f.folder + "/cty.dat", clock0);
    client = f.start();
    ASSERT_TRUE(waitUntil([&] { return client->countries().isFullCountryFile(); }));
    EXPECT_EQ(client->entity("X7ABC")->name, QString::fromLatin1(curacao));
}

TEST(CountryFile, CachedCopyIsRenewedWhenAWeekOldOrDatedInTheFuture)
{
    Fixture f;
    f.server.serve("/cty/cty.dat", 304, {});
    const struct {
        qint64 ageDays;
        int downloads;
    } cases[] = { { 8, 1 }, { 6, 0 }, { -1, 1 } };
    int expected = 0;
    for (const auto& c : cases) {
        const QDateTime modified = clock0.addDays(-c.ageDays);
        f.cacheCountryFile(modified);
        auto client = f.start();
        ASSERT_TRUE(waitUntil([&] { return client->countries().isFullCountryFile(); }));
        EXPECT_EQ(client->countryFileDate(), modified);
        EXPECT_EQ(client->entity("JA1ABC")->name, "Japan");
        expected += c.downloads;
        if (c.downloads) {
            ASSERT_TRUE(waitUntil([&] { return f.server.requests().size() == expected; })) << c.ageDays;
        }
        Fixture::settle();
        EXPECT_EQ(f.server.requests().size(), expected) << c.ageDays;
        EXPECT_EQ(client->countryFileDate(), modified) << "a 304 changes nothing";
    }
}

TEST(Logbook, ImportMarksNeededCountriesAndSurvivesARestart)
{
    Fixture f;
    f.cacheCountryFile(clock0);
    const QString adif = f.dir.filePath("my log.adi");
    writeFile(adif,
              "ADIF export<EOH>\n<CALL:6>DL1ABC <BAND:3>20m <QSL_RCVD:1>Y <EOR>\n"
              "<call:5>K1ABC <band:3>40M <eor>\n");
    auto client = f.start();
    int changes = 0;
    QObject::connect(client.get(), &DXClusterClient::logbookChanged, [&] { ++changes; });
    EXPECT_FALSE(client->progress());

    const auto imported = client->importADIF(adif);
    ASSERT_TRUE(imported.has_value()) << imported.error().message.toStdString();
    EXPECT_EQ(*imported, 2);
    EXPECT_GE(changes, 1);
    EXPECT_EQ(client->logbook().fileName, "my log.adi");
    EXPECT_EQ(client->logbook().imported, clock0);

    // Spots of a worked and of a new country.
    const QByteArray spots = ClusterNodePeer::liveSpot("W3LPL", 14025, "DL2XYZ", "cw", clock0.time())
        + ClusterNodePeer::liveSpot("W3LPL", 14026, "JA1XYZ", "cw", clock0.time());
    const auto neededLabels = [&](DXClusterClient& c) {
        QStringList labels;
        for (const SpotGroup& group : c.activeSpots(SpotDisplayOptions::fromSettings(f.settings)))
            if (!group.neededIDs.isEmpty())
                labels << group.label.name;
        return labels;
    };
    client->ingest(spots);
    EXPECT_EQ(client->activeSpots(SpotDisplayOptions::fromSettings(f.settings)).size(), 2);
    EXPECT_EQ(neededLabels(*client), QStringList { "Japan" });

    // A file without contacts, and one that is not there, change nothing.
    writeFile(f.dir.filePath("empty.adi"), "<EOH>\n");
    EXPECT_EQ(client->importADIF(f.dir.filePath("empty.adi")).error().message,
              "No QSOs found. Is this an ADIF (.adi) file?");
    EXPECT_FALSE(client->importADIF(f.dir.filePath("missing.adi")).has_value());
    EXPECT_EQ(client->qsos().size(), 2);

    // The next start reads the stored logbook.
    const DXCCProgress progress = *client->progress();
    client.reset();
    client = f.start();
    ASSERT_TRUE(client->progress());
    EXPECT_EQ(*client->progress(), progress);
    EXPECT_EQ(client->progress()->worked, (QSet<StringKey> { "DL", "K" }));
    client->ingest(spots);
    EXPECT_EQ(neededLabels(*client), QStringList { "Japan" });

    client->clearLogbook();
    EXPECT_FALSE(client->progress());
    EXPECT_TRUE(client->qsos().isEmpty());
    EXPECT_FALSE(QFile::exists(f.folder + "/logbook.json"));
    EXPECT_FALSE(f.settings.contains(SettingKeys::logbookFileName));
    EXPECT_FALSE(f.settings.contains(SettingKeys::logbookImportDate));
    EXPECT_TRUE(neededLabels(*client).isEmpty());
}

TEST(Logbook, ImportThatCannotBeSavedStaysInUseAndSaysSo)
{
    Fixture f;
    // The support folder would have to be inside a file: nothing can be written.
    writeFile(f.dir.filePath("blocker"), "not a folder");
    const QString adif = f.dir.filePath("log.adi");
    writeFile(adif, "<CALL:6>DL1ABC <BAND:3>20m <EOR>\n");
    auto client = f.start(f.dir.filePath("blocker/Corvanta"));
    const auto imported = client->importADIF(adif);
    ASSERT_FALSE(imported.has_value());
    EXPECT_TRUE(imported.error().message.startsWith("The logbook was imported (1 QSOs) but could not be saved: "))
        << imported.error().message.toStdString();
    EXPECT_EQ(client->qsos().size(), 1);
    EXPECT_TRUE(client->progress());
    EXPECT_TRUE(logText().contains("Logbook: could not save logbook.json: the folder "
                                   + f.dir.filePath("blocker/Corvanta") + " could not be made"));
    // Nothing names a logbook that the next start will not find.
    EXPECT_FALSE(f.settings.contains(SettingKeys::logbookFileName));
    EXPECT_FALSE(f.settings.contains(SettingKeys::logbookImportDate));
}

TEST(CountryFile, AFileLargerThanARealOneIsRefusedAndARealOneIsParsedAwayFromTheWindow)
{
    Fixture f;
    // Well-formed, 90,000 countries, over 4 MB: downloading it stops once
    // the announced length is known; nothing is parsed or cached.
    const QByteArray huge = madeUpCountryFile(90000);
    ASSERT_GT(huge.size(), DXClusterClient::maxCountryFileBytes);
    f.server.serve("/cty/cty.dat", 200, huge);
    auto client = f.start();
    const int builtIn = client->countries().entityCount();
    ASSERT_TRUE(waitUntil([&] {
        return logText().contains("Data feed failed: cty.dat: The answer from 127.0.0.1 is larger than 4 MiB.");
    }));
    EXPECT_EQ(client->countries().entityCount(), builtIn);
    EXPECT_FALSE(client->countryFileDate());
    EXPECT_FALSE(QFile::exists(f.folder + "/cty.dat"));

    // The same file in the cache, dated today, is taken as damaged: the
    // built-in list stays and a download is started.
    client.reset();
    f.server.serve("/cty/cty.dat", 304, {});
    f.server.clearRequests();
    QDir().mkpath(f.folder);
    writeFile(f.folder + "/cty.dat", huge);
    setModified(f.folder + "/cty.dat", clock0);
    client = f.start();
    ASSERT_TRUE(waitUntil([&] { return f.server.requests().size() == 1; }));
    Fixture::settle();
    EXPECT_EQ(client->countries().entityCount(), builtIn);
    EXPECT_FALSE(client->countryFileDate());

    // A real file is read and parsed on the pool: the client starts with the
    // built-in list and takes the file when it is ready.
    client.reset();
    f.server.clearRequests();
    f.cacheCountryFile(clock0);
    client = f.start();
    EXPECT_FALSE(client->countries().isFullCountryFile());
    int changes = 0;
    QObject::connect(client.get(), &DXClusterClient::countriesChanged, [&] { ++changes; });
    ASSERT_TRUE(waitUntil([&] { return client->countries().isFullCountryFile(); }));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(client->countryFileDate(), clock0);
    EXPECT_EQ(client->entity("JA1ABC")->name, "Japan");
    Fixture::settle();
    EXPECT_TRUE(f.server.requests().isEmpty()) << "a file of today is not renewed";
}

TEST(CountryFile, ADownloadThatNeverCompletesIsGivenUpAtItsOverallLimit)
{
    Fixture f;
    // No byte for long, but less long than the idle time-out: only the
    // overall limit ends it.
    f.timing.countryFileTimeout = 20s;
    f.timing.countryFileLimit = 300ms;
    HttpPeer::Response silent;
    silent.stall = true;
    f.server.serve("/cty/cty.dat", silent);
    auto client = f.start();
    ASSERT_TRUE(waitUntil([&] {
        return logText().contains("Data feed failed: cty.dat: The answer did not come in whole within 300 ms.");
    }));
    EXPECT_FALSE(client->countryFileDate());
}

TEST(Logbook, AnImportCutShortByAFullDiskSaysSoAndTheStoredLogbookKeepsItsName)
{
    Fixture f;
    QDateTime now = clock0;
    f.timing.now = [&] { return now; };
    auto client = f.start();
    const QString first = f.dir.filePath("first.adi");
    writeFile(first, "<CALL:6>DL1ABC <BAND:3>20m <EOR>\n<CALL:5>K1ABC <BAND:3>40m <EOR>\n");
    ASSERT_TRUE(client->importADIF(first).has_value());
    const QByteArray stored = readFile(f.folder + "/logbook.json");

    // A log of 5,000 contacts on a disk with 64 KB left: the file limit
    // cuts the write short as a full disk does (only the stored logbook
    // and the settings are written meanwhile, both smaller).
    QByteArray big;
    for (int i = 0; i < 5000; ++i)
        big += QString("<CALL:7>JA%1 <BAND:3>15m <EOR>\n").arg(10000 + i, 5, 10, QChar('0')).toLatin1();
    const QString second = f.dir.filePath("second.adi");
    writeFile(second, big);
    now = clock0.addDays(1);
    rlimit was {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = was;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto imported = client->importADIF(second);
    setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_FALSE(imported.has_value());
    EXPECT_EQ(imported.error().message, "The logbook was imported (5000 QSOs) but could not be saved: the disk is "
                                        "full. It is in use until Corvanta quits; import it again to keep it.");
    EXPECT_TRUE(logText().contains("Logbook: could not save logbook.json: the disk is full"));
    EXPECT_EQ(client->qsos().size(), 5000);
    // On disk: the first logbook, whole, with its name and date.
    EXPECT_EQ(readFile(f.folder + "/logbook.json"), stored);
    EXPECT_EQ(QDir(f.folder).entryList(QDir::Files | QDir::Hidden), QStringList { "logbook.json" });

    client.reset();
    client = f.start();
    EXPECT_EQ(client->qsos().size(), 2);
    EXPECT_EQ(client->logbook().fileName, "first.adi");
}

TEST(Logbook, AKillRightAfterAnImportLeavesItsContactsUnderItsOwnName)
{
    Fixture f;
    // A logbook of an earlier version: the contacts alone, their name in the
    // settings. Its file, replaced, keeps its permissions.
    QDir().mkpath(f.folder);
    writeFile(f.folder + "/logbook.json", LogbookQSO::encode({ { "DL1ABC", Band::m20, true } }));
    QFile::setPermissions(f.folder + "/logbook.json", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    f.settings.set(SettingKeys::logbookFileName, "old.adi");
    f.settings.sync();
    auto client = f.start();
    EXPECT_EQ(client->logbook().fileName, "old.adi");

    // A kill right after the next import leaves the files as they are.
    writeFile(f.dir.filePath("new.adi"), "<CALL:5>K1ABC <BAND:3>40m <EOR>\n");
    ASSERT_TRUE(client->importADIF(f.dir.filePath("new.adi")).has_value());
    ASSERT_TRUE(QFile::copy(f.settings.fileName(), f.dir.filePath("killed.ini")));
    EXPECT_EQ(QFile::permissions(f.folder + "/logbook.json") & (QFile::ReadGroup | QFile::ReadOther), QFile::ReadGroup);
    Settings settings(f.dir.filePath("killed.ini"));
    client = f.start({}, &settings);
    EXPECT_EQ(client->logbook(), (StoredLogbook { { { "K1ABC", Band::m40, false } }, "new.adi", clock0 }));
}

TEST(Logbook, OnlyTheProgramsOwnTemporariesAreRemovedFromTheSupportFolderAtStart)
{
    Fixture f;
    QDir().mkpath(f.folder);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto leave = [&](const QString& name, qint64 ageSeconds) {
        writeFile(f.folder + "/" + name, "part of a save");
        setModified(f.folder + "/" + name, now.addSecs(-ageSeconds));
    };
    leave(".cty.dat.corvanta-save-KqWbZe", 300);     // a kill during a save
    leave(".logbook.json.corvanta-save-hTzQaP", 90); // another
    leave(".logbook.json.corvanta-save-RmXvYc", 10); // a save under way in another instance
    leave("logbook.json.old123", 300);               // the user's own
    leave("cty.dat.202305", 300);
    auto client = f.start();
    QStringList left = QDir(f.folder).entryList(QDir::Files | QDir::Hidden);
    left.sort();
    EXPECT_EQ(left, (QStringList { ".logbook.json.corvanta-save-RmXvYc", "cty.dat.202305", "logbook.json.old123" }));
}
