#include "spaceweather/SWPCFeeds.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// A full OVATION answer as the service writes it: every whole-degree node,
// longitude 0...359 outermost, latitude -90...90, about 1 MB.
QByteArray fullOvationAnswer()
{
    QByteArray body = R"({"Observation Time": "2026-08-18T11:50:00Z", "Forecast Time": "2026-08-18T12:35:00Z", )"
                      R"("Data Format": "[Longitude, Latitude, Aurora]", "coordinates": [)";
    body.reserve(1100000);
    bool first = true;
    for (int lon = 0; lon < 360; ++lon) {
        for (int lat = -90; lat <= 90; ++lat) {
            const int oval = std::abs(std::abs(lat) - 67);
            const int value = oval < 8 ? (8 - oval) * 9 + lon % 7 : 0;
            if (!first)
                body += ", ";
            first = false;
            body += '[' + QByteArray::number(lon) + ", " + QByteArray::number(lat) + ", " + QByteArray::number(value)
                + ']';
        }
    }
    body += "]}";
    return body;
}

void BM_ParseOvationAurora(benchmark::State& state)
{
    const QByteArray body = fullOvationAnswer();
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
