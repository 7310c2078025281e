#include "cluster/DXCCProgress.h"
#include "cluster/SpotBook.h"
#include "cluster/SpotGroup.h"
#include "cluster/SpotLocator.h"
#include "geo/MapData.h"

#include <QFile>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

const QDateTime start(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);

CtyDatabase realCountries()
{
    QFile file("/usr/share/hamradio-files/cty.dat");
    return CtyDatabase(file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString());
}

// What the map places on every redraw: a book of 2,000 spots of some 700
// calls from every country of the real country file, on all bands and
// modes, with a logbook of half the countries and a few watched calls.
struct Scene {
    CtyDatabase countries = realCountries();
    SpotBook book;
    DXCCProgress progress;
    SpotDisplayOptions options = SpotDisplayOptions::fromTexts("all", "160,80,60,40,30,20,17,15,12,10,6", "all",
                                                               "bandCountry", false, "K1ABC DL*/P 3Y0?");

    Scene()
    {
        QList<StringKey> prefixes = countries.prefixes().keys();
        std::ranges::sort(prefixes);
        const double bands[] = { 1825, 3525, 7025, 10120, 14025, 14074, 18080, 21025, 24900, 28025, 50100, 144300 };
        book.setCapacity(2000);
        QList<LogbookQSO> log;
        for (int i = 0; book.spots().size() < 2000; ++i) {
            const QString call = prefixes[(i * 37) % prefixes.size()] + QString::number(i % 10) + "XY";
            const double kHz = bands[(i / 7) % std::size(bands)] + (i % 5) * 0.2;
            book.add(DXSpot(kHz, call, "W3LPL", i % 3 ? "cw" : "", start.addSecs(-(i % 1200))));
            if (i % 2)
                log.append({ call, bandForKHz(kHz), i % 4 == 1 });
        }
        progress = DXCCProgress(log, countries);
    }
};

// A redraw: every call and country has been seen before.
void BM_ActiveSpots(benchmark::State& state)
{
    Scene scene;
    if (!scene.countries.isFullCountryFile()) {
        state.SkipWithError("no country file installed");
        return;
    }
    SpotLocator locator(SpotPlacer(MapData::prefixes()), scene.countries);
    qsizetype groups = SpotGroups::active(scene.book.spots(), scene.options, &scene.progress, locator).size();
    for (auto _ : state) {
        const auto result = SpotGroups::active(scene.book.spots(), scene.options, &scene.progress, locator);
        benchmark::DoNotOptimize(result);
    }
    state.counters["spots"] = double(scene.book.spots().size());
    state.counters["groups"] = double(groups);
}

// The first redraw after the country file changed: every call is looked up
// and every country placed anew.
void BM_ActiveSpotsAfterNewCountryFile(benchmark::State& state)
{
    Scene scene;
    const SpotPlacer placer(MapData::prefixes());
    for (auto _ : state) {
        state.PauseTiming();
        SpotLocator locator(placer, scene.countries);
        state.ResumeTiming();
        const auto result = SpotGroups::active(scene.book.spots(), scene.options, &scene.progress, locator);
        benchmark::DoNotOptimize(result);
    }
}

} // namespace

BENCHMARK(BM_ActiveSpots)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ActiveSpotsAfterNewCountryFile)->Unit(benchmark::kMillisecond);
