#include "spaceweather/GFZ.h"

#include "support/UtcTime.h"

#include <QTimeZone>
#include <QUrlQuery>
#include <gtest/gtest.h>

using GFZ::Index;
using SWPCParser::ParseError;

namespace {

// What the service answers for a Kp query over a few intervals.
const char* const kpAnswer = R"({
  "meta": {"source": "GFZ Potsdam", "license": "CC BY 4.0"},
  "datetime": ["2026-08-17T18:00:00Z", "2026-08-17T21:00:00Z", "2026-08-18T00:00:00Z"],
  "Kp": [2.0, 3.333, -1],
  "status": ["def", "nowcast", "nowcast"]
})";

} // namespace

TEST(GFZIndexFeed, TakesTheLastValidValueWithItsTime)
{
    const auto kp = GFZ::latest(kpAnswer, Index::kp);
    ASSERT_TRUE(kp.has_value());
    EXPECT_EQ(kp->value, 3.333);
    EXPECT_EQ(kp->time, utc(2026, 8, 17, 21, 0));

    const auto flux = GFZ::latest(R"({"datetime": ["2026-08-16T00:00:00Z", "2026-08-17T00:00:00Z"],
                                      "Fobs": ["148.2", null]})",
                                  Index::flux);
    ASSERT_TRUE(flux.has_value());
    EXPECT_EQ(flux->value, 148.2);
    EXPECT_EQ(flux->time, utc(2026, 8, 16, 0, 0));

    const auto ssn = GFZ::latest(R"({"datetime": ["2026-08-16T00:00:00Z", "2026-08-17T00:00:00Z"],
                                     "SN": [101, " 97\t", "NaN"]})",
                                 Index::sunspots);
    ASSERT_TRUE(ssn.has_value());
    EXPECT_EQ(ssn->value, 97);
    EXPECT_EQ(ssn->time, utc(2026, 8, 17, 0, 0));

    const auto untimed = GFZ::latest(R"({"Ap": [0]})", Index::ap);
    ASSERT_TRUE(untimed.has_value());
    EXPECT_EQ(untimed->value, 0);
    EXPECT_FALSE(untimed->time.has_value());

    const auto badTimes = GFZ::latest(R"({"datetime": "today", "Ap": [12]})", Index::ap);
    ASSERT_TRUE(badTimes.has_value());
    EXPECT_FALSE(badTimes->time.has_value());
}

TEST(GFZIndexFeed, NamesTheIndexWhenTheAnswerHasNoUsableValues)
{
    EXPECT_EQ(GFZ::latest(R"({"Kp": [-1, -2]})", Index::kp).error(),
              ParseError::unexpectedFormat("GFZ Kp: no valid values"));
    EXPECT_EQ(GFZ::latest(R"({"Fobs": []})", Index::flux).error(),
              ParseError::unexpectedFormat("GFZ Fobs: no valid values"));
    EXPECT_EQ(GFZ::latest(kpAnswer, Index::ap).error(), ParseError::unexpectedFormat("GFZ Ap"));
    EXPECT_EQ(GFZ::latest(R"({"SN": 97})", Index::sunspots).error(), ParseError::unexpectedFormat("GFZ SN"));
    EXPECT_EQ(GFZ::latest(R"([{"Kp": [1]}])", Index::kp).error(), ParseError::unexpectedFormat("GFZ Kp"));
    EXPECT_EQ(GFZ::latest(QByteArray(kpAnswer).left(120), Index::kp).error().kind, ParseError::Kind::json);
    EXPECT_EQ(GFZ::latest(R"({"errors": "Service Unavailable"})", Index::kp).error(),
              ParseError::unexpectedFormat("GFZ Kp"));
}

TEST(GFZIndexFeed, AsksForWholeSecondsInUtc)
{
    const QUrl url = GFZ::url(Index::kp, 4, utc(2024, 5, 5, 6, 30, 0, 750));
    EXPECT_TRUE(url.isValid());
    EXPECT_TRUE(url.toString().startsWith(GFZ::base() + "?"));
    EXPECT_TRUE(GFZ::base().endsWith("/app/json/"));
    EXPECT_EQ(url.query(), "start=2024-05-01T06:30:00Z&end=2024-05-05T06:30:00Z&index=Kp");

    const QDateTime zurich(QDate(2024, 5, 5), QTime(8, 30), QTimeZone("Europe/Zurich"));
    const QUrlQuery query(GFZ::url(Index::flux, 0, zurich));
    EXPECT_EQ(query.queryItemValue("start"), "2024-05-05T06:30:00Z");
    EXPECT_EQ(query.queryItemValue("end"), "2024-05-05T06:30:00Z");
    EXPECT_EQ(query.queryItemValue("index"), "Fobs");
}

TEST(GFZIndexFeed, RawTextsMatchExactly)
{
    EXPECT_EQ(GFZ::indexFromRaw(u"SN"), Index::sunspots);
    EXPECT_EQ(GFZ::indexFromRaw(u"Fobs"), Index::flux);
    EXPECT_FALSE(GFZ::indexFromRaw(u"KP").has_value());
    EXPECT_EQ(indexSourceFromRaw(u"gfz"), IndexSource::gfz);
    EXPECT_EQ(indexSourceFromRaw(u"noaa"), IndexSource::noaa);
    EXPECT_FALSE(indexSourceFromRaw(u"GFZ").has_value());
    EXPECT_FALSE(indexSourceFromRaw(u"").has_value());
    EXPECT_EQ(allIndexSources.front(), IndexSource::noaa);
}
