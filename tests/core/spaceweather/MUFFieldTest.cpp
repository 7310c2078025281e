#include "spaceweather/MUFField.h"
#include "spaceweather/MUFGrid.h"

#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

const QDateTime noonInAugust(QDate(2026, 8, 18), QTime(12, 5), QTimeZone::utc());
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// The weight of one full-quality station 1500 km away.
const double prior = std::exp(-1.0) / (1500.0 * 1500.0);

IonosondeReading reading(const QString& code, GeoCoordinate at, double mufd, std::optional<double> confidence = {})
{
    IonosondeReading r;
    r.code = code;
    r.name = code;
    r.coordinate = at;
    r.mufd = mufd;
    r.confidence = confidence;
    return r;
}

// A point on the equator `km` east of 0° E (distances along a great circle
// are exact up to rounding).
GeoCoordinate eastOnEquator(double km) { return { 0, degrees(km / GeoMath::earthRadiusKm) }; }

// A reading whose residual against the model of `field`'s moment is exactly
// `residual`: the model value there plus the residual.
IonosondeReading withResidual(const QString& code, GeoCoordinate at, double residual, const MUFField& empty,
                              std::optional<double> confidence = {})
{
    return reading(code, at, empty.muf(at) + residual, confidence);
}

} // namespace

TEST(MUFFieldModel, GoldenValues)
{
    // At the subsolar point on the equator: full daylight, no season, the
    // equatorial crest exp(−2.25) adds a quarter of itself.
    EXPECT_NEAR(MUFField::model({ 0, 0 }, { 0, 0 }, 100), 30.790494184213983, 1e-12);
    // At the antisolar point only the night value counts.
    EXPECT_NEAR(MUFField::model({ 0, 180 }, { 0, 0 }, 100), 13.2, 1e-12);
    // 80° N at the December solstice: polar night, local winter, full polar
    // fall-off: 3 × 4.4 × 0.82 × 0.75.
    EXPECT_NEAR(MUFField::model({ 80, 0 }, { -23.44, 0 }, 100), 8.118, 1e-12);
    // Partial daylight and the seasons in both hemispheres.
    EXPECT_NEAR(MUFField::model({ 40, 30 }, { 20, 0 }, 150), 33.4924761752418, 1e-12);
    EXPECT_NEAR(MUFField::model({ -35, -60 }, { 10, -40 }, 60), 21.9748255153223, 1e-12);
    EXPECT_NEAR(MUFField::model({ 62, 100 }, { 15, 30 }, 80), 19.43458709380734, 1e-12);
    // No floor of its own is needed: the lowest night value is well above it.
    EXPECT_GT(MUFField::model({ 90, 0 }, { -23.44, 0 }, 0), 4.7);
}

TEST(MUFFieldModel, MirroringTheSunMirrorsTheHemispheres)
{
    for (const double declination : { -23.44, -10.0, 0.0, 7.5, 23.44 }) {
        for (double latitude = -90; latitude <= 90; latitude += 7.5) {
            for (double longitude = -180; longitude <= 180; longitude += 45) {
                const GeoCoordinate sun { declination, 20 };
                const GeoCoordinate mirroredSun { -declination, 20 };
                EXPECT_DOUBLE_EQ(MUFField::model({ latitude, longitude }, sun, 120),
                                 MUFField::model({ -latitude, longitude }, mirroredSun, 120))
                    << latitude << " " << longitude << " " << declination;
            }
        }
    }
}

TEST(MUFField, SunspotNumberIsDefaultedAndLimited)
{
    EXPECT_EQ(MUFField({}, std::nullopt, noonInAugust).sunspotNumber(), 80);
    EXPECT_EQ(MUFField({}, -5.0, noonInAugust).sunspotNumber(), 0);
    EXPECT_EQ(MUFField({}, 300.0, noonInAugust).sunspotNumber(), 250);
    EXPECT_EQ(MUFField({}, notANumber, noonInAugust).sunspotNumber(), 0);
    EXPECT_EQ(MUFField({}, INFINITY, noonInAugust).sunspotNumber(), 250);
    EXPECT_EQ(MUFField({}, 123.5, noonInAugust).sunspotNumber(), 123.5);

    // The stored value is the one the model ran with.
    const MUFField high({}, 300.0, noonInAugust);
    const MUFField capped({}, 250.0, noonInAugust);
    EXPECT_EQ(high.muf({ 10, 10 }), capped.muf({ 10, 10 }));
    EXPECT_EQ(high.date(), noonInAugust);
}

TEST(MUFField, WithoutReadingsItIsTheModelAlone)
{
    const MUFField field({}, 90.0, noonInAugust);
    const MUFField other({}, 90.0, noonInAugust.addSecs(3 * 3600));
    EXPECT_TRUE(field.readings().isEmpty());
    for (double latitude = -90; latitude <= 90; latitude += 15) {
        for (double longitude = -180; longitude <= 180; longitude += 30) {
            const GeoCoordinate p { latitude, longitude };
            EXPECT_EQ(field.measuredShare(p), 0);
            EXPECT_GE(field.muf(p), 1.0);
            // The same model moved by three hours: equal where the Sun's
            // elevation is equal, i.e. 45° further west.
            EXPECT_NEAR(field.muf(p), other.muf({ latitude, wrap180(longitude - 45) }), 0.05);
        }
    }
    // A field for no valid date still answers within its bounds.
    const MUFField undated({}, 80.0, QDateTime());
    EXPECT_GE(undated.muf({ 10, 10 }), 1.0);
    EXPECT_FALSE(undated.projected(noonInAugust).date().isNull());

    // A point that is not a number gives the floor rather than NaN.
    EXPECT_EQ(field.muf({ notANumber, 0 }), 1.0);
    EXPECT_EQ(field.measuredShare({ notANumber, 0 }), 0);
}

TEST(MUFField, StationQualityFollowsItsConfidence)
{
    // 1500 km due north of a station a full-quality station weighs as much
    // as the prior: half the share.
    const GeoCoordinate station { 0, 0 };
    const GeoCoordinate at1500 { degrees(1500 / GeoMath::earthRadiusKm), 0 };
    ASSERT_NEAR(GeoMath::distanceKm(station, at1500), 1500, 1e-9);
    const auto share = [&](std::optional<double> confidence) {
        return MUFField({ reading("A", station, 12, confidence) }, 100.0, noonInAugust).measuredShare(at1500);
    };
    EXPECT_NEAR(share(std::nullopt), 0.5, 1e-9);
    EXPECT_NEAR(share(150), 0.5, 1e-9); // above 100 counts as full
    EXPECT_NEAR(share(100), 0.5, 1e-9);
    EXPECT_NEAR(share(50), 1.0 / 3, 1e-9);
    EXPECT_NEAR(share(10), 1.0 / 6, 1e-9); // at least 0.2
    EXPECT_NEAR(share(-1), 1.0 / 6, 1e-9);
    EXPECT_NEAR(share(notANumber), 1.0 / 6, 1e-9);
}

TEST(MUFField, OneStationCorrectsItsSurroundings)
{
    const MUFField empty({}, 100.0, noonInAugust);
    const GeoCoordinate station { 48.1, 11.3 };
    const MUFField field({ withResidual("MU", station, 5.0, empty) }, 100.0, noonInAugust);

    // At the station the correction is nearly the whole residual:
    // share = 1 / (1 + prior × 50²).
    EXPECT_NEAR(field.measuredShare(station), 0.9995914120776945, 1e-12);
    EXPECT_NEAR(field.muf(station) - empty.muf(station), 5.0 * 0.9995914120776945, 1e-9);
    EXPECT_NEAR(field.muf(station), field.readings()[0].mufd, 0.003);

    // 1500 km away half of it.
    const GeoCoordinate at1500 = GeoMath::destination(station, 200, 1500);
    EXPECT_NEAR(field.muf(at1500) - empty.muf(at1500), 2.5, 1e-6);
    EXPECT_NEAR(field.measuredShare(at1500), 0.5, 1e-6);

    // Beyond 4500 km nothing; at 4499 km a trace.
    const GeoCoordinate at4499 { 0, degrees(4499 / GeoMath::earthRadiusKm) };
    const MUFField onEquator({ withResidual("EQ", { 0, 0 }, 5.0, empty) }, 100.0, noonInAugust);
    EXPECT_NEAR(onEquator.measuredShare(at4499), 3.743823809520672e-05, 1e-12);
    EXPECT_NEAR(onEquator.muf(at4499) - empty.muf(at4499), 5.0 * 3.743823809520672e-05, 1e-9);

    // Find the point whose computed distance is exactly 4500 km: it is
    // outside the reach.
    double longitude = degrees(4500 / GeoMath::earthRadiusKm);
    for (int i = 0; i < 200 && GeoMath::distanceKm({ 0, 0 }, { 0, longitude }) != 4500; ++i)
        longitude = std::nextafter(longitude, GeoMath::distanceKm({ 0, 0 }, { 0, longitude }) < 4500 ? 90.0 : 0.0);
    ASSERT_EQ(GeoMath::distanceKm({ 0, 0 }, { 0, longitude }), 4500);
    EXPECT_EQ(onEquator.measuredShare({ 0, longitude }), 0);
    EXPECT_EQ(onEquator.muf({ 0, longitude }), empty.muf({ 0, longitude }));
}

TEST(MUFField, SeveralStationsNearAndFar)
{
    const MUFField empty({}, 100.0, noonInAugust);
    const GeoCoordinate here { 0, 0 };
    // 500 km (+4, full quality), 2000 km (−2, confidence 50) and 4600 km
    // (+10, out of reach), all on the equator.
    const MUFField field({ withResidual("A", eastOnEquator(500), 4, empty),
                           withResidual("B", eastOnEquator(-2000), -2, empty, 50),
                           withResidual("C", eastOnEquator(4600), 10, empty) },
                         100.0, noonInAugust);
    EXPECT_NEAR(field.muf(here) - empty.muf(here), 3.7925688614237747, 1e-9);
    EXPECT_NEAR(field.measuredShare(here), 0.9565614808457582, 1e-12);

    // Two stations within 50 km of the point weigh as if 50 km away, each
    // with its Gaussian factor: residuals +3 and −1.
    const MUFField close({ withResidual("N1", eastOnEquator(10), 3, empty),
                           withResidual("N2", eastOnEquator(-30), -1, empty) },
                         100.0, noonInAugust);
    EXPECT_NEAR(close.measuredShare(here), 0.999795618893827, 1e-12);
    EXPECT_NEAR(close.muf(here) - empty.muf(here), 1.0001511017767997, 1e-9);
}

TEST(MUFField, NeverBelowOneMegahertzAndSharesStayInRange)
{
    // Wild readings: a station far below the model, one far above, low and
    // missing confidence, stations on top of each other.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> latitude(-90, 90), longitude(-180, 180), mufd(0.01, 60);
    QList<IonosondeReading> readings;
    for (int i = 0; i < 40; ++i) {
        readings.append(reading(QString::number(i), { latitude(random), longitude(random) },
                                i % 4 ? mufd(random) : 0.01, i % 3 ? std::optional<double>(i * 3.0) : std::nullopt));
    }
    readings.append(reading("twin", readings[0].coordinate, 0.01));
    const MUFField field(readings, 10.0, noonInAugust);
    for (int i = 0; i < 20000; ++i) {
        const GeoCoordinate p { latitude(random), longitude(random) };
        const double muf = field.muf(p);
        const double share = field.measuredShare(p);
        ASSERT_GE(muf, 1.0);
        ASSERT_TRUE(std::isfinite(muf));
        ASSERT_GE(share, 0.0);
        ASSERT_LE(share, 1.0);
    }
    // At a station reading far below the model the floor holds.
    EXPECT_EQ(field.muf(readings[0].coordinate), 1.0);
}

TEST(MUFField, ReadingsWithoutFiniteValuesWeighNothing)
{
    const MUFField empty({}, 100.0, noonInAugust);
    const GeoCoordinate p { 50, 10 };
    const MUFField field({ reading("X", p, INFINITY), reading("Y", p, notANumber),
                           reading("Z", { notANumber, 10 }, 10) },
                         100.0, noonInAugust);
    EXPECT_EQ(field.readings().size(), 3);
    EXPECT_EQ(field.muf(p), empty.muf(p));
    EXPECT_EQ(field.measuredShare(p), 0);
}

TEST(MUFField, ProjectionMovesTheSunAndFadesTheStations)
{
    const MUFField empty({}, 100.0, noonInAugust);
    const QList<IonosondeReading> readings { withResidual("A", { 50, 10 }, 6, empty),
                                             withResidual("B", { 40, -100 }, -3, empty, 60) };
    const MUFField field(readings, 100.0, noonInAugust);

    EXPECT_EQ(field.projected(noonInAugust), field);

    for (const int hours : { 6, -6, 1 }) {
        const QDateTime later = noonInAugust.addSecs(hours * 3600);
        const MUFField moved = field.projected(later);
        const MUFField model({}, 100.0, later);
        EXPECT_EQ(moved.date(), later);
        EXPECT_EQ(moved.readings(), readings);
        EXPECT_EQ(moved.sunspotNumber(), 100);
        const double fade = std::exp(-std::abs(hours) / 6.0);
        for (const GeoCoordinate p :
             { GeoCoordinate { 50, 10 }, GeoCoordinate { 45, 0 }, GeoCoordinate { 40, -100 } }) {
            EXPECT_NEAR(moved.muf(p) - model.muf(p), fade * (field.muf(p) - empty.muf(p)), 1e-9) << hours;
            EXPECT_EQ(moved.measuredShare(p), field.measuredShare(p)); // distances do not change
        }
    }
}

TEST(MUFFieldPath, HopsAndSamplePoints)
{
    const MUFField empty({}, 100.0, noonInAugust);

    EXPECT_FALSE(empty.pathMUF({ 10, 10 }, { 10, 10 }));
    EXPECT_FALSE(empty.pathMUF({ 0, 0 }, eastOnEquator(1.0)));
    EXPECT_FALSE(empty.pathMUF({ notANumber, 0 }, { 10, 10 }));
    EXPECT_FALSE(empty.pathMUF({ 10, 10 }, { 0, INFINITY }));
    const auto justOver = empty.pathMUF({ 0, 0 }, eastOnEquator(1.001));
    ASSERT_TRUE(justOver);
    EXPECT_EQ(justOver->hops, 1);

    // 2999 km: one hop, sampled at its middle.
    const auto one = empty.pathMUF({ 0, 0 }, eastOnEquator(2999));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->hops, 1);
    EXPECT_NEAR(one->limitingPoint.latitude, 0, 1e-12);
    EXPECT_NEAR(one->limitingPoint.longitude, eastOnEquator(1499.5).longitude, 1e-9);
    EXPECT_EQ(one->muf, empty.muf(one->limitingPoint));
    EXPECT_EQ(one->measuredShare, 0);

    // 3001 km: two hops, sampled at a quarter and three quarters.
    const auto two = empty.pathMUF({ 0, 0 }, eastOnEquator(3001));
    ASSERT_TRUE(two);
    EXPECT_EQ(two->hops, 2);
    const GeoCoordinate q1 = eastOnEquator(750.25), q3 = eastOnEquator(2250.75);
    const double lowest = std::min(empty.muf(q1), empty.muf(q3));
    EXPECT_EQ(two->muf, lowest);
    const GeoCoordinate expected = empty.muf(q1) <= empty.muf(q3) ? q1 : q3;
    EXPECT_NEAR(two->limitingPoint.longitude, expected.longitude, 1e-9);

    // Across the antimeridian the samples stay within −180...180.
    const auto across = empty.pathMUF({ 10, 150 }, { -5, -140 });
    ASSERT_TRUE(across);
    EXPECT_EQ(across->hops, 3);
    EXPECT_GT(across->limitingPoint.longitude, -180);
    EXPECT_LE(across->limitingPoint.longitude, 180);
    EXPECT_TRUE(across->limitingPoint.longitude > 150 || across->limitingPoint.longitude < -140);
}

TEST(MUFFieldPath, TheNightSideLimitsAPathAcrossTheTerminator)
{
    // Mid-August around 12 UTC: the Sun stands over Africa. A path from
    // West Africa eastwards to the Pacific runs into the night.
    const MUFField empty({}, 100.0, noonInAugust);
    const GeoCoordinate from { 10, 0 }, to { 10, 160 };
    const auto path = empty.pathMUF(from, to);
    ASSERT_TRUE(path);
    EXPECT_EQ(path->hops, 6);
    const double bearing = GeoMath::bearing(from, to);
    const double length = GeoMath::distanceKm(from, to) / path->hops;
    double lowest = INFINITY;
    int lowestHop = -1;
    for (int i = 0; i < path->hops; ++i) {
        const double v = empty.muf(GeoMath::destination(from, bearing, (i + 0.5) * length));
        if (v < lowest) {
            lowest = v;
            lowestHop = i;
        }
    }
    EXPECT_EQ(path->muf, lowest);
    EXPECT_EQ(lowestHop, path->hops - 1); // the last hop, deepest in the night
    EXPECT_EQ(path->limitingPoint, GeoMath::destination(from, bearing, (lowestHop + 0.5) * length));
    EXPECT_LT(path->muf, empty.muf(from) * 0.6);

    // A station at the limiting point raises the path there and shows in
    // the path's measured share.
    const MUFField measured({ withResidual("N", path->limitingPoint, 8, empty) }, 100.0, noonInAugust);
    const auto corrected = measured.pathMUF(from, to);
    ASSERT_TRUE(corrected);
    EXPECT_GT(corrected->muf, path->muf);
    EXPECT_GT(corrected->measuredShare, 0);
    EXPECT_EQ(corrected->measuredShare, measured.measuredShare(corrected->limitingPoint));
}

TEST(MUFFieldPath, EqualValuesKeepTheHopNearestTheStart)
{
    // Along the equator deep in the night the model is the same everywhere:
    // the first hop is the limiting one.
    const MUFField empty({}, 100.0, QDateTime(QDate(2026, 3, 20), QTime(12, 0), QTimeZone::utc()));
    const auto path = empty.pathMUF({ 0, 140 }, { 0, -140 });
    ASSERT_TRUE(path);
    ASSERT_EQ(path->hops, 3);
    EXPECT_NEAR(path->limitingPoint.longitude, 140 + 40.0 / 3, 1e-6);
}

TEST(MUFGridFromField, EveryNodeIsTheFieldsValue)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> latitude(-80, 80), longitude(-180, 180), mufd(3, 35);
    QList<IonosondeReading> readings;
    for (int i = 0; i < 30; ++i)
        readings.append(reading(QString::number(i), { latitude(random), longitude(random) }, mufd(random), i * 4.0));
    readings.append(reading("pole", { 90, 0 }, 9));
    readings.append(reading("edge", { -45, 180 }, 20));
    const MUFField field(readings, 140.0, noonInAugust);
    const MUFGrid grid(field);

    ASSERT_EQ(grid.values().size(), MUFGrid::columns * MUFGrid::rows);
    for (int y = 0; y < MUFGrid::rows; ++y) {
        for (int x = 0; x < MUFGrid::columns; ++x)
            ASSERT_EQ(grid.value(x, y), field.muf({ 90.0 - y, x - 180.0 })) << x << "," << y;
    }
    // Both antimeridian columns hold the same value, up to the rounding of
    // −180° and +180° in the trigonometry.
    for (int y = 0; y < MUFGrid::rows; ++y)
        EXPECT_NEAR(grid.value(0, y), grid.value(360, y), 1e-9);

    // Contours of a real field stay inside the grid, and label positions of
    // a level keep their distance.
    for (const double level : MUFGrid::levels) {
        const auto lines = grid.contour(level);
        for (const auto& line : lines) {
            for (const QPointF& p : line) {
                ASSERT_GE(p.x(), 0);
                ASSERT_LE(p.x(), 360);
                ASSERT_GE(p.y(), 0);
                ASSERT_LE(p.y(), 180);
            }
        }
        const auto labels = MUFGrid::labelPositions(lines, 160, 24);
        for (qsizetype i = 0; i < labels.size(); ++i) {
            for (qsizetype j = 0; j < i; ++j)
                ASSERT_GT(std::hypot(labels[i].x() - labels[j].x(), labels[i].y() - labels[j].y()), 10);
        }
    }
}
