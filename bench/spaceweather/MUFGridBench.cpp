// The MUF layers rebuild their grid and contours on every 10-minute slot and
// the hover panel asks for a path MUF while the pointer rests, so all three
// must stay cheap. Targets on the development machine: grid under 20 ms,
// all contours under 20 ms, one path MUF under 50 µs; the map's whole
// rebuild after a new snapshot under 40 ms.

#include "map/MUFFieldLayer.h"
#include "spaceweather/MUFField.h"
#include "spaceweather/MUFGrid.h"
#include "spaceweather/MUFModel.h"
#include "support/BenchReadings.h"

#include <QThreadPool>
#include <QTimeZone>

#include <benchmark/benchmark.h>

#include <future>

namespace {

const QDateTime slotCentre(QDate(2026, 8, 18), QTime(12, 5), QTimeZone::utc());

void BM_MUFGridFromField(benchmark::State& state)
{
    const MUFField field(BenchReadings::sixty(), 120.0, slotCentre);
    for (auto _ : state) {
        MUFGrid grid(field);
        benchmark::DoNotOptimize(grid.values().constData());
    }
    state.SetLabel("361 x 181 nodes, 60 stations");
}
// The rows are shared out over a few threads: wall-clock time is what counts.
BENCHMARK(BM_MUFGridFromField)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MUFContoursAllLevels(benchmark::State& state)
{
    const MUFGrid grid(MUFField(BenchReadings::sixty(), 120.0, slotCentre));
    qsizetype points = 0;
    for (auto _ : state) {
        points = 0;
        for (const double level : MUFGrid::levels) {
            const auto lines = grid.contour(level);
            const auto labels = MUFGrid::labelPositions(lines, 160, 24);
            for (const auto& line : lines)
                points += line.size();
            benchmark::DoNotOptimize(labels.constData());
        }
    }
    state.counters["points"] = double(points);
    state.SetLabel("10 levels traced, smoothed and labelled");
}
BENCHMARK(BM_MUFContoursAllLevels)->Unit(benchmark::kMillisecond);

void BM_MUFPathMUF(benchmark::State& state)
{
    const MUFField field(BenchReadings::sixty(), 120.0, slotCentre);
    // Vilnius to Sydney, about 15000 km: five hops.
    const GeoCoordinate home { 54.687, 25.28 };
    const GeoCoordinate far { -33.87, 151.21 };
    for (auto _ : state) {
        auto path = field.pathMUF(home, far);
        benchmark::DoNotOptimize(path);
    }
    state.SetLabel("15000 km, 5 hops, 60 stations");
}
BENCHMARK(BM_MUFPathMUF)->Unit(benchmark::kMicrosecond);

void BM_MUFFieldBuild(benchmark::State& state)
{
    const QList<IonosondeReading> readings = BenchReadings::sixty();
    for (auto _ : state) {
        MUFField field(readings, 120.0, slotCentre);
        benchmark::DoNotOptimize(field);
    }
}
BENCHMARK(BM_MUFFieldBuild)->Unit(benchmark::kMicrosecond);

// What the map does on a pool thread when a snapshot brings new readings:
// the field and grid of the slot, the ten contour levels and the shading
// image, through the shared caches (each iteration's readings differ, so
// every cache misses). Wall time from the hand-over to the pool to the
// finished result; the main thread only waits here.
void BM_MUFLayersRebuild(benchmark::State& state)
{
    QList<IonosondeReading> readings = BenchReadings::sixty();
    const MUFPalette palette = MUFPalette::fromHex(QString());
    int i = 0;
    for (auto _ : state) {
        readings[0].mufd = 10 + (++i % 1000) * 0.01;
        std::promise<qsizetype> promise;
        std::future<qsizetype> done = promise.get_future();
        QThreadPool::globalInstance()->start([&] {
            const MUFGrid grid = MUFModel::grid(readings, 120.0, slotCentre);
            const QList<MUFModel::Contour> contours = MUFModel::contours(readings, 120.0, slotCentre);
            const std::uint64_t key
                = MUFFieldLayer::imageKey(MUFModel::key(readings, 120.0, slotCentre), true, palette, 0.55);
            const QImage image = MUFFieldLayer::cachedImage(key, grid, true, palette, 0.55);
            promise.set_value(contours.size() + image.width());
        });
        benchmark::DoNotOptimize(done.get());
    }
    state.SetLabel("60 stations: field, grid, 10 contour levels, shading image");
}
BENCHMARK(BM_MUFLayersRebuild)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
