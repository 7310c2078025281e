// A whole map frame as the main window paints it, through the map view
// itself: base map, aurora forecast, greyline, MUF shading with the borders
// over it and its labelled contours, ITU and CQ zones, prefixes, 60
// ionosonde dots and the markers; and the same with the coverage layer of
// one band (the quick model) on. The space weather store reads the
// services' answers (their real shapes) from a local peer, as the
// application does.
//
// The wall time ("Time") includes the pool threads that draw pictures in
// bands; "CPU" is the main thread's own time, and the counter "allCPU" the
// whole process's CPU time per frame (main thread and pool). The gesture
// cases time the steps of a drag and of scroll-wheel zooming, each step
// with its paint, and report as "settleMs" the crisp frame drawn once the
// gesture rests. The memory case reports the process's resident size with
// every layer on (run each size in a process of its own).
//
// Under `valgrind --tool=callgrind` every timed loop writes a dump of its
// own (see CallgrindMarks.h).

#include "map/MapCoverage.h"
#include "map/MapInput.h"
#include "map/MapViewportModel.h"
#include "map/SpaceWeatherLayers.h"
#include "map/WorldMapView.h"
#include "spaceweather/Ionosonde.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/BenchReadings.h"
#include "support/CallgrindMarks.h"
#include "support/HttpPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <time.h>
#include <unistd.h>

namespace {

// The 60 benchmark stations as the ionosonde service writes them.
QByteArray sixtyStations()
{
    const QByteArray time
        = QDateTime::currentDateTimeUtc().addSecs(-600).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
    QByteArray body = "[";
    for (const IonosondeReading& r : BenchReadings::sixty()) {
        if (body.size() > 1)
            body += ',';
        const double east = r.coordinate.longitude < 0 ? r.coordinate.longitude + 360 : r.coordinate.longitude;
        body += "{\"cs\": " + (r.confidence ? QByteArray::number(*r.confidence) : QByteArray("null"))
            + ", \"fof2\": 6.0, \"mufd\": " + QByteArray::number(r.mufd) + ", \"time\": \"" + time
            + "\", \"station\": {\"code\": \"" + r.code.toLatin1() + "\", \"name\": \"" + r.name.toLatin1()
            + "\", \"latitude\": \"" + QByteArray::number(r.coordinate.latitude) + "\", \"longitude\": \""
            + QByteArray::number(east) + "\"}}";
    }
    return body + ']';
}

double processCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024 * 1024) : 0;
}

// One shown map view of a size with every layer on (the coverage of 20 m
// when asked for), its store refreshed from the peer and its space weather
// and coverage pictures built.
struct Map {
    HttpPeer peer;
    std::unique_ptr<SpaceWeatherStore> store;
    MapViewportModel viewport;
    std::unique_ptr<WorldMapView> view;
    QImage target;

    explicit Map(QSize size, int coverageBand = 0)
    {
        // The benchmark's own settings, never the user's.
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        Settings& settings = Settings::standard();
        for (const BoolKey& key : { SettingKeys::showAurora, SettingKeys::showGreyline, SettingKeys::showMUF,
                                    SettingKeys::showPrefixes, SettingKeys::showGrid, SettingKeys::showCQZones,
                                    SettingKeys::showITUZones, SettingKeys::mufContours, SettingKeys::bordersOverMUF })
            settings.set(key, true);
        settings.set(SettingKeys::coverageBand, coverageBand);
        settings.set(SettingKeys::predictionEngine, "quick");

        peer.listen();
        qputenv("CORVANTA_FEEDS_BASE", peer.base().toLatin1());
        SpaceWeatherFeeds::serveAll(peer);
        peer.serve(SpaceWeatherFeeds::path(Zelq::stationsURL()), 200, sixtyStations());
        SpaceWeatherStore::Options options;
        options.startLoop = false;
        store = std::make_unique<SpaceWeatherStore>(options);
        store->refresh();
        waitUntil([&] { return !store->isLoading(); }, 20000);

        view = std::make_unique<WorldMapView>(AppStores { store.get(), &viewport, nullptr, nullptr, nullptr });
        view->resize(size);
        view->show();
        QCoreApplication::processEvents();
        target = QImage(size, QImage::Format_ARGB32_Premultiplied);
        paint();
        waitUntil([&] { return !layers().building() && !coverage().building(); }, 20000);
        paint();
    }

    SpaceWeatherLayers& layers() { return *view->findChild<SpaceWeatherLayers*>(); }
    MapCoverage& coverage() { return *view->findChild<MapCoverage*>(); }

    void paint()
    {
        QPainter painter(&target);
        painter.setRenderHint(QPainter::Antialiasing);
        view->render(painter);
    }
};

// The case's size for its callgrind dump.
std::string caseName(benchmark::State& state)
{
    return std::to_string(state.range(0)) + "x" + std::to_string(state.range(1));
}

// Two viewports a pixel apart: every frame draws every picture anew.
void paintAlternatingViewports(benchmark::State& state, Map& map)
{
    const MapViewport views[] = { MapViewport::world(), MapViewport { 1.001, { 0.5, 0.5 } } };
    int i = 0;
    const double cpu = processCpuMs();
    CallgrindMarks::loopStarts();
    for (auto _ : state) {
        map.viewport.setViewport(views[++i % 2]);
        map.paint();
        benchmark::ClobberMemory();
    }
    CallgrindMarks::loopEnded(caseName(state), state.iterations());
    state.counters["allCPU"] = (processCpuMs() - cpu) / double(state.iterations());
}

void BM_FullFrame(benchmark::State& state)
{
    Map map(QSize(int(state.range(0)), int(state.range(1))));
    state.counters["readings"] = double(map.store->snapshot().ionosondes.size());
    paintAlternatingViewports(state, map);
}
BENCHMARK(BM_FullFrame)->Args({ 1440, 900 })->Args({ 3840, 2160 })->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the coverage of 20 m over the map: its picture is drawn
// anew with the others at every frame.
void BM_FullFrameWithCoverage(benchmark::State& state)
{
    Map map(QSize(int(state.range(0)), int(state.range(1))), 20);
    state.counters["coverageRows"] = map.coverage().image().isNull() ? 0 : map.coverage().image().height();
    paintAlternatingViewports(state, map);
    Settings::standard().set(SettingKeys::coverageBand, 0);
}
BENCHMARK(BM_FullFrameWithCoverage)->Args({ 1440, 900 })->Unit(benchmark::kMillisecond)->UseRealTime();

// Nothing changed (a blinking spot, a clock): the pictures are copied.
void repaint(benchmark::State& state, int coverageBand)
{
    Map map(QSize(int(state.range(0)), int(state.range(1))), coverageBand);
    const double cpu = processCpuMs();
    CallgrindMarks::loopStarts();
    for (auto _ : state) {
        map.paint();
        benchmark::ClobberMemory();
    }
    CallgrindMarks::loopEnded(caseName(state), state.iterations());
    state.counters["allCPU"] = (processCpuMs() - cpu) / double(state.iterations());
    Settings::standard().set(SettingKeys::coverageBand, 0);
}
void BM_Repaint(benchmark::State& state) { repaint(state, 0); }
BENCHMARK(BM_Repaint)->Args({ 1440, 900 })->Args({ 3840, 2160 })->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_RepaintWithCoverage(benchmark::State& state) { repaint(state, 20); }
BENCHMARK(BM_RepaintWithCoverage)->Args({ 1440, 900 })->Unit(benchmark::kMillisecond)->UseRealTime();

// The steps of one gesture, each timed with its paint; between gestures
// (untimed) the gesture rests and the crisp frame is drawn, which
// "settleMs" reports. `step(k)` makes the k-th step of a gesture of
// `steps`; `start` is the viewport each gesture starts from.
template <typename Step>
void gesture(benchmark::State& state, Map& map, const MapViewport& start, int steps, Step step)
{
    double settleMs = 0;
    int settles = 0;
    auto rest = [&] {
        map.view->input()->gestureEnded();
        map.view->settle();
        QElapsedTimer timer;
        timer.start();
        map.paint();
        settleMs += double(timer.nsecsElapsed()) / 1e6;
        ++settles;
        map.viewport.setViewport(start);
        map.paint();
    };
    map.viewport.setViewport(start);
    map.paint();
    int k = 0;
    const double cpu = processCpuMs();
    double restCpu = 0;
    CallgrindMarks::loopStarts();
    for (auto _ : state) {
        if (k == steps) {
            state.PauseTiming();
            const double before = processCpuMs();
            rest();
            restCpu += processCpuMs() - before;
            k = 0;
            state.ResumeTiming();
        }
        step(k++);
        map.paint();
        benchmark::ClobberMemory();
    }
    CallgrindMarks::loopEnded(caseName(state), state.iterations());
    state.counters["allCPU"] = (processCpuMs() - cpu - restCpu) / double(state.iterations());
    if (settles > 0)
        state.counters["settleMs"] = settleMs / settles;
}

// A drag of 30 steps of 40 px (32 px west and 24 px north each) over the
// map zoomed in 4 times, every layer on.
void BM_PanStep(benchmark::State& state)
{
    Map map(QSize(int(state.range(0)), int(state.range(1))));
    const MapViewport start { 4, { 0.55, 0.4 } };
    gesture(state, map, start, 30,
            [&](int k) { map.view->input()->dragChanged(QSizeF(-32.0 * (k + 1), -24.0 * (k + 1))); });
}
BENCHMARK(BM_PanStep)->Args({ 1440, 900 })->Args({ 3840, 2160 })->Unit(benchmark::kMillisecond)->UseRealTime();

// Scroll-wheel notches (a factor of e^0.15 each) at a point west of the
// centre: eight in, then eight out, every layer on.
void BM_WheelZoomStep(benchmark::State& state)
{
    Map map(QSize(int(state.range(0)), int(state.range(1))));
    const QPointF pointer(state.range(0) * 0.4, state.range(1) * 0.45);
    const double notch = std::exp(0.15);
    gesture(state, map, MapViewport { 2, { 0.5, 0.45 } }, 16,
            [&](int k) { map.view->input()->wheelZoomed(k < 8 ? notch : 1 / notch, pointer); });
}
BENCHMARK(BM_WheelZoomStep)->Args({ 1440, 900 })->Args({ 3840, 2160 })->Unit(benchmark::kMillisecond)->UseRealTime();

// The process's resident size with every layer on, and with the aurora and
// MUF layers switched off again (their pictures of the view freed).
void BM_ResidentMemory(benchmark::State& state)
{
    Map map(QSize(int(state.range(0)), int(state.range(1))));
    for (auto _ : state)
        map.paint();
    state.counters["residentMB"] = residentMB();
    state.counters["frameMB"] = double(map.view->frame().bytes()) / (1024 * 1024);
}
BENCHMARK(BM_ResidentMemory)->Args({ 1440, 900 })->Args({ 3840, 2160 })->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
