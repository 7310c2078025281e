#pragma once

#include "map/MapProjection.h"
#include "spaceweather/SpaceWeather.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

class QPainter;

// Shades the map with the aurora forecast: the probability of visible aurora
// per degree of longitude and latitude, turned into a 360 × 181 colour image
// and stretched over the world rectangle. Blue-green at low probabilities,
// through green and yellow to red at 90 % and above.
//
// The one setting "auroraOpacity" does two things: up to 1 it is the
// opacity of the layer; above 1 the layer is opaque and the excess boosts
// the image (stronger colours, more opaque pixels). Both are in the image's
// own pixels.
struct AuroraLayer {
    MapProjection projection;
    QImage image; // the world image, from cachedImage

    // The image's boost and the layer's opacity for a setting; a value that
    // is no number counts as 1.
    static double boost(double opacity);
    static double viewOpacity(double opacity);

    // The colour (red, green, blue, 0...1) of a scaled probability p.
    static std::array<double, 3> colour(double p);

    // The image: pixel (i, j) from the grid's column i, row j; values of 3
    // or less transparent, the rest coloured by their probability scaled by
    // the boost, with an alpha that grows with it (capped at 0.9 without a
    // boost, 1 with one). Premultiplied; none when it cannot be made.
    static std::optional<QImage> makeImage(const AuroraGrid& grid, double boost);

    // The key of the image for a setting: its boost, its opacity's level,
    // the grid's two times and its values.
    static std::uint64_t cacheKey(const AuroraGrid& grid, double setting);

    // The image for a setting, boosted and at the layer's opacity
    // (RasterImage::faded), through the process-wide one-entry cache: the
    // cached one while the key (cacheKey of the grid and setting) is the
    // same, else a new one that replaces it (a failed one leaves the cache
    // as it was and gives a null image). Any thread.
    static QImage cachedImage(std::uint64_t key, const AuroraGrid& grid, double setting);

    // The image's rows that hold a visible pixel, as runs [first, last):
    // the aurora keeps to the polar regions, so the layer only needs
    // pictures of those bands.
    static QList<std::pair<int, int>> visibleRows(const QImage& image);

    // Stretches the image over the world rectangle.
    void draw(QPainter& painter) const;
};
