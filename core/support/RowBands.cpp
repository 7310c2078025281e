#include "support/RowBands.h"

#include "support/VectorState.h"

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <vector>

namespace RowBands {

namespace {

// Runs part(0 … parts − 1) on the global pool and waits for every part;
// the calling thread runs `meanwhile` (when given) before it waits. Each
// part and `meanwhile` start with a clean vector state, whatever the
// thread ran before.
void runParts(int parts, const std::function<void(int)>& part, const std::function<void()>& meanwhile = {})
{
    QSemaphore done;
    int started = 0;
    std::vector<int> leftover;
    for (int k = 0; k < parts; ++k) {
        if (QThreadPool::globalInstance()->tryStart([&part, &done, k] {
                VectorState::clean();
                part(k);
                done.release();
            }))
            ++started;
        else
            leftover.push_back(k);
    }
    for (const int k : leftover) {
        VectorState::clean();
        part(k);
    }
    if (meanwhile) {
        VectorState::clean();
        meanwhile();
    }
    done.acquire(started);
}

} // namespace

void run(int height, const std::function<void(int firstRow, int lastRow)>& draw)
{
    const int bands = std::clamp(std::min(QThread::idealThreadCount(), height / 64), 1, 8);
    runParts(bands, [&](int band) { draw(height * band / bands, height * (band + 1) / bands); });
}

void deal(int maxParts, const std::function<void(int part, int parts)>& work)
{
    deal(maxParts, work, {});
}

void deal(int maxParts, const std::function<void(int part, int parts)>& work, const std::function<void()>& meanwhile)
{
    const int parts = std::clamp(QThread::idealThreadCount(), 1, std::max(1, maxParts));
    runParts(parts, [&](int part) { work(part, parts); }, meanwhile);
}

} // namespace RowBands
