#include "geo/SolarCalculator.h"

#include "support/UtcTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace SolarCalculator;

namespace {

// Within a second of the expected UTC time.
void expectTime(const std::optional<QDateTime>& actual, const QDateTime& expected)
{
    ASSERT_TRUE(actual.has_value()) << expected.toString(Qt::ISODate).toStdString();
    ASSERT_TRUE(actual->isValid());
    EXPECT_LE(std::abs(actual->msecsTo(expected)), 1000)
        << actual->toString(Qt::ISODateWithMs).toStdString() << " vs " << expected.toString(Qt::ISODate).toStdString();
}

const GeoCoordinate london { 51.5, -0.1 };
const GeoCoordinate svalbard { 78, 15 };
const GeoCoordinate sydney { -33.87, 151.21 };
const GeoCoordinate newYork { 40.7128, -74.006 };

} // namespace

TEST(SolarCalculator, PositionOnKnownDates)
{
    const SunPosition y2k = position(utc(2000, 1, 1, 12));
    EXPECT_NEAR(y2k.declination, -23.03, 0.005);
    EXPECT_NEAR(y2k.equationOfTime, -3.30, 0.005);
    EXPECT_NEAR(y2k.subsolarPoint.longitude, 0.83, 0.005);
    EXPECT_EQ(y2k.subsolarPoint.latitude, y2k.declination);

    const SunPosition equinox = position(utc(2024, 3, 20, 12));
    EXPECT_NEAR(equinox.declination, 0.147, 0.0005);
    EXPECT_NEAR(equinox.equationOfTime, -7.29, 0.005);
    EXPECT_NEAR(equinox.subsolarPoint.longitude, 1.82, 0.005);

    const SunPosition solstice = position(utc(2024, 6, 21, 12));
    EXPECT_NEAR(solstice.declination, 23.437, 0.0005);
    EXPECT_NEAR(solstice.equationOfTime, -1.92, 0.005);

    // Near midnight UTC the subsolar point sits by the antimeridian and must
    // stay within (−180, 180].
    EXPECT_NEAR(position(utc(2024, 12, 21)).subsolarPoint.longitude, 179.52, 0.005);

    // Instants before 1970 count their minutes of the day from midnight too.
    const SunPosition before1970 = position(utc(1969, 7, 20, 20, 17));
    EXPECT_NEAR(before1970.subsolarPoint.longitude, wrap180((720.0 - (20 * 60 + 17) - before1970.equationOfTime) / 4.0),
                1e-9);
    EXPECT_NEAR(before1970.declination, 20.6, 0.1);
}

TEST(SolarCalculator, ElevationStaysWithinAsinDomain)
{
    EXPECT_NEAR(elevation(london, utc(2024, 6, 21, 12)), 61.93, 0.005);
    EXPECT_NEAR(elevation(london, utc(2024, 12, 21, 0)), -61.9, 1.0);

    // At the subsolar point and its antipode rounding would leave asin's
    // domain for many declinations without the clamp.
    for (int i = 0; i <= 2000; ++i) {
        const double declination = -23.44 + i * 0.02344;
        for (double longitude : { 0.0, 13.7, -120.3 }) {
            const GeoCoordinate sun { declination, longitude };
            EXPECT_NEAR(elevation(sun, sun), 90, 1e-5) << declination;
            EXPECT_NEAR(elevation({ -declination, wrap180(longitude + 180) }, sun), -90, 1e-5) << declination;
        }
    }
}

TEST(SolarCalculator, LondonSunTimesAtTheSolstices)
{
    const QTimeZone zone = QTimeZone::utc();
    const SunTimes summer = sunTimes(utc(2024, 6, 21, 7, 30), london, zone);
    EXPECT_EQ(summer.kind, DayKind::normal);
    expectTime(summer.sunrise, utc(2024, 6, 21, 3, 43, 11));
    expectTime(summer.sunset, utc(2024, 6, 21, 20, 21, 26));
    expectTime(summer.solarNoon, utc(2024, 6, 21, 12, 2, 19));
    ASSERT_TRUE(summer.dayLength().has_value());
    EXPECT_NEAR(*summer.dayLength() / 3600.0, 16.64, 0.005);

    const SunTimes winter = sunTimes(utc(2024, 12, 21, 23, 59, 59), london, zone);
    EXPECT_EQ(winter.kind, DayKind::normal);
    expectTime(winter.sunrise, utc(2024, 12, 21, 8, 3, 56));
    expectTime(winter.sunset, utc(2024, 12, 21, 15, 53, 30));
    expectTime(winter.solarNoon, utc(2024, 12, 21, 11, 58, 43));

    // Every instant of the day gives the same day; an invalid zone is UTC.
    EXPECT_EQ(sunTimes(utc(2024, 12, 21), london, zone), winter);
    EXPECT_EQ(sunTimes(utc(2024, 12, 21, 15), london, QTimeZone()), winter);
    EXPECT_NE(sunTimes(utc(2024, 12, 22), london, zone), winter);
}

TEST(SolarCalculator, PolarDayAndNightKeepSolarNoon)
{
    const std::pair<QDateTime, DayKind> cases[]
        = { { utc(2024, 6, 21, 12), DayKind::polarDay }, { utc(2024, 12, 21, 12), DayKind::polarNight } };
    for (const auto& [day, kind] : cases) {
        const SunTimes times = sunTimes(day, svalbard, QTimeZone::utc());
        EXPECT_EQ(times.kind, kind);
        EXPECT_FALSE(times.sunrise || times.sunset || times.dayLength());
        // About 11:02 at midsummer and 10:58 at midwinter.
        const QDateTime noon(day.date(), kind == DayKind::polarDay ? QTime(11, 2) : QTime(10, 58), QTimeZone::utc());
        EXPECT_LE(std::abs(times.solarNoon.msecsTo(noon)), 60'000);
    }

    // At the poles themselves the hour-angle formula divides by nearly zero.
    EXPECT_EQ(sunTimes(utc(2024, 6, 21), { 90, 0 }, QTimeZone::utc()).kind, DayKind::polarDay);
    EXPECT_EQ(sunTimes(utc(2024, 6, 21), { -90, 0 }, QTimeZone::utc()).kind, DayKind::polarNight);
}

TEST(SolarCalculator, SunriseMayFallBeforeTheDayStarts)
{
    // In Sydney the UTC day's sunrise lies on the previous UTC date.
    const SunTimes day = sunTimes(utc(2024, 1, 1, 6), sydney, QTimeZone::utc());
    EXPECT_EQ(day.kind, DayKind::normal);
    expectTime(day.solarNoon, utc(2024, 1, 1, 1, 58, 17));
    expectTime(day.sunrise, utc(2023, 12, 31, 18, 47, 15));
    expectTime(day.sunset, utc(2024, 1, 1, 9, 9, 9));
}

TEST(SolarCalculator, DaylightSavingChangeDays)
{
    const QTimeZone newYorkZone("America/New_York");
    const QTimeZone santiagoZone("America/Santiago");
    ASSERT_TRUE(newYorkZone.isValid());
    ASSERT_TRUE(santiagoZone.isValid());

    // 2024-03-10 in New York starts at 00:00 EST (05:00 UTC) and lasts 23
    // hours; the noon estimate is 12 elapsed hours after its start, so the
    // day matches a fixed UTC−5 day, from its first to its last instant.
    const SunTimes spring = sunTimes(utc(2024, 3, 10, 12), newYork, newYorkZone);
    EXPECT_EQ(spring, sunTimes(utc(2024, 3, 10, 12), newYork, QTimeZone(-5 * 3600)));
    EXPECT_EQ(sunTimes(utc(2024, 3, 10, 5), newYork, newYorkZone), spring);         // 00:00 EST
    EXPECT_EQ(sunTimes(utc(2024, 3, 11, 3, 59, 59), newYork, newYorkZone), spring); // 23:59:59 EDT
    EXPECT_NE(sunTimes(utc(2024, 3, 11, 4), newYork, newYorkZone), spring);         // next day
    EXPECT_EQ(sunTimes(utc(2024, 3, 10, 4, 59, 59), newYork, newYorkZone),
              sunTimes(utc(2024, 3, 9, 12), newYork, newYorkZone)); // still the 9th
    // Roughly 07:15 EDT and 19:00 EDT, not an hour off either way.
    ASSERT_TRUE(spring.sunrise && spring.sunset);
    EXPECT_LE(std::abs(spring.sunrise->secsTo(utc(2024, 3, 10, 11, 15))), 15 * 60);
    EXPECT_LE(std::abs(spring.sunset->secsTo(utc(2024, 3, 10, 23, 0))), 15 * 60);
    EXPECT_NEAR(*spring.dayLength() / 3600.0, 11.7, 0.1);

    // 2024-11-03 starts at 00:00 EDT and lasts 25 hours.
    const SunTimes autumn = sunTimes(utc(2024, 11, 4, 4, 30), newYork, newYorkZone); // 23:30 EST
    EXPECT_EQ(autumn, sunTimes(utc(2024, 11, 3, 12), newYork, QTimeZone(-4 * 3600)));

    // In Chile the clocks jump from 00:00 to 01:00 on 2024-09-08: the day's
    // first instant is 01:00 −03, the same as 00:00 −04.
    const GeoCoordinate santiago { -33.45, -70.67 };
    const SunTimes skipped = sunTimes(utc(2024, 9, 8, 16), santiago, santiagoZone);
    EXPECT_EQ(skipped, sunTimes(utc(2024, 9, 8, 16), santiago, QTimeZone(-4 * 3600)));
    EXPECT_EQ(skipped.kind, DayKind::normal);
    EXPECT_EQ(sunTimes(utc(2024, 9, 8, 4), santiago, santiagoZone), skipped);
}

TEST(SolarCalculator, NextEventFollowsSunriseAndSunset)
{
    const QTimeZone zone = QTimeZone::utc();
    const SunTimes today = sunTimes(utc(2024, 6, 21, 12), london, zone);
    const SunTimes tomorrow = sunTimes(utc(2024, 6, 22, 12), london, zone);
    ASSERT_TRUE(today.sunrise && today.sunset && tomorrow.sunrise);

    const auto beforeSunrise = nextEvent(utc(2024, 6, 21, 1), london, zone);
    ASSERT_TRUE(beforeSunrise.has_value());
    EXPECT_EQ(*beforeSunrise, (SunEvent { true, *today.sunrise }));

    // Strictly after: at the sunrise itself the sunset comes next.
    EXPECT_EQ(nextEvent(*today.sunrise, london, zone), (SunEvent { false, *today.sunset }));
    EXPECT_EQ(nextEvent(today.sunrise->addSecs(1), london, zone), (SunEvent { false, *today.sunset }));
    EXPECT_EQ(nextEvent(today.sunset->addSecs(1), london, zone), (SunEvent { true, *tomorrow.sunrise }));

    // Sydney's next sunrise after its UTC-day sunset belongs to the next UTC
    // day but falls on the same UTC date.
    const SunTimes sydneyDay = sunTimes(utc(2024, 1, 1, 6), sydney, zone);
    const SunTimes sydneyNext = sunTimes(utc(2024, 1, 2, 6), sydney, zone);
    EXPECT_EQ(nextEvent(sydneyDay.sunset->addSecs(1), sydney, zone), (SunEvent { true, *sydneyNext.sunrise }));

    EXPECT_FALSE(nextEvent(utc(2024, 6, 21, 12), svalbard, zone).has_value());
    EXPECT_FALSE(nextEvent(utc(2024, 12, 21, 12), svalbard, zone).has_value());
}

TEST(SolarCalculator, ANaNPlaceGivesNoTimesRatherThanGarbage)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const SunTimes times = sunTimes(utc(2024, 6, 21, 12), { nan, nan }, QTimeZone::utc());
    EXPECT_FALSE(times.sunrise.has_value());
    EXPECT_FALSE(times.sunset.has_value());
    EXPECT_FALSE(times.solarNoon.isValid());
    EXPECT_FALSE(nextEvent(utc(2024, 6, 21, 12), { nan, nan }, QTimeZone::utc()).has_value());
}
