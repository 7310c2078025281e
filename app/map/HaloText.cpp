#include "map/HaloText.h"

#include "map/PremultipliedShades.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A shadow's radius is read the usual way: the blur's standard deviation
// is half of it.
double sigmaPixels(double radius, double ratio)
{
    return std::isfinite(radius) && radius > 0 ? radius * 0.5 * ratio : 0.0;
}

std::vector<float> gaussianKernel(double sigma, int reach)
{
    std::vector<float> kernel(std::size_t(2 * reach + 1));
    double sum = 0;
    for (int k = -reach; k <= reach; ++k) {
        const double w = std::exp(-(k * k) / (2 * sigma * sigma));
        kernel[std::size_t(k + reach)] = float(w);
        sum += w;
    }
    for (float& w : kernel)
        w = float(w / sum);
    return kernel;
}

// Separable Gaussian blur of an alpha plane (width × height, row-major).
std::vector<float> blurred(const std::vector<float>& alpha, int width, int height, double sigma, int reach)
{
    const std::vector<float> kernel = gaussianKernel(sigma, reach);
    std::vector<float> rows(alpha.size(), 0.0f);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float sum = 0;
            for (int k = -reach; k <= reach; ++k) {
                const int sx = x + k;
                if (sx >= 0 && sx < width)
                    sum += kernel[std::size_t(k + reach)] * alpha[std::size_t(y * width + sx)];
            }
            rows[std::size_t(y * width + x)] = sum;
        }
    std::vector<float> result(alpha.size(), 0.0f);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float sum = 0;
            for (int k = -reach; k <= reach; ++k) {
                const int sy = y + k;
                if (sy >= 0 && sy < height)
                    sum += kernel[std::size_t(k + reach)] * rows[std::size_t(sy * width + x)];
            }
            result[std::size_t(y * width + x)] = sum;
        }
    return result;
}

} // namespace

HaloText HaloText::render(const QString& text, const QFont& font, const QColor& color, const QColor& halo,
                          double haloRadius, double ratio)
{
    HaloText result;
    if (text.isEmpty())
        return result;
    if (!(std::isfinite(ratio) && ratio > 0))
        ratio = 1.0;

    // Measured against an image, the device every label is rendered into,
    // so the box and the glyphs agree whatever the screen's resolution.
    static const QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    const QFontMetricsF metrics(font, &probe);
    result.box = QSizeF(metrics.horizontalAdvance(text), metrics.ascent() + metrics.descent());
    // Glyphs may reach past their advance (side bearings, italics): the
    // image holds the ink as well as the box, plus room for the blur.
    const QRectF ink = metrics.boundingRect(text).translated(0, metrics.ascent());
    const QRectF content = ink.united(QRectF(QPointF(0, 0), result.box));

    const double sigma = sigmaPixels(haloRadius, ratio);
    const int reach = sigma > 0 ? int(std::ceil(3 * sigma)) : 0;
    const double pad = (reach + 1) / ratio;
    const QRectF area = content.adjusted(-pad, -pad, pad, pad);
    const QSize pixels(int(std::ceil(area.width() * ratio)), int(std::ceil(area.height() * ratio)));
    if (pixels.isEmpty())
        return result;

    QImage glyphs(pixels, QImage::Format_ARGB32_Premultiplied);
    if (glyphs.isNull())
        return result;
    glyphs.setDevicePixelRatio(ratio);
    glyphs.fill(Qt::transparent);
    {
        QPainter painter(&glyphs);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(QPointF(-area.left(), -area.top() + metrics.ascent()), text);
    }
    result.imageAt = area.topLeft();

    const QColor glow = halo.toRgb();
    if (reach == 0 || glow.alpha() == 0) {
        result.image = std::move(glyphs);
        return result;
    }

    const int w = pixels.width();
    const int h = pixels.height();
    std::vector<float> alpha(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(glyphs.constScanLine(y));
        for (int x = 0; x < w; ++x)
            alpha[std::size_t(y * w + x)] = float(qAlpha(line[x])) / 255.0f;
    }
    const std::vector<float> shadow = blurred(alpha, w, h, sigma, reach);

    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        result.image = std::move(glyphs);
        return result;
    }
    image.setDevicePixelRatio(ratio);
    // The halo colour at each shadow strength.
    const std::array<QRgb, 256> shades = premultipliedShades(glow);
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = shades[std::size_t(std::clamp(shadow[std::size_t(y * w + x)], 0.0f, 1.0f) * 255.0f + 0.5f)];
    }
    {
        QPainter painter(&image);
        painter.drawImage(QPointF(0, 0), glyphs);
    }
    result.image = std::move(image);
    return result;
}

void HaloText::drawAt(QPainter& painter, QPointF topLeft) const
{
    if (image.isNull())
        return;
    const double ratio = image.devicePixelRatio();
    const QPointF at = topLeft + imageAt;
    painter.drawImage(QPointF(std::round(at.x() * ratio) / ratio, std::round(at.y() * ratio) / ratio), image);
}

void HaloText::drawCentered(QPainter& painter, QPointF centre) const
{
    drawAt(painter, centre - QPointF(box.width() / 2, box.height() / 2));
}

void HaloText::drawLeading(QPainter& painter, QPointF anchor) const
{
    drawAt(painter, anchor - QPointF(0, box.height() / 2));
}

const QList<HaloText>& HaloTextCache::texts(const QStringList& texts, const QFont& font, const QColor& color,
                                            const QColor& halo, double haloRadius, double ratio)
{
    const bool same = m_ratio == ratio && m_radius == haloRadius && m_color == color && m_halo == halo && m_font == font
        && m_texts == texts;
    if (same)
        return m_rendered;
    QList<HaloText> rendered;
    rendered.reserve(texts.size());
    for (const QString& text : texts)
        rendered.append(HaloText::render(text, font, color, halo, haloRadius, ratio));
    m_texts = texts;
    m_font = font;
    m_color = color;
    m_halo = halo;
    m_radius = haloRadius;
    m_ratio = ratio;
    m_rendered = std::move(rendered);
    ++m_renders;
    return m_rendered;
}
