#include "cluster/CtyDat.h"

#include <QFile>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

const char* const countryFile = "/usr/share/hamradio-files/cty.dat";

QByteArray readCountryFile()
{
    QFile file(QString::fromLatin1(countryFile));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Reading the cached file as the client does at start: bytes from disk,
// Latin-1 text, parse.
void BM_LoadCtyDat(benchmark::State& state)
{
    if (readCountryFile().isEmpty()) {
        state.SkipWithError("no country file installed");
        return;
    }
    for (auto _ : state) {
        const CtyDatabase db(QString::fromLatin1(readCountryFile()));
        if (!db.isFullCountryFile())
            state.SkipWithError("country file not read");
        benchmark::DoNotOptimize(db);
    }
}

// 100,000 calls as a cluster delivers them: plain home calls of many
// countries, exact calls from the file, portable and maritime forms, and
// calls that resolve to nothing.
QStringList clusterCalls(const CtyDatabase& db)
{
    QList<StringKey> prefixes = db.prefixes().keys();
    QList<StringKey> exact = db.exactCalls().keys();
    std::ranges::sort(prefixes);
    std::ranges::sort(exact);
    const char* const suffixes[] = { "ABC", "XY", "ZZZ", "A", "QRM" };
    QStringList calls;
    calls.reserve(100000);
    for (qint64 i = 0; calls.size() < 100000; ++i) {
        const QString home
            = prefixes[(i * 7919) % prefixes.size()] + QString::number(i % 10) + QLatin1String(suffixes[i % 5]);
        switch (i % 10) {
        case 0:
            calls << exact[(i * 104729) % exact.size()];
            break;
        case 1:
            calls << home + QStringLiteral("/P");
            break;
        case 2:
            calls << QStringLiteral("EA8/") + home;
            break;
        case 3:
            calls << home + QStringLiteral("/MM");
            break;
        case 4:
            calls << QStringLiteral("Q") + QString::number(i) + QStringLiteral("X");
            break;
        case 5:
            calls << home.toLower();
            break;
        default:
            calls << home;
        }
    }
    return calls;
}

void BM_ResolveCalls(benchmark::State& state)
{
    const CtyDatabase db(QString::fromLatin1(readCountryFile()));
    if (!db.isFullCountryFile()) {
        state.SkipWithError("no country file installed");
        return;
    }
    const QStringList calls = clusterCalls(db);
    qint64 found = 0;
    for (auto _ : state) {
        for (const QString& call : calls)
            found += db.entity(call).has_value();
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations() * calls.size());
    state.counters["calls"] = double(calls.size());
}

} // namespace

BENCHMARK(BM_LoadCtyDat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolveCalls)->Unit(benchmark::kMillisecond);
