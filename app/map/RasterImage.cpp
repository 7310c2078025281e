#include "map/RasterImage.h"

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

} // namespace RasterImage
