#include "geo/MapData.h"

#include <benchmark/benchmark.h>

namespace {

// The synthetic cell label under the pointer, over the shipped labels.
void BM_PrefixCell(benchmark::State& state)
{
    const QList<PrefixEntity> labels = MapData::prefixes();
    if (labels.isEmpty()) {
        state.SkipWithError("no prefix labels next to the executable");
        return;
    }
    double lon = -179.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PrefixEntity::cell({ 47.3, lon }, labels));
        lon = lon > 179 ? -179.5 : lon + 3.7;
    }
    state.SetLabel(std::to_string(labels.size()) + " labels");
}
BENCHMARK(BM_PrefixCell)->Unit(benchmark::kMicrosecond);

// Decoding the largest file, done once per user at start-up.
void BM_DecodeCountries(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(MapData::countries());
}
BENCHMARK(BM_DecodeCountries)->Unit(benchmark::kMillisecond);

} // namespace
