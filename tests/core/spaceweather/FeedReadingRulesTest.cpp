#include "spaceweather/FeedReadingRules.h"

#include "support/UtcTime.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <limits>

using SWPCParser::date;
using SWPCParser::number;
using SWPCParser::records;

namespace {

QJsonValue text(const char* s) { return QJsonValue(QString::fromUtf8(s)); }

QJsonValue json(const char* s) { return *SWPCParser::parseJson(QByteArray(s)); }

} // namespace

TEST(FeedDateRule, ReadsTheFeedsTimeForms)
{
    EXPECT_EQ(date(text("2024-05-01 12:00:00.000")), utc(2024, 5, 1, 12, 0));
    EXPECT_EQ(date(text("2024-05-01T12:00:00")), utc(2024, 5, 1, 12, 0));
    EXPECT_EQ(date(text("2024-05-01T12:00:00Z")), utc(2024, 5, 1, 12, 0));
    EXPECT_EQ(date(text("2024-05-01T12:00:00.250Z")), utc(2024, 5, 1, 12, 0, 0, 250));
    EXPECT_EQ(date(text("2024-05-01T12:00:00+02:00")), utc(2024, 5, 1, 10, 0));
    EXPECT_EQ(date(text("2024-05-01T23:30:00+02:00")), utc(2024, 5, 1, 21, 30));
}

TEST(FeedDateRule, ReadsTimesWestOfGreenwich)
{
    EXPECT_EQ(date(text("2024-05-01T12:00:00-05:00")), utc(2024, 5, 1, 17, 0));
    EXPECT_EQ(date(text("2024-05-01 21:15:30.5-03:30")), utc(2024, 5, 2, 0, 45, 30, 500));
}

TEST(FeedDateRule, GivesNoTimeForAnythingElse)
{
    for (const char* bad :
         { "", "2024-05-01", "2024-05-01T12:00", "2024-13-01T12:00:00", "2024-02-30T12:00:00", "2024-05-01T24:00:00",
           "2024-05-01T12:00:00+0200", "2024-05-01T12:00:00.Z", "yesterday", "2024-05-01T12:00:00ZZ",
           "2024-05-01T12:00:00+02:00Z", "20240501T120000Z", "2024-05-01T12:00:00-5:00" })
        EXPECT_FALSE(date(text(bad)).has_value()) << bad;
    EXPECT_FALSE(date(QJsonValue(1714564800)).has_value());
    EXPECT_FALSE(date(QJsonValue()).has_value());
    EXPECT_FALSE(date(QJsonValue(QJsonValue::Undefined)).has_value());
}

TEST(FeedNumberRule, ReadsNumbersAndNumericTexts)
{
    EXPECT_EQ(number(QJsonValue(3)), 3.0);
    EXPECT_EQ(number(QJsonValue(-2.5)), -2.5);
    EXPECT_EQ(number(QJsonValue(true)), 1.0);
    EXPECT_EQ(number(QJsonValue(false)), 0.0);
    EXPECT_EQ(number(text("3.67")), 3.67);
    EXPECT_EQ(number(text(" \t3.67\t ")), 3.67);
    EXPECT_EQ(number(text("-2")), -2.0);
    EXPECT_EQ(number(text("1e3")), 1000.0);
}

TEST(FeedNumberRule, GivesNoNumberForTextsThatAreNotFiniteNumbers)
{
    for (const char* bad :
         { "abc", "", "  ", "NaN", "nan", "inf", "-Infinity", "1e999", "0x1p3", "3.67\n", "3,67", "3 67" })
        EXPECT_FALSE(number(text(bad)).has_value()) << bad;
    EXPECT_FALSE(number(QJsonValue()).has_value());
    EXPECT_FALSE(number(QJsonValue(QJsonValue::Undefined)).has_value());
    EXPECT_FALSE(number(QJsonArray { 1 }).has_value());
    EXPECT_FALSE(number(QJsonObject { { "v", 1 } }).has_value());
    EXPECT_FALSE(number(QJsonValue(std::numeric_limits<double>::infinity())).has_value());
}

TEST(FeedTableReader, TakesObjectsAsTheyAre)
{
    const auto list = records(json(R"([{"time_tag": "2026-08-18T00:00:00", "Kp": 4.0}, {"a": null}])"));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].value("Kp").toDouble(), 4.0);
    EXPECT_TRUE(list[1].contains("a"));
    EXPECT_TRUE(records(json("[]")).isEmpty());
}

TEST(FeedTableReader, TurnsHeaderRowTablesIntoRecords)
{
    const auto list = records(json(R"([["time_tag", "Kp"], ["2024-05-01 00:00:00.000", "2.67"]])"));
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(date(list[0].value("time_tag")), utc(2024, 5, 1, 0, 0));
    EXPECT_EQ(number(list[0].value("Kp")), 2.67);

    // Cells beyond the header are dropped, short rows lack the trailing
    // keys, and a repeated column name keeps the later cell.
    const auto ragged = records(json(R"([["a", "b", "a"], [1, 2, 3, 4], [5]])"));
    ASSERT_EQ(ragged.size(), 2);
    EXPECT_EQ(ragged[0].size(), 2);
    EXPECT_EQ(ragged[0].value("a").toDouble(), 3.0);
    EXPECT_EQ(ragged[0].value("b").toDouble(), 2.0);
    EXPECT_EQ(ragged[1].size(), 1);
    EXPECT_EQ(ragged[1].value("a").toDouble(), 5.0);
}

TEST(FeedTableReader, GivesNothingForOtherShapes)
{
    EXPECT_TRUE(records(json(R"([["time_tag", 1], ["x", "y"]])")).isEmpty());
    EXPECT_TRUE(records(json(R"([["time_tag", "Kp"]])")).isEmpty());
    EXPECT_TRUE(records(json(R"([{"a": 1}, ["a"]])")).isEmpty());
    EXPECT_TRUE(records(json(R"([1, 2])")).isEmpty());
    EXPECT_TRUE(records(json(R"({"a": [1]})")).isEmpty());
    EXPECT_TRUE(records(QJsonValue(3)).isEmpty());
}

TEST(FeedJsonReader, RefusesBodiesThatAreNotAnObjectOrArray)
{
    for (const char* bad : { "", "3", "\"text\"", "[1, 2", "{\"a\": }", "[1] x", "[NaN]", "<html>" }) {
        const auto result = SWPCParser::parseJson(QByteArray(bad));
        ASSERT_FALSE(result.has_value()) << bad;
        EXPECT_EQ(result.error().kind, SWPCParser::ParseError::Kind::json) << bad;
    }
    EXPECT_TRUE(SWPCParser::parseJson("  {} ").has_value());
}

TEST(FeedTableReader, ReadsAWideTableThroughItsHeader)
{
    // Columns named in descending order, the shape that made a reader that
    // builds objects key by key quadratic (bench_SpaceWeatherBench times it).
    constexpr int columns = 60000;
    QJsonArray header;
    QJsonArray row;
    for (int c = columns; c > 0; --c) {
        header.append(QStringLiteral("c%1").arg(c));
        row.append(c);
    }
    const auto list = records(QJsonArray { header, row, row });
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[1].value("c1").toInt(), 1);
    EXPECT_EQ(list[1].value("c60000").toInt(), 60000);
    EXPECT_EQ(list[0].size(), columns);
    EXPECT_FALSE(list[0].contains("c0"));
}
