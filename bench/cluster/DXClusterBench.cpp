#include "cluster/DXClusterClient.h"
#include "cluster/DXSpotParser.h"
#include "cluster/LineSplitter.h"
#include "cluster/SpotBook.h"
#include "cluster/TelnetFilter.h"
#include "geo/MapData.h"
#include "support/ClusterNodePeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

const QDateTime start(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);

// The map's labels for placing spots; no files, downloads, notifications
// or sounds.
DXClusterClient::Services benchServices()
{
    static const QList<PrefixEntity> labels = MapData::prefixes();
    DXClusterClient::Services services;
    services.labels = labels;
    return services;
}

// 100,000 lines as busy nodes deliver them: DXSpider, AR-Cluster and CC
// Cluster announcements from people and skimmers, "sh/dx" answers, and some
// lines that are no spots. About 4,000 stations, each spotted again and
// again on a few bands, so the book fills up and reports replace each other.
QStringList clusterLines()
{
    const double bases[] = { 1822, 3525,  7012,  10115, 14021, 18075, 21030, 24895, 28025,   50095,
                             7074, 14074, 21074, 28074, 3573,  14250, 7150,  21300, 10368100 };
    const char* const comments[] = {
        "CW 24 dB 25 WPM CQ",
        "FT8 -12 dB 1243 Hz",
        "up 5",
        "tnx qso 73 de",
        "RTTY 15 dB 45 BPS CQ",
        "",
        "LSB pileup",
        "FT4 -05 dB 987 Hz",
        "gr\xc3\xbc\xc3\x9f"
        "e",
        "CQ WW DX",
    };
    const char* const spotters[] = { "W3LPL-#", "EA5WU-#", "K1TTT", "DL1ABC", "VE7CC-1", "JA1XYZ", "G4XYZ-@" };
    QStringList lines;
    lines.reserve(100000);
    for (int i = 0; lines.size() < 100000; ++i) {
        const int station = (i * 7919) % 4000;
        const QString call = (station % 11 == 0 ? QString("EA8/DL%1AB/P") : QString("K%1XY")).arg(station);
        const double kHz = bases[(station + i / 4000) % std::size(bases)] + (i % 37) * 0.1;
        const QString freq = QString::number(kHz, 'f', 1);
        const QString comment = QString::fromUtf8(comments[i % std::size(comments)]);
        const QString spotter = QString::fromLatin1(spotters[i % std::size(spotters)]);
        const QString hhmm
            = QString("%1%2").arg((i / 3600) % 24, 2, 10, QChar('0')).arg((i / 60) % 60, 2, 10, QChar('0'));
        switch (i % 20) {
        case 0:
        case 1:
            lines << QString("%1  %2  7-Dec-2026 %3Z  %4  <%5>")
                         .arg(freq.rightJustified(10), call.leftJustified(12), hhmm, comment.leftJustified(30),
                              spotter);
            break;
        case 2:
            lines << QString("WWV de VE7CC <%1>:   SFI=150, A=5, K=1, No Storms -> No Storms").arg(i % 24);
            break;
        case 3:
            lines << QString("DX de %1:%2  %3 %4 %5Z").arg(spotter, freq, call, comment, hhmm);
            break;
        default:
            lines << QString("DX de %1:").arg(spotter).leftJustified(16) + freq.rightJustified(9) + "  "
                    + call.leftJustified(13) + comment.leftJustified(31) + hhmm + "Z JO62";
            break;
        }
    }
    return lines;
}

void BM_ParseAndBookSpots(benchmark::State& state)
{
    const QStringList lines = clusterLines();
    qsizetype kept = 0;
    for (auto _ : state) {
        SpotBook book;
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (std::optional<DXSpot> spot = DXSpotParser::spot(lines[i], start.addMSecs(50 * i)))
                book.add(std::move(*spot));
        kept = book.spots().size();
        benchmark::DoNotOptimize(book);
    }
    state.counters["kept"] = double(kept);
    state.SetItemsProcessed(state.iterations() * lines.size());
}
BENCHMARK(BM_ParseAndBookSpots)->Unit(benchmark::kMillisecond);

void BM_ParseOnly(benchmark::State& state)
{
    const QStringList lines = clusterLines();
    for (auto _ : state) {
        qsizetype spots = 0;
        for (qsizetype i = 0; i < lines.size(); ++i)
            spots += DXSpotParser::spot(lines[i], start).has_value();
        benchmark::DoNotOptimize(spots);
    }
    state.SetItemsProcessed(state.iterations() * lines.size());
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

// A node that trickles one byte at a time: an unclosed sub-negotiation up to
// the cap, then a line that never ends up to the cap. Each byte must cost
// about the same, however much is held back.
void BM_TrickleOneByteChunks(benchmark::State& state)
{
    for (auto _ : state) {
        TelnetFilter telnet;
        telnet.filter("\xff\xfa\x18");
        for (qsizetype i = 0; i < TelnetFilter::maxPending; ++i)
            telnet.filter("x");
        LineSplitter splitter;
        qsizetype lines = 0;
        for (qsizetype i = 0; i < LineSplitter::maxUnfinished + 10; ++i)
            lines += splitter.append("y").size();
        benchmark::DoNotOptimize(lines);
    }
    state.SetItemsProcessed(state.iterations() * (TelnetFilter::maxPending + LineSplitter::maxUnfinished));
}
BENCHMARK(BM_TrickleOneByteChunks)->Unit(benchmark::kMillisecond);

// The same lines as a node sends them: CR LF after each, BELs after most,
// and now and then a telnet command in the stream.
QByteArray nodeBytes()
{
    QByteArray bytes;
    const QStringList lines = clusterLines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        bytes += lines[i].toUtf8();
        bytes += i % 3 == 0 ? "\r\n" : "\a\a\r\n";
        if (i % 500 == 0)
            bytes += QByteArrayLiteral("\xff\xf1\xff\xfa\x1f\x00\x50\x00\x18\xff\xf0"); // NOP, window size
    }
    return bytes;
}

// Settings and support files of the benchmark's own, never the user's.
struct ScratchFolders {
    QTemporaryDir dir;
    ScratchFolders()
    {
        setenv("XDG_DATA_HOME", qPrintable(dir.filePath("data")), 1);
        setenv("XDG_CONFIG_HOME", qPrintable(dir.filePath("config")), 1);
    }
    QString settingsFile() const { return dir.filePath("Corvanta.ini"); }
};

// 100,000 lines of raw node bytes, in reads of the client's largest chunk,
// through the client's own ingest: telnet filter, line splitter, node log,
// login check, parser, spot window and book.
void BM_ClientIngest(benchmark::State& state)
{
    const QStringList lines = clusterLines();
    const QByteArray bytes = nodeBytes();
    ScratchFolders folders;
    Settings settings(folders.settingsFile());
    DXClusterClient::Timing timing;
    timing.now = [] { return start; };
    qsizetype kept = 0;
    QString lastLine;
    for (auto _ : state) {
        DXClusterClient client(settings, timing, benchServices());
        for (qsizetype at = 0; at < bytes.size(); at += DXClusterClient::maxChunk)
            client.ingest(QByteArrayView(bytes).sliced(at, std::min(DXClusterClient::maxChunk, bytes.size() - at)));
        kept = client.book().spots().size();
        lastLine = client.recentLines().last();
    }
    if (lastLine != lines.last().trimmed())
        state.SkipWithError("lines went missing");
    state.counters["kept"] = double(kept);
    state.SetItemsProcessed(state.iterations() * lines.size());
}
BENCHMARK(BM_ClientIngest)->Unit(benchmark::kMillisecond);

// A node that sends 5,000 spots at once to a logged-in client. The main
// thread must stay responsive: a zero-interval timer notes the longest time
// between two turns of its event loop while the burst is handled. The node
// runs on a thread of its own.
void BM_SpotBurstLongestSlice(benchmark::State& state)
{
    ScratchFolders folders;
    Settings settings(folders.settingsFile());
    ClusterNodePeer node;
    if (!node.listen(true)) {
        state.SkipWithError("no port for the test node");
        return;
    }
    settings.set(SettingKeys::clusterEnabled, true);
    settings.set(SettingKeys::clusterNode, "custom");
    settings.set(SettingKeys::clusterCustomAddress, node.address());
    settings.set(SettingKeys::callsign, "DL1ABC");
    DXClusterClient::Timing timing;
    timing.now = [] { return start; };
    DXClusterClient client(settings, timing, benchServices());
    if (!waitUntil([&] { return node.receivedLines(0).size() == 1; })) {
        state.SkipWithError("the client did not log in");
        return;
    }

    QByteArray burst;
    for (int i = 0; i < 5000; ++i)
        burst += ClusterNodePeer::liveSpot("W3LPL-#", 14000.0 + (i % 350) * 0.1, QString("K%1AB").arg(i), "CW 24 dB",
                                           start.time());
    double longestMs = 0;
    int burstNumber = 0;
    for (auto _ : state) {
        const QString end = QString("end of burst %1").arg(++burstNumber);
        QElapsedTimer clock;
        clock.start();
        qint64 lastTurn = clock.nsecsElapsed();
        qint64 longest = 0;
        QTimer turn;
        turn.setInterval(0);
        QObject::connect(&turn, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - lastTurn);
            lastTurn = now;
        });
        turn.start();
        node.send(burst + end.toUtf8() + "\r\n");
        if (!waitUntil([&] { return !client.recentLines().isEmpty() && client.recentLines().last() == end; }, 10000)) {
            state.SkipWithError("the burst did not arrive");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        longestMs = std::max(longestMs, double(longest) / 1e6);
    }
    state.counters["longest_slice_ms"] = longestMs;
    state.SetItemsProcessed(state.iterations() * 5000);
}
BENCHMARK(BM_SpotBurstLongestSlice)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace
