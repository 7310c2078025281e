#pragma once

#include "kit/MUFPalette.h"
#include "map/MapProjection.h"
#include "spaceweather/MUFGrid.h"

#include <QImage>

#include <cstdint>
#include <optional>

class QPainter;

// Shades the world with the estimated MUF: one pixel per one-degree cell of
// the MUF grid (the mean of its four corner nodes) at the layer's opacity,
// stretched over the world rectangle. Banded, each cell takes the colour of
// the highest contour level at or below its value (cells below the lowest
// level the first colour); smooth, the palette's colour mixed between
// levels.
struct MUFFieldLayer {
    MapProjection projection;
    QImage image; // from cachedImage, the opacity in its pixels

    static constexpr int imageWidth = 360;
    static constexpr int imageHeight = 180;

    // The opaque 360 × 180 image of a grid; none when it cannot be made.
    static std::optional<QImage> makeImage(const MUFGrid& grid, bool banded, const MUFPalette& palette);

    // The key of an image: the MUF model's key of its grid, the mode, the
    // palette's colour texts and the opacity's level.
    static std::uint64_t imageKey(std::uint64_t modelKey, bool banded, const MUFPalette& palette, double opacity);

    // The image at an opacity (RasterImage::faded) through the process-wide
    // one-entry cache (any thread): the cached one under the same key, else
    // one made from `grid`, which replaces it. A failed image leaves the
    // cache and gives a null image.
    static QImage cachedImage(std::uint64_t key, const MUFGrid& grid, bool banded, const MUFPalette& palette,
                              double opacity);

    // Stretches the image over the world rectangle.
    void draw(QPainter& painter) const;
};
