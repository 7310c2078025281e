#pragma once

#include <QImage>

#include <cstdint>
#include <optional>
#include <span>

// Turns a computed world raster into an image: width × height pixels of
// premultiplied red, green, blue, alpha bytes, top row first, no padding.
namespace RasterImage {

// The image owns a copy of the bytes. None when the byte count is not
// exactly width × height × 4 (a zero or negative side included) or the
// image cannot be allocated.
std::optional<QImage> make(int width, int height, std::span<const std::uint8_t> rgba);

} // namespace RasterImage
