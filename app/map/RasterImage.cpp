#include "map/RasterImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace RasterImage {

std::optional<QImage> make(int width, int height, std::span<const std::uint8_t> rgba)
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    // Divide rather than multiply: rows of a wide image times a tall height
    // overflow even 64 bits.
    const qint64 rowBytes = qint64(width) * 4;
    const qint64 size = qint64(rgba.size());
    if (size % rowBytes != 0 || size / rowBytes != height)
        return std::nullopt;

    QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    // Copy row by row: the image may pad its rows, the buffer never does.
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), rgba.data() + y * rowBytes, std::size_t(rowBytes));
    return image;
}

int opacityLevel(double opacity)
{
    return std::isfinite(opacity) ? int(std::lround(std::clamp(opacity, 0.0, 1.0) * 255)) : 255;
}

QImage faded(const QImage& image, double opacity)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int level = opacityLevel(opacity);
    if (level == 255 || out.isNull())
        return out;
    // A byte times the level over 255, to the nearest: never above the
    // alpha scaled alike, so the pixel stays premultiplied.
    const auto scaled = [level](int byte) { return (byte * level + 127) / 255; };
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb px = row[x];
            row[x] = qRgba(scaled(qRed(px)), scaled(qGreen(px)), scaled(qBlue(px)), scaled(qAlpha(px)));
        }
    }
    return out;
}

} // namespace RasterImage
