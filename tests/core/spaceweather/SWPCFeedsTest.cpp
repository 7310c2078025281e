#include "spaceweather/SWPCFeeds.h"

#include "support/UtcTime.h"

#include <gtest/gtest.h>

using namespace SWPCParser;

namespace {

ParseError format(const char* label) { return ParseError::unexpectedFormat(label); }

QByteArray auroraBody(const char* coordinates, const char* times = R"("Observation Time": "2026-08-18T11:50:00Z",
  "Forecast Time": "2026-08-18T12:35:00Z",)")
{
    return QByteArray("{") + times + R"( "Data Format": "[Longitude, Latitude, Aurora]", "coordinates": )" + coordinates
        + "}";
}

std::uint8_t at(const AuroraGrid& grid, int column, int row)
{
    return grid.values[std::size_t(row) * AuroraGrid::width + std::size_t(column)];
}

} // namespace

TEST(SWPCEndpoints, AppendProductPathsToTheBase)
{
    EXPECT_EQ(SWPCEndpoint::base().scheme(), "https");
    EXPECT_EQ(SWPCEndpoint::kp3Hour().toString(),
              SWPCEndpoint::base().toString() + "/products/noaa-planetary-k-index.json");
    EXPECT_EQ(SWPCEndpoint::ovationAurora().path(), "/json/ovation_aurora_latest.json");
    EXPECT_EQ(SWPCEndpoint::sunspotsMonthly().path(), "/json/solar-cycle/observed-solar-cycle-indices.json");
    EXPECT_EQ(SWPCEndpoint::windSummary().path(), "/products/summary/solar-wind-speed.json");
}

TEST(OvationAurora, PlacesEachPointOnTheGrid)
{
    const auto grid = aurora(auroraBody(R"([
        [0, 90, 5], [179.6, 60, 7], [180, 61, 8], [-180, 62, 9],
        [0, 24.9, 50], [0, -25, 33], [10, 90.4, 11], [20, 90.6, 12],
        [30, 70], [40, 70, 55.9, "extra"], ["50", "70", "66"],
        [60, 70, 1], [60, 70, 2], [70, 70, 130], [80, 70, -3], [90, 70, "NaN"], ["inf", 70, 4]
    ])"));
    ASSERT_TRUE(grid.has_value());
    ASSERT_EQ(grid->values.size(), 65160u);
    EXPECT_EQ(at(*grid, 180, 0), 5);
    EXPECT_EQ(at(*grid, 0, 30), 7);
    EXPECT_EQ(at(*grid, 0, 29), 8);
    EXPECT_EQ(at(*grid, 0, 28), 9);
    EXPECT_EQ(at(*grid, 180, 65), 0); // tropics stay empty
    EXPECT_EQ(at(*grid, 180, 115), 33);
    EXPECT_EQ(at(*grid, 190, 0), 11);
    EXPECT_EQ(at(*grid, 210, 20), 0);
    EXPECT_EQ(at(*grid, 220, 20), 55);
    EXPECT_EQ(at(*grid, 230, 20), 66);
    EXPECT_EQ(at(*grid, 240, 20), 2); // the later point wins
    EXPECT_EQ(at(*grid, 250, 20), 0); // no probability is 130 per cent
    EXPECT_EQ(at(*grid, 260, 20), 0);
    EXPECT_EQ(at(*grid, 270, 20), 0);
    EXPECT_EQ(grid->observationTime, utc(2026, 8, 18, 11, 50));
    EXPECT_EQ(grid->forecastTime, utc(2026, 8, 18, 12, 35));

    int set = 0;
    for (std::uint8_t v : grid->values)
        set += v != 0;
    EXPECT_EQ(set, 9);
}

TEST(OvationAurora, SurvivesHostilePoints)
{
    const auto grid = aurora(auroraBody(R"([[1e300, 50, 9], [0, 1e300, 9], [0, -1e300, 9], [-1e300, -50, 9],
                                             [1e18, 89, 9], [0, 45, 1e300], [0, 45, -1e300]])",
                                        R"("Forecast Time": "soon",)"));
    ASSERT_TRUE(grid.has_value());
    EXPECT_FALSE(grid->observationTime.has_value());
    EXPECT_FALSE(grid->forecastTime.has_value());
    EXPECT_EQ(at(*grid, 180, 45), 0);

    const auto empty = aurora(auroraBody("[]"));
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->maxValue(), 0);
    EXPECT_EQ(empty->values.size(), 65160u);
}

TEST(OvationAurora, RefusesOtherShapes)
{
    EXPECT_EQ(aurora(auroraBody(R"([[0, 60, 5], 7])")).error(), format("OVATION aurora"));
    EXPECT_EQ(aurora(auroraBody(R"({"0": [0, 60, 5]})")).error(), format("OVATION aurora"));
    EXPECT_EQ(aurora(R"({"Observation Time": "2026-08-18T11:50:00Z"})").error(), format("OVATION aurora"));
    EXPECT_EQ(aurora(R"([[0, 60, 5]])").error(), format("OVATION aurora"));
    EXPECT_EQ(aurora(auroraBody(R"([[0, 60, 5], [1, 6)")).error().kind, ParseError::Kind::json);
}

TEST(KpOneMinute, TakesTheLatestRecordWithAKp)
{
    const char* body = R"([
      {"time_tag": "2026-08-18T11:38:00", "kp_index": 2, "estimated_kp": 2.33, "kp": "2P"},
      {"time_tag": "2026-08-18T11:39:00", "kp_index": 3, "estimated_kp": 3.33, "kp": "3P"},
      {"time_tag": "2026-08-18T11:40:00", "kp_index": 3, "estimated_kp": null, "kp": "3M"}
    ])";
    EXPECT_EQ(kpNow(body), (KpNow { 3, utc(2026, 8, 18, 11, 40) }));

    const char* noneInLast = R"([
      {"time_tag": "2026-08-18T11:39:00", "kp_index": 3, "estimated_kp": 3.33},
      {"time_tag": "2026-08-18T11:40:00", "kp": "3M"},
      {"time_tag": "2026-08-18T11:41:00", "estimated_kp": "NaN", "kp_index": "inf"}
    ])";
    EXPECT_EQ(kpNow(noneInLast), (KpNow { 3.33, utc(2026, 8, 18, 11, 39) }));
    EXPECT_EQ(kpNow(R"([{"estimated_kp": 4.67}])"), (KpNow { 4.67, std::nullopt }));

    EXPECT_EQ(kpNow(R"([{"time_tag": "2026-08-18T11:41:00", "kp": "3M"}])").error(), format("Kp 1-minute"));
    EXPECT_EQ(kpNow("[]").error(), format("Kp 1-minute"));
    EXPECT_EQ(kpNow(R"({"estimated_kp": 3})").error(), format("Kp 1-minute"));
}

TEST(KpThreeHour, ReadsTheHeaderRowTable)
{
    const char* table = R"([
      ["time_tag", "Kp", "a_running", "station_count"],
      ["2026-08-17 18:00:00.000", "2.67", "12", "8"],
      ["2026-08-17 21:00:00.000", "3.33", "18", "8"],
      ["2026-08-18 00:00:00.000", "4.00", "27", "8"]
    ])";
    const auto samples = kpHistory(table);
    ASSERT_TRUE(samples.has_value());
    const QList<KpSample> expected {
        { utc(2026, 8, 17, 18), 2.67, 12 },
        { utc(2026, 8, 17, 21), 3.33, 18 },
        { utc(2026, 8, 18, 0), 4.0, 27 },
    };
    EXPECT_EQ(*samples, expected);

    // The same intervals as the product's object form give the same values.
    const char* objects = R"([
      {"time_tag": "2026-08-17T18:00:00", "Kp": 2.67, "a_running": 12, "station_count": 8},
      {"time_tag": "2026-08-17T21:00:00", "Kp": 3.33, "a_running": 18, "station_count": 8},
      {"time_tag": "2026-08-18T00:00:00", "Kp": 4.0, "a_running": 27, "station_count": 8}
    ])";
    EXPECT_EQ(kpHistory(objects), expected);
}

TEST(KpThreeHour, SortsAndSkipsBadRecords)
{
    const char* body = R"([
      {"time_tag": "2026-08-18T03:00:00", "Kp": 5.0},
      {"time_tag": "2026-08-18T00:00:00", "kp": 4.0, "a_running": null},
      {"time_tag": "2026-08-18T06:00:00", "Kp": null, "kp": 3},
      {"time_tag": "yesterday", "Kp": 1},
      {"time_tag": "2026-08-18T09:00:00", "Kp": "NaN"},
      {"time_tag": "2026-08-18T03:00:00", "Kp": 5.33}
    ])";
    const auto samples = kpHistory(body);
    ASSERT_TRUE(samples.has_value());
    const QList<KpSample> expected {
        { utc(2026, 8, 18, 0), 4.0, std::nullopt },
        { utc(2026, 8, 18, 3), 5.0, std::nullopt },
        { utc(2026, 8, 18, 3), 5.33, std::nullopt },
    };
    EXPECT_EQ(*samples, expected);
    EXPECT_EQ(kpHistory("[]").error(), format("Kp 3-hour"));
    EXPECT_EQ(kpHistory(R"([["time_tag", "Kp"]])").error(), format("Kp 3-hour"));
    EXPECT_EQ(kpHistory(R"({"Kp": 3})").error(), format("Kp 3-hour"));
}

TEST(SolarFluxFeed, ReadsTheSummaryObject)
{
    EXPECT_EQ(solarFlux(R"({"Flux": "150", "TimeStamp": "2024-05-01 20:00:00"})"),
              (SolarFlux { 150, utc(2024, 5, 1, 20) }));
    EXPECT_EQ(solarFlux(R"({"flux": 142.5, "time_tag": "2024-05-01T17:00:00"})"),
              (SolarFlux { 142.5, utc(2024, 5, 1, 17) }));
    EXPECT_EQ(solarFlux(R"({"Flux": "n/a", "TimeStamp": "2024-05-01 20:00:00"})").error(), format("F10.7"));
    EXPECT_EQ(solarFlux(R"({"Flux": "NaN"})").error(), format("F10.7"));
}

TEST(SolarFluxFeed, TakesTheLatestOfTheDailyList)
{
    const char* body = R"([
      {"time_tag": "2026-08-16T20:00:00", "frequency": 2800, "flux": 139, "reporting_schedule": "Afternoon"},
      {"time_tag": "2026-08-17T20:00:00", "frequency": 2800, "flux": 148, "reporting_schedule": "Afternoon"},
      {"time_tag": "2026-08-17T20:00:00", "frequency": 2800, "flux": 150, "reporting_schedule": "Afternoon"},
      {"frequency": 2800, "flux": 200},
      {"time_tag": "2026-08-18T17:00:00", "frequency": 2800, "Flux": 151}
    ])";
    EXPECT_EQ(solarFlux(body), (SolarFlux { 148, utc(2026, 8, 17, 20) }));
    EXPECT_EQ(solarFlux(R"([{"flux": 200}, {"time_tag": "2026-08-01T20:00:00", "flux": 120}])"),
              (SolarFlux { 120, utc(2026, 8, 1, 20) }));
    EXPECT_EQ(solarFlux(R"([{"flux": 200}])"), (SolarFlux { 200, std::nullopt }));
    EXPECT_EQ(solarFlux("[]").error(), format("F10.7"));
}

TEST(SunspotFeed, ReadsTheDailyProduct)
{
    const char* body = R"([
      {"Obsdate": "2026-08-16T00:00:00", "swpc_ssn": 131},
      {"Obsdate": "2026-08-17T00:00:00", "swpc_ssn": 118},
      {"Obsdate": "2026-08-18T00:00:00", "swpc_ssn": -1}
    ])";
    EXPECT_EQ(sunspots(body), (Sunspots { 118, utc(2026, 8, 17, 0) }));
    EXPECT_EQ(sunspots(R"([{"Obsdate": "2026-08-18T00:00:00", "swpc_ssn": -1}])").error(), format("sunspots"));
}

TEST(SunspotFeed, ReadsTheMonthlyProduct)
{
    const char* body = R"([
      {"time-tag": "2024-04", "ssn": 136.5, "smoothed_ssn": 152.9, "observed_swpc_ssn": 153.4, "f10.7": 178.6},
      {"time-tag": "2024-05", "ssn": 170.2, "smoothed_ssn": -1, "observed_swpc_ssn": 180.1, "f10.7": 199.1},
      {"time-tag": "2024-06", "ssn": -1, "observed_swpc_ssn": 160}
    ])";
    EXPECT_EQ(sunspots(body), (Sunspots { 170.2, utc(2024, 5, 1, 0) }));
    // The first present key names the number, even when it holds none.
    EXPECT_EQ(sunspots(R"([{"swpc_ssn": null, "ssn": 90}])").error(), format("sunspots"));
    EXPECT_EQ(sunspots(R"([{"observed_swpc_ssn": "95", "time-tag": 2024}])"), (Sunspots { 95, std::nullopt }));
}

TEST(MagFieldFeed, ReadsTheSummaryObject)
{
    EXPECT_EQ(magField(R"({"Bt": "6", "Bz": "-3", "TimeStamp": "2026-08-18 11:52:00.000"})"), (MagField { 6, -3 }));
    EXPECT_EQ(magField("{}"), (MagField {}));
    EXPECT_EQ(magField(R"({"Bt": "NaN", "Bz": 2})"), (MagField { std::nullopt, 2 }));
}

TEST(MagFieldFeed, ReadsTheRecordForm)
{
    EXPECT_EQ(magField(R"([{"bt": 4, "bz_gsm": 1, "time_tag": "2026-08-18T11:52:00Z"}])"), (MagField { 4, 1 }));
    EXPECT_EQ(magField(R"([{"bt": 4, "bz_gsm": 1, "time_tag": "2026-08-18T11:50:00Z"},
                           {"bt": 5, "bz_gsm": -2, "time_tag": "2026-08-18T11:52:00Z"},
                           {"bt": 9, "time_tag": "later"}])"),
              (MagField { 5, -2 }));
    EXPECT_EQ(magField("[]").error(), format("solar wind mag"));
    EXPECT_EQ(magField(R"([{"Bt": 4}])").error(), format("solar wind mag"));
    EXPECT_EQ(magField("[4, 1]").error(), format("solar wind mag"));
}

TEST(WindSpeedFeed, ReadsBothForms)
{
    EXPECT_EQ(windSpeed(R"({"WindSpeed": "410", "TimeStamp": "2026-08-18 11:52:00.000"})"), 410.0);
    EXPECT_EQ(windSpeed(R"([{"proton_speed": 340, "time_tag": "2026-08-18T11:52:00Z"}])"), 340.0);
    EXPECT_EQ(windSpeed(R"([{"proton_speed": 340, "time_tag": "2026-08-18T11:52:00Z"},
                            {"proton_speed": 355.5, "time_tag": "2026-08-18T11:53:00Z"}])"),
              355.5);
    for (const char* bad : { R"({"WindSpeed": null})", R"({"WindSpeed": "fast"})", R"({"windspeed": 400})", "[]",
                             R"([{"proton_speed": null}])", R"([{"WindSpeed": 400}])" })
        EXPECT_EQ(windSpeed(bad).error(), format("solar wind speed")) << bad;
}

TEST(SWPCReaders, PassTheJsonReadersErrorOn)
{
    const QByteArray truncated = R"([{"time_tag": "2026-08-18T11:38:00", "kp_ind)";
    EXPECT_EQ(kpNow(truncated).error().kind, ParseError::Kind::json);
    EXPECT_EQ(kpHistory(truncated).error().kind, ParseError::Kind::json);
    EXPECT_EQ(solarFlux("<html>Bad Gateway</html>").error().kind, ParseError::Kind::json);
    EXPECT_EQ(sunspots("").error().kind, ParseError::Kind::json);
    EXPECT_EQ(magField("42").error().kind, ParseError::Kind::json);
    EXPECT_EQ(windSpeed("\"fast\"").error().kind, ParseError::Kind::json);
}

TEST(SWPCReaders, SurviveHugeAndDeeplyNestedBodies)
{
    QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    EXPECT_FALSE(kpHistory(deep).has_value());
    EXPECT_FALSE(aurora("{\"coordinates\": " + deep + "}").has_value());

    QByteArray many = "[";
    for (int i = 0; i < 200000; ++i)
        many += R"({"time_tag": "2026-08-18T00:00:00", "flux": "x"},)";
    many += R"({"time_tag": "2026-08-18T00:00:00", "flux": 150}])";
    EXPECT_EQ(solarFlux(many), (SolarFlux { 150, utc(2026, 8, 18, 0) }));
}
