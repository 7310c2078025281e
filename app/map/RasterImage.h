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

// The level (0...255) of an opacity, clamped to 0...1; one that is no
// number counts as 1.
int opacityLevel(double opacity);

// The image as premultiplied ARGB32 with an opacity in its own pixels:
// every byte scaled by the opacity's level in integers, rounded to the
// nearest. The map draws such an image with no painter opacity, whose
// rounding differs between Qt's paths for x86 and for arm64, so that the
// picture is the same on every processor. A null image stays null.
QImage faded(const QImage& image, double opacity);

} // namespace RasterImage
