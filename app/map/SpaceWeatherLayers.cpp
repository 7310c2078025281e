#include "map/SpaceWeatherLayers.h"

#include "map/AuroraLayer.h"
#include "map/BaseMapLayer.h"
#include "map/MUFContourLayer.h"
#include "map/MUFFieldLayer.h"
#include "map/MapOptions.h"
#include "map/PainterPixelRatio.h"
#include "map/PieceWork.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/CacheKey.h"
#include "support/PoolJob.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

const SpaceWeatherSnapshot& emptySnapshot()
{
    static const SpaceWeatherSnapshot empty;
    return empty;
}

} // namespace

SpaceWeatherLayers::SpaceWeatherLayers(SpaceWeatherStore* store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    if (m_store)
        connect(m_store, &SpaceWeatherStore::snapshotChanged, this, &SpaceWeatherLayers::snapshotChanged);
}

SpaceWeatherLayers::~SpaceWeatherLayers() = default;

const SpaceWeatherSnapshot& SpaceWeatherLayers::snapshot() const
{
    return m_store ? m_store->snapshot() : emptySnapshot();
}

void SpaceWeatherLayers::snapshotChanged() { ++m_generation; }

const MUFPalette& SpaceWeatherLayers::palette(const QString& text)
{
    if (m_palette.colors.isEmpty() || text != m_paletteText) {
        m_paletteText = text;
        m_palette = MUFPalette::fromHex(text);
    }
    return m_palette;
}

void SpaceWeatherLayers::prepare(const MapOptions& options, const QDateTime& date)
{
    // An opacity that is no number counts as 1, and an ask must equal itself.
    const auto opacity = [](double value) { return std::isfinite(value) ? value : 1.0; };
    Ask ask;
    if (options.showAurora && snapshot().aurora)
        ask.aurora = AuroraAsk { m_generation, opacity(options.auroraOpacity) };
    if (options.showMUF)
        ask.muf = MUFAsk { m_generation,      MUFModel::slot(date),           date,
                           options.mufBanded, palette(options.mufColors).hex, opacity(options.mufOpacity) };

    // A layer switched off lets go of everything it showed.
    if (!ask.aurora)
        m_aurora = {};
    if (!ask.muf) {
        m_muf = {};
        m_dots.clear();
        m_thinned.clear();
        m_thinnedKey = 0;
    }
    m_asked = ask;
    if (!m_running && stale())
        startBuild();
}

bool SpaceWeatherLayers::stale() const
{
    return (m_asked.aurora && m_asked.aurora != m_aurora.ask) || (m_asked.muf && m_asked.muf != m_muf.ask);
}

void SpaceWeatherLayers::startBuild()
{
    // Everything the build reads is copied now; the pool never touches
    // this object or the store.
    const SpaceWeatherSnapshot& now = snapshot();
    std::optional<AuroraAsk> aurora = m_asked.aurora != m_aurora.ask ? m_asked.aurora : std::nullopt;
    std::optional<MUFAsk> muf = m_asked.muf != m_muf.ask ? m_asked.muf : std::nullopt;
    std::optional<AuroraGrid> grid = aurora ? now.aurora : std::nullopt;
    const QList<IonosondeReading> readings = now.ionosondes;
    const std::optional<double> ssn = now.sunspotNumber;
    const MUFPalette colours = m_palette;

    m_running = true;
    PoolJob::run(
        this,
        [aurora, muf, grid = std::move(grid), readings, ssn, colours] {
            Built built;
            if (aurora) {
                AuroraBuilt a { aurora, 0, {}, {} };
                if (grid) {
                    a.key = AuroraLayer::cacheKey(*grid, aurora->setting);
                    a.image = AuroraLayer::cachedImage(a.key, *grid, aurora->setting);
                    a.rows = AuroraLayer::visibleRows(a.image);
                }
                built.aurora = std::move(a);
            }
            if (muf) {
                MUFBuilt m;
                m.ask = muf;
                m.key = MUFModel::key(readings, ssn, muf->date);
                const MUFGrid mufGrid = MUFModel::grid(readings, ssn, muf->date);
                m.contours = MUFModel::contours(readings, ssn, muf->date);
                m.imageKey = MUFFieldLayer::imageKey(m.key, muf->banded, colours, muf->opacity);
                m.image = MUFFieldLayer::cachedImage(m.imageKey, mufGrid, muf->banded, colours, muf->opacity);
                built.muf = std::move(m);
            }
            return built;
        },
        [this](Built built) { take(std::move(built)); });
}

void SpaceWeatherLayers::take(Built built)
{
    m_running = false;
    // What was switched off while the build ran stays off.
    if (built.aurora && m_asked.aurora)
        m_aurora = std::move(*built.aurora);
    if (built.muf && m_asked.muf)
        m_muf = std::move(*built.muf);
    if (stale())
        startBuild();
    Q_EMIT picturesChanged();
}

SpaceWeatherLayers::Draw SpaceWeatherLayers::aurora(const MapProjection& projection, const MapOptions& options) const
{
    if (!options.showAurora || m_aurora.image.isNull() || m_aurora.rows.isEmpty())
        return {};
    // Where the image's visible rows land in the view, with two rows and
    // two points to spare for the smoothing filter: a band of the frame
    // that meets none of them would only be handed clear pixels.
    const QRectF world = projection.worldRect();
    const double rowHeight = world.height() / m_aurora.image.height();
    QList<std::pair<double, double>> spans;
    for (const auto& [first, last] : m_aurora.rows)
        spans.append({ world.top() + (first - 2) * rowHeight - 2, world.top() + (last + 2) * rowHeight + 2 });
    return [layer = AuroraLayer { projection, m_aurora.image }, spans](QPainter& band) {
        if (band.hasClipping()) {
            const QRectF drawn = band.clipBoundingRect();
            if (std::none_of(spans.begin(), spans.end(), [&](const std::pair<double, double>& span) {
                    return span.first <= drawn.bottom() && span.second >= drawn.top();
                }))
                return;
        }
        layer.draw(band);
    };
}

SpaceWeatherLayers::Draw SpaceWeatherLayers::muf(const MapProjection& projection, const MapOptions& options,
                                                 const MapBorders& borders, const QColor& halo, double ratio,
                                                 std::shared_ptr<PieceWork>* ahead)
{
    if (!options.showMUF || m_muf.image.isNull())
        return {};
    const MUFPalette& colours = palette(options.mufColors);
    const MUFFieldLayer field { projection, m_muf.image };
    const std::optional<BorderOverlayLayer> overBorders
        = options.bordersOverMUF ? std::optional(BorderOverlayLayer { projection, borders }) : std::nullopt;
    std::optional<MUFContourLayer> lines;
    if (options.mufContours) {
        // Thinned to a quarter of a device pixel, for scales in steps of
        // about 9 %, so that a small change of zoom reuses the lines.
        const double pixelsPerDegree = projection.worldWidth() * ratio / 360;
        const double step = std::round(std::log2(std::max(pixelsPerDegree, 1e-3)) * 8);
        const std::uint64_t thinnedKey = CacheKey().add(m_muf.key).add(step).value();
        if (thinnedKey != m_thinnedKey || m_thinned.size() != m_muf.contours.size()) {
            m_thinned = MUFContourLayer::simplified(m_muf.contours, 0.25 / std::exp2(step / 8));
            m_thinnedKey = thinnedKey;
        }
        lines = MUFContourLayer { projection, m_thinned, halo, colours };
    }
    const BaseMapPaths* outlines = &BaseMapLayer::paths(projection, ratio);
    // The contour lines in the view's pixels, made once for all bands; their
    // pictures may be made ahead, while the bands draw the layers below.
    const auto runs = lines ? std::make_shared<const std::vector<PixelPolylines>>(lines->pixelRuns(ratio)) : nullptr;
    const QRect area = projection.worldRect().toAlignedRect() & QRect(QPoint(0, 0), projection.size.toSize());
    std::shared_ptr<PieceWork> pictures;
    if (lines) {
        const QRect areaPixels = QRect(area.topLeft() * ratio, area.size() * ratio)
            & QRect(QPoint(0, 0), lines->viewPixels(ratio));
        pictures = std::make_shared<PieceWork>(
            [lines = *lines, runs, ratio](const QRect& part) { return lines.linePictures(*runs, part, ratio); },
            [runs, ratio](const QRect& part) { return MUFContourLayer::lineWeight(*runs, part, ratio); },
            [areaPixels](const QRect& piece) { return piece & areaPixels; });
        if (ahead)
            *ahead = pictures;
    }

    // The shading, the borders and the lines are laid over one another in
    // a clear picture of the part being drawn, which then goes over the map
    // as one.
    return [field, overBorders, lines, runs, pictures, outlines, area](QPainter& band) {
        const double ratio = devicePixelRatioOf(band);
        QRectF drawn(area);
        if (band.hasClipping())
            drawn &= band.clipBoundingRect();
        const QRect pixels = QRectF(drawn.topLeft() * ratio, drawn.size() * ratio).toAlignedRect()
            & QRect(area.topLeft() * ratio, area.size() * ratio);
        if (pixels.isEmpty())
            return;
        QImage picture(pixels.size(), QImage::Format_ARGB32_Premultiplied);
        if (picture.isNull())
            return;
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        const QPointF at = QPointF(pixels.topLeft()) / ratio;
        {
            QPainter group(&picture);
            group.setRenderHints(band.renderHints());
            group.translate(-at);
            group.setClipRect(QRectF(at, QSizeF(pixels.size()) / ratio));
            field.draw(group);
            if (overBorders)
                overBorders->draw(group, *outlines);
            if (lines)
                lines->draw(group, *runs, pictures.get());
        }
        band.drawImage(at, picture);
    };
}

SpaceWeatherLayers::Draw SpaceWeatherLayers::ionosondes(const MapProjection& projection, const MapOptions& options,
                                                        const QColor& halo, double ratio)
{
    if (!options.showMUF || snapshot().ionosondes.isEmpty())
        return {};
    const MUFLayer layer { projection, snapshot().ionosondes, halo, palette(options.mufColors) };
    const QList<QImage> images = m_dots.images(layer, MUFLayer::dotRadius(projection.size.width()), ratio);
    return [layer, images](QPainter& band) { layer.draw(band, images); };
}
