#include "map/GreylineLayer.h"

#include "geo/SolarCalculator.h"
#include "map/HaloText.h"
#include "map/PainterPixelRatio.h"
#include "map/RasterImage.h"
#include "map/WorldRaster.h"
#include "support/RowBands.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

struct Rgb {
    double red, green, blue;
};

constexpr Rgb tintColor(NightTint tint)
{
    return tint == NightTint::light ? Rgb { 0.2, 0.24, 0.36 } : Rgb { 0, 0.02, 0.08 };
}

constexpr Rgb glowColor { 1, 0.86, 0.55 };

// A share 0...1 to a byte, truncated; anything outside (a negative glow
// setting, say) is held to the byte range rather than wrapped.
std::uint8_t toByte(double share)
{
    const double value = share * 255;
    if (!(value > 0))
        return 0;
    return std::uint8_t(std::min(value, 255.0));
}

double finiteOrZero(double value) { return std::isfinite(value) ? value : 0; }

} // namespace

std::array<std::uint8_t, 4> GreylineLayer::cell(double elevation, double nightIntensity, double glow, NightTint tint)
{
    if (!(elevation < 0.5))
        return { 0, 0, 0, 0 };
    const double n = std::clamp(finiteOrZero(nightIntensity), 0.0, 0.95);
    const double t = std::clamp((0.5 - elevation) / 18.5, 0.0, 1.0);
    const double d = (3 - 2 * t) * t * t * n;
    const double g = std::max(0.0, 1 - std::abs(elevation + 2) / 3) * finiteOrZero(glow);
    const Rgb c = tintColor(tint);
    return { toByte(c.red * d + glowColor.red * g), toByte(c.green * d + glowColor.green * g),
             toByte(c.blue * d + glowColor.blue * g), toByte(std::min(d + g, 1.0)) };
}

std::optional<QImage> GreylineLayer::makeImage(const QDateTime& date, double nightIntensity, double glowStrength,
                                               NightTint tint)
{
    constexpr double rad = std::numbers::pi / 180;
    const GeoCoordinate sun = SolarCalculator::position(date).subsolarPoint;
    const double sinDec = std::sin(sun.latitude * rad);
    const double cosDec = std::cos(sun.latitude * rad);

    // Cells with the Sun higher than this stay clear; about half the world.
    const double clearAbove = std::sin(0.5 * rad);

    std::vector<double> columnCos(rasterWidth);
    for (int i = 0; i < rasterWidth; ++i)
        columnCos[i] = std::cos(((i + 0.5) / 2 - 180 - sun.longitude) * rad);

    // Rows in bands on the pool: the map waits for the raster whenever
    // its date moves on by a second.
    std::vector<std::uint8_t> rgba(std::size_t(rasterWidth) * rasterHeight * 4, 0);
    RowBands::run(rasterHeight, [&](int firstRow, int lastRow) {
        auto* out = rgba.data() + std::size_t(firstRow) * rasterWidth * 4;
        for (int j = firstRow; j < lastRow; ++j) {
            const double lat = (90 - (j + 0.5) / 2) * rad;
            const double a = std::sin(lat) * sinDec;
            const double b = std::cos(lat) * cosDec;
            for (int i = 0; i < rasterWidth; ++i, out += 4) {
                const double s = std::clamp(a + b * columnCos[i], -1.0, 1.0);
                if (s > clearAbove)
                    continue; // daylight: no need for the arcsine
                const double e = std::asin(s) / rad;
                if (e >= 0.5)
                    continue; // already transparent
                const auto px = cell(e, nightIntensity, glowStrength, tint);
                std::copy(px.begin(), px.end(), out);
            }
        }
    });
    std::optional<QImage> made = RasterImage::make(rasterWidth, rasterHeight, rgba);
    if (!made)
        return made;
    return made->convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage GreylineLayer::image(Picture& picture) const
{
    return picture.raster.image(date, nightIntensity, glow, nightColor, &GreylineLayer::makeImage);
}

void GreylineLayer::paint(QPainter& painter, Picture& picture) const
{
    const QImage raster = image(picture);
    if (raster.isNull())
        return;
    // Stretching the world raster over the view costs far more than the
    // rest of a repaint; the stretched picture is kept while the raster,
    // the projection and the pixel ratio stay the same.
    const double ratio = devicePixelRatioOf(painter);
    if (picture.m_image.isNull() || picture.m_rasterKey != raster.cacheKey() || !(picture.m_projection == projection)
        || picture.m_ratio != ratio) {
        picture.m_image = {};
        const QSize pixels(int(std::ceil(projection.size.width() * ratio)),
                           int(std::ceil(projection.size.height() * ratio)));
        QImage view = pixels.isEmpty() ? QImage() : QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        if (view.isNull()) {
            WorldRaster { raster, projection }.paint(painter);
            return;
        }
        view.setDevicePixelRatio(ratio);
        view.fill(Qt::transparent);
        QPainter stretch(&view);
        stretch.setRenderHints(painter.renderHints());
        WorldRaster { raster, projection }.paint(stretch);
        stretch.end();
        picture.m_rasterKey = raster.cacheKey();
        picture.m_projection = projection;
        picture.m_ratio = ratio;
        picture.m_image = std::move(view);
        ++picture.m_stretches;
    }
    painter.drawImage(QPointF(0, 0), picture.m_image);
}

QImage GreylineCache::image(const QDateTime& date, double nightIntensity, double glow, NightTint tint,
                            const Maker& make)
{
    if (m_entry && m_entry->nightIntensity == nightIntensity && m_entry->glow == glow && m_entry->tint == tint
        && m_entry->date.isValid() == date.isValid() && std::abs(m_entry->date.msecsTo(date)) < 1000)
        return m_entry->image;
    std::optional<QImage> made = make(date, nightIntensity, glow, tint);
    if (!made || made->isNull())
        return {};
    m_entry = Entry { date, nightIntensity, glow, tint, *made };
    return *made;
}
