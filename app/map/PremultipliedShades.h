#pragma once

#include <QColor>
#include <QRgb>

#include <array>
#include <cstddef>

// A colour scaled to each coverage 0...255 (the index), premultiplied
// ARGB32: what a pixel of that coverage is written with when an image is
// filled pixel by pixel.
inline std::array<QRgb, 256> premultipliedShades(const QColor& color)
{
    const QRgb full = color.rgba64().premultiplied().toArgb32();
    std::array<QRgb, 256> shades;
    for (int k = 0; k < 256; ++k)
        shades[std::size_t(k)]
            = qRgba(qRed(full) * k / 255, qGreen(full) * k / 255, qBlue(full) * k / 255, qAlpha(full) * k / 255);
    return shades;
}
