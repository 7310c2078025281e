#include "rotator/RotatorGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

TEST(RotatorGeometry, KeepsOnlyTheTwoRanges)
{
    EXPECT_EQ(RotatorGeometry(400, 0).range(), 360);
    EXPECT_EQ(RotatorGeometry(0, 0).range(), 360);
    EXPECT_EQ(RotatorGeometry(-450, 0).range(), 360);
    EXPECT_EQ(RotatorGeometry(360, 0).range(), 360);
    const RotatorGeometry overlap(450, -12.5);
    EXPECT_EQ(overlap.range(), 450);
    EXPECT_EQ(overlap.offset(), -12.5);
    EXPECT_EQ(RotatorGeometry(400, 3), RotatorGeometry(360, 3));
    EXPECT_NE(RotatorGeometry(450, 3), RotatorGeometry(360, 3));
    EXPECT_NE(RotatorGeometry(360, 3), RotatorGeometry(360, 3.5));
    EXPECT_EQ(RotatorGeometry(), RotatorGeometry(360, 0));
}

TEST(RotatorGeometry, TurnsReadingsIntoHeadings)
{
    struct Row {
        int range;
        double offset;
        double raw;
        double heading;
    };
    const Row rows[] = {
        { 360, 10, 355, 5 }, { 360, 10, -20, 350 },    { 450, 0, 400, 40 }, { 450, 0, 450, 90 }, { 360, 0, 360, 0 },
        { 360, 0, 0, 0 },    { 360, -12.5, 0, 347.5 }, { 360, 725, 0, 5 },  { 360, 0, -720, 0 },
    };
    for (const Row& r : rows)
        EXPECT_DOUBLE_EQ(RotatorGeometry(r.range, r.offset).heading(r.raw), r.heading)
            << "range " << r.range << " offset " << r.offset << " raw " << r.raw;
}

TEST(RotatorGeometry, ChoosesTheNearestTarget)
{
    struct Row {
        int range;
        double offset;
        double bearing;
        std::optional<double> current;
        int target;
    };
    const std::optional<double> unknown;
    const Row rows[] = {
        { 360, 10, 5, unknown, 355 },  { 450, 0, 30, 380, 390 },
        { 450, 0, 30, 200, 30 },       { 450, 0, 30, 210, 30 }, // a tie keeps the plain target
        { 450, 0, 30, 211, 390 },      { 450, 0, 30, unknown, 30 },
        { 450, 0, 100, 440, 100 }, // beyond 90 there is no overlap
        { 450, 0, 90, 440, 450 },      { 450, 0, 0, 400, 360 },
        { 450, 0, 359.6, 440, 360 },   { 360, 0, 30, 380, 30 },
        { 360, 0, 359.6, unknown, 0 }, { 360, 0, 44.5, unknown, 45 },
        { 360, 0, 359.5, unknown, 0 }, { 360, 0, 44.4, unknown, 44 },
        { 360, 0, -90, unknown, 270 }, { 360, 0, 720.2, unknown, 0 },
        { 450, 20, 10, 420, 350 },     { 450, -20, 50, 430, 430 },
    };
    for (const Row& r : rows)
        EXPECT_EQ(RotatorGeometry(r.range, r.offset).target(r.bearing, r.current), r.target)
            << "range " << r.range << " offset " << r.offset << " bearing " << r.bearing << " current "
            << (r.current ? std::to_string(*r.current) : std::string("none"));
}

TEST(RotatorGeometry, TargetsAndHeadingsAgree)
{
    // Whatever the offset, sending the target of a whole bearing and reading
    // it back gives that bearing again.
    for (const int range : { 360, 450 })
        for (const double offset : { 0.0, 10.0, -12.0, 185.0 })
            for (int bearing = 0; bearing < 360; bearing += 7) {
                const RotatorGeometry g(range, offset);
                const int raw = g.target(bearing, 420.0);
                EXPECT_GE(raw, 0);
                EXPECT_LE(raw, range == 450 ? 450 : 359);
                EXPECT_NEAR(g.heading(raw), bearing, 1e-9) << range << " " << offset << " " << bearing;
            }
}

TEST(RotatorGeometry, SurvivesNonFiniteInput)
{
    // Outside what callers pass, but it must not reach undefined integer
    // conversion.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const RotatorGeometry overlap(450, 0);
    EXPECT_EQ(overlap.target(nan, std::nullopt), 0);
    EXPECT_EQ(overlap.target(inf, 30.0), 0);
    EXPECT_EQ(RotatorGeometry(450, inf).target(10, 30.0), 0);
    EXPECT_EQ(overlap.target(10, nan), 10);
}
