#include "map/RasterImage.h"

#include <cstring>

namespace RasterImage {

std::optional<QImage> make(int width, int height, std::span<const std::uint8_t> rgba)
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    const qint64 rowBytes = qint64(width) * 4;
    if (qint64(rgba.size()) != rowBytes * height)
        return std::nullopt;

    QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    // Copy row by row: the image may pad its rows, the buffer never does.
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), rgba.data() + y * rowBytes, std::size_t(rowBytes));
    return image;
}

} // namespace RasterImage
