#include "BaseMapLayer.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Device pixels per view point of whatever the painter draws on.
double pixelRatio(const QPainter& painter)
{
    const QPaintDevice* device = painter.device();
    return device ? device->devicePixelRatio() : 1.0;
}

// A pen whose width stays in view points whatever transform the painter
// carries: cosmetic widths are device pixels, so scale by the pixel ratio.
QPen outlinePen(const QColor& color, double widthPoints, double ratio)
{
    QPen pen(color, widthPoints * ratio);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

// A dashed pen of the given width with dash lengths in view points. Qt
// measures dashes in units of the device line width, and never less than
// one device pixel.
QPen dashedPen(const QColor& color, double width, double on, double off, double ratio)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(10);
    const double unit = std::max(width * ratio, 1.0) / ratio;
    pen.setDashPattern({ on / unit, off / unit });
    return pen;
}

QString longitudeLabel(int lon)
{
    if (lon == 0)
        return QStringLiteral("0°");
    return QString::number(std::abs(lon)) + QStringLiteral("°") + (lon < 0 ? u'W' : u'E');
}

QString latitudeLabel(int lat)
{
    if (lat == 0)
        return QStringLiteral("0°");
    return QString::number(std::abs(lat)) + QStringLiteral("°") + (lat > 0 ? u'N' : u'S');
}

// The last full picture of the layer, reused while nothing it shows has
// changed (a repaint for a blinking spot or a clock). One entry: a new
// picture replaces the old one.
struct RenderCache {
    BaseMapLayer layer;
    double ratio = 0;
    QImage image;
};

RenderCache& renderCache()
{
    static RenderCache cache;
    return cache;
}

} // namespace

QFont gridLabelFont(const QString& family, double size)
{
    QFont font;
    if (family.isEmpty() || family == QLatin1String("System")) {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setWeight(QFont::Medium);
    } else {
        font = QFont(family);
    }
    // View points, not typographic points: the map's sizes are all in the
    // same unit as its line widths.
    if (std::isfinite(size) && size > 0)
        font.setPixelSize(std::max(1, int(std::lround(size))));
    return font;
}

void BaseMapPaths::addRing(QPainterPath& path, const double* ring, qsizetype count)
{
    if (count < 6)
        return;
    path.moveTo(ring[0] + 180.0, 90.0 - ring[1]);
    for (qsizetype k = 2; k + 1 < count; k += 2)
        path.lineTo(ring[k] + 180.0, 90.0 - ring[k + 1]);
    path.closeSubpath();
}

void BaseMapPaths::setFillRules()
{
    land.setFillRule(Qt::OddEvenFill);
    for (QPainterPath& group : groups)
        group.setFillRule(Qt::OddEvenFill);
    lakes.setFillRule(Qt::WindingFill);
}

void BaseMapLayer::paint(QPainter& painter) const
{
    const double ratio = pixelRatio(painter);
    RenderCache& cache = renderCache();
    if (cache.image.isNull() || cache.ratio != ratio || !(cache.layer == *this)) {
        const QSize pixels(int(std::ceil(projection.size.width() * ratio)),
                           int(std::ceil(projection.size.height() * ratio)));
        if (pixels.isEmpty())
            return;
        // The ocean covers every pixel with opaque colour, so the picture
        // needs no alpha channel and copies to the screen without blending.
        QImage image(pixels, QImage::Format_RGB32);
        if (image.isNull()) {
            draw(painter, paths());
            return;
        }
        image.setDevicePixelRatio(ratio);
        QPainter inner(&image);
        draw(inner, paths());
        inner.end();
        cache = { *this, ratio, std::move(image) };
    }
    painter.drawImage(QPointF(0, 0), cache.image);
}

void BaseMapLayer::draw(QPainter& painter, const BaseMapPaths& outlines) const
{
    const double ratio = pixelRatio(painter);
    const QRectF view(QPointF(0, 0), projection.size);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);

    // The gradient belongs to the view, not the world: it stays put while
    // the map pans and zooms.
    QLinearGradient ocean(QPointF(0, 0), QPointF(0, view.height()));
    ocean.setColorAt(0, MapStyles::oceanTop(style));
    ocean.setColorAt(1, MapStyles::oceanBottom(style));
    painter.fillRect(view, ocean);

    painter.save();
    painter.setTransform(projection.worldTransform(), true);
    painter.setPen(Qt::NoPen);
    if (style == MapStyle::political) {
        const auto& palette = MapStyles::politicalPalette();
        for (std::size_t i = 0; i < outlines.groups.size(); ++i)
            painter.fillPath(outlines.groups[i], palette[i % palette.size()]);
    } else if (style != MapStyle::outline) {
        painter.fillPath(outlines.land, MapStyles::land(style));
    }
    painter.strokePath(outlines.land, outlinePen(borders.color, borders.width, ratio));

    if (style != MapStyle::outline)
        painter.fillPath(outlines.lakes, MapStyles::oceanTop(style));
    painter.strokePath(outlines.lakes, outlinePen(borders.color, 0.7 * borders.width, ratio));
    painter.restore();

    if (showGrid)
        drawGrid(painter);
    painter.restore();
}

void BaseMapLayer::drawGrid(QPainter& painter) const
{
    const double ratio = pixelRatio(painter);
    const double w = projection.worldWidth();
    const double h = projection.worldHeight();
    const QPointF o = projection.origin();
    const QSizeF size = projection.size;
    const bool light = MapStyles::isLight(style);
    auto x = [&](double lon) { return o.x() + (lon + 180.0) / 360.0 * w; };
    auto y = [&](double lat) { return o.y() + (90.0 - lat) / 180.0 * h; };

    QPainterPath minor;
    QPainterPath major;
    for (int lon = -165; lon <= 165; lon += 15) {
        QPainterPath& path = lon == 0 ? major : minor;
        path.moveTo(x(lon), 0);
        path.lineTo(x(lon), size.height());
    }
    for (int lat = -75; lat <= 75; lat += 15) {
        QPainterPath& path = lat == 0 ? major : minor;
        path.moveTo(0, y(lat));
        path.lineTo(size.width(), y(lat));
    }

    const QColor minorColor = light ? QColor::fromRgbF(0, 0, 0, 0.15) : QColor::fromRgbF(1, 1, 1, 0.09);
    const QColor majorColor = light ? QColor::fromRgbF(0, 0, 0, 0.3) : QColor::fromRgbF(1, 1, 1, 0.2);

    QPen minorPen = light ? dashedPen(minorColor, 0.5, 3, 3, ratio) : QPen(minorColor, 0.5);
    minorPen.setCapStyle(Qt::FlatCap);
    minorPen.setJoinStyle(Qt::MiterJoin);
    minorPen.setMiterLimit(10);
    painter.strokePath(minor, minorPen);
    painter.strokePath(major, QPen(majorColor, 0.8));

    // Tropics and polar circles: 23.44° and 66.56° north and south.
    QPainterPath circles;
    for (double f : { 0.3697778, 0.6302222, 0.1302222, 0.8697778 }) {
        circles.moveTo(0, o.y() + f * h);
        circles.lineTo(size.width(), o.y() + f * h);
    }
    painter.strokePath(circles, dashedPen(minorColor, 0.6, 4, 4, ratio));

    // Labels sit with their bottom-leading corner at the anchor: the
    // baseline is one descent above it.
    painter.setFont(gridLabels.font);
    painter.setPen(gridLabels.color);
    const double descent = QFontMetricsF(gridLabels.font, painter.device()).descent();
    for (int lon = -150; lon <= 150; lon += 30)
        painter.drawText(QPointF(x(lon) + 3, size.height() - 3 - descent), longitudeLabel(lon));
    for (int lat = -60; lat <= 60; lat += 30)
        painter.drawText(QPointF(3, y(lat) - 2 - descent), latitudeLabel(lat));
}

void BorderOverlayLayer::paint(QPainter& painter) const
{
    draw(painter, BaseMapLayer::paths());
}

void BorderOverlayLayer::draw(QPainter& painter, const BaseMapPaths& outlines) const
{
    const double ratio = pixelRatio(painter);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setTransform(projection.worldTransform(), true);
    painter.strokePath(outlines.land, outlinePen(borders.color, borders.width, ratio));
    painter.strokePath(outlines.lakes, outlinePen(borders.color, 0.7 * borders.width, ratio));
    painter.restore();
}
