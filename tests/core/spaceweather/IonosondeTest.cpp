#include "spaceweather/Ionosonde.h"
#include "spaceweather/MUFField.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

const QDateTime now(QDate(2026, 8, 18), QTime(12, 0), QTimeZone::utc());

QList<IonosondeReading> parse(const char* body)
{
    auto result = Zelq::parseStations(QByteArray(body), now);
    EXPECT_TRUE(result.has_value()) << body;
    return result.value_or(QList<IonosondeReading> {});
}

// The shape the service answers with: station positions as numeric texts,
// longitudes in 0...360, times without a zone, mufd sometimes null.
const char* const feed = R"([
  {"cs": 100, "fof2": 6.125, "md": 2.98, "mufd": 18.25, "hmf2": 245.1, "foe": 3.1,
   "time": "2026-08-18 11:45:00", "source": "giro",
   "station": {"code": "AU930", "name": "Austin", "latitude": "30.4", "longitude": "262.3",
               "id": 7, "use_for_essn": true}},
  {"cs": 72, "fof2": "5.4", "md": null, "mufd": null, "time": "2026-08-18 11:50:00",
   "station": {"code": "BC840", "name": "Boulder", "latitude": "40.0", "longitude": "254.7"}},
  {"cs": -1, "fof2": 7.8, "mufd": "24.3", "time": "2026-08-18 11:30:00",
   "station": {"code": "JR055", "name": "Juliusruh", "latitude": "54.6", "longitude": "13.4"}},
  {"cs": 90, "fof2": 4.2, "mufd": 12.1, "time": "2026-08-18 06:00:00",
   "station": {"code": "EB040", "name": "Roquetes", "latitude": "40.8", "longitude": "0.5"}}
])";

} // namespace

TEST(ZelqStations, ReadsTheServicesFeed)
{
    const auto readings = parse(feed);
    ASSERT_EQ(readings.size(), 2); // Boulder has no MUF, Roquetes is too old

    const IonosondeReading& austin = readings[0];
    EXPECT_EQ(austin.code, "AU930");
    EXPECT_EQ(austin.id(), "AU930");
    EXPECT_EQ(austin.name, "Austin");
    EXPECT_DOUBLE_EQ(austin.coordinate.latitude, 30.4);
    EXPECT_NEAR(austin.coordinate.longitude, -97.7, 1e-9);
    EXPECT_EQ(austin.mufd, 18.25);
    EXPECT_EQ(austin.fof2, 6.125);
    EXPECT_EQ(austin.confidence, 100.0);
    EXPECT_EQ(austin.time, QDateTime(QDate(2026, 8, 18), QTime(11, 45), QTimeZone::utc()));

    const IonosondeReading& juliusruh = readings[1];
    EXPECT_EQ(juliusruh.code, "JR055");
    EXPECT_EQ(juliusruh.mufd, 24.3);
    EXPECT_EQ(juliusruh.confidence, std::nullopt); // -1: not scored
    EXPECT_DOUBLE_EQ(juliusruh.coordinate.longitude, 13.4);
}

TEST(ZelqStations, RefusesDocumentsThatAreNotArraysOfObjects)
{
    for (const char* bad : { R"({"stations": []})", R"([{"mufd": 5}, 3])", R"([[1, 2]])", R"(["x"])" }) {
        const auto result = Zelq::parseStations(QByteArray(bad), now);
        ASSERT_FALSE(result.has_value()) << bad;
        EXPECT_EQ(result.error(), SWPCParser::ParseError::unexpectedFormat("Zelq stations")) << bad;
    }
    const auto truncated = Zelq::parseStations(QByteArray(feed).left(200), now);
    ASSERT_FALSE(truncated.has_value());
    EXPECT_EQ(truncated.error().kind, SWPCParser::ParseError::Kind::json);
    EXPECT_TRUE(parse("[]").isEmpty());
}

TEST(ZelqStations, SkipsRecordsWithoutAUsableMufOrPosition)
{
    const auto readings = parse(R"([
      {"mufd": 0, "station": {"code": "A", "latitude": 1, "longitude": 2}},
      {"mufd": -3, "station": {"code": "B", "latitude": 1, "longitude": 2}},
      {"station": {"code": "C", "latitude": 1, "longitude": 2}},
      {"mufd": "high", "station": {"code": "D", "latitude": 1, "longitude": 2}},
      {"mufd": "NaN", "station": {"code": "E", "latitude": 1, "longitude": 2}},
      {"mufd": "12.5", "station": {"code": "F", "latitude": 1, "longitude": 2}},
      {"mufd": 9, "latitude": "51.5", "longitude": "359.5", "station_code": "G"},
      {"mufd": 9, "station": {"code": "H"}},
      {"mufd": 9, "station": {"code": "I", "latitude": null, "longitude": 2}, "latitude": 5},
      {"mufd": 9, "station": "J", "latitude": 5, "longitude": "inf"},
      {"mufd": 9, "station": {"code": "K", "latitude": 1000, "longitude": 2}},
      {"mufd": 9, "station": {"code": "L", "latitude": -90.5, "longitude": 2}},
      {"mufd": 9, "station": {"code": "M", "latitude": 1, "longitude": 8180}},
      {"mufd": 9, "station": {"code": "N", "latitude": 1, "longitude": -180.5}}
    ])");
    ASSERT_EQ(readings.size(), 2);
    EXPECT_EQ(readings[0].code, "F");
    EXPECT_EQ(readings[0].mufd, 12.5);
    EXPECT_EQ(readings[1].code, "G");
    EXPECT_EQ(readings[1].name, "G");
    EXPECT_DOUBLE_EQ(readings[1].coordinate.longitude, -0.5);
}

TEST(ZelqStations, BringsEasternLongitudesIntoRangeOnce)
{
    const auto readings = parse(R"([
      {"mufd": 9, "station": {"latitude": 40, "longitude": 200}},
      {"mufd": 9, "station": {"latitude": 40, "longitude": 180}},
      {"mufd": 9, "station": {"latitude": 40, "longitude": -190}},
      {"mufd": 9, "station": {"latitude": 40, "longitude": -75.5, "code": 17}}
    ])");
    // -190 lies outside the feed's own -180...360 and is skipped.
    ASSERT_EQ(readings.size(), 3);
    EXPECT_EQ(readings[0].coordinate.longitude, -160.0);
    EXPECT_EQ(readings[1].coordinate.longitude, 180.0);
    // Without a text code the position names the station.
    EXPECT_EQ(readings[0].code, "40.0,-160.0");
    EXPECT_EQ(readings[2].code, "40.0,-75.5");
    EXPECT_EQ(readings[2].name, "40.0,-75.5");
}

TEST(ZelqStations, DropsReadingsOlderThanThreeHours)
{
    const auto readings = parse(R"([
      {"mufd": 9, "time": "2026-08-18 09:00:00", "station": {"code": "edge", "latitude": 1, "longitude": 2}},
      {"mufd": 9, "time": "2026-08-18 08:59:59", "station": {"code": "old", "latitude": 1, "longitude": 2}},
      {"mufd": 9, "station": {"code": "untimed", "latitude": 1, "longitude": 2}},
      {"mufd": 9, "time": "soon", "station": {"code": "unreadable", "latitude": 1, "longitude": 2}},
      {"mufd": 9, "time": "2026-08-18T14:00:00Z", "station": {"code": "future", "latitude": 1, "longitude": 2}},
      {"mufd": 9, "time": "2026-08-18T05:30:00-04:00", "station": {"code": "west", "latitude": 1, "longitude": 2}}
    ])");
    QStringList codes;
    for (const auto& r : readings)
        codes << r.code;
    EXPECT_EQ(codes, (QStringList { "edge", "untimed", "unreadable", "future", "west" }));
    EXPECT_FALSE(readings[1].time.has_value());
    EXPECT_EQ(readings[4].time, QDateTime(QDate(2026, 8, 18), QTime(9, 30), QTimeZone::utc()));
}

TEST(IonosondeReading, EqualityIsCodeTimeAndMuf)
{
    IonosondeReading a { "AU930", "Austin", { 30.4, -97.7 }, 18.25, 6.1, 100, now };
    IonosondeReading b { "AU930", "Austin TX", { 30, -97 }, 18.25, std::nullopt, std::nullopt, now };
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    b.mufd = 18.3;
    EXPECT_NE(a, b);
    b = a;
    b.time.reset();
    EXPECT_NE(a, b);
}

TEST(ZelqBands, NamesTheHighestOpenBand)
{
    EXPECT_EQ(Zelq::highestOpenBand(28), "10 m");
    EXPECT_EQ(Zelq::highestOpenBand(27.99), "12 m");
    EXPECT_EQ(Zelq::highestOpenBand(24.89), "15 m");
    EXPECT_EQ(Zelq::highestOpenBand(60), "6 m");
    EXPECT_EQ(Zelq::highestOpenBand(14.2), "20 m");
    EXPECT_EQ(Zelq::highestOpenBand(1.8), "160 m");
    EXPECT_EQ(Zelq::highestOpenBand(1.79), "below 160 m");
}

namespace {

IonosondeReading station(const char* code, GeoCoordinate at, double mufd,
                         std::optional<double> confidence = std::nullopt)
{
    return { code, code, at, mufd, std::nullopt, confidence, std::nullopt };
}

} // namespace

TEST(ZelqNearest, SkipsDoubtfulReadingsAndKeepsTheLimitInclusive)
{
    const GeoCoordinate home { 50, 10 };
    const QList<IonosondeReading> readings {
        station("doubtful", { 50, 10.1 }, 9, 24.9),
        station("far", { 50, 20 }, 11, 80),
        station("near", { 50, 12 }, 10),
    };
    const auto found = Zelq::nearest(home, readings, 3000);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->reading.code, "near");

    const double limit = GeoMath::distanceKm(home, { 50, 12 });
    EXPECT_TRUE(Zelq::nearest(home, { readings[2] }, limit).has_value());
    EXPECT_FALSE(Zelq::nearest(home, { readings[2] }, limit - 0.001).has_value());
    EXPECT_FALSE(Zelq::nearest(home, {}, 3000).has_value());

    // Equally near: the first in the list.
    const auto tie = Zelq::nearest(home, { station("east", { 50, 11 }, 8), station("east too", { 50, 11 }, 9) }, 3000);
    EXPECT_EQ(tie->reading.code, "east");
}

TEST(ZelqNearest, AnUnscoredStationCountsInFull)
{
    // The service scores some readings 0 and leaves others unscored (-1).
    const auto readings = parse(R"([
      {"cs": -1, "mufd": 24.3, "station": {"code": "JR055", "latitude": "54.6", "longitude": "13.4"}},
      {"cs": 0, "mufd": 20.1, "station": {"code": "zero", "latitude": "52.4", "longitude": "13.1"}},
      {"cs": 90, "mufd": 19.2, "station": {"code": "DB049", "latitude": "50.1", "longitude": "4.6"}}
    ])");
    ASSERT_EQ(readings.size(), 3);
    EXPECT_EQ(readings[0].confidence, std::nullopt);
    EXPECT_EQ(readings[1].confidence, 0.0);

    const GeoCoordinate berlin { 52.5, 13.4 };
    const auto found = Zelq::nearest(berlin, readings, 3000);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->reading.code, "JR055");

    // At 1500 km a full-quality station's weight equals the prior: half the
    // MUF there is measured.
    const MUFField field({ readings[0] }, 100.0, now);
    const GeoCoordinate south { 54.6 - degrees(1500 / GeoMath::earthRadiusKm), 13.4 };
    EXPECT_NEAR(field.measuredShare(south), 0.5, 1e-6);
}

TEST(ZelqEstimate, WeighsStationsWithinReach)
{
    const GeoCoordinate home { 0, 0 };
    // 1000 km due east along the equator.
    const GeoCoordinate east { 0, 1000 / 111.19492664455873 };

    EXPECT_FALSE(Zelq::estimate(home, {}).has_value());
    EXPECT_FALSE(Zelq::estimate(home, { station("far", { 0, 5000 / 111.19492664455873 }, 12) }).has_value());

    const auto one = Zelq::estimate(home, { station("one", east, 14.5) });
    ASSERT_TRUE(one.has_value());
    EXPECT_DOUBLE_EQ(one->muf, 14.5);
    EXPECT_NEAR(one->confidence, 2000.0 / 2200.0, 1e-6);
    EXPECT_EQ(one->stationsUsed, 1);
    EXPECT_NEAR(one->nearestDistanceKm, 1000, 1e-6);

    // Two stations at the same distance, one of poor confidence: it counts
    // with the floor quality 0.2, so the mean leans 5:1 to the good one.
    const GeoCoordinate west { 0, -east.longitude };
    const auto two = Zelq::estimate(home, { station("good", east, 12), station("poor", west, 24, 5) });
    ASSERT_TRUE(two.has_value());
    EXPECT_NEAR(two->muf, (12 * 1 + 24 * 0.2) / 1.2, 1e-9);
    EXPECT_EQ(two->stationsUsed, 2);
    EXPECT_EQ(two->nearest.code, "good");

    // A station beyond reach stays out of the mean but is still a
    // candidate for the nearest one.
    const auto close = Zelq::estimate(home, { station("far", { 0, 60 }, 30), station("here", { 0, 0.1 }, 9) });
    ASSERT_TRUE(close.has_value());
    EXPECT_EQ(close->nearest.code, "here");
    EXPECT_EQ(close->stationsUsed, 1);
    EXPECT_DOUBLE_EQ(close->muf, 9);
    EXPECT_DOUBLE_EQ(close->confidence, 1);
}
