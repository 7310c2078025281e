// The engine's monthly data files against a local server standing in for
// the ITU-R HF data repository.
#include "prediction/ITUDataFiles.h"
#include "support/HttpPeer.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

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
    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    HttpPeer peer;
    QTemporaryDir root;
    std::list<Outcome> outcomes;
};

} // namespace

TEST_F(ITUDataFilesTest, ADownloadReplacesAFileOfTheWrongSizeOnceForAllCallers)
{
    ITUDataFiles files(data(), bundle());
    EXPECT_EQ(ITUDataFiles::fileName(7), "ionos07.bin");
    EXPECT_EQ(ITUDataFiles::fileName(13), "ionos13.bin");
    EXPECT_TRUE(QFileInfo(files.folder()).isDir()); // made on the way

    // One byte short or long is no file at all.
    for (const qint64 wrong : { size - 1, size + 1 }) {
        QFile file(month(7));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.resize(wrong));
        file.close();
        EXPECT_FALSE(files.hasData(7));
    }

    HttpPeer::Response good;
    good.body = body(size, 'J');
    good.delayMs = 100;
    peer.serve(dataPath + "ionos07.bin", good);
    peer.serve(dataPath + "ionos08.bin", 200, body(size, 'A'));
    Outcome* first = prepare(files, 7);
    Outcome* second = prepare(files, 7);
    Outcome* august = prepare(files, 8);
    EXPECT_TRUE(files.isDownloading(7));
    EXPECT_TRUE(files.isDownloading(8));
    ASSERT_TRUE(waitUntil([&] { return first->done && second->done && august->done; }, 10000));
    EXPECT_FALSE(first->error.has_value());
    EXPECT_FALSE(second->error.has_value());
    EXPECT_FALSE(august->error.has_value());
    EXPECT_EQ(peer.count(dataPath + "ionos07.bin"), 1);
    EXPECT_EQ(peer.count(dataPath + "ionos08.bin"), 1);
    EXPECT_FALSE(files.isDownloading(7));
    EXPECT_TRUE(files.hasData(7));
    EXPECT_EQ(contents(month(7)), body(size, 'J'));
    // Nothing but the month files is left in the folder.
    EXPECT_EQ(QDir(data()).entryList(QDir::Files | QDir::Hidden), (QStringList { "ionos07.bin", "ionos08.bin" }));

    // Present: answered at once, no request.
    Outcome* again = prepare(files, 7);
    EXPECT_TRUE(again->done);
    EXPECT_FALSE(again->error.has_value());
    EXPECT_EQ(peer.count(dataPath + "ionos07.bin"), 1);
}

TEST_F(ITUDataFilesTest, AFailedDownloadLeavesTheFolderAsItWasAndIsTriedAgain)
{
    ITUDataFiles files(data(), bundle());
    files.folder();
    QFile old(month(3));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();

    peer.serve(dataPath + "ionos03.bin", 404, "Not Found");
    Outcome* notFound = prepare(files, 3);
    Outcome* joined = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return notFound->done && joined->done; }));
    ASSERT_TRUE(notFound->error.has_value());
    EXPECT_EQ(notFound->error->description(), "Could not download the ITU ionosphere data: server answered 404");
    EXPECT_EQ(joined->error, notFound->error);
    EXPECT_EQ(contents(month(3)), "old");

    peer.serve(dataPath + "ionos03.bin", 200, "<html>error</html>"); // 18 bytes
    Outcome* wrongSize = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return wrongSize->done; }));
    ASSERT_TRUE(wrongSize->error.has_value());
    EXPECT_EQ(wrongSize->error->description(), "Could not download the ITU ionosphere data: unexpected file size 18");
    EXPECT_EQ(contents(month(3)), "old");

    // A body that goes on past the expected size is not kept either.
    peer.serve(dataPath + "ionos03.bin", 200, body(size + 5, 'x'));
    Outcome* tooLong = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return tooLong->done; }, 10000));
    ASSERT_TRUE(tooLong->error.has_value());
    EXPECT_EQ(tooLong->error->detail, QString("unexpected file size %1").arg(size + 5));
    EXPECT_EQ(contents(month(3)), "old");

    // A server that stops answering: the transport's own message.
    files.setTimeoutMs(200);
    HttpPeer::Response stall;
    stall.stall = true;
    peer.serve(dataPath + "ionos03.bin", stall);
    Outcome* timedOut = prepare(files, 3);
    ASSERT_TRUE(waitUntil([&] { return timedOut->done; }));
    ASSERT_TRUE(timedOut->error.has_value());
    EXPECT_EQ(timedOut->error->kind, ITUEngineError::Kind::other);
    EXPECT_EQ(timedOut->error->description(), "The request timed out.");

    EXPECT_EQ(QDir(data()).entryList(QDir::Files | QDir::Hidden), QStringList { "ionos03.bin" });
    EXPECT_EQ(peer.count(dataPath + "ionos03.bin"), 4);
}

TEST_F(ITUDataFilesTest, BundledFilesAreCopiedInButNeverOverwrite)
{
    // The bundle has the month at the right size and a file the data folder
    // already holds in another version.
    {
        QFile file(bundle() + "/ionos05.bin");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(size));
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
    Outcome* june = prepare(noBundle, 6);
    ASSERT_TRUE(waitUntil([&] { return june->done; }, 10000));
    EXPECT_FALSE(june->error.has_value());
}
