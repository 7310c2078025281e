#include "map/MUFLayer.h"

#include "map/PainterPixelRatio.h"
#include "support/CacheKey.h"
#include "support/NumberText.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

double MUFLayer::dotRadius(double mapWidth)
{
    return std::isfinite(mapWidth) ? std::clamp(mapWidth / 120, 9.0, 14.0) : 9.0;
}

QString MUFLayer::label(double mufd) { return NumberText::fixed(mufd, 0); }

double MUFLayer::fillOpacity(std::optional<double> confidence) { return confidence && *confidence < 25 ? 0.45 : 0.95; }

QFont MUFLayer::font(double radius)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(std::max(1, int(std::lround(0.95 * radius))));
    font.setWeight(QFont::Bold);
    return font;
}

void MUFLayer::drawDot(QPainter& painter, const IonosondeReading& reading, QPointF at, double radius) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QColor fill = palette.color(reading.mufd);
    fill.setAlphaF(float(fillOpacity(reading.confidence)));
    QColor outline = halo;
    outline.setAlphaF(halo.alphaF() * 0.8f);
    painter.setBrush(fill);
    painter.setPen(QPen(outline, 1));
    painter.drawEllipse(at, radius, radius);
    painter.setPen(Qt::black);
    painter.setFont(font(radius));
    const QRectF box(at.x() - radius * 2, at.y() - radius, radius * 4, radius * 2);
    painter.drawText(box, Qt::AlignCenter, label(reading.mufd));
    painter.restore();
}

const QList<QImage>& MUFLayer::Sprites::images(const MUFLayer& layer, double radius, double ratio)
{
    CacheKey key;
    key.add(radius).add(ratio).add(std::uint64_t(layer.halo.rgba64()));
    for (const QString& text : layer.palette.hex)
        key.add(text);
    for (const IonosondeReading& reading : layer.readings)
        key.add(reading.mufd).add(fillOpacity(reading.confidence));
    if (key.value() == m_key && m_images.size() == layer.readings.size())
        return m_images;

    m_images.clear();
    // Room for the outline and the antialiasing around the disc.
    const double side = std::ceil(2 * radius + 4);
    const QSize pixels(int(std::ceil(side * ratio)), int(std::ceil(side * ratio)));
    for (const IonosondeReading& reading : layer.readings) {
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        layer.drawDot(painter, reading, QPointF(side / 2, side / 2), radius);
        painter.end();
        m_images.append(image);
    }
    m_key = key.value();
    ++m_renders;
    return m_images;
}

void MUFLayer::Sprites::clear()
{
    m_images.clear();
    m_key = 0;
}

void MUFLayer::paint(QPainter& painter, Sprites& sprites) const
{
    if (readings.isEmpty())
        return;
    const double ratio = devicePixelRatioOf(painter);
    const double radius = dotRadius(projection.size.width());
    draw(painter, sprites.images(*this, radius, ratio));
}

void MUFLayer::draw(QPainter& painter, const QList<QImage>& images) const
{
    if (readings.isEmpty() || images.isEmpty())
        return;
    const double ratio = images.first().devicePixelRatio();
    const QRectF view(QPointF(0, 0), projection.size);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (qsizetype i = 0; i < readings.size() && i < images.size(); ++i) {
        const QSizeF side = images[i].deviceIndependentSize();
        const QPointF at = projection.point(readings[i].coordinate);
        // Whole device pixels, so the sprite stays as crisp as drawn.
        const QPointF topLeft(std::round((at.x() - side.width() / 2) * ratio) / ratio,
                              std::round((at.y() - side.height() / 2) * ratio) / ratio);
        if (!view.intersects(QRectF(topLeft, side)))
            continue;
        painter.drawImage(topLeft, images[i]);
    }
    painter.restore();
}
