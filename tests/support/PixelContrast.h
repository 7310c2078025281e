#pragma once

#include "map/MapContrast.h"

#include <QImage>
#include <QRect>

#include <algorithm>

// The contrast of the lightest and the darkest pixel of an image's area: a
// text and its ground, when the area holds nothing else.
inline double pixelContrast(const QImage& image, const QRect& area)
{
    double darkest = 1, lightest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const double shade = MapContrast::luminance(image.pixelColor(x, y));
            darkest = std::min(darkest, shade);
            lightest = std::max(lightest, shade);
        }
    return MapContrast::ratio(darkest, lightest);
}
