#pragma once

#include "map/MapProjection.h"

#include <QDateTime>
#include <QImage>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QPainter;

// The colour the night side is tinted with: a near-black blue on dark map
// styles, a slate blue on light ones.
enum class NightTint { dark, light };

// Shades the night side of the Earth and lights the twilight band with a
// warm glow: the Sun's elevation is worked out for every cell of a
// half-degree world raster and stretched over the world rectangle.
struct GreylineLayer {
    static constexpr int rasterWidth = 720;
    static constexpr int rasterHeight = 360;

    MapProjection projection;
    QDateTime date;
    double nightIntensity = 0.45; // darkness of the deepest night, 0...0.95
    double glow = 0.1;            // strength of the twilight glow
    NightTint nightColor = NightTint::dark;

    // The premultiplied red, green, blue and alpha bytes of one cell whose
    // Sun stands at `elevation` degrees. Transparent from half a degree of
    // elevation up; below that the night darkens smoothly to full strength
    // at −18° (astronomical twilight), and the glow peaks at −2°.
    static std::array<std::uint8_t, 4> cell(double elevation, double nightIntensity, double glow, NightTint tint);

    // The whole 720 × 360 raster for an instant, row 0 at the north and
    // column 0 at 180° W; none when the image cannot be made.
    static std::optional<QImage> makeImage(const QDateTime& date, double nightIntensity, double glowStrength,
                                           NightTint tint);

    // What a view keeps between repaints (below).
    struct Picture;

    // The raster for this layer's values from the view's picture: the
    // cached one while the time is within a second of the cached time and
    // the settings are the same, else a fresh one (which replaces the
    // cached one). Null when none could be made.
    QImage image(Picture& picture) const;

    // Draws the raster over the view, reusing the picture stretched last
    // time while the raster, projection and pixel ratio are unchanged.
    void paint(QPainter& painter, Picture& picture) const;
};

// One remembered greyline raster with the values it was made for. The map
// asks on every paint; a new raster is made only when the time has moved by
// a second or more (the map's 30-second beat) or a setting changed.
class GreylineCache {
public:
    using Maker = std::function<std::optional<QImage>(const QDateTime&, double, double, NightTint)>;

    // The cached image when it fits, else `make`'s; a made image replaces
    // the entry, a failed one leaves it as it was.
    QImage image(const QDateTime& date, double nightIntensity, double glow, NightTint tint, const Maker& make);

private:
    struct Entry {
        QDateTime date;
        double nightIntensity = 0;
        double glow = 0;
        NightTint tint = NightTint::dark;
        QImage image;
    };
    std::optional<Entry> m_entry;
};

// One view's greyline between repaints: the raster of the last date and
// settings, and that raster as last stretched over the view. Every map view
// owns one, so windows of different sizes, or whose slow layers follow
// different dates, never evict each other's pictures.
struct GreylineLayer::Picture {
    GreylineCache raster;

    // How often the raster was stretched over the view anew.
    int stretches() const { return m_stretches; }

private:
    friend struct GreylineLayer;
    qint64 m_rasterKey = 0; // the stretched raster's cache key
    MapProjection m_projection;
    double m_ratio = 0;
    QImage m_image;
    int m_stretches = 0;
};
