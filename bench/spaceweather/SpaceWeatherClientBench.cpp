// One NOAA fetch against a local peer that serves every product (the aurora
// forecast at its full 1 MB), from fetch() to the finished snapshot. Besides
// the wall time it reports the main thread's longest busy slice, the longest
// the main thread made other work wait, fetch() itself included. The UI stays
// smooth when that is under 16 ms.

#include "spaceweather/SpaceWeatherClient.h"
#include "support/HttpPeer.h"
#include "support/SpaceWeatherFeeds.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <time.h>

namespace {

// Measures how long the main thread keeps others waiting: a helper thread
// posts a probe to it every quarter millisecond, and the longest time a probe
// waited for the main thread is the longest busy slice (to within the probe
// interval). On a busy machine that wall time includes time the main thread
// waited for a core, so the main thread's own CPU time between two handled
// probes is kept too: the work of its longest slice, whatever the load.
// Probes posted outside begin()...end() are not counted.
class BusySlices {
public:
    BusySlices()
    {
        m_clock.start();
        m_prober = std::thread([this] {
            while (!m_stop.load()) {
                const qint64 posted = m_clock.nsecsElapsed();
                QMetaObject::invokeMethod(
                    &m_context, [this, posted] { note(posted); }, Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::microseconds(250));
            }
        });
    }
    ~BusySlices()
    {
        m_stop = true;
        m_prober.join();
    }

    // Counting starts now, with the caller's own work.
    void begin()
    {
        m_longest = 0;
        m_longestCpu = 0;
        m_from = m_clock.nsecsElapsed();
        m_lastCpu = threadCpu();
        m_counting = true;
    }
    // Delivers the probes still waiting, then stops counting.
    void end()
    {
        QCoreApplication::processEvents();
        m_counting = false;
    }
    double longestMs() const { return double(m_longest) / 1e6; }
    double longestCpuMs() const { return double(m_longestCpu) / 1e6; }

private:
    static qint64 threadCpu()
    {
        timespec now {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }

    void note(qint64 posted)
    {
        if (!m_counting || posted < m_from)
            return;
        m_longest = std::max(m_longest, m_clock.nsecsElapsed() - posted);
        const qint64 cpu = threadCpu();
        m_longestCpu = std::max(m_longestCpu, cpu - m_lastCpu);
        m_lastCpu = cpu;
    }

    QObject m_context;
    QElapsedTimer m_clock;
    std::thread m_prober;
    std::atomic<bool> m_stop = false;
    bool m_counting = false;
    qint64 m_from = 0;
    qint64 m_longest = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longestCpu = 0;
};

void BM_NOAAFetchToSnapshot(benchmark::State& state)
{
    HttpPeer peer;
    if (!peer.listen(true)) {
        state.SkipWithError("no local port");
        return;
    }
    setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
    SpaceWeatherFeeds::serveAll(peer);
    SpaceWeatherClient client;
    BusySlices slices;
    double longest = 0;
    double longestCpu = 0;

    for (auto _ : state) {
        bool done = false;
        slices.begin();
        client.fetch(IndexSource::noaa, [&](SpaceWeatherSnapshot snapshot) {
            done = true;
            if (!snapshot.errors.isEmpty() || !snapshot.aurora || snapshot.aurora->maxValue() == 0)
                state.SkipWithError("the feeds were not all read");
            benchmark::DoNotOptimize(snapshot);
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        slices.end();
        longest = std::max(longest, slices.longestMs());
        longestCpu = std::max(longestCpu, slices.longestCpuMs());
    }
    state.counters["longest_main_slice_ms"] = longest;
    state.counters["longest_main_slice_cpu_ms"] = longestCpu;
    unsetenv("CORVANTA_FEEDS_BASE");
}

} // namespace

BENCHMARK(BM_NOAAFetchToSnapshot)->Unit(benchmark::kMillisecond)->UseRealTime();
