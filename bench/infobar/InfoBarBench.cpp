#include "cluster/DXClusterClient.h"
#include "infobar/ClockCard.h"
#include "infobar/InfoBar.h"
#include "infobar/SunCard.h"
#include "infobar/WatchStrip.h"
#include "support/ClusterNodePeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTimeZone>
#include <benchmark/benchmark.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

// The benchmark's own settings, never the user's.
Settings& settings()
{
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    return Settings::standard();
}

// What the info bar does once a second: the three cards worked out for the
// next second and painted, in a bar of a 1440-point window.
void BM_ClockTick(benchmark::State& state)
{
    settings();
    QDateTime clock(QDate(2026, 12, 7), QTime(14, 5, 9), QTimeZone::utc());
    InfoBar bar(AppStores {}, InfoBar::Options { [&] { return clock; } });
    bar.resize(1416, 190);
    bar.show();
    QApplication::processEvents();
    // Painted into a picture of the row: the window system's own share of
    // putting it on screen is left out.
    QImage row(bar.cardRow()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        clock = clock.addSecs(1);
        bar.tick();
        row.fill(Qt::transparent);
        bar.cardRow()->render(&row);
    }
}
BENCHMARK(BM_ClockTick)->Unit(benchmark::kMicrosecond);

// A blink of the watch strip with twelve chips: their ages and the phase
// worked out, the strip painted.
void BM_WatchStripBlink(benchmark::State& state)
{
    Settings& settings = ::settings();
    settings.set(SettingKeys::clusterWatchCalls, "VP8*");
    QDateTime clock(QDate(2026, 12, 7), QTime(14, 5, 9), QTimeZone::utc());
    DXClusterClient::Timing timing;
    timing.now = [&] { return clock; };
    // Fed directly, without a node.
    DXClusterClient client(settings, timing, DXClusterClient::Services {});
    settings.set(SettingKeys::clusterEnabled, true);
    for (char c = 'A'; c <= 'P'; ++c)
        client.ingest(
            ClusterNodePeer::liveSpot("W3LPL", 14010 + c, QStringLiteral("VP8%1").arg(QChar(c)), "cw", clock.time()));
    QWidget window;
    auto* strip = new WatchStrip(&client, WatchStrip::Options { [&] { return clock; }, 500ms }, &window);
    strip->setGeometry(0, 0, 900, 36);
    window.resize(900, 36);
    window.show();
    QApplication::processEvents();
    if (strip->spots().size() != WatchStrip::maxChips)
        state.SkipWithError("the strip holds no chips");
    QImage picture(strip->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        clock = clock.addMSecs(500);
        strip->tick();
        picture.fill(Qt::transparent);
        strip->render(&picture);
    }
}
BENCHMARK(BM_WatchStripBlink)->Unit(benchmark::kMicrosecond);

} // namespace
