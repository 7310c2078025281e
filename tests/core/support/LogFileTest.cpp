#include "support/LogFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const QDateTime noon = QDateTime(QDate(2024, 3, 1), QTime(12, 0, 0, 750), Qt::UTC);

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

TEST(LogFile, FormatsOneLinePerMessageInUtc)
{
    EXPECT_EQ(LogFile::line("DX cluster: connected", noon), "2024-03-01T12:00:00Z DX cluster: connected\n");
    EXPECT_EQ(LogFile::line("a\r\nb", noon), "2024-03-01T12:00:00Z a  b\n");
    EXPECT_EQ(LogFile::line("", noon), "2024-03-01T12:00:00Z \n");
    const QDateTime vilnius = noon.toTimeZone(QTimeZone("Europe/Vilnius"));
    EXPECT_EQ(LogFile::line("x", vilnius), "2024-03-01T12:00:00Z x\n");
    EXPECT_EQ(LogFile::line("ünï \t\"x\"", noon), "2024-03-01T12:00:00Z ünï \t\"x\"\n");
}

TEST(LogFile, FirstWriteCreatesTheFolderAndTheFile)
{
    QTemporaryDir dir;
    LogFile log(dir.path() + "/a/b/log.txt", 1000);
    EXPECT_FALSE(QFile::exists(log.path()));
    log.write("one", noon);
    log.write("two", noon);
    log.flush();
    EXPECT_EQ(readAll(log.path()), "2024-03-01T12:00:00Z one\n2024-03-01T12:00:00Z two\n");
    EXPECT_EQ(log.oldPath(), dir.path() + "/a/b/log.txt.old");
}

TEST(LogFile, RotatesBeforeTheAppendOnceTheCapIsReached)
{
    QTemporaryDir dir;
    LogFile log(dir.path() + "/log.txt", 100);
    int rotations = 0;
    log.setRotationHook([&] { ++rotations; });

    // 99 bytes: below the cap, so the next line takes the file past it.
    writeFile(log.path(), QByteArray(98, 'a') + '\n');
    log.write("b", noon);
    log.flush();
    EXPECT_EQ(readAll(log.path()).size(), 99 + 23);
    EXPECT_FALSE(QFile::exists(log.oldPath()));
    EXPECT_EQ(rotations, 0);

    // Now at or above the cap: rotated before the next line.
    log.write("c", noon);
    log.flush();
    EXPECT_EQ(readAll(log.path()), "2024-03-01T12:00:00Z c\n");
    EXPECT_EQ(readAll(log.oldPath()).size(), 99 + 23);
    EXPECT_EQ(rotations, 1);

    // Exactly the cap rotates too, and replaces the older generation.
    writeFile(log.path(), QByteArray(99, 'x') + '\n');
    log.write("d", noon);
    EXPECT_EQ(log.tail(10, 10000), QByteArray(99, 'x') + "\n2024-03-01T12:00:00Z d\n");
    EXPECT_EQ(readAll(log.oldPath()), QByteArray(99, 'x') + '\n');
    EXPECT_EQ(rotations, 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST(LogFile, TailKeepsTheNewestLinesThatFit)
{
    QTemporaryDir dir;
    LogFile log(dir.path() + "/log.txt", 1000000);
    EXPECT_EQ(log.tail(40, 4000), "");

    writeFile(log.oldPath(), "old1\n\n");
    writeFile(log.path(), "new1\nnew2\n\nnew3\n");
    EXPECT_EQ(log.tail(0, 4000), "");
    EXPECT_EQ(log.tail(40, 4000), "old1\nnew1\nnew2\nnew3\n");
    EXPECT_EQ(log.tail(2, 4000), "new2\nnew3\n");
    // Bytes count one line feed per line: "new2\nnew3\n" is 10 bytes.
    EXPECT_EQ(log.tail(40, 10), "new2\nnew3\n");
    EXPECT_EQ(log.tail(40, 9), "new3\n");
    EXPECT_EQ(log.tail(40, 4), "");

    // A generation that is no UTF-8 is skipped; the other still counts.
    writeFile(log.oldPath(), "\xff\xfe broken\n");
    EXPECT_EQ(log.tail(40, 4000), "new1\nnew2\nnew3\n");
}

TEST(LogFile, ConcurrentWritersLoseNoLineAndNeverMixTwo)
{
    QTemporaryDir dir;
    LogFile log(dir.path() + "/log.txt", 1 << 30);
    constexpr int threads = 8;
    constexpr int perThread = 500;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([&log, t] {
            for (int i = 0; i < perThread; ++i)
                log.write(QString("thread %1 line %2 %3").arg(t).arg(i).arg(QString(40, 'x')), noon);
        });
    for (auto& w : writers)
        w.join();
    log.flush();

    const QList<QByteArray> lines = readAll(log.path()).split('\n');
    ASSERT_EQ(lines.size(), threads * perThread + 1);
    std::vector<int> next(threads, 0);
    for (int k = 0; k < threads * perThread; ++k) {
        const QList<QByteArray> words = lines[k].split(' ');
        ASSERT_EQ(words.size(), 6) << lines[k].constData();
        const int t = words[2].toInt();
        // One writer's lines keep their order.
        EXPECT_EQ(words[4].toInt(), next[t]++);
    }
}

TEST(LogFile, FlushFromTheQueueItselfDoesNotWait)
{
    QTemporaryDir dir;
    LogFile log(dir.path() + "/log.txt", 1000);
    std::atomic<bool> ran = false;
    log.async([&] {
        EXPECT_TRUE(log.isOnQueue());
        log.flush();
        log.writeNow("direct", noon);
        ran = true;
    });
    log.flush();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(log.isOnQueue());
    EXPECT_EQ(readAll(log.path()), "2024-03-01T12:00:00Z direct\n");
}

TEST(LogFile, DestructionFinishesQueuedLines)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/log.txt";
    {
        LogFile log(path, 1 << 20);
        for (int i = 0; i < 200; ++i)
            log.write("line", noon);
    }
    EXPECT_EQ(readAll(path).count('\n'), 200);
}
