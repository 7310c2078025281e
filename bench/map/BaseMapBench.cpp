#include "map/BaseMapLayer.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

BaseMapLayer layerFor(QSizeF size, const MapViewport& viewport)
{
    const MapStyle style = MapStyle::classic;
    return { MapProjection::forView(size, viewport, true),
             style,
             true,
             { MapStyles::border(style), 0.6 },
             { gridLabelFont("System", 9), QColor::fromRgbF(1, 1, 1, 0.55) } };
}

// A full render, as during a pan: every frame the viewport moves, so
// nothing drawn before can be reused.
void BM_FullRender(benchmark::State& state)
{
    const QSizeF size(double(state.range(0)), double(state.range(1)));
    QImage target(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&target);
    BaseMapLayer::paths(layerFor(size, MapViewport::world()).projection, 1.0); // built once per process
    BaseMapLayer::Picture picture; // one view's: every frame replaces it
    int frame = 0;
    for (auto _ : state) {
        // Whole world (wider than the view in the fill mode), panning east
        // and west a little each frame.
        const MapViewport viewport { 1.0, QPointF(0.45 + 0.001 * (frame++ % 100), 0.5) };
        layerFor(size, viewport).paint(painter, picture);
    }
    benchmark::DoNotOptimize(target.constBits());
}

// A zoomed-in full render (zoom 4 over Europe), as during a pinch.
void BM_FullRenderZoomed(benchmark::State& state)
{
    const QSizeF size(double(state.range(0)), double(state.range(1)));
    QImage target(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&target);
    BaseMapLayer::Picture picture;
    int frame = 0;
    for (auto _ : state) {
        const MapViewport viewport { 4.0 + 0.001 * (frame++ % 100), QPointF(0.53, 0.22) };
        layerFor(size, viewport).paint(painter, picture);
    }
    benchmark::DoNotOptimize(target.constBits());
}

// A repaint in which neither the viewport nor the size nor the style
// changed, as on the spot layer's 0.3 s beat.
void BM_UnchangedRepaint(benchmark::State& state)
{
    const QSizeF size(double(state.range(0)), double(state.range(1)));
    QImage target(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&target);
    const BaseMapLayer layer = layerFor(size, MapViewport::world());
    BaseMapLayer::Picture picture;
    layer.paint(painter, picture);
    for (auto _ : state)
        layer.paint(painter, picture);
    benchmark::DoNotOptimize(target.constBits());
}

} // namespace

BENCHMARK(BM_FullRender)->Args({ 1440, 900 })->Args({ 3840, 2160 })->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullRenderZoomed)->Args({ 1440, 900 })->Args({ 3840, 2160 })->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UnchangedRepaint)->Args({ 1440, 900 })->Args({ 3840, 2160 })->Unit(benchmark::kMillisecond)->UseRealTime();
