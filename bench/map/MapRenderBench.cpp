#include "geo/MapData.h"
#include "geo/SolarCalculator.h"
#include "map/BaseMapLayer.h"
#include "map/DXSpotLayer.h"
#include "map/MarkersLayer.h"
#include "map/PrefixLayer.h"
#include "map/ZoneLayer.h"

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

// The layers the map draws at its default settings with both zone layers
// on, for one viewport.
struct Frame {
    BaseMapLayer base;
    ZoneLayer itu;
    ZoneLayer cq;
    PrefixLayer prefixes;
    MarkersLayer markers;

    static Frame make(const MapViewport& viewport)
    {
        static const QList<PrefixEntity> labels = MapData::prefixes();
        const QSizeF size(1440, 900);
        const MapProjection projection = MapProjection::forView(size, viewport, true);
        QFont zoneFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        zoneFont.setPixelSize(16);
        zoneFont.setBold(true);
        QFont prefixFont = zoneFont;
        prefixFont.setPixelSize(10);
        const QColor halo = QColor::fromRgbF(0, 0, 0, 0.9f);
        const MapStyle style = MapStyle::dark;
        const QDateTime now = QDateTime(QDate(2026, 6, 21), QTime(12, 0), Qt::UTC);
        return {
            BaseMapLayer { projection, style, true, MapBorders { MapStyles::border(style), 0.6 },
                           GridLabels { gridLabelFont("System", 9), QColor::fromRgbF(1, 1, 1, 0.55f) } },
            ZoneLayer { projection, ZoneKind::itu, QColor(0x4F, 0xD1, 0xE8), 0.6, zoneFont, halo },
            ZoneLayer { projection, ZoneKind::cq, QColor(0xFF, 0x9F, 0x43), 0.6, zoneFont, halo },
            PrefixLayer { projection, labels, prefixFont, QColor(0xFF, 0xED, 0xB3), halo },
            MarkersLayer { projection, { 54.687, 25.28 }, "LY2ABC", SolarCalculator::position(now).subsolarPoint },
        };
    }

    // The pictures one view keeps between repaints.
    struct Pictures {
        BaseMapLayer::Picture base;
        ZoneLayer::Picture itu;
        ZoneLayer::Picture cq;
    };

    void paint(QImage& image, Pictures& pictures, bool withBase = true) const
    {
        QPainter painter(&image);
        if (withBase)
            base.paint(painter, pictures.base);
        itu.paint(painter, pictures.itu);
        cq.paint(painter, pictures.cq);
        prefixes.paint(painter);
        markers.paint(painter);
    }
};

QImage target()
{
    QImage image(1440, 900, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    return image;
}

// Two viewports a pixel apart in one view: every frame differs from the one
// before, so nothing is reused but what outlives a viewport (outlines,
// measured text).
void renderAlternating(benchmark::State& state, MapViewport first, MapViewport second, bool withBase = true)
{
    QImage image = target();
    const Frame frames[] = { Frame::make(first), Frame::make(second) };
    Frame::Pictures pictures;
    frames[0].paint(image, pictures); // outlines and label texts are made once per process
    int i = 0;
    for (auto _ : state) {
        frames[++i % 2].paint(image, pictures, withBase);
        benchmark::ClobberMemory();
    }
}

void BM_FullRenderWorld(benchmark::State& state)
{
    renderAlternating(state, MapViewport::world(), MapViewport { 1.001, { 0.5, 0.5 } });
}

// The layers above the base map alone: zones, prefixes and markers.
void BM_FullRenderOverlaysWorld(benchmark::State& state)
{
    renderAlternating(state, MapViewport::world(), MapViewport { 1.001, { 0.5, 0.5 } }, false);
}

void BM_FullRenderPacificZoomed(benchmark::State& state)
{
    renderAlternating(state, MapViewport { 3, { 0.85, 0.45 } }, MapViewport { 3, { 0.8501, 0.45 } });
}

// A change of map style: besides the layers, every label set is rendered
// anew for the other halo colour.
void BM_FullRenderStyleChange(benchmark::State& state)
{
    QImage image = target();
    Frame frame = Frame::make(MapViewport::world());
    Frame::Pictures pictures;
    int i = 0;
    for (auto _ : state) {
        // Flipping the halo and the style renders every label set anew.
        const bool light = ++i % 2;
        const QColor halo = light ? QColor::fromRgbF(1, 1, 1, 0.9f) : QColor::fromRgbF(0, 0, 0, 0.9f);
        frame.base.style = light ? MapStyle::atlas : MapStyle::dark;
        frame.itu.halo = frame.cq.halo = frame.prefixes.halo = halo;
        frame.paint(image, pictures);
        benchmark::ClobberMemory();
    }
}

// A repaint with viewport, size and settings unchanged (a blinking spot,
// the 30-second tick).
void BM_Repaint(benchmark::State& state)
{
    QImage image = target();
    const Frame frame = Frame::make(MapViewport::world());
    Frame::Pictures pictures;
    frame.paint(image, pictures);
    for (auto _ : state) {
        frame.paint(image, pictures);
        benchmark::ClobberMemory();
    }
}

} // namespace

// 300 spotted countries: one group at each of the first 300 labels, every
// tenth with a needed spot and every 25th with a watched one.
DXSpotLayer spotLayer(const MapProjection& projection, qint64 spots = 300)
{
    static const QList<PrefixEntity> labels = MapData::prefixes();
    QList<SpotGroup> groups;
    for (qsizetype i = 0; i < std::min(spots, labels.size()); ++i) {
        SpotGroup group { labels[i], {}, {}, {} };
        if (i % 10 == 0)
            group.neededIDs.insert(labels[i].prefix + "|20");
        if (i % 25 == 0)
            group.watchedIDs.insert(labels[i].prefix + "|20");
        groups.append(group);
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(10);
    font.setBold(true);
    return { projection, groups, font, QColor(0xFF, 0x4F, 0xD8), QColor(0xFF, 0xC4, 0x00), QColor(0x3C, 0xF0, 0xA0),
             QColor::fromRgbF(0, 0, 0, 0.9f) };
}

// The whole frame with 300 spotted countries, each frame a pixel apart and
// a beat later.
void BM_FullRenderWith300Spots(benchmark::State& state)
{
    QImage image = target();
    const Frame frames[] = { Frame::make(MapViewport::world()), Frame::make(MapViewport { 1.001, { 0.5, 0.5 } }) };
    const DXSpotLayer spots[] = { spotLayer(frames[0].base.projection), spotLayer(frames[1].base.projection) };
    Frame::Pictures pictures;
    frames[0].paint(image, pictures);
    QDateTime beat = QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);
    int i = 0;
    for (auto _ : state) {
        const int k = ++i % 2;
        frames[k].paint(image, pictures);
        QPainter painter(&image);
        spots[k].paint(painter, beat = beat.addMSecs(DXSpotLayer::beatMs));
        benchmark::ClobberMemory();
    }
}

// What the map does at each blink: everything unchanged but the beat.
void BM_SpotBlinkRepaint(benchmark::State& state)
{
    QImage image = target();
    const Frame frame = Frame::make(MapViewport::world());
    const DXSpotLayer spots = spotLayer(frame.base.projection);
    Frame::Pictures pictures;
    frame.paint(image, pictures);
    QDateTime beat = QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);
    for (auto _ : state) {
        frame.paint(image, pictures);
        QPainter painter(&image);
        spots.paint(painter, beat = beat.addMSecs(DXSpotLayer::beatMs));
        benchmark::ClobberMemory();
    }
}

// The spot layer alone, one beat after the other.
void BM_SpotLayer(benchmark::State& state)
{
    QImage image = target();
    const DXSpotLayer spots = spotLayer(Frame::make(MapViewport::world()).base.projection);
    QDateTime beat = QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);
    for (auto _ : state) {
        QPainter painter(&image);
        spots.paint(painter, beat = beat.addMSecs(DXSpotLayer::beatMs));
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_FullRenderWorld)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRenderOverlaysWorld)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRenderPacificZoomed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRenderStyleChange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRenderWith300Spots)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpotBlinkRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpotLayer)->Unit(benchmark::kMillisecond);
