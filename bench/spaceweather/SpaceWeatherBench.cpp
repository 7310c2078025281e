#include "spaceweather/SWPCFeeds.h"
#include "support/SpaceWeatherFeeds.h"

#include <benchmark/benchmark.h>


namespace {

void BM_ParseOvationAurora(benchmark::State& state)
{
    // A full OVATION answer as the service writes it: every whole-degree
    // node, about 1 MB.
    const QByteArray body = SpaceWeatherFeeds::ovationAurora();
    for (auto _ : state) {
        auto grid = SWPCParser::aurora(body);
        if (!grid || grid->maxValue() == 0)
            state.SkipWithError("aurora answer not read");
        benchmark::DoNotOptimize(grid);
    }
    state.SetBytesProcessed(state.iterations() * body.size());
    state.counters["bytes"] = double(body.size());
}

// One table of 75,000 columns named in descending order, two rows, read by
// the Kp reader: a hostile answer must cost its size, not its size squared.
void BM_WideHostileTable(benchmark::State& state)
{
    QByteArray body = "[[";
    for (int c = 75000; c > 0; --c)
        body += (c == 75000 ? "\"k" : ",\"k") + QByteArray::number(c) + '"';
    body += "]";
    for (int r = 0; r < 2; ++r) {
        body += ",[";
        for (int c = 75000; c > 0; --c)
            body += (c == 75000 ? "" : ",") + QByteArray::number(c % 9);
        body += "]";
    }
    body += "]";
    for (auto _ : state)
        benchmark::DoNotOptimize(SWPCParser::kpHistory(body));
    state.counters["bytes"] = double(body.size());
}

} // namespace

BENCHMARK(BM_ParseOvationAurora)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WideHostileTable)->Unit(benchmark::kMillisecond);
