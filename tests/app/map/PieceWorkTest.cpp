// Pictures made ahead of the bands that take them: whichever thread makes a
// part's pictures, every part is made once and taken once, heaviest first
// when made ahead, and never more than asked for wait to be taken.

#include "map/PieceWork.h"

#include <gtest/gtest.h>

#include <QMutex>

#include <map>
#include <thread>
#include <vector>

namespace {

TEST(PieceWork, EachPartIsMadeOnceByWhicheverThreadGetsToItFirst)
{
    QMutex mutex;
    std::map<int, int> made; // part's top → times made
    PieceWork work(
        [&](const QRect& part) {
            {
                QMutexLocker lock(&mutex);
                ++made[part.top()];
            }
            QImage picture(1, 1, QImage::Format_ARGB32_Premultiplied);
            picture.fill(QColor(part.top() % 256, 0, 0));
            return QList<QImage> { picture };
        },
        [](const QRect& part) { return qint64(part.top()); },
        [](const QRect& piece) { return piece.adjusted(0, 0, -1, 0); });
    std::vector<QRect> pieces;
    for (int k = 0; k < 16; ++k)
        pieces.emplace_back(0, k * 10, 100, 10);
    work.plan(pieces);

    // Ahead, the heaviest first, no more than asked to wait.
    work.help(2);
    EXPECT_EQ(made, (std::map<int, int> { { 140, 1 }, { 150, 1 } }));
    work.help(2);
    EXPECT_EQ(made.size(), 2u);

    // Eight bands take two parts each while this thread keeps helping.
    std::vector<QImage> taken(pieces.size());
    std::vector<std::thread> bands;
    for (int band = 0; band < 8; ++band)
        bands.emplace_back([&, band] {
            for (const int k : { band, 15 - band })
                taken[std::size_t(k)] = work.take(pieces[std::size_t(k)].adjusted(0, 0, -1, 0)).value(0);
        });
    work.help(16);
    for (std::thread& band : bands)
        band.join();
    ASSERT_EQ(made.size(), 16u);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(made[k * 10], 1) << "part " << k;
        EXPECT_EQ(taken[std::size_t(k)].pixelColor(0, 0).red(), k * 10) << "part " << k;
    }

    // A part nobody planned is made for the one who asks.
    EXPECT_EQ(work.take(QRect(0, 500, 99, 10)).value(0).pixelColor(0, 0).red(), 500 % 256);
    EXPECT_EQ(made[500], 1);
}

} // namespace
