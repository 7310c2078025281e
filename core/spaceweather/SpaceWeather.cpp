#include "spaceweather/SpaceWeather.h"

#include <QHashFunctions>

#include <algorithm>
#include <cmath>

namespace {

struct Rating {
    double below;
    const char* text;
};

// The first threshold the value is strictly below names it; the last text
// is for everything above.
template <std::size_t N>
QString rate(double value, const Rating (&ratings)[N], const char* otherwise)
{
    for (const Rating& rating : ratings)
        if (value < rating.below)
            return QString::fromLatin1(rating.text);
    return QString::fromLatin1(otherwise);
}

} // namespace

std::uint8_t AuroraGrid::value(int column, int row) const
{
    if (column < 0 || column >= width || row < 0 || row >= height)
        return 0;
    const std::size_t index = std::size_t(row) * width + std::size_t(column);
    return index < values.size() ? values[index] : 0;
}

std::uint8_t AuroraGrid::value(const GeoCoordinate& at) const
{
    if (!std::isfinite(at.latitude) || !std::isfinite(at.longitude))
        return 0;
    const int column = int(std::round(wrap360(at.longitude + 180))) % width;
    const double row = std::clamp(std::round(90 - at.latitude), 0.0, double(height - 1));
    return value(column, int(row));
}

std::uint8_t AuroraGrid::maxValue() const
{
    if (values.empty())
        return 0;
    return *std::max_element(values.begin(), values.end());
}

size_t qHash(const KpSample& sample, size_t seed)
{
    QtPrivate::QHashCombine combine;
    seed = combine(seed, sample.time);
    seed = combine(seed, sample.kp);
    seed = combine(seed, sample.aRunning.has_value());
    if (sample.aRunning)
        seed = combine(seed, *sample.aRunning);
    return seed;
}

std::optional<double> SpaceWeatherSnapshot::aIndex() const
{
    if (aIndexValue)
        return aIndexValue;
    if (kpHistory.isEmpty())
        return std::nullopt;
    return kpHistory.last().aRunning;
}

QString SpaceWeatherSnapshot::fluxRating(double flux)
{
    static constexpr Rating ratings[] = { { 70, "Poor" }, { 90, "Fair" }, { 120, "Good" }, { 150, "Very good" } };
    return rate(flux, ratings, "Excellent");
}

QString SpaceWeatherSnapshot::aRating(double a)
{
    static constexpr Rating ratings[] = {
        { 8, "Quiet" }, { 16, "Unsettled" }, { 30, "Active" }, { 50, "Minor storm" }, { 100, "Major storm" },
    };
    return rate(a, ratings, "Severe storm");
}

QString SpaceWeatherSnapshot::sunspotRating(double ssn)
{
    static constexpr Rating ratings[] = { { 25, "Very low" }, { 50, "Low" }, { 100, "Moderate" }, { 150, "High" } };
    return rate(ssn, ratings, "Very high");
}

QString SpaceWeatherSnapshot::stormLevel(double kp)
{
    static constexpr Rating ratings[] = {
        { 3, "Quiet" },    { 4, "Unsettled" }, { 5, "Active" },   { 6, "G1 storm" },
        { 7, "G2 storm" }, { 8, "G3 storm" },  { 9, "G4 storm" },
    };
    return rate(kp, ratings, "G5 storm");
}
