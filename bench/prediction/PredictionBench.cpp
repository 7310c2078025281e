// The hover panel computes a day chart of the ten bands for the place under
// the pointer, and the coverage layer one band's reliability for every
// 2-degree cell of the world from the MUF grid. Targets on the development machine: one day
// chart under 1 ms, one coverage pass under 30 ms, on one thread
// (BM_CoverageOneBand) and as the layer makes its image, the cells dealt
// out over the pool (BM_CoverageImage).

#include "geo/SolarCalculator.h"
#include "map/CoverageLayer.h"
#include "prediction/PropagationPredictor.h"
#include "spaceweather/MUFField.h"
#include "spaceweather/MUFGrid.h"
#include "spaceweather/MUFModel.h"
#include "support/BenchReadings.h"

#include <QTimeZone>

#include <benchmark/benchmark.h>

namespace {

const QDateTime now(QDate(2026, 3, 20), QTime(14, 5), QTimeZone::utc());
const GeoCoordinate home { 51.5, -0.12 };

PropagationPredictor predictor()
{
    StationAntennas antennas;
    antennas.set(Band::m20, BandAntenna { AntennaPreset::yagi3, 15, 0 });
    antennas.set(Band::m40, BandAntenna { AntennaPreset::vertical, 0, 0 });
    return PropagationPredictor(StationSetup(100, antennas, PredictionMode::ssb, NoiseEnvironment::residential));
}

void BM_DayChart(benchmark::State& state)
{
    const MUFField field(BenchReadings::sixty(), 110.0, now);
    const PropagationPredictor p = predictor();
    const GeoCoordinate tokyo { 35.7, 139.7 };
    for (auto _ : state) {
        const DayChart chart = p.dayChart(home, tokyo, field, now, 3);
        benchmark::DoNotOptimize(chart.constData());
    }
    state.SetLabel("24 hours x 10 bands, London to Tokyo, 60 stations");
}
BENCHMARK(BM_DayChart)->Unit(benchmark::kMicrosecond);

void BM_CoverageOneBand(benchmark::State& state)
{
    const MUFField field(BenchReadings::sixty(), 110.0, now);
    const PropagationPredictor p = predictor();
    const GeoCoordinate subsolar = SolarCalculator::position(now).subsolarPoint;
    // The layer reads the MUF from the slot's one-degree grid, which the map
    // has already built for its MUF layer.
    const MUFGrid grid(field);
    const auto mufAt = [&grid](const GeoCoordinate& point) { return grid.interpolated(point); };
    const double mhz = *PropagationPredictor::mhz(Band::m20);
    for (auto _ : state) {
        double sum = 0;
        for (int row = 0; row < 90; ++row) {
            for (int column = 0; column < 180; ++column) {
                const GeoCoordinate cell { 89.0 - 2 * row, -179.0 + 2 * column };
                const auto g = PropagationPredictor::geometry(home, cell, false);
                const auto c
                    = PropagationPredictor::conditions(g, home, cell, mufAt, subsolar, field.sunspotNumber(), 3, false);
                sum += p.reliability(mhz, g, c);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetLabel("16200 cells, 20 m, 60 stations");
}
BENCHMARK(BM_CoverageOneBand)->Unit(benchmark::kMillisecond);

// The layer's own image: 16,200 cells over the slot's grid, coloured. The
// station moves by a hair each time, so every image is made anew; the MUF
// grid of the slot is already there, as the MUF layer left it.
void BM_CoverageImage(benchmark::State& state)
{
    const QList<IonosondeReading> readings = BenchReadings::sixty();
    const PropagationPredictor p = predictor();
    MUFModel::grid(readings, 110.0, now);
    double shift = 0;
    for (auto _ : state) {
        shift += 1e-9;
        const auto image = CoverageLayer::image({ home.latitude + shift, home.longitude }, Band::m20, readings, 110.0,
                                                now, 3.0, p.setup);
        benchmark::DoNotOptimize(image->constBits());
    }
    state.SetLabel("16200 cells, 20 m, 60 stations, on the pool");
}
BENCHMARK(BM_CoverageImage)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
