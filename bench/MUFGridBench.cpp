// The MUF layers rebuild their grid and contours on every 10-minute slot and
// the hover panel asks for a path MUF while the pointer rests, so all three
// must stay cheap. Targets on the development machine: grid under 20 ms,
// all contours under 20 ms, one path MUF under 50 µs.

#include "MUFField.h"
#include "MUFGrid.h"

#include <QTimeZone>

#include <benchmark/benchmark.h>

#include <random>

namespace {

// 60 stations spread like the real network: most in the northern
// mid-latitudes, some in the tropics and the south, a few near the poles.
QList<IonosondeReading> sixtyReadings()
{
    std::mt19937 random(20260818);
    std::uniform_real_distribution<double> longitude(-180, 180);
    std::uniform_real_distribution<double> north(25, 70);
    std::uniform_real_distribution<double> tropics(-25, 25);
    std::uniform_real_distribution<double> south(-70, -25);
    std::uniform_real_distribution<double> mufd(6, 32);
    std::uniform_real_distribution<double> confidence(20, 100);

    QList<IonosondeReading> readings;
    for (int i = 0; i < 60; ++i) {
        IonosondeReading reading;
        reading.code = QStringLiteral("ST%1").arg(i, 3, 10, QLatin1Char('0'));
        reading.name = reading.code;
        const double latitude = i < 36 ? north(random) : i < 50 ? tropics(random) : i < 57 ? south(random)
                                                                                              : (i % 2 ? 78.0 : -77.0);
        reading.coordinate = { latitude, longitude(random) };
        reading.mufd = mufd(random);
        if (i % 3 != 0)
            reading.confidence = confidence(random);
        readings.append(reading);
    }
    return readings;
}

const QDateTime slotCentre(QDate(2026, 8, 18), QTime(12, 5), QTimeZone::utc());

void BM_MUFGridFromField(benchmark::State& state)
{
    const MUFField field(sixtyReadings(), 120.0, slotCentre);
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
    const MUFGrid grid(MUFField(sixtyReadings(), 120.0, slotCentre));
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
    const MUFField field(sixtyReadings(), 120.0, slotCentre);
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
    const QList<IonosondeReading> readings = sixtyReadings();
    for (auto _ : state) {
        MUFField field(readings, 120.0, slotCentre);
        benchmark::DoNotOptimize(field);
    }
}
BENCHMARK(BM_MUFFieldBuild)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
