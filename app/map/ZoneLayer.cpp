#include "map/ZoneLayer.h"

#include "map/HaloText.h"
#include "map/LineRaster.h"
#include "map/MapContrast.h"
#include "map/PainterPixelRatio.h"
#include "map/PieceWork.h"
#include "support/RowBands.h"
#include "support/VectorState.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

QPainterPath ringPath(const Ring& ring, double shift)
{
    QPainterPath path;
    path.moveTo(ring[0] + 180.0 + shift, 90.0 - ring[1]);
    for (qsizetype k = 2; k + 1 < ring.size(); k += 2)
        path.lineTo(ring[k] + 180.0 + shift, 90.0 - ring[k + 1]);
    path.closeSubpath();
    return path;
}

// A ring in view points, closed, without the vertices that lie closer
// than minStep (Manhattan) to the one kept before them: detail finer than
// about a device pixel only costs drawing time. A transform that only
// scales and moves is applied as QTransform::map applies it, inline.
void screenRing(const QPolygonF& ring, const QTransform& world, double minStep, QPolygonF& points)
{
    points.clear();
    points.reserve(ring.size() + 1);
    const qsizetype count = ring.size();
    const bool scaled = world.type() <= QTransform::TxScale;
    const double sx = world.m11();
    const double sy = world.m22();
    const double tx = world.dx();
    const double ty = world.dy();
    for (qsizetype i = 0; i < count; ++i) {
        const QPointF e = ring[i];
        const QPointF p = scaled ? QPointF(sx * e.x() + tx, sy * e.y() + ty) : world.map(e);
        if (!points.isEmpty() && i + 1 < count) {
            const QPointF d = p - points.constLast();
            if (std::abs(d.x()) + std::abs(d.y()) < minStep)
                continue;
        }
        points.append(p);
    }
    if (points.size() > 1 && points.constFirst() != points.constLast())
        points.append(points.constFirst());
}

std::size_t slot(ZoneKind kind) { return kind == ZoneKind::cq ? 0 : 1; }

// The zone numbers of each kind, rendered once per font, colour and halo.
HaloTextCache& numberCache(ZoneKind kind)
{
    static std::array<HaloTextCache, 2> caches;
    return caches[slot(kind)];
}

} // namespace

ZoneLayer::Outlines ZoneLayer::buildOutlines(const QList<RadioZone>& zones)
{
    Outlines outlines;
    for (const RadioZone& zone : zones)
        for (const Ring& ring : zone.rings) {
            if (ring.size() <= 5)
                continue;
            for (const double shift : { -360.0, 0.0, 360.0 }) {
                QPainterPath path = ringPath(ring, shift);
                outlines.bounds.append(path.boundingRect());
                QPolygonF points;
                points.reserve(path.elementCount());
                for (int k = 0; k < path.elementCount(); ++k)
                    points.append(QPointF(path.elementAt(k).x, path.elementAt(k).y));
                outlines.points.append(std::move(points));
                outlines.rings.append(std::move(path));
            }
        }
    return outlines;
}

const ZoneLayer::Outlines& ZoneLayer::outlines(ZoneKind kind)
{
    static const std::array<Outlines, 2> built { buildOutlines(Zones::zones(ZoneKind::cq)),
                                                 buildOutlines(Zones::zones(ZoneKind::itu)) };
    return built[slot(kind)];
}

ZoneLayer::LineStyle ZoneLayer::lineStyle(ZoneKind kind)
{
    return kind == ZoneKind::cq ? LineStyle { 1.2, 0, 0 } : LineStyle { 1.0, 5, 3 };
}

void ZoneLayer::paint(QPainter& painter, Picture& picture) const
{
    const QList<RadioZone>& zones = Zones::zones(kind);
    if (zones.isEmpty())
        return;
    const double ratio = devicePixelRatioOf(painter);
    if (picture.m_image.isNull() || picture.m_ratio != ratio || !(picture.m_projection == projection)
        || picture.m_color != color || picture.m_lineOpacity != lineOpacity) {
        // The previous picture's memory serves again when the size holds;
        // meanwhile the picture holds none.
        QImage lines = drawLines(outlines(kind), ratio, std::move(picture.m_image));
        if (lines.isNull()) {
            draw(painter, outlines(kind), zones);
            return;
        }
        picture.m_projection = projection;
        picture.m_color = color;
        picture.m_lineOpacity = lineOpacity;
        picture.m_ratio = ratio;
        picture.m_image = std::move(lines);
        ++picture.m_renders;
    }
    painter.drawImage(QPointF(0, 0), picture.m_image);
    drawNumbers(painter, zones);
}

void ZoneLayer::draw(QPainter& painter, const Outlines& outlines, const QList<RadioZone>& zones) const
{
    const QImage lines = drawLines(outlines, devicePixelRatioOf(painter));
    if (!lines.isNull())
        painter.drawImage(QPointF(0, 0), lines);
    drawNumbers(painter, zones);
}

ZoneLayer::Lines ZoneLayer::lines(const Outlines& outlines, double ratio) const
{
    VectorState::clean();
    Lines result;
    result.ratio = ratio;
    result.style = lineStyle(kind);
    result.pixels = QSize(int(std::ceil(projection.size.width() * ratio)),
                          int(std::ceil(projection.size.height() * ratio)));
    // Where two zones share a border, or a line crosses another, the
    // larger coverage wins: no line is darker than another.
    result.color = color;
    result.color.setAlphaF(
        float(color.alphaF() * std::clamp(std::isfinite(lineOpacity) ? lineOpacity : 1.0, 0.0, 1.0)));
    if (projection.worldWidth() <= 0 || projection.worldHeight() <= 0 || outlines.points.isEmpty()
        || result.pixels.isEmpty())
        return result;
    const QTransform world = projection.worldTransform();
    const QRectF view = QRectF(QPointF(0, 0), projection.size).adjusted(-4, -4, 4, 4);
    const QTransform device = world * QTransform::fromScale(ratio, ratio);
    for (qsizetype i = 0; i < outlines.points.size(); ++i) {
        if (!world.mapRect(outlines.bounds[i]).intersects(view))
            continue;
        QPolygonF points;
        screenRing(outlines.points[i], device, 1.0, points);
        result.polylines.add(std::move(points));
    }
    return result;
}

void ZoneLayer::drawLines(QPainter& painter, const Lines& lines, PieceWork* ahead)
{
    if (lines.polylines.empty())
        return;
    // The part of the view this painter draws, as a picture of its own.
    const double ratio = lines.ratio;
    const QRectF view(QPointF(0, 0), QSizeF(lines.pixels) / ratio);
    const QRectF drawn = painter.hasClipping() ? view.intersected(painter.clipBoundingRect()) : view;
    const QRect part = QRectF(drawn.topLeft() * ratio, drawn.size() * ratio).toAlignedRect()
        & QRect(QPoint(0, 0), lines.pixels);
    if (part.isEmpty())
        return;
    const QList<QImage> made = ahead ? ahead->take(part) : QList<QImage> { linesPicture(lines, part) };
    if (!made.isEmpty() && !made.first().isNull())
        painter.drawImage(QPointF(part.topLeft()) / ratio, made.first());
}

QImage ZoneLayer::linesPicture(const Lines& lines, const QRect& part)
{
    QImage picture(part.size(), QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull())
        return {};
    const double ratio = lines.ratio;
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    LineRaster raster(picture.bits(), lines.pixels.width(), lines.pixels.height(), picture.bytesPerLine(),
                      lines.color, lines.style.width * ratio, lines.style.dashOn * ratio,
                      lines.style.dashOff * ratio);
    raster.limitTo(part, picture.bits(), picture.bytesPerLine());
    raster.polylines(lines.polylines);
    return picture;
}

qint64 ZoneLayer::linesWeight(const Lines& lines, const QRect& part)
{
    const double reach = lines.style.width * lines.ratio;
    return lines.polylines.pointsReaching(QRectF(part).adjusted(-reach, -reach, reach, reach));
}

QRect ZoneLayer::linesPart(const Lines& lines, const QRect& piece) { return piece & QRect(QPoint(0, 0), lines.pixels); }

QImage ZoneLayer::drawLines(const Outlines& outlines, double ratio, QImage image) const
{
    const QSize pixels(int(std::ceil(projection.size.width() * ratio)),
                       int(std::ceil(projection.size.height() * ratio)));
    if (pixels.isEmpty())
        return {};
    if (image.size() != pixels || image.format() != QImage::Format_ARGB32_Premultiplied)
        image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    const Lines prepared = lines(outlines, ratio);
    if (prepared.polylines.empty())
        return image;


    // Bands of rows on threads of their own, each writing only its rows.
    uchar* const bits = image.bits();
    RowBands::run(image.height(), [&](int firstRow, int lastRow) {
        LineRaster raster(bits, image.width(), image.height(), image.bytesPerLine(), prepared.color,
                          prepared.style.width * ratio, prepared.style.dashOn * ratio,
                          prepared.style.dashOff * ratio);
        raster.limitRows(firstRow, lastRow);
        raster.polylines(prepared.polylines);
    });
    return image;
}

const QList<HaloText>& ZoneLayer::numbers(const QList<RadioZone>& zones, double ratio) const
{
    QStringList texts;
    texts.reserve(zones.size());
    for (const RadioZone& zone : zones)
        texts.append(QString::number(zone.number));
    return numberCache(kind).texts(texts, font, MapContrast::onHalo(color, halo), halo, haloRadius, ratio);
}

void ZoneLayer::drawNumbers(QPainter& painter, const QList<RadioZone>& zones) const
{
    if (zones.isEmpty())
        return;
    drawNumbers(painter, zones, numbers(zones, devicePixelRatioOf(painter)));
}

void ZoneLayer::drawNumbers(QPainter& painter, const QList<RadioZone>& zones, const QList<HaloText>& labels) const
{
    // The numbers sit on the glow of the halo; the lines were drawn
    // without it. Drawn once each, with no copies east or west.
    painter.save();
    painter.setClipRect(QRectF(QPointF(0, 0), projection.size), Qt::IntersectClip);
    for (qsizetype i = 0; i < zones.size() && i < labels.size(); ++i)
        labels[i].drawCentered(painter, projection.point(zones[i].labelLat, zones[i].labelLon));
    painter.restore();
}
