#include "spaceweather/SpaceWeather.h"

#include <QTimeZone>
#include <gtest/gtest.h>

#include <limits>

namespace {

// A grid whose every cell holds a value derived from its place, so a wrong
// column or row shows.
AuroraGrid numberedGrid()
{
    AuroraGrid grid;
    grid.values.resize(AuroraGrid::width * AuroraGrid::height);
    for (int row = 0; row < AuroraGrid::height; ++row)
        for (int column = 0; column < AuroraGrid::width; ++column)
            grid.values[row * AuroraGrid::width + column] = std::uint8_t((row * 7 + column) % 251);
    return grid;
}

std::uint8_t cell(int column, int row) { return std::uint8_t((row * 7 + column) % 251); }

QDateTime utc(int h) { return QDateTime(QDate(2026, 8, 18), QTime(h, 0), QTimeZone::utc()); }

} // namespace

TEST(AuroraGrid, FindsTheNearestNode)
{
    const AuroraGrid grid = numberedGrid();
    EXPECT_EQ(grid.value(GeoCoordinate { 0, 0 }), cell(180, 90));
    EXPECT_EQ(grid.value(GeoCoordinate { 51.4, -0.6 }), cell(179, 39));
    EXPECT_EQ(grid.value(GeoCoordinate { -33.5, 151.5 }), cell(332, 124)); // halves away from zero
    EXPECT_EQ(grid.value(GeoCoordinate { 0, 180 }), cell(0, 90));
    EXPECT_EQ(grid.value(GeoCoordinate { 0, -180 }), cell(0, 90));
    EXPECT_EQ(grid.value(GeoCoordinate { 0, 179.4 }), cell(359, 90));
    EXPECT_EQ(grid.value(GeoCoordinate { 0, 179.5 }), cell(0, 90));
    EXPECT_EQ(grid.value(GeoCoordinate { 0, -540 }), cell(0, 90));
    EXPECT_EQ(grid.value(GeoCoordinate { 0, 540 }), cell(0, 90));
    EXPECT_EQ(grid.value(GeoCoordinate { 0, 370 }), cell(190, 90));
}

TEST(AuroraGrid, ClampsLatitudesToThePoles)
{
    const AuroraGrid grid = numberedGrid();
    EXPECT_EQ(grid.value(GeoCoordinate { 90, 0 }), cell(180, 0));
    EXPECT_EQ(grid.value(GeoCoordinate { -90, 0 }), cell(180, 180));
    EXPECT_EQ(grid.value(GeoCoordinate { 123, 0 }), cell(180, 0));
    EXPECT_EQ(grid.value(GeoCoordinate { -1e300, 0 }), cell(180, 180));
}

TEST(AuroraGrid, NeverReadsOutsideItsValues)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const AuroraGrid grid = numberedGrid();
    EXPECT_EQ(grid.value(GeoCoordinate { nan, 0 }), 0);
    EXPECT_EQ(grid.value(GeoCoordinate { 0, std::numeric_limits<double>::infinity() }), 0);
    EXPECT_EQ(grid.value(360, 0), 0);
    EXPECT_EQ(grid.value(0, -1), 0);

    const AuroraGrid empty;
    EXPECT_EQ(empty.value(GeoCoordinate { 60, 10 }), 0);
    EXPECT_EQ(empty.maxValue(), 0);
}

TEST(AuroraGrid, MaxValue)
{
    AuroraGrid grid;
    grid.values.assign(AuroraGrid::width * AuroraGrid::height, 0);
    EXPECT_EQ(grid.maxValue(), 0);
    grid.values[1234] = 87;
    grid.values[40000] = 12;
    EXPECT_EQ(grid.maxValue(), 87);
}

TEST(SpaceWeatherSnapshot, StartsEmpty)
{
    const SpaceWeatherSnapshot snapshot;
    EXPECT_FALSE(snapshot.aurora || snapshot.kpNow || snapshot.solarFlux || snapshot.bz || snapshot.bt
                 || snapshot.windSpeed || snapshot.sunspotNumber || snapshot.fetchedAt || snapshot.aIndexValue);
    EXPECT_TRUE(snapshot.kpHistory.isEmpty());
    EXPECT_TRUE(snapshot.errors.isEmpty());
    EXPECT_EQ(snapshot.indexSource, IndexSource::noaa);
    EXPECT_FALSE(snapshot.aIndex().has_value());
}

TEST(SpaceWeatherSnapshot, AIndexPrefersTheDirectValueThenTheLatestSample)
{
    SpaceWeatherSnapshot snapshot;
    snapshot.kpHistory = { { utc(0), 3, 15 }, { utc(3), 2.67, std::nullopt } };
    EXPECT_FALSE(snapshot.aIndex().has_value());
    snapshot.kpHistory.append({ utc(6), 4, 22 });
    EXPECT_EQ(snapshot.aIndex(), 22.0);
    snapshot.aIndexValue = 9;
    EXPECT_EQ(snapshot.aIndex(), 9.0);
}

TEST(SpaceWeatherRatings, FluxAndSunspots)
{
    using S = SpaceWeatherSnapshot;
    const std::pair<double, const char*> flux[] = {
        { 0, "Poor" },        { 69.9, "Poor" },       { 70, "Fair" },       { 89.99, "Fair" },    { 90, "Good" },
        { 120, "Very good" }, { 149.9, "Very good" }, { 150, "Excellent" }, { 300, "Excellent" },
    };
    for (const auto& [value, text] : flux)
        EXPECT_EQ(S::fluxRating(value), text) << value;
    const std::pair<double, const char*> ssn[] = {
        { 0, "Very low" }, { 24.9, "Very low" }, { 25, "Low" },        { 50, "Moderate" },
        { 100, "High" },   { 149, "High" },      { 150, "Very high" },
    };
    for (const auto& [value, text] : ssn)
        EXPECT_EQ(S::sunspotRating(value), text) << value;
}

TEST(SpaceWeatherRatings, AIndexAndStormLevel)
{
    using S = SpaceWeatherSnapshot;
    const std::pair<double, const char*> a[] = {
        { 0, "Quiet" },        { 7.9, "Quiet" },      { 8, "Unsettled" },      { 16, "Active" },
        { 30, "Minor storm" }, { 50, "Major storm" }, { 99.9, "Major storm" }, { 100, "Severe storm" },
    };
    for (const auto& [value, text] : a)
        EXPECT_EQ(S::aRating(value), text) << value;
    const std::pair<double, const char*> kp[] = {
        { 0, "Quiet" },    { 2.67, "Quiet" }, { 3, "Unsettled" }, { 4, "Active" },      { 5, "G1 storm" },
        { 6, "G2 storm" }, { 7, "G3 storm" }, { 8, "G4 storm" },  { 8.67, "G4 storm" }, { 9, "G5 storm" },
    };
    for (const auto& [value, text] : kp)
        EXPECT_EQ(S::stormLevel(value), text) << value;
}
