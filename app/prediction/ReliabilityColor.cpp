#include "prediction/ReliabilityColor.h"

#include <array>

namespace {

struct Rgb {
    double red;
    double green;
    double blue;
};

struct Stop {
    double reliability;
    Rgb colour;
};

constexpr std::array<Stop, 6> stops { {
    { 0.1, { 0.3, 0.85, 0.95 } },
    { 0.3, { 0.3, 0.85, 0.4 } },
    { 0.5, { 0.75, 0.92, 0.25 } },
    { 0.7, { 0.98, 0.85, 0.25 } },
    { 0.9, { 0.95, 0.45, 0.15 } },
    { 1.0, { 0.85, 0.15, 0.1 } },
} };

std::optional<Rgb> ramp(double v)
{
    if (!(v >= 0.05))
        return std::nullopt;
    if (v <= stops.front().reliability)
        return stops.front().colour;
    for (std::size_t i = 1; i < stops.size(); ++i) {
        const Stop& hi = stops[i];
        if (hi.reliability < v)
            continue;
        const Stop& lo = stops[i - 1];
        const double t = (v - lo.reliability) / (hi.reliability - lo.reliability);
        return Rgb { lo.colour.red + (hi.colour.red - lo.colour.red) * t,
                     lo.colour.green + (hi.colour.green - lo.colour.green) * t,
                     lo.colour.blue + (hi.colour.blue - lo.colour.blue) * t };
    }
    return stops.back().colour;
}

} // namespace

std::optional<QColor> reliabilityColor(double value)
{
    const auto rgb = ramp(value);
    if (!rgb)
        return std::nullopt;
    return QColor::fromRgbF(float(rgb->red), float(rgb->green), float(rgb->blue));
}

std::optional<QImage> coverageImage(const QList<double>& values, int width, int height)
{
    if (width <= 0 || height <= 0)
        return std::nullopt;
    QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    image.fill(Qt::transparent);
    const qsizetype cells = std::min<qsizetype>(qsizetype(width) * height, values.size());
    for (qsizetype i = 0; i < cells; ++i) {
        const auto rgb = ramp(values[i]);
        if (!rgb)
            continue;
        uchar* pixel = image.scanLine(int(i / width)) + (i % width) * 4;
        pixel[0] = uchar(rgb->red * 0.85 * 255);
        pixel[1] = uchar(rgb->green * 0.85 * 255);
        pixel[2] = uchar(rgb->blue * 0.85 * 255);
        pixel[3] = 216; // the integer part of 0.85 × 255
    }
    return image;
}
