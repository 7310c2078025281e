#include "map/MapContrast.h"

#include <algorithm>
#include <cmath>

namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// What text needs against its ground, and the darkest ground of a light
// style seen through an overlay's plate or glow.
constexpr double textRatio = 4.5;
constexpr double darkestLightGround = 0.25;

} // namespace

namespace MapContrast {

double luminance(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

double ratio(double a, double b) { return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05); }

bool isLightHalo(const QColor& halo) { return halo.isValid() && luminance(halo) >= 0.5; }

QColor onHalo(const QColor& colour, const QColor& halo)
{
    const double ceiling = (darkestLightGround + 0.05) / textRatio - 0.05;
    if (!isLightHalo(halo) || luminance(colour) <= ceiling)
        return colour;
    // The same hue and saturation at the highest value dark enough:
    // luminance grows with the value, so the interval is halved.
    const QColor hsv = colour.toHsv();
    double low = 0;
    double high = hsv.valueF();
    for (int step = 0; step < 20; ++step) {
        const double mid = (low + high) / 2;
        if (luminance(QColor::fromHsvF(hsv.hsvHueF(), hsv.hsvSaturationF(), float(mid))) <= ceiling)
            low = mid;
        else
            high = mid;
    }
    return QColor::fromHsvF(hsv.hsvHueF(), hsv.hsvSaturationF(), float(low), colour.alphaF()).toRgb();
}

} // namespace MapContrast
