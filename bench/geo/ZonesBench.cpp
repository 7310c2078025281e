#include "geo/Zones.h"

#include <benchmark/benchmark.h>

namespace {

// Places spread over the map; the pole falls into the last zones, so its
// lookup walks the whole list.
const GeoCoordinate places[]
    = { { 51.5, -0.1 },  { 40.7, -74 },     { 35.7, 139.7 }, { -33.87, 151.21 }, { 21.3, -157.8 },
        { 64.7, 177.5 }, { -13.8, -171.8 }, { 89.9, 10 },    { -60, -40 },       { 0, 0 } };

void BM_ZoneAt(benchmark::State& state)
{
    const ZoneKind kind = state.range(0) == 0 ? ZoneKind::cq : ZoneKind::itu;
    if (Zones::zones(kind).isEmpty()) {
        state.SkipWithError("no zone data next to the executable");
        return;
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Zones::zone(kind, places[i]));
        i = (i + 1) % std::size(places);
    }
    state.SetLabel(title(kind).toStdString());
}
BENCHMARK(BM_ZoneAt)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ZoneAtPole(benchmark::State& state)
{
    const ZoneKind kind = state.range(0) == 0 ? ZoneKind::cq : ZoneKind::itu;
    for (auto _ : state)
        benchmark::DoNotOptimize(Zones::zone(kind, { 89.9, 10 }));
    state.SetLabel(title(kind).toStdString());
}
BENCHMARK(BM_ZoneAtPole)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
