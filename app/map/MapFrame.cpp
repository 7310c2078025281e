#include "map/MapFrame.h"

#include "support/RowBands.h"

#include <QPaintEngine>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace {

QSize pixelsOf(const MapProjection& projection, double ratio)
{
    return QSize(int(std::ceil(projection.size.width() * ratio)), int(std::ceil(projection.size.height() * ratio)));
}

QRect toPixels(const QRectF& area, double ratio)
{
    return QRectF(area.topLeft() * ratio, area.size() * ratio).toAlignedRect();
}

qint64 pixelCount(const QRect& r) { return qint64(r.width()) * r.height(); }

// Fewer, larger areas: two that overlap or touch become their bounding
// rectangle where that adds little, since every area drawn costs the
// stack's fixed work once more.
QList<QRect> merged(QList<QRect> areas)
{
    areas.removeIf([](const QRect& r) { return r.isEmpty(); });
    for (bool again = true; again;) {
        again = false;
        for (qsizetype i = 0; i < areas.size() && !again; ++i)
            for (qsizetype j = i + 1; j < areas.size() && !again; ++j) {
                const QRect both = areas[i] | areas[j];
                const bool near = areas[i].adjusted(-1, -1, 1, 1).intersects(areas[j]);
                if (near && pixelCount(both) <= (pixelCount(areas[i]) + pixelCount(areas[j])) * 5 / 4) {
                    areas[i] = both;
                    areas.removeAt(j);
                    again = true;
                }
            }
    }
    return areas;
}

// Below this many pixels an area is drawn in one piece: cutting it into
// bands would cost more than it saves.
constexpr qint64 smallArea = 150000;

// How many parts' pictures of a kind may wait, made ahead, to be taken: a
// few bands' worth of memory at most.
constexpr int aheadPictures = 3;

} // namespace

bool MapFrame::canFollow(const Shows& shows) const
{
    return !m_image.isNull() && m_shows.ratio == shows.ratio && m_shows.generation == shows.generation
        && m_shows.projection.size == shows.projection.size && m_shows.projection.base == shows.projection.base;
}

bool MapFrame::render(const Shows& shows, const Layers& layers, Delivery* delivery)
{
    const QSize pixels = pixelsOf(shows.projection, shows.ratio);
    m_gestureStart = QImage();
    m_spare = QImage();
    if (pixels.isEmpty()) {
        clear();
        return false;
    }
    // The previous frame's memory serves again when the size holds.
    if (m_image.size() != pixels || m_image.format() != QImage::Format_RGB32)
        m_image = QImage(pixels, QImage::Format_RGB32);
    if (m_image.isNull()) {
        clear();
        return false;
    }
    m_image.setDevicePixelRatio(shows.ratio);
    // Without a layer drawn over the whole frame at the end, each band is
    // final once drawn: its thread copies it on to the painter at once,
    // while the others still draw.
    std::optional<CopyTarget> target;
    if (delivery && delivery->painter && !layers.whole) {
        const QRegion area = delivery->area & QRect(QPoint(0, 0), shows.projection.size.toSize());
        target = copyTarget(*delivery->painter, area, shows.ratio);
    }
    const std::function<void(const QRect&)> drawn = [&](const QRect& piece) {
        copyRows(*target, piece.top(), piece.bottom() + 1);
    };
    drawAreas(m_image, { m_image.rect() }, layers, target ? &drawn : nullptr);
    if (delivery)
        delivery->delivered = target.has_value();
    m_shows = shows;
    m_crisp = true;
    ++m_renders;
    return true;
}

bool MapFrame::follow(const Shows& shows, const QList<QRectF>& pinned, const std::function<Layers()>& layers)
{
    if (!canFollow(shows))
        return false;
    const double ratio = shows.ratio;
    const MapProjection& from = m_shows.projection;
    const MapProjection& to = shows.projection;
    const QRect all = m_image.rect();

    if (from.viewport.zoom == to.viewport.zoom) {
        // The world only moved: so do the pixels, by whole device pixels.
        const QPointF moved = (to.origin() - from.origin()) * ratio;
        const QPoint shift(int(std::lround(moved.x())), int(std::lround(moved.y())));
        if (std::abs(shift.x()) >= all.width() || std::abs(shift.y()) >= all.height())
            return false;
        this->shift(shift);
        QList<QRect> fresh;
        if (shift.x() > 0)
            fresh.append(QRect(0, 0, shift.x(), all.height()));
        else if (shift.x() < 0)
            fresh.append(QRect(all.width() + shift.x(), 0, -shift.x(), all.height()));
        if (shift.y() > 0)
            fresh.append(QRect(0, 0, all.width(), shift.y()));
        else if (shift.y() < 0)
            fresh.append(QRect(0, all.height() + shift.y(), all.width(), -shift.y()));
        // What is pinned to the view moved with the rest: drawn again where
        // it was taken and where it belongs.
        for (const QRectF& area : pinned) {
            fresh.append(toPixels(area, ratio) & all);
            fresh.append(toPixels(area, ratio).translated(shift) & all);
        }
        if (const QList<QRect> areas = merged(fresh); !areas.isEmpty())
            drawAreas(m_image, areas, layers());
    } else {
        // A zoom: the frame the gesture started from, scaled. What it does
        // not cover is drawn afresh.
        if (m_gestureStart.isNull()) {
            m_gestureStart = std::move(m_image);
            m_gestureShows = m_shows;
            m_image = QImage(m_gestureStart.size(), QImage::Format_RGB32);
            if (m_image.isNull()) {
                m_image = std::move(m_gestureStart);
                return false;
            }
            m_image.setDevicePixelRatio(ratio);
        }
        const MapProjection& start = m_gestureShows.projection;
        const double sx = to.worldWidth() / start.worldWidth();
        const double sy = to.worldHeight() / start.worldHeight();
        if (!(std::isfinite(sx) && std::isfinite(sy) && sx > 0 && sy > 0))
            return false;
        // Where the start frame lands, in view points.
        const QPointF topLeft = to.origin() - QPointF(start.origin().x() * sx, start.origin().y() * sy);
        const QRectF target(topLeft, QSizeF(start.size.width() * sx, start.size.height() * sy));
        const QImage& source = m_gestureStart;
        uchar* const bits = m_image.bits();
        const qsizetype bytesPerLine = m_image.bytesPerLine();
        RowBands::run(m_image.height(), [&](int top, int bottom) {
            QImage slice(bits + top * bytesPerLine, m_image.width(), bottom - top, bytesPerLine, m_image.format());
            slice.setDevicePixelRatio(ratio);
            QPainter band(&slice);
            band.translate(0, -top / ratio);
            band.setRenderHint(QPainter::SmoothPixmapTransform, true);
            band.drawImage(target, source);
        });
        // The uncovered margins, a pixel into the scaled frame for its
        // smoothed edge.
        const QRect covered = toPixels(target, ratio).adjusted(1, 1, -1, -1) & all;
        QList<QRect> fresh;
        if (covered.isEmpty()) {
            fresh.append(all);
        } else {
            fresh.append(QRect(0, 0, all.width(), covered.top()));
            fresh.append(QRect(0, covered.bottom() + 1, all.width(), all.height() - covered.bottom() - 1));
            fresh.append(QRect(0, covered.top(), covered.left(), covered.height()));
            fresh.append(
                QRect(covered.right() + 1, covered.top(), all.width() - covered.right() - 1, covered.height()));
        }
        if (const QList<QRect> areas = merged(fresh); !areas.isEmpty())
            drawAreas(m_image, areas, layers());
    }
    m_shows = shows;
    m_crisp = false;
    ++m_follows;
    return true;
}

void MapFrame::drawAreas(QImage& image, const QList<QRect>& pixels, const Layers& layers,
                         const std::function<void(const QRect&)>* drawn) const
{
    // The areas as rectangles that do not overlap (two threads must never
    // paint one pixel), large ones cut into bands of rows; the pieces are
    // dealt out over the pool.
    QRegion region;
    for (const QRect& area : pixels)
        region += area & image.rect();
    std::vector<QRect> pieces;
    for (const QRect& area : region) {
        const int bands = pixelCount(area) < smallArea ? 1 : std::clamp(area.height() / 64, 1, 8);
        for (int k = 0; k < bands; ++k) {
            const int top = area.top() + area.height() * k / bands;
            const int bottom = area.top() + area.height() * (k + 1) / bands;
            pieces.emplace_back(area.left(), top, area.width(), bottom - top);
        }
    }
    // Each piece paints through its own image header over the frame's
    // memory, clipped to its rectangle.
    uchar* const bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    const double ratio = image.devicePixelRatio();
    const auto drawPiece = [&](const QRect& piece) {
        QImage slice(bits + piece.top() * bytesPerLine, image.width(), piece.height(), bytesPerLine, image.format());
        slice.setDevicePixelRatio(ratio);
        {
            QPainter band(&slice);
            band.setRenderHint(QPainter::Antialiasing, true);
            band.translate(0, -piece.top() / ratio);
            band.setClipRect(
                QRectF(piece.left() / ratio, piece.top() / ratio, piece.width() / ratio, piece.height() / ratio));
            layers.bands(band);
        }
        if (drawn)
            (*drawn)(piece);
    };
    if (pieces.size() == 1) {
        drawPiece(pieces.front());
    } else {
        // While the bands draw, the thread that waits for them, and each
        // band done with its own piece, make the pictures the others will
        // take, a few at a time.
        for (const std::shared_ptr<PieceWork>& work : layers.ahead)
            work->plan(pieces);
        const auto help = [&] {
            for (const std::shared_ptr<PieceWork>& work : layers.ahead)
                work->help(aheadPictures);
        };
        RowBands::deal(
            int(pieces.size()),
            [&](int part, int parts) {
                for (std::size_t i = std::size_t(part); i < pieces.size(); i += std::size_t(parts))
                    drawPiece(pieces[i]);
                help();
            },
            help);
    }
    if (!layers.whole || pieces.empty())
        return;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (region != QRegion(image.rect())) {
        QRegion points;
        for (const QRect& area : region)
            points += QRectF(QPointF(area.topLeft()) / ratio, QSizeF(area.size()) / ratio).toAlignedRect();
        painter.setClipRegion(points);
    }
    layers.whole(painter);
}

void MapFrame::shift(QPoint pixels)
{
    // Moved into a second picture, in bands on the pool (in place, rows
    // would be read by one band after another had written them); the two
    // then trade places, and the second is kept for the gesture's next step.
    if (m_spare.size() != m_image.size() || m_spare.format() != m_image.format()) {
        m_spare = QImage(m_image.size(), m_image.format());
        if (m_spare.isNull()) {
            shiftInPlace(pixels);
            return;
        }
    }
    m_spare.setDevicePixelRatio(m_image.devicePixelRatio());
    const int width = m_image.width();
    const int height = m_image.height();
    const int dx = pixels.x();
    const int dy = pixels.y();
    const std::size_t count = std::size_t(width - std::abs(dx)) * sizeof(QRgb);
    const uchar* const from = m_image.constBits();
    uchar* const to = m_spare.bits();
    const qsizetype stride = m_image.bytesPerLine();
    RowBands::run(height, [&](int top, int bottom) {
        for (int y = std::max(top, dy); y < std::min(bottom, height + dy); ++y)
            std::memcpy(to + y * stride + std::max(0, dx) * sizeof(QRgb),
                        from + (y - dy) * stride + std::max(0, -dx) * sizeof(QRgb), count);
    });
    std::swap(m_image, m_spare);
}

void MapFrame::shiftInPlace(QPoint pixels)
{
    const int width = m_image.width();
    const int height = m_image.height();
    const int dx = pixels.x();
    const int dy = pixels.y();
    const std::size_t count = std::size_t(width - std::abs(dx)) * sizeof(QRgb);
    uchar* const bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    auto moveRow = [&](int to) {
        const uchar* source = bits + (to - dy) * stride + std::max(0, -dx) * sizeof(QRgb);
        uchar* target = bits + to * stride + std::max(0, dx) * sizeof(QRgb);
        std::memmove(target, source, count);
    };
    // Rows are moved in the order that reads each before it is written.
    if (dy > 0)
        for (int y = height - 1; y >= dy; --y)
            moveRow(y);
    else
        for (int y = 0; y < height + dy; ++y)
            moveRow(y);
}

void MapFrame::paint(QPainter& painter, const QRect& area) const
{
    if (m_image.isNull())
        return;
    const QRect view(QPoint(0, 0), m_shows.projection.size.toSize());
    const QRect shown = area & view;
    if (shown.isEmpty())
        return;
    if (const std::optional<CopyTarget> target = copyTarget(painter, QRegion(shown), m_shows.ratio)) {
        // Up to about a full-HD frame the copy is done at once: it stays in
        // the caches, and handing it to the pool would cost more than it
        // saves.
        const QRect bounds = target->allowed.boundingRect().translated(-target->offset);
        if (pixelCount(bounds) < 2'000'000)
            copyRows(*target, bounds.top(), bounds.bottom() + 1);
        else
            RowBands::run(bounds.height(), [&](int first, int last) {
                copyRows(*target, bounds.top() + first, bounds.top() + last);
            });
        return;
    }
    painter.drawImage(QPointF(shown.topLeft()), m_image, QRectF(toPixels(QRectF(shown), m_shows.ratio)));
}

std::optional<MapFrame::CopyTarget> MapFrame::copyTarget(QPainter& painter, const QRegion& area, double ratio) const
{
    // Only where the painter writes straight into an image's pixels, one
    // frame pixel onto one device pixel with nothing to blend: there the
    // raster engine's own copy of an opaque picture is a copy of its bytes
    // (a window's back buffer is such an image; a pixmap or a printer is
    // not, and gets the painter's copy).
    QPaintEngine* const engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || painter.hasClipping() || painter.opacity() != 1
        || (painter.compositionMode() != QPainter::CompositionMode_SourceOver
            && painter.compositionMode() != QPainter::CompositionMode_Source))
        return std::nullopt;
    QPaintDevice* const device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return std::nullopt;
    auto* const image = static_cast<QImage*>(device);
    if (image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32_Premultiplied)
        return std::nullopt;
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxScale || transform.m11() != ratio || transform.m22() != ratio)
        return std::nullopt;
    // The frame's top-left corner, and that of every part asked for, on a
    // whole device pixel.
    const auto whole = [](double v) { return v == std::floor(v) && std::abs(v) < 1e6; };
    const QPointF corner = transform.map(QPointF(0, 0));
    if (!whole(corner.x()) || !whole(corner.y()))
        return std::nullopt;
    CopyTarget target;
    target.offset = corner.toPoint();
    for (const QRect& part : area) {
        const QPointF at = QPointF(part.topLeft()) * ratio;
        if (!whole(at.x()) || !whole(at.y()))
            return std::nullopt;
        target.allowed += toPixels(QRectF(part), ratio).translated(target.offset);
    }
    // What may be written: the image's pixels, within the clip the window
    // system set for this paint.
    target.allowed &= image->rect();
    if (const QRegion system = engine->systemClip(); !system.isEmpty())
        target.allowed &= system;
    // The bands write these bytes from the pool's threads, past QImage's
    // copy on write: only into an image that shares its pixels with no
    // copy (the painter's engine, which writes through the same pointer,
    // detached it when it began), and taken here, on the painter's thread.
    if (!image->isDetached())
        return std::nullopt;
    target.bits = image->bits();
    target.stride = image->bytesPerLine();
    return target;
}

void MapFrame::copyRows(const CopyTarget& target, int firstRow, int lastRow) const
{
    const QRect rows(QPoint(target.allowed.boundingRect().left(), firstRow + target.offset.y()),
                     QPoint(target.allowed.boundingRect().right(), lastRow - 1 + target.offset.y()));
    const uchar* const from = m_image.constBits();
    const qsizetype fromStride = m_image.bytesPerLine();
    for (const QRect& part : target.allowed) {
        const QRect piece = part & rows;
        for (int y = piece.top(); y <= piece.bottom(); ++y)
            std::memcpy(target.bits + y * target.stride + piece.left() * qsizetype(sizeof(QRgb)),
                        from + (y - target.offset.y()) * fromStride
                            + (piece.left() - target.offset.x()) * qsizetype(sizeof(QRgb)),
                        std::size_t(piece.width()) * sizeof(QRgb));
    }
}

void MapFrame::clear()
{
    m_image = QImage();
    m_gestureStart = QImage();
    m_spare = QImage();
    m_shows = {};
    m_crisp = false;
}
