// The P.533 engine's report is read on the main thread, and every request
// costs the runner its own work around the engine: the antenna and input
// files written, the process started and waited for, the report parsed and
// the work folder removed. Targets: a report of 20,000 rows parsed in under
// 10 ms; the runner's round trip with the stand-in engine (which does almost
// nothing) under 30 ms per request.

#include "prediction/ITUEngine.h"
#include "prediction/P533.h"
#include "support/FakeEngine.h"

#include <QEventLoop>
#include <QFile>

#include <benchmark/benchmark.h>

namespace {

QString report(int rows)
{
    QString text = "ITURHFProp report\n Path name : Corvanta\n\n"
                   " Column 1: Month\n Column 2: Hour\n Column 3: Freq - Frequency (MHz)\n"
                   " Column 4: Rx Lat - Receive latitude (deg)\n Column 5: Rx Lng - Receive longitude (deg)\n"
                   " Column 6: BCR - Basic circuit reliability (%)\n Column 7: SNR - Median signal-to-noise ratio\n"
                   "**************************************************\n"
                   "              Calculated Parameters\n"
                   "**************************************************\n"
                   "Month, Hour, Freq, Lat, Lng, BCR, SNR\n";
    for (int i = 0; i < rows; ++i)
        text += QString::asprintf("%02d, %02d, %7.3f, %8.3f, %9.3f, %7.2f, %6.1f\n", 6, 13, 14.15, 89.0 - 2 * (i / 180),
                                  -179.0 + 2 * (i % 180), double(i % 100), 12.5);
    text += "**************************************************\n"
            "            End Calculated Parameters\n"
            "**************************************************\n";
    return text;
}

void BM_ParseReport(benchmark::State& state)
{
    const QString text = report(20000);
    for (auto _ : state) {
        const auto rows = P533::parse(text);
        benchmark::DoNotOptimize(rows->constData());
        if (!rows || rows->size() != 20000)
            state.SkipWithError("wrong row count");
    }
    state.SetLabel("20,000 rows of seven columns, read by the report's column legend");
}
BENCHMARK(BM_ParseReport)->Unit(benchmark::kMillisecond);

void BM_RunnerRoundTrip(benchmark::State& state)
{
    const FakeEngine fake;
    if (!QFile::exists(fake.engineFolder() + "/ITURHFProp")) {
        state.SkipWithError("the stand-in engine fake_iturhfprop is not built");
        return;
    }
    ITUEngine engine({ fake.engineFolder(), fake.dataFolder(), fake.bundledDataFolder(), fake.workParent() });
    StationAntennas antennas;
    antennas.set(Band::m20, BandAntenna { AntennaPreset::yagi3, 15, 0 });
    const P533::Request request({ 51.5, -0.12 },
                                StationSetup(100, antennas, PredictionMode::ssb, NoiseEnvironment::residential), 3.0,
                                2026, 6, { 13 }, { 14.15 }, 100, 35.7, 35.7, 139.7, 139.7, 1, 1);
    for (auto _ : state) {
        QEventLoop loop;
        bool ok = false;
        engine.runAll({ request }, [&](const ITUEngine::Result& result) {
            ok = result.has_value();
            loop.quit();
        });
        loop.exec();
        if (!ok)
            state.SkipWithError("the run failed");
    }
    state.SetLabel("one request: tx.ant and in.txt written, engine started, report read, folder removed");
}
BENCHMARK(BM_RunnerRoundTrip)->Unit(benchmark::kMillisecond);

} // namespace
