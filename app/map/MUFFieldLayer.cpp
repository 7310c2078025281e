#include "map/MUFFieldLayer.h"

#include "map/RasterImage.h"
#include "map/WorldRaster.h"
#include "support/CacheKey.h"
#include "support/OneEntryCache.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

OneEntryCache<QImage>& imageCache()
{
    static OneEntryCache<QImage> cache;
    return cache;
}

// The bytes of a colour, sRGB, its own alpha ignored.
std::array<std::uint8_t, 3> bytesOf(const QColor& colour)
{
    QColor rgb = colour.toRgb();
    if (!rgb.isValid())
        rgb = QColor(Qt::gray);
    auto byte = [](float c) { return std::uint8_t(std::clamp(double(c), 0.0, 1.0) * 255); };
    return { byte(rgb.redF()), byte(rgb.greenF()), byte(rgb.blueF()) };
}

} // namespace

std::optional<QImage> MUFFieldLayer::makeImage(const MUFGrid& grid, bool banded, const MUFPalette& palette)
{
    // In banded mode only ten colours occur: each is converted once.
    std::array<std::optional<std::array<std::uint8_t, 3>>, MUFGrid::levels.size()> bandColours;
    std::vector<std::uint8_t> rgba(std::size_t(imageWidth) * imageHeight * 4);
    auto* out = rgba.data();
    for (int y = 0; y < imageHeight; ++y) {
        for (int x = 0; x < imageWidth; ++x, out += 4) {
            const double v
                = (grid.value(x, y) + grid.value(x + 1, y) + grid.value(x, y + 1) + grid.value(x + 1, y + 1)) * 0.25;
            std::array<std::uint8_t, 3> c;
            if (banded) {
                const std::size_t i = std::size_t(std::max(MUFGrid::levelIndex(v), 0));
                if (!bandColours[i])
                    bandColours[i] = bytesOf(i < std::size_t(palette.colors.size()) ? palette.colors[qsizetype(i)]
                                                                                    : palette.color(v));
                c = *bandColours[i];
            } else {
                c = bytesOf(palette.color(v));
            }
            out[0] = c[0];
            out[1] = c[1];
            out[2] = c[2];
            out[3] = 255;
        }
    }
    return RasterImage::make(imageWidth, imageHeight, rgba);
}

std::uint64_t MUFFieldLayer::imageKey(std::uint64_t modelKey, bool banded, const MUFPalette& palette, double opacity)
{
    CacheKey key;
    key.add(modelKey).add(banded).add(std::int64_t(RasterImage::opacityLevel(opacity)));
    key.add(std::uint64_t(palette.hex.size()));
    for (const QString& text : palette.hex)
        key.add(text);
    return key.value();
}

QImage MUFFieldLayer::cachedImage(std::uint64_t key, const MUFGrid& grid, bool banded, const MUFPalette& palette,
                                  double opacity)
{
    return imageCache()
        .get(key,
             [&]() -> std::optional<QImage> {
                 std::optional<QImage> made = makeImage(grid, banded, palette);
                 if (!made || made->isNull())
                     return std::nullopt;
                 return RasterImage::faded(*made, opacity);
             })
        .value_or(QImage());
}

void MUFFieldLayer::draw(QPainter& painter) const { WorldRaster { image, projection }.paint(painter); }
