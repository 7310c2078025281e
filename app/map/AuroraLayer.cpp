#include "map/AuroraLayer.h"

#include "map/RasterImage.h"
#include "map/WorldRaster.h"
#include "support/CacheKey.h"
#include "support/OneEntryCache.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

OneEntryCache<QImage>& imageCache()
{
    static OneEntryCache<QImage> cache;
    return cache;
}

} // namespace

double AuroraLayer::boost(double opacity) { return std::isfinite(opacity) ? std::max(opacity, 1.0) : 1.0; }

double AuroraLayer::viewOpacity(double opacity) { return std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 1.0; }

std::array<double, 3> AuroraLayer::colour(double p)
{
    if (p < 20) {
        const double s = p / 20;
        return { (1 - s) * 0.1, 0.85 + 0.15 * s, (1 - s) * 0.35 };
    }
    if (p < 50)
        return { (p - 20) / 30, 1, 0 };
    const double s = std::min((std::min(p, 100.0) - 50) / 40, 1.0);
    return { 1, 1 - 0.85 * s, 0 };
}

std::optional<QImage> AuroraLayer::makeImage(const AuroraGrid& grid, double boost)
{
    constexpr int width = AuroraGrid::width;
    constexpr int height = AuroraGrid::height;
    const double scale = (boost - 1) * 0.6 + 1;
    const double cap = boost > 1 ? 1.0 : 0.9;
    std::vector<std::uint8_t> rgba(std::size_t(width) * height * 4, 0);
    auto* out = rgba.data();
    for (int j = 0; j < height; ++j) {
        for (int i = 0; i < width; ++i, out += 4) {
            const std::uint8_t v = grid.value(i, j);
            if (v <= 3)
                continue;
            const double p = std::min(v * scale, 100.0);
            const auto [r, g, b] = colour(p);
            const double a = std::min((p / 45 + 0.3) * boost, cap);
            out[0] = std::uint8_t(r * a * 255);
            out[1] = std::uint8_t(g * a * 255);
            out[2] = std::uint8_t(b * a * 255);
            out[3] = std::uint8_t(a * 255);
        }
    }
    return RasterImage::make(width, height, rgba);
}

std::uint64_t AuroraLayer::cacheKey(const AuroraGrid& grid, double setting)
{
    CacheKey key;
    key.add(boost(setting)).add(std::int64_t(RasterImage::opacityLevel(viewOpacity(setting))));
    key.add(grid.observationTime).add(grid.forecastTime);
    key.add(std::uint64_t(grid.values.size())).add(std::span<const std::uint8_t>(grid.values));
    return key.value();
}

QImage AuroraLayer::cachedImage(std::uint64_t key, const AuroraGrid& grid, double setting)
{
    return imageCache()
        .get(key,
             [&]() -> std::optional<QImage> {
                 std::optional<QImage> made = makeImage(grid, boost(setting));
                 if (!made || made->isNull())
                     return std::nullopt;
                 // Premultiplied ARGB32, the form the map stretches fastest.
                 return RasterImage::faded(*made, viewOpacity(setting));
             })
        .value_or(QImage());
}

QList<std::pair<int, int>> AuroraLayer::visibleRows(const QImage& image)
{
    QList<std::pair<int, int>> runs;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        return image.isNull() ? runs : QList<std::pair<int, int>> { { 0, image.height() } };
    int start = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const bool visible = std::any_of(row, row + image.width(), [](QRgb px) { return qAlpha(px) != 0; });
        if (visible && start < 0)
            start = y;
        if (!visible && start >= 0) {
            runs.append({ start, y });
            start = -1;
        }
    }
    if (start >= 0)
        runs.append({ start, image.height() });
    return runs;
}

void AuroraLayer::draw(QPainter& painter) const { WorldRaster { image, projection }.paint(painter); }
