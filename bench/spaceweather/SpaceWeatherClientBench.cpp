// One NOAA fetch against a local peer that serves every product (the aurora
// forecast at its full 1 MB), from fetch() to the finished snapshot. Besides
// the wall time it reports the main thread's longest busy slice, the longest
// the main thread made other work wait, fetch() itself included. The UI stays
// smooth when that is under 16 ms.
//
// Then fourteen requests at once, as a refresh makes them, with the feeds'
// limits, each answered well or in one hostile way: the worst lateness of a
// 5 ms timer on the main thread while they run, beside the same timer's on a
// quiet run as long.

#include "spaceweather/SpaceWeatherClient.h"
#include "support/Download.h"
#include "support/HostilePeer.h"
#include "support/HttpPeer.h"
#include "support/SpaceWeatherFeeds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

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

// The worst lateness of a 5 ms timer while `running` holds, in ms.
qint64 timerLateness(const std::function<bool()>& running)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { worst = std::max(worst, clock.elapsed() - std::exchange(last, clock.elapsed()) - 5); });
    tick.start(5);
    while (running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return worst;
}

// Argument: 0 answers of 1 MB, 1 gzip bombs of 3 GB, 2 chunk-size lines
// without end, 3 bodies without a length or end.
void BM_FourteenAnswersTimerLateness(benchmark::State& state)
{
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    const QByteArray heads[] = { ok + "Content-Length: 1048576\r\n\r\n",
                                 ok + "Content-Encoding: gzip\r\n\r\n" + HostilePeer::bomb("gzip", 3LL << 30),
                                 ok + "Transfer-Encoding: chunked\r\n\r\n5;", ok + "\r\n" };
    const QByteArray fillers[] = { QByteArray(1 << 16, 'x'), " ", QByteArray(1 << 16, 'e'), QByteArray(1 << 16, 'x') };
    const auto kind = std::size_t(state.range(0));
    qint64 worst = 0, quiet = 0;
    for (auto _ : state) {
        HostilePeer server(heads[kind], fillers[kind], 0, 14);
        int ended = 0;
        QElapsedTimer took;
        took.start();
        for (int i = 0; i < 14; ++i) {
            auto* download = new Download({ QUrl(server.url()) },
                                          { std::chrono::seconds(30), std::chrono::seconds(60),
                                            SpaceWeatherClient::maxBodyBytes },
                                          nullptr);
            download->get([&](const Download::Outcome&) { ++ended; });
        }
        worst = std::max(worst, timerLateness([&] { return ended < 14; }));
        const qint64 length = took.elapsed();
        QElapsedTimer calm;
        calm.start();
        quiet = std::max(quiet, timerLateness([&] { return calm.elapsed() < length; }));
    }
    state.counters["worst_late_ms"] = double(worst);
    state.counters["quiet_late_ms"] = double(quiet);
}

} // namespace

BENCHMARK(BM_NOAAFetchToSnapshot)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FourteenAnswersTimerLateness)
    ->DenseRange(0, 3)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
