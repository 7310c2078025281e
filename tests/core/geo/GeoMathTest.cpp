#include "geo/GeoMath.h"

#include <QJsonDocument>
#include <QSet>
#include <gtest/gtest.h>

#include <limits>
#include <unordered_set>

namespace {

GeoCoordinate decode(const char* json)
{
    const auto result = GeoCoordinate::fromJson(QJsonDocument::fromJson(json).object());
    return result.value_or(GeoCoordinate { -999, -999 });
}

bool decodes(const char* json) { return GeoCoordinate::fromJson(QJsonDocument::fromJson(json).object()).has_value(); }

} // namespace

TEST(GeoCoordinate, EqualityAndHashingTreatSignedZeroAlike)
{
    const GeoCoordinate plus { 0.0, 12.5 };
    const GeoCoordinate minus { -0.0, 12.5 };
    EXPECT_EQ(plus, minus);
    EXPECT_EQ(qHash(plus), qHash(minus));
    EXPECT_EQ(qHash(plus, 7), qHash(minus, 7));
    EXPECT_EQ(std::hash<GeoCoordinate>()(plus), std::hash<GeoCoordinate>()(minus));
    EXPECT_EQ(QSet<GeoCoordinate>({ plus, minus }).size(), 1);
    EXPECT_EQ((std::unordered_set<GeoCoordinate> { plus, minus }.size()), 1u);

    // Latitude and longitude are not interchangeable.
    EXPECT_NE(GeoCoordinate(1, 2), GeoCoordinate(2, 1));
    EXPECT_NE(qHash(GeoCoordinate { 1, 2 }), qHash(GeoCoordinate { 2, 1 }));

    const GeoCoordinate nan { std::numeric_limits<double>::quiet_NaN(), 0 };
    EXPECT_FALSE(nan == nan);
}

TEST(GeoCoordinate, JsonIsStrictAboutBothKeys)
{
    EXPECT_EQ(decode(R"({"latitude": 1.5, "longitude": -2})"), GeoCoordinate(1.5, -2));
    EXPECT_EQ(decode(R"({"longitude": 3, "latitude": 4, "name": "x", "altitude": 5})"), GeoCoordinate(4, 3));
    EXPECT_FALSE(decodes(R"({"latitude": 1.5})"));
    EXPECT_FALSE(decodes(R"({"longitude": 1.5})"));
    EXPECT_FALSE(decodes(R"({"latitude": "1.5", "longitude": 2})"));
    EXPECT_FALSE(decodes(R"({"latitude": 1.5, "longitude": null})"));
    EXPECT_FALSE(decodes(R"({"latitude": [1], "longitude": 2})"));
    EXPECT_FALSE(decodes(R"({})"));

    const GeoCoordinate c { -33.87, 151.21 };
    const QJsonObject encoded = c.toJson();
    EXPECT_EQ(encoded.keys(), (QStringList { "latitude", "longitude" }));
    EXPECT_EQ(GeoCoordinate::fromJson(encoded), c);
}

TEST(GeoMath, AnglesWrapIntoTheirRanges)
{
    const std::pair<double, double> cases180[] = {
        { -180, 180 },  { 180, 180 }, { 181, -179 }, { -181, 179 },      { 360, 0 },
        { 720.5, 0.5 }, { 540, 180 }, { -540, 180 }, { -179.5, -179.5 }, { 0, 0 },
    };
    for (auto [in, out] : cases180)
        EXPECT_DOUBLE_EQ(wrap180(in), out) << in;

    const std::pair<double, double> cases360[] = { { -1, 359 }, { 360, 0 }, { 725, 5 }, { -360, 0 }, { 359.5, 359.5 } };
    for (auto [in, out] : cases360)
        EXPECT_DOUBLE_EQ(wrap360(in), out) << in;

    EXPECT_DOUBLE_EQ(radians(180), std::numbers::pi);
    EXPECT_DOUBLE_EQ(degrees(std::numbers::pi / 2), 90);
    EXPECT_NEAR(GeoMath::earthCircumferenceKm, 40030.173592041145, 1e-9);
}

TEST(GeoMath, DistancesOnTheSphere)
{
    EXPECT_EQ(GeoMath::distanceKm({ 51.5, -0.1 }, { 51.5, -0.1 }), 0);
    EXPECT_NEAR(GeoMath::distanceKm({ 0, 0 }, { 0, 180 }), 20015.086796, 1e-6);
    EXPECT_NEAR(GeoMath::distanceKm({ 0, 0 }, { 0, 1 }), 111.1949, 1e-4);
    // Exact antipodes off the equator must not take asin out of its domain.
    EXPECT_NEAR(GeoMath::distanceKm({ 37.3, -122.1 }, { -37.3, 57.9 }), 20015.086796, 1e-6);
    EXPECT_NEAR(GeoMath::distanceKm({ 90, 0 }, { -90, 0 }), 20015.086796, 1e-6);
    // Across the antimeridian the short way round is taken.
    EXPECT_NEAR(GeoMath::distanceKm({ 0, 179.5 }, { 0, -179.5 }), 111.1949, 1e-4);
}

TEST(GeoMath, InitialBearings)
{
    EXPECT_DOUBLE_EQ(GeoMath::bearing({ 0, 0 }, { 0, 90 }), 90);
    EXPECT_DOUBLE_EQ(GeoMath::bearing({ 0, 0 }, { 0, -90 }), 270);
    EXPECT_DOUBLE_EQ(GeoMath::bearing({ 0, 0 }, { 10, 0 }), 0);
    EXPECT_DOUBLE_EQ(GeoMath::bearing({ 0, 0 }, { -10, 0 }), 180);
    EXPECT_EQ(GeoMath::bearing({ 48.2, 16.4 }, { 48.2, 16.4 }), 0);
    // Eastwards across the antimeridian, not all the way round westwards.
    EXPECT_NEAR(GeoMath::bearing({ 0, 179 }, { 0, -179 }), 90, 1e-9);
    const double b = GeoMath::bearing({ 51.5, -0.1 }, { -33.87, 151.21 });
    EXPECT_GE(b, 0);
    EXPECT_LT(b, 360);
}

TEST(GeoMath, DestinationWrapsAcrossTheAntimeridian)
{
    const GeoCoordinate d = GeoMath::destination({ 0, 179 }, 90, 222.389853);
    EXPECT_NEAR(d.latitude, 0, 1e-12);
    EXPECT_NEAR(d.longitude, -179.000000003, 1e-8);

    // A start longitude beyond ±180 is wrapped through the result.
    const GeoCoordinate e = GeoMath::destination({ 10, 370 }, 0, 0);
    EXPECT_NEAR(e.latitude, 10, 1e-12);
    EXPECT_NEAR(e.longitude, 10, 1e-12);

    // Going and measuring back agree.
    const GeoCoordinate from { 51.5, -0.1 };
    const GeoCoordinate to = GeoMath::destination(from, 47.0, 5000);
    EXPECT_NEAR(GeoMath::distanceKm(from, to), 5000, 1e-6);
    EXPECT_NEAR(GeoMath::bearing(from, to), 47.0, 1e-9);
}

TEST(GeoMath, GreatCirclePathRunsFromStartToLength)
{
    const GeoCoordinate from { 51.5, -0.1 };
    const auto path = GeoMath::greatCirclePath(from, 60, 8000, 240);
    ASSERT_EQ(path.size(), 241);
    EXPECT_NEAR(path.front().latitude, from.latitude, 1e-12);
    EXPECT_NEAR(path.front().longitude, from.longitude, 1e-12);
    EXPECT_NEAR(GeoMath::distanceKm(from, path.back()), 8000, 1e-6);
    for (qsizetype i = 1; i < path.size(); ++i)
        EXPECT_NEAR(GeoMath::distanceKm(path[i - 1], path[i]), 8000.0 / 240, 1e-6) << i;
    const GeoCoordinate end = GeoMath::destination(from, 60, 8000);
    EXPECT_NEAR(path.back().latitude, end.latitude, 1e-9);
    EXPECT_NEAR(path.back().longitude, end.longitude, 1e-9);

    // Half way round northwards from (0, 0) passes the pole and ends near (0, 180).
    const auto overPole = GeoMath::greatCirclePath({ 0, 0 }, 0, 20015.0868, 240);
    ASSERT_EQ(overPole.size(), 241);
    EXPECT_NEAR(overPole[120].latitude, 90, 1e-6);
    EXPECT_NEAR(overPole.back().latitude, 0, 1e-6);
    EXPECT_NEAR(std::abs(overPole.back().longitude), 180, 1e-6);
    for (const GeoCoordinate& p : overPole) {
        EXPECT_GT(p.longitude, -180);
        EXPECT_LE(p.longitude, 180);
    }

    // Without steps there is nothing to divide: only the start comes back.
    for (int steps : { 0, -3 }) {
        const auto single = GeoMath::greatCirclePath({ 12, 190 }, 33, 1000, steps);
        ASSERT_EQ(single.size(), 1);
        EXPECT_NEAR(single.front().latitude, 12, 1e-12);
        EXPECT_NEAR(single.front().longitude, -170, 1e-12);
    }
}
