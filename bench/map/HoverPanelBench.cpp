// The hover panel: what one pointer event costs the main thread. Computing
// the panel for a place whose day chart is not cached yet (the information
// lines, the MUF at the place and along the path, the coverage line and
// the quick model's 24-hour chart) and for a place already visited; and a
// pointer sweeping over a whole map view with every layer on at 60 events
// a second, each event followed by the repaint it causes. Targets: a new
// place under 2 ms; an event with its repaint within a 16 ms frame.

#include "map/HoverPanel.h"
#include "map/MapOptions.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "spaceweather/MUFModel.h"
#include "spaceweather/SpaceWeather.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/BenchReadings.h"
#include "support/HttpPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimeZone>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

const QDateTime now(QDate(2026, 3, 20), QTime(14, 5), QTimeZone::utc());

// Space weather as the map has it after a refresh: 60 stations, an aurora
// grid, sunspots and Kp.
SpaceWeatherSnapshot snapshot()
{
    SpaceWeatherSnapshot s;
    s.ionosondes = BenchReadings::sixty();
    s.sunspotNumber = 110;
    s.kpNow = 3;
    AuroraGrid grid;
    grid.values.assign(360 * 181, 5);
    s.aurora = grid;
    return s;
}

MapOptions options()
{
    MapOptions o;
    o.home = { 54.687, 25.28 };
    o.coverageBand = 20; // the coverage line too
    return o;
}

PrefixEntity japan()
{
    for (const PrefixEntity& entity : WorldMapView::prefixes())
        if (entity.prefix == QLatin1String("JA"))
            return entity;
    return { "JA", "Japan", 36, 138, "AS" };
}

void BM_HoverNewPlace(benchmark::State& state)
{
    const SpaceWeatherSnapshot s = snapshot();
    const MapOptions o = options();
    const QList<SpotGroup> groups;
    const PrefixEntity place = japan();
    // The slot's field and grid are built by the MUF layers, once per slot.
    MUFModel::grid(s.ionosondes, s.sunspotNumber, now);
    for (auto _ : state) {
        PredictionCache cache;
        const HoverPanel::Content content = HoverPanel::content(place, { o, s, groups, now, true, nullptr }, cache);
        const QList<HoverLine> lines = content.info.lines(now);
        benchmark::DoNotOptimize(lines.constData());
    }
    state.SetLabel("information, coverage line and a new day chart, 60 stations");
}
BENCHMARK(BM_HoverNewPlace)->Unit(benchmark::kMicrosecond);

void BM_HoverVisitedPlace(benchmark::State& state)
{
    const SpaceWeatherSnapshot s = snapshot();
    const MapOptions o = options();
    const QList<SpotGroup> groups;
    const PrefixEntity place = japan();
    MUFModel::grid(s.ionosondes, s.sunspotNumber, now);
    PredictionCache cache;
    for (auto _ : state) {
        const HoverPanel::Content content = HoverPanel::content(place, { o, s, groups, now, true, nullptr }, cache);
        const QList<HoverLine> lines = content.info.lines(now);
        benchmark::DoNotOptimize(lines.constData());
    }
    state.SetLabel("information and coverage line, chart cached");
}
BENCHMARK(BM_HoverVisitedPlace)->Unit(benchmark::kMicrosecond);

// Counts the paints of a widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// A shown 1440 × 900 map with every layer on over a store refreshed from a
// local peer; the pointer moves along a line across Europe and Asia, where
// the labels are dense, so the place under it keeps changing.
void BM_PointerSweep(benchmark::State& state)
{
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    Settings& settings = Settings::standard();
    for (const BoolKey& key : { SettingKeys::showAurora, SettingKeys::showGreyline, SettingKeys::showMUF,
                                SettingKeys::showPrefixes, SettingKeys::showGrid, SettingKeys::showCQZones,
                                SettingKeys::showITUZones, SettingKeys::mufContours, SettingKeys::bordersOverMUF })
        settings.set(key, true);
    settings.set(SettingKeys::predictionEngine, "quick");
    settings.set(SettingKeys::coverageBand, 20);

    HttpPeer peer;
    peer.listen();
    qputenv("CORVANTA_FEEDS_BASE", peer.base().toLatin1());
    SpaceWeatherFeeds::serveAll(peer);
    SpaceWeatherStore::Options storeOptions;
    storeOptions.startLoop = false;
    SpaceWeatherStore store(storeOptions);
    store.refresh();
    waitUntil([&] { return !store.isLoading(); }, 20000);

    MapViewportModel viewport;
    WorldMapView view(AppStores { &store, &viewport, nullptr, nullptr, nullptr });
    view.resize(1440, 900);
    view.show();
    PaintCounter counter;
    view.installEventFilter(&counter);
    // Let the space weather pictures finish first.
    waitUntil([] { return false; }, 1500);

    // Europe lies at x 720 … 870, y 150 … 250 on this map: the pointer
    // wanders there, a few points per event.
    const int steps = 600;
    int i = 0;
    int events = 0;
    double slowest = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const double t = double(i++ % steps) / steps;
        const QPointF p(700 + 200 * t, 200 + 60 * std::sin(6.28 * 3 * t));
        QMouseEvent move(QEvent::MouseMove, p, view.mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &move);
        // The repaint the event asked for, if any.
        QApplication::sendPostedEvents();
        QApplication::processEvents();
        slowest = std::max(slowest, double(timer.nsecsElapsed()) / 1e6);
        ++events;
    }
    state.counters["paintsPerEvent"] = double(counter.paints) / std::max(1, events);
    state.counters["slowestEventMs"] = slowest;
    state.counters["charts"] = view.hoverPanel()->cache().computed();
    qputenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9");
}
BENCHMARK(BM_PointerSweep)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
