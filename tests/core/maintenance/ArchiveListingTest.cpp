// However many sizes an archive lists, it is unpacked in a few runs; one
// that lists far more entries than a release holds is not unpacked at all.
#include "maintenance/ArchiveListing.h"

#include <gtest/gtest.h>

TEST(ArchiveListing, TwentyThousandSizesTakeAFewRunsEachLimitedToTwiceItsSmallestSize)
{
    QList<ArchiveListing::Entry> entries;
    for (int size = 0; size < 20000; ++size)
        entries << ArchiveListing::Entry { QString("C/%1").arg(size), size };
    EXPECT_EQ(ArchiveListing::problem(entries, qint64(1) << 40),
              "it lists 20000 entries, more than the 10000 a release may hold");
    const QList<QList<ArchiveListing::Entry>> runs = ArchiveListing::batches(entries);
    EXPECT_EQ(runs.size(), 16);
    for (const QList<ArchiveListing::Entry>& run : runs) // the first one's size is the run's limit
        EXPECT_TRUE(std::ranges::is_sorted(run, std::greater(), &ArchiveListing::Entry::size)
                    && run.first().size <= 2 * run.last().size + 1);

    // Long names of one size: runs whose patterns one command may be given.
    QList<ArchiveListing::Entry> named;
    for (int i = 0; i < 1000; ++i)
        named << ArchiveListing::Entry { QString("C/%1-").arg(i) + QString(2000, u'*'), 1 };
    qsizetype namedRuns = 0, namedEntries = 0;
    for (const QList<ArchiveListing::Entry>& run : ArchiveListing::batches(named)) {
        qsizetype bytes = 0;
        for (const ArchiveListing::Entry& entry : run)
            bytes += ArchiveListing::pattern(entry.name).toUtf8().size() + 1;
        EXPECT_LE(bytes, ArchiveListing::maxPatternBytes);
        namedEntries += run.size(), ++namedRuns;
    }
    EXPECT_EQ(namedEntries, 1000);
    EXPECT_LT(namedRuns, 100);
}
