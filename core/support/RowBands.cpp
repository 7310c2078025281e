#include "support/RowBands.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <vector>

namespace RowBands {

void run(int height, const std::function<void(int firstRow, int lastRow)>& draw)
{
    const int bands = std::clamp(std::min(QThread::idealThreadCount(), height / 64), 1, 8);
    auto drawBand = [&](int band) { draw(height * band / bands, height * (band + 1) / bands); };

    QSemaphore done;
    int started = 0;
    std::vector<int> leftover;
    for (int band = 0; band < bands; ++band) {
        if (QThreadPool::globalInstance()->tryStart([&drawBand, &done, band] {
                drawBand(band);
                done.release();
            }))
            ++started;
        else
            leftover.push_back(band);
    }
    for (const int band : leftover)
        drawBand(band);
    done.acquire(started);
}

} // namespace RowBands
