#include "kit/MUFPalette.h"

#include "kit/Color.h"
#include "spaceweather/MUFGrid.h"

#include <array>
#include <cmath>

namespace {

struct Stop {
    double mhz;
    double r, g, b;
};

constexpr std::array<Stop, 6> ramp { {
    { 5, 0.66, 0.55, 0.78 },
    { 10, 0.62, 0.70, 0.85 },
    { 14, 0.45, 0.82, 0.78 },
    { 21, 0.62, 0.90, 0.55 },
    { 28, 0.98, 0.95, 0.55 },
    { 35, 1.00, 0.80, 0.35 },
} };

QColor colorOf(const Stop& s) { return QColor::fromRgbF(float(s.r), float(s.g), float(s.b)); }

} // namespace

QColor defaultMUFColor(double mhz)
{
    if (mhz <= ramp.front().mhz)
        return colorOf(ramp.front());
    for (std::size_t i = 1; i < ramp.size(); ++i) {
        const Stop& high = ramp[i];
        if (high.mhz >= mhz) {
            const Stop& low = ramp[i - 1];
            const double t = (mhz - low.mhz) / (high.mhz - low.mhz);
            return QColor::fromRgbF(float(low.r + (high.r - low.r) * t), float(low.g + (high.g - low.g) * t),
                                    float(low.b + (high.b - low.b) * t));
        }
    }
    // Above the top stop (and NaN, which lies between no stops).
    return colorOf(ramp.back());
}

const QStringList& MUFPalette::defaultHex()
{
    static const QStringList texts = [] {
        QStringList list;
        for (double level : MUFGrid::levels)
            list << Color::hexString(defaultMUFColor(level));
        return list;
    }();
    return texts;
}

MUFPalette MUFPalette::fromHex(const QString& text)
{
    QStringList pieces = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& piece : pieces)
        piece = Color::trimBlanks(piece);
    if (pieces.size() != qsizetype(MUFGrid::levels.size()))
        pieces = defaultHex();

    MUFPalette palette;
    palette.hex = pieces;
    for (const QString& piece : pieces)
        palette.colors << Color::fromHex(piece);
    return palette;
}

QColor MUFPalette::color(double mhz) const
{
    const auto& levels = MUFGrid::levels;
    if (colors.size() != qsizetype(levels.size()))
        return colors.isEmpty() ? QColor(Qt::black) : colors.last();
    if (mhz <= levels[0])
        return colors[0];
    for (std::size_t i = 1; i < levels.size(); ++i)
        if (levels[i] >= mhz)
            return Color::mix(colors[qsizetype(i - 1)], colors[qsizetype(i)],
                              (mhz - levels[i - 1]) / (levels[i] - levels[i - 1]));
    return colors.last();
}
