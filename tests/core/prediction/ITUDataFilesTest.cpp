// The engine's data files against a local server standing in for the
// ITU-R HF data repository.
#include "prediction/ITUDataFiles.h"
#include "support/HttpPeer.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

using namespace std::chrono_literals;

namespace {

constexpr qint64 size = ITUDataFiles::monthFileBytes;
const QByteArray dataPath = "/ITU-R-Study-Group-3/ITU-R-HF/master/P533/Data/";

struct Outcome {
    bool done = false;
    std::optional<ITUEngineError> error;
};

class ITUDataFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.listen());
        setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
        QDir().mkpath(bundle());
    }
    void TearDown() override { unsetenv("CORVANTA_FEEDS_BASE"); }

    QString data() const { return root.path() + "/support/Corvanta/ITU"; }
    QString bundle() const { return root.path() + "/ITUData"; }
    QString month(int m) const { return data() + "/" + ITUDataFiles::fileName(m); }

    Outcome* prepare(ITUDataFiles& files, int m)
    {
        auto* outcome = &outcomes.emplace_back();
        files.prepare(m, [outcome](const std::optional<ITUEngineError>& error) {
            outcome->done = true;
            outcome->error = error;
        });
        return outcome;
    }

    static QByteArray body(qint64 bytes, char fill) { return QByteArray(bytes, fill); }
    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
    }
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    HttpPeer peer;
    QTemporaryDir root;
    std::list<Outcome> outcomes;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
};

const QByteArray decilePath = dataPath + "P1239-3%20Decile%20Factors.txt";

} // namespace

TEST_F(ITUDataFilesTest, ADownloadReplacesAFileOfTheWrongSizeOnceForAllCallers)
{
    ITUDataFiles files(data(), bundle());
    EXPECT_EQ(ITUDataFiles::fileNames(7),
              (QStringList { "ionos07.bin", "COEFF07W.txt", "P1239-3 Decile Factors.txt" }));
    EXPECT_EQ(ITUDataFiles::fileName(13), "ionos13.bin");
    EXPECT_TRUE(QFileInfo(files.folder()).isDir()); // made on the way

    // One byte short or long is no month file at all.
    for (const qint64 wrong : { size - 1, size + 1 }) {
        QFile file(month(7));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.resize(wrong));
        file.close();
        EXPECT_FALSE(files.hasFile("ionos07.bin"));
    }

    HttpPeer::Response good;
    good.body = body(size, 'J');
    good.delayMs = 100;
    peer.serve(dataPath + "ionos07.bin", good);
    peer.serve(dataPath + "ionos08.bin", 200, body(size, 'A'));
    peer.serve(dataPath + "COEFF07W.txt", 200, "july noise");
    peer.serve(dataPath + "COEFF08W.txt", 200, "august noise");
    peer.serve(decilePath, 200, "deciles");
    Outcome* first = prepare(files, 7);
    Outcome* second = prepare(files, 7);
    Outcome* august = prepare(files, 8);
    EXPECT_TRUE(files.isDownloading("ionos07.bin"));
    EXPECT_TRUE(files.isDownloading("ionos08.bin"));
    EXPECT_TRUE(files.isDownloading("P1239-3 Decile Factors.txt"));
    ASSERT_TRUE(waitUntil([&] { return first->done && second->done && august->done; }));
    EXPECT_FALSE(first->error.has_value());
    EXPECT_FALSE(second->error.has_value());
    EXPECT_FALSE(august->error.has_value());
    // Each file once, the decile factors shared by both months too.
    for (const QByteArray& path : { dataPath + "ionos07.bin", dataPath + "ionos08.bin", dataPath + "COEFF07W.txt",
                                   dataPath + "COEFF08W.txt", decilePath })
        EXPECT_EQ(peer.count(path), 1) << path.constData();
    EXPECT_FALSE(files.isDownloading("ionos07.bin"));
    EXPECT_TRUE(files.hasData(7));
    EXPECT_TRUE(files.hasData(8));
    EXPECT_EQ(contents(month(7)), body(size, 'J'));
    EXPECT_EQ(contents(data() + "/P1239-3 Decile Factors.txt"), "deciles");
    // Nothing but the data files is left in the folder.
    EXPECT_EQ(QDir(data()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList { "COEFF07W.txt", "COEFF08W.txt", "P1239-3 Decile Factors.txt", "ionos07.bin",
                             "ionos08.bin" }));

    // Present: answered at once, no request.
    Outcome* again = prepare(files, 7);
    EXPECT_TRUE(again->done);
    EXPECT_FALSE(again->error.has_value());
    EXPECT_EQ(peer.requests().size(), 5);
}

TEST_F(ITUDataFilesTest, AFailedDownloadLeavesTheFolderAsItWasAndWaitsBeforeTheNextTry)
{
    ITUDataFiles files(data(), bundle());
    files.setClock([this] { return now; });
    files.folder();
    write(month(3), "old");
    write(data() + "/P1239-3 Decile Factors.txt", "deciles");
    const QByteArray noise = dataPath + "COEFF03W.txt";
    peer.serve(noise, 200, "noise");

    peer.serve(dataPath + "ionos03.bin", 404, "Not Found");
    Outcome* notFound = prepare(files, 3);
    Outcome* joined = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return notFound->done && joined->done; }));
    ASSERT_TRUE(notFound->error.has_value());
    EXPECT_EQ(notFound->error->description(), "Could not download the ITU ionosphere data: server answered 404");
    EXPECT_EQ(joined->error, notFound->error);
    EXPECT_EQ(contents(month(3)), "old");
    // The other missing file came in meanwhile.
    EXPECT_EQ(contents(data() + "/COEFF03W.txt"), "noise");

    // Asked again at once, or 29 s later: the same failure, no request.
    Outcome* atOnce = prepare(files, 3);
    EXPECT_TRUE(atOnce->done);
    EXPECT_EQ(atOnce->error, notFound->error);
    now += 29s;
    EXPECT_EQ(prepare(files, 3)->error, notFound->error);
    EXPECT_EQ(peer.count(dataPath + "ionos03.bin"), 1);

    // After 30 s it is tried again; then the wait doubles.
    now += 1s;
    peer.serve(dataPath + "ionos03.bin", 200, "<html>error</html>"); // 18 bytes
    Outcome* wrongSize = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return wrongSize->done; }));
    ASSERT_TRUE(wrongSize->error.has_value());
    EXPECT_EQ(wrongSize->error->description(), "Could not download the ITU ionosphere data: unexpected file size 18");
    EXPECT_EQ(contents(month(3)), "old");
    now += 59s;
    EXPECT_EQ(prepare(files, 3)->error, wrongSize->error);
    EXPECT_EQ(peer.count(dataPath + "ionos03.bin"), 2);

    // A body that goes on past the expected size is not kept either; one of
    // no announced length is ended where it passes it, however long the
    // server would go on.
    now += 1s;
    const QString tooLarge = QString("unexpected file size, more than %1").arg(size);
    peer.serve(dataPath + "ionos03.bin", 200, body(size + 5, 'x'));
    Outcome* tooLong = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return tooLong->done; }));
    ASSERT_TRUE(tooLong->error.has_value());
    EXPECT_EQ(tooLong->error->detail, tooLarge);
    files.forgetFailures();
    HttpPeer::Response endless;
    endless.body = body(size + (1 << 20), 'x');
    endless.unannounced = true;
    endless.stallAfter = endless.body.size();
    peer.serve(dataPath + "ionos03.bin", endless);
    Outcome* streamed = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return streamed->done; }));
    EXPECT_EQ(streamed->error.value_or(ITUEngineError {}).detail, tooLarge);
    EXPECT_EQ(contents(month(3)), "old");

    // A server that never answers: the host named. Once
    // forgotten, a failure is tried again at once.
    files.forgetFailures();
    files.setTimeoutMs(200);
    HttpPeer::Response stall;
    stall.stall = true;
    peer.serve(dataPath + "ionos03.bin", stall);
    Outcome* timedOut = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return timedOut->done; }));
    ASSERT_TRUE(timedOut->error.has_value());
    EXPECT_EQ(timedOut->error->kind, ITUEngineError::Kind::other);
    EXPECT_EQ(timedOut->error->description(), "The request timed out.");
    EXPECT_EQ(peer.count(dataPath + "ionos03.bin"), 5);

    // One that trickles, never idle, ends at the overall limit.
    files.forgetFailures();
    files.setTimeoutMs(ITUDataFiles::downloadTimeoutMs);
    files.setLimitMs(300);
    HttpPeer::Response trickle;
    trickle.body = body(300, 'x');
    trickle.trickleMs = 20;
    peer.serve(dataPath + "ionos03.bin", trickle);
    Outcome* slow = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return slow->done; }));
    EXPECT_EQ(slow->error.value_or(ITUEngineError {}).description(),
              "Could not download the ITU ionosphere data: not complete within 300 ms");

    // The waits are per file: an empty noise file for another month is
    // refused, and its month waits while March's file comes in.
    files.setLimitMs(ITUDataFiles::downloadLimitMs);
    files.forgetFailures();
    peer.serve(dataPath + "COEFF04W.txt", 200, "");
    peer.serve(dataPath + "ionos04.bin", 200, body(size, 'D'));
    Outcome* april = prepare(files, 4);
    ASSERT_TRUE(waitUntil([&] { return april->done; }));
    ASSERT_TRUE(april->error.has_value());
    EXPECT_EQ(april->error->detail, "127.0.0.1 sent an empty answer.");
    EXPECT_TRUE(files.hasFile("ionos04.bin"));
    EXPECT_FALSE(QFile::exists(data() + "/COEFF04W.txt"));
    peer.serve(dataPath + "ionos03.bin", 200, body(size, 'M'));
    Outcome* march = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return march->done; }));
    EXPECT_FALSE(march->error.has_value());
    EXPECT_EQ(prepare(files, 4)->error, april->error);
    EXPECT_EQ(peer.count(dataPath + "COEFF04W.txt"), 1);
}

TEST_F(ITUDataFilesTest, BundledFilesAreCopiedInButNeverOverwrite)
{
    // The bundle has the month's files and a file the data folder already
    // holds in another version.
    {
        QFile file(bundle() + "/ionos05.bin");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(size));
        write(bundle() + "/COEFF05W.txt", "may noise");
        write(bundle() + "/P1239-3 Decile Factors.txt", "deciles");
        QFile notes(bundle() + "/.notes");
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly) && notes.write("bundled") > 0);
        QDir().mkpath(bundle() + "/extra");
        QFile inner(bundle() + "/extra/inner.txt");
        ASSERT_TRUE(inner.open(QIODevice::WriteOnly) && inner.write("in") > 0);
    }
    QDir().mkpath(data());
    QFile mine(data() + "/.notes");
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly) && mine.write("mine") > 0);
    mine.close();

    ITUDataFiles files(data(), bundle());
    Outcome* may = prepare(files, 5);
    EXPECT_TRUE(may->done);
    EXPECT_FALSE(may->error.has_value());
    EXPECT_TRUE(files.hasData(5));
    EXPECT_EQ(contents(data() + "/.notes"), "mine");
    EXPECT_EQ(contents(data() + "/extra/inner.txt"), "in");
    EXPECT_TRUE(peer.requests().isEmpty());

    // No bundle folder at all: nothing to copy, and the month is fetched.
    ITUDataFiles noBundle(data(), root.path() + "/missing");
    peer.serve(dataPath + "ionos06.bin", 200, body(size, 'B'));
    peer.serve(dataPath + "COEFF06W.txt", 200, "june noise");
    Outcome* june = prepare(noBundle, 6);
    ASSERT_TRUE(waitUntil([&] { return june->done; }));
    EXPECT_FALSE(june->error.has_value());
}
