#include "prediction/PropagationPredictor.h"
#include "geo/SolarCalculator.h"
#include "spaceweather/MUFField.h"

#include <QTimeZone>
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
Geometry workedGeometry() { return Geometry { 2000, 1, 2000, { GeoCoordinate { 50, 10 } } }; }

Conditions workedConditions() { return Conditions { { 20.0 }, { 0.6, 0.6 }, 0, 30, 100, 2 }; }

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
    const Conditions c = PropagationPredictor::conditions(
        same, london, london, [](const GeoCoordinate&) { return 30.0; }, GeoCoordinate { 0, 0 }, 100, 2, false);
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

    // Every crossing as the plain formulas give it: the point along the
    // bearing, the sun's elevation there and its geomagnetic latitude.
    const struct {
        GeoCoordinate from;
        GeoCoordinate to;
        bool longPath;
        GeoCoordinate subsolar;
    } paths[] = {
        { london, { 35.7, 139.7 }, false, { 10, 30 } },
        { london, { 35.7, 139.7 }, true, { -23, -100 } },
        { { -33.9, 151.2 }, { 21.3, -157.8 }, false, { 5, 170 } }, // over the antimeridian
        { { 64.1, -21.9 }, { 61.2, -149.9 }, false, { 23, -60 } }, // through the auroral zone
        { { 89.9, 0 }, { -60, 45 }, true, { -23, 0 } },
    };
    for (const auto& path : paths) {
        const Geometry g = PropagationPredictor::geometry(path.from, path.to, path.longPath);
        const Conditions got = PropagationPredictor::conditions(
            g, path.from, path.to, [](const GeoCoordinate&) { return 10.0; }, path.subsolar, 0, 0, path.longPath);
        const double b = GeoMath::bearing(path.from, path.to) + (path.longPath ? 180 : 0);
        const double off = std::min(g.hopKm / 4, 250.0);
        double exposure = 0;
        for (int i = 0; i < 2 * g.hops; ++i) {
            const double along = i % 2 ? (i / 2 + 1) * g.hopKm - off : (i / 2) * g.hopKm + off;
            const GeoCoordinate p = GeoMath::destination(path.from, b, along);
            const double sinElevation = std::sin(radians(SolarCalculator::elevation(p, path.subsolar)));
            EXPECT_NEAR(got.dLayerCrossings[i], std::pow(std::max(sinElevation, 0.05), 0.75), 1e-12);
            exposure += std::exp(-std::pow((std::abs(PropagationPredictor::geomagneticLatitude(p)) - 66) / 6, 2));
        }
        EXPECT_NEAR(got.auroralExposure, exposure, 1e-9);
    }

    // A path in the dark throughout has the floor at every crossing.
    const Geometry dark = PropagationPredictor::geometry(london, GeoMath::destination(london, 90, 800), false);
    const Conditions night = PropagationPredictor::conditions(
        dark, london, dark.points.front(), [](const GeoCoordinate&) { return 10.0; }, GeoCoordinate { 0, 180 }, 0, 0,
        false);
    for (const double x : night.dLayerCrossings)
        EXPECT_DOUBLE_EQ(x, std::pow(0.05, 0.75));

    // No hops: no crossings, no exposure.
    const Conditions none = PropagationPredictor::conditions(
        Geometry { 0, 0, 0, {} }, london, london, [](const GeoCoordinate&) { return 10.0; }, GeoCoordinate { 0, 0 }, 0,
        0, false);
    EXPECT_TRUE(none.mufs.isEmpty());
    EXPECT_TRUE(none.dLayerCrossings.isEmpty());
    EXPECT_EQ(none.auroralExposure, 0.0);
}

TEST(PropagationPredictor, GeomagneticLatitude)
{
    EXPECT_NEAR(PropagationPredictor::geomagneticLatitude({ 80.8, -72.7 }), 90, 1e-9);
    EXPECT_NEAR(PropagationPredictor::geomagneticLatitude({ -80.8, 107.3 }), -90, 1e-6);
    EXPECT_NEAR(PropagationPredictor::geomagneticLatitude({ 0, 0 }),
                90 - degrees(GeoMath::distanceKm({ 0, 0 }, { 80.8, -72.7 }) / 6371), 1e-12);

    // Both poles lie 24° from the auroral centre, weight exp(−16).
    const GeoCoordinate pole { 80.8, -72.7 };
    const Geometry tiny { 0, 1, 0, { pole } };
    const Conditions c = PropagationPredictor::conditions(
        tiny, pole, pole, [](const GeoCoordinate&) { return 5.0; }, GeoCoordinate { 0, 0 }, 0, 0, false);
    EXPECT_NEAR(c.auroralExposure, 2 * std::exp(-16.0), 1e-12);
}

TEST(PropagationPredictor, BandsAtTheFieldsTimeAndOverADay)
{
    IonosondeReading station;
    station.code = QStringLiteral("JR055");
    station.coordinate = { 35.7, 140.1 };
    station.mufd = 24;
    station.confidence = 90;
    const QDateTime date(QDate(2026, 3, 20), QTime(17, 40, 12), QTimeZone::utc());
    const MUFField field({ station }, 120.0, date);
    const GeoCoordinate tokyo { 35.7, 139.7 };
    const auto p = predictor(400, PredictionMode::cw);

    // The ten bands share one geometry and one set of conditions, and
    // agree with the single-frequency path.
    auto expected = [&](const MUFField& f) {
        const Geometry g = PropagationPredictor::geometry(london, tokyo, false);
        const Conditions c = PropagationPredictor::conditions(
            g, london, tokyo, [&f](const GeoCoordinate& q) { return f.muf(q); },
            SolarCalculator::position(f.date()).subsolarPoint, f.sunspotNumber(), 3, false);
        QList<double> row;
        for (const auto& band : PropagationPredictor::bands)
            row.append(p.reliability(band.mhz, g, c));
        return row;
    };
    const QList<double> now = p.reliabilities(london, tokyo, field, 3);
    ASSERT_EQ(now.size(), 10);
    EXPECT_EQ(now, expected(field));
    for (const double r : now) {
        EXPECT_GE(r, 0.0);
        EXPECT_LE(r, 1.0);
    }

    // Each hour of the UTC day is read at its middle, whatever the time
    // of day (or the time zone) the date was given in.
    const QDateTime sameDayElsewhere = QDateTime(QDate(2026, 3, 21), QTime(0, 50), QTimeZone(3600 * 3));
    for (const QDateTime& day : { date, sameDayElsewhere }) {
        const DayChart chart = p.dayChart(london, tokyo, field, day, 3);
        ASSERT_EQ(chart.size(), 24);
        for (const int hour : { 0, 9, 23 }) {
            const QDateTime middle(QDate(2026, 3, 20), QTime(hour, 30), QTimeZone::utc());
            EXPECT_EQ(chart[hour], expected(field.projected(middle))) << hour;
        }
    }
    // The chart follows the sun: not every hour looks alike.
    const DayChart chart = p.dayChart(london, tokyo, field, date, 3);
    EXPECT_NE(chart[3], chart[15]);
}
