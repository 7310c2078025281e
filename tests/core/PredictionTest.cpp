#include "Prediction.h"
#include "SolarCalculator.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Geometry = PropagationPredictor::Geometry;
using Conditions = PropagationPredictor::PathConditions;

PropagationPredictor predictor(double powerW = 100, PredictionMode mode = PredictionMode::ssb)
{
    return PropagationPredictor(StationSetup(powerW, StationAntennas(), mode, NoiseEnvironment::residential));
}

// The 2000 km one-hop path worked through by hand.
Geometry workedGeometry()
{
    return Geometry { 2000, 1, 2000, { GeoCoordinate { 50, 10 } } };
}

Conditions workedConditions()
{
    return Conditions { { 20.0 }, { 0.6, 0.6 }, 0, 30, 100, 2 };
}

const GeoCoordinate london { 51.5, -0.12 };

} // namespace

TEST(PropagationPredictor, WorkedExample)
{
    const auto p = predictor();
    EXPECT_NEAR(p.reliability(14.15, workedGeometry(), workedConditions()), 0.69336, 0.000005);

    Conditions night = workedConditions();
    night.receiverSunElevation = -30;
    night.auroralExposure = 1;
    EXPECT_NEAR(p.reliability(14.15, workedGeometry(), night), 0.64141, 0.000005);
}

TEST(PropagationPredictor, ReliabilityTerms)
{
    const auto p = predictor();
    const Geometry g = workedGeometry();
    const Conditions c = workedConditions();

    // The day line holds from 6° up, the night line from −6° down.
    auto at = [&](double elevation) {
        Conditions x = c;
        x.receiverSunElevation = elevation;
        return p.reliability(14.15, g, x);
    };
    EXPECT_EQ(at(6), at(80));
    EXPECT_EQ(at(-6), at(-80));
    EXPECT_GT(at(6), at(0));
    EXPECT_GT(at(0), at(-6));

    // No power counts as 0.1 W.
    for (const double w : { 0.0, -5.0 })
        EXPECT_EQ(predictor(w).reliability(14.15, g, c), predictor(0.1).reliability(14.15, g, c));

    // A frequency at the effective MUF has even odds of being below it; a
    // 1500 km hop keeps two thirds of the lowest hop MUF. Enough power makes
    // the signal-to-noise factor 1.
    const Geometry short1500 { 1500, 1, 1500, { london } };
    const Conditions twoMUFs { { 30.0, 21.21 }, { 1, 1 }, 0, 30, 0, 0 };
    EXPECT_NEAR(predictor(1e15).reliability(14.14, short1500, twoMUFs), 0.5, 1e-9);
    // Far enough above the effective MUF the path is closed outright.
    EXPECT_EQ(predictor(1e15).reliability(14.14 * 1.47, short1500, twoMUFs), 0.0);
    EXPECT_GT(predictor(1e15).reliability(14.14 * 1.46, short1500, twoMUFs), 0.0);

    // No MUF values, a path of at most 1 km, or a frequency that is not
    // positive: closed.
    EXPECT_EQ(p.reliability(14.15, g, Conditions { {}, { 0.6, 0.6 }, 0, 30, 100, 2 }), 0.0);
    EXPECT_EQ(p.reliability(3.5, Geometry { 1, 1, 1, { london } }, c), 0.0);
    EXPECT_EQ(p.reliability(0, g, c), 0.0);
    EXPECT_EQ(p.reliability(-3, g, c), 0.0);
}

TEST(PropagationPredictor, Bands)
{
    ASSERT_EQ(PropagationPredictor::bands.size(), 10u);
    EXPECT_EQ(PropagationPredictor::bands.front().band, Band::m10);
    EXPECT_EQ(PropagationPredictor::bands.back().band, Band::m160);
    for (const auto& entry : StationAntennas::bands)
        EXPECT_EQ(PropagationPredictor::mhz(entry.band),
                  entry.band == Band::m6 ? std::nullopt : std::optional(entry.mhz));
    EXPECT_EQ(PropagationPredictor::mhz(Band::m20), 14.15);
    EXPECT_EQ(PropagationPredictor::mhz(Band::m4), std::nullopt);
    EXPECT_EQ(PropagationPredictor::mhz(Band::m2), std::nullopt);
}

TEST(PropagationPredictor, GeometryHops)
{
    const GeoCoordinate equator { 0, 0 };
    auto eastward = [&](double km) { return GeoMath::destination(equator, 90, km); };
    const struct {
        double km;
        int hops;
    } cases[] = { { 100, 1 }, { 2999, 1 }, { 3001, 2 }, { 5999, 2 }, { 6001, 3 }, { 9000.5, 4 }, { 8999, 3 } };
    for (const auto& c : cases) {
        const Geometry g = PropagationPredictor::geometry(equator, eastward(c.km), false);
        EXPECT_EQ(g.hops, c.hops) << c.km;
        EXPECT_NEAR(g.distanceKm, c.km, 1e-6);
        EXPECT_DOUBLE_EQ(g.hopKm, g.distanceKm / g.hops);
        ASSERT_EQ(g.points.size(), c.hops);
        for (int i = 0; i < g.hops; ++i) {
            EXPECT_NEAR(g.points[i].latitude, 0, 1e-9);
            EXPECT_NEAR(g.points[i].longitude, degrees((i + 0.5) * g.hopKm / 6371), 1e-9);
        }
    }

    // The same place: no length, one hop at the station, never open.
    const Geometry same = PropagationPredictor::geometry(london, london, false);
    EXPECT_EQ(same.distanceKm, 0.0);
    EXPECT_EQ(same.hops, 1);
    ASSERT_EQ(same.points.size(), 1);
    EXPECT_NEAR(same.points[0].latitude, london.latitude, 1e-12);
    EXPECT_NEAR(same.points[0].longitude, london.longitude, 1e-12);
    const Conditions c = PropagationPredictor::conditions(same, london, london, [](const GeoCoordinate&) { return 30.0; },
                                                          GeoCoordinate { 0, 0 }, 100, 2, false);
    for (const auto& band : PropagationPredictor::bands)
        EXPECT_EQ(predictor(1e6).reliability(band.mhz, same, c), 0.0);

    // The long way round between places 5000 km apart, bearing reversed.
    const GeoCoordinate far = GeoMath::destination(london, 60, 5000);
    const Geometry longPath = PropagationPredictor::geometry(london, far, true);
    EXPECT_NEAR(longPath.distanceKm, 40030.173592041145 - 5000, 1e-6);
    EXPECT_EQ(longPath.hops, 12);
    const GeoCoordinate first = GeoMath::destination(london, 240, longPath.hopKm / 2);
    EXPECT_NEAR(longPath.points.front().latitude, first.latitude, 1e-9);
    EXPECT_NEAR(longPath.points.front().longitude, first.longitude, 1e-9);
}

TEST(PropagationPredictor, Conditions)
{
    const GeoCoordinate to = GeoMath::destination(london, 100, 7000);
    for (const bool longPath : { false, true }) {
        const Geometry g = PropagationPredictor::geometry(london, to, longPath);
        const GeoCoordinate subsolar { -20, 150 };
        const Conditions c = PropagationPredictor::conditions(
            g, london, to, [](const GeoCoordinate& p) { return p.latitude; }, subsolar, 87, 4, longPath);
        ASSERT_EQ(c.mufs.size(), g.hops);
        for (int i = 0; i < g.hops; ++i)
            EXPECT_EQ(c.mufs[i], g.points[i].latitude);
        ASSERT_EQ(c.dLayerCrossings.size(), 2 * g.hops);
        for (const double x : c.dLayerCrossings) {
            EXPECT_GE(x, std::pow(0.05, 0.75));
            EXPECT_LE(x, 1.0);
        }
        EXPECT_GE(c.auroralExposure, 0);
        EXPECT_LE(c.auroralExposure, 2 * g.hops);
        EXPECT_EQ(c.receiverSunElevation, SolarCalculator::elevation(to, subsolar));
        EXPECT_EQ(c.sunspotNumber, 87);
        EXPECT_EQ(c.kp, 4);
    }

    // A path in the dark throughout has the floor at every crossing.
    const Geometry dark = PropagationPredictor::geometry(london, GeoMath::destination(london, 90, 800), false);
    const Conditions night = PropagationPredictor::conditions(
        dark, london, dark.points.front(), [](const GeoCoordinate&) { return 10.0; }, GeoCoordinate { 0, 180 }, 0,
        0, false);
    for (const double x : night.dLayerCrossings)
        EXPECT_DOUBLE_EQ(x, std::pow(0.05, 0.75));

    // No hops: no crossings, no exposure.
    const Conditions none = PropagationPredictor::conditions(Geometry { 0, 0, 0, {} }, london, london,
                                                             [](const GeoCoordinate&) { return 10.0; },
                                                             GeoCoordinate { 0, 0 }, 0, 0, false);
    EXPECT_TRUE(none.mufs.isEmpty());
    EXPECT_TRUE(none.dLayerCrossings.isEmpty());
    EXPECT_EQ(none.auroralExposure, 0.0);
}

TEST(PropagationPredictor, GeomagneticLatitude)
{
    EXPECT_NEAR(PropagationPredictor::geomagneticLatitude({ 80.8, -72.7 }), 90, 1e-9);
    EXPECT_NEAR(PropagationPredictor::geomagneticLatitude({ -80.8, 107.3 }), -90, 1e-6);
    EXPECT_NEAR(PropagationPredictor::geomagneticLatitude({ 0, 0 }), 90 - degrees(GeoMath::distanceKm({ 0, 0 }, { 80.8, -72.7 }) / 6371), 1e-12);

    // Both poles lie 24° from the auroral centre, weight exp(−16).
    const GeoCoordinate pole { 80.8, -72.7 };
    const Geometry tiny { 0, 1, 0, { pole } };
    const Conditions c = PropagationPredictor::conditions(tiny, pole, pole, [](const GeoCoordinate&) { return 5.0; },
                                                          GeoCoordinate { 0, 0 }, 0, 0, false);
    EXPECT_NEAR(c.auroralExposure, 2 * std::exp(-16.0), 1e-12);
}
