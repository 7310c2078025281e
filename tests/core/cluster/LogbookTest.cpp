#include "cluster/Logbook.h"

#include <gtest/gtest.h>

namespace {

QList<LogbookQSO> qsos(const char* adif) { return ADIF::qsos(QByteArray(adif)); }

} // namespace

TEST(ADIF, ReadsTagsWhateverTheirCaseSpacingAndLineEnds)
{
    const LogbookQSO k1abc { "K1ABC", Band::m20, false };
    for (const char* file : {
             "<CALL:5>K1ABC<BAND:3>20M<EOR>",
             "<call:5>k1abc <band:3>20m <eor>",
             "<Call:5:S>K1ABC\r\n<BAND:3>20M\r\n<FREQ:6:N>14.025\r\n<EoR>\r\n",
             "Exported by hand\r\n<ADIF_VER:5>3.1.4 <CALL:5>X0XXX <eoh>\r\n<CALL:5>K1ABC<BAND:3>20M<EOR>",
             "<CALL: 5 >K1ABC<BAND:3>20M<COMMENT:0><EOR><EOR>",
         })
        EXPECT_EQ(qsos(file), QList<LogbookQSO> { k1abc }) << file;

    // The header's fields are in no record; without a header the first
    // record starts at byte 0.
    const auto withHeader = ADIF::records("Export <ADIF_VER:5>3.1.4 <EOH><CALL:2>K1<EOR>");
    ASSERT_EQ(withHeader.size(), 1);
    EXPECT_EQ(withHeader[0], (ADIF::Record { { "CALL", "K1" } }));
    EXPECT_EQ(ADIF::records("<CALL:2>K1<EOR><CALL:2>K2<NOTE:0><EOR>").size(), 2);
    EXPECT_EQ(ADIF::records("<CALL:2>K2<NOTE:0><EOR>")[0].value("NOTE", "missing"), "");
}

TEST(ADIF, LengthsCountBytesAndNeverReachPastTheEnd)
{
    const auto record = [](const char* file) {
        const auto records = ADIF::records(QByteArray(file));
        return records.isEmpty() ? ADIF::Record {} : records[0];
    };
    EXPECT_EQ(record("<NAME:5>J\xc3\xb6rg<EOR>").value("NAME"), QString::fromUtf8("J\xc3\xb6rg"));
    EXPECT_EQ(record("<NAME:4>J\xc3\xb6rg<EOR>").value("NAME"), QString::fromUtf8("J\xc3\xb6r"));
    // A length that cuts a character in two gives a replacement character.
    EXPECT_EQ(record("<NAME:2>J\xc3\xb6<EOR>").value("NAME"), QString::fromUtf8("J\xef\xbf\xbd"));

    // Bad, negative, absent and overflowing lengths skip the tag only.
    for (const char* file : { "<CALL:x>K1ABC<EOR>", "<CALL:-5>K1ABC<EOR>", "<CALL>K1ABC<EOR>", "<CALL:>K1ABC<EOR>",
                              "<CALL:99999999999999999999>K1ABC<EOR>" })
        EXPECT_TRUE(ADIF::records(QByteArray(file)).isEmpty()) << file;
    EXPECT_EQ(record("<CALL:99999999999999999999>K1ABC<BAND:3>20M<EOR>").keys(), QList<QString> { "BAND" });

    // Lengths past the end take the rest of the file; the record never closes.
    for (const char* file : { "<CALL:50>K1ABC<EOR>", "<CALL:9223372036854775807>K1ABC<EOR>", "<CALL:5>K1ABC<BAND:3>20M",
                              "<CALL:5>K1ABC<BAND:3", "" })
        EXPECT_TRUE(ADIF::records(QByteArray(file)).isEmpty()) << file;
    EXPECT_EQ(ADIF::records("<CALL:5>K1ABC<EOR><CALL:9>K2").size(), 1);
}

TEST(ADIF, TakesBandFromBandThenFrequency)
{
    const struct {
        const char* text;
        std::optional<Band> band;
    } bands[] = {
        { "20m", Band::m20 },  { "2M", Band::m2 }, { " 160M\t", Band::m160 },
        { "+40M", Band::m40 }, { "70CM", {} },     { "1.25M", {} },
        { "20 M", {} },        { "20", {} },       { "19M", {} },
        { "MM", {} },          { "M", {} },        { "0M", {} },
    };
    for (const auto& b : bands)
        EXPECT_EQ(ADIF::bandFromADIF(QString::fromUtf8(b.text)), b.band) << b.text;

    const auto band = [](const char* fields) {
        const auto list = qsos((QByteArray("<CALL:2>K1") + fields + "<EOR>").constData());
        return list.isEmpty() ? std::optional<Band>(Band::m4) : list[0].band;
    };
    EXPECT_EQ(band("<BAND:3>20M<FREQ:5>7.074"), Band::m20);
    EXPECT_EQ(band("<FREQ:5>7.074"), Band::m40);
    EXPECT_EQ(band("<BAND:4>70CM<FREQ:6>14.074"), Band::m20);
    EXPECT_EQ(band("<FREQ:5>7,074"), std::nullopt);
    EXPECT_EQ(band("<FREQ:3>nan"), std::nullopt);
    EXPECT_EQ(band("<FREQ:4>9.00"), std::nullopt);
    EXPECT_EQ(band(""), std::nullopt);
}

TEST(ADIF, ReadsConfirmationsAndKeepsDistinctContacts)
{
    const auto confirmed = [](const char* fields) {
        const auto list = qsos((QByteArray("<CALL:2>K1") + fields + "<EOR>").constData());
        return !list.isEmpty() && list[0].confirmed;
    };
    EXPECT_TRUE(confirmed("<QSL_RCVD:1>N<LOTW_QSL_RCVD:1>Y"));
    EXPECT_TRUE(confirmed("<QSL_RCVD:1>y"));
    EXPECT_TRUE(confirmed("<LOTW_QSL_RCVD:1>v"));
    EXPECT_FALSE(confirmed("<QSL_RCVD:1>R"));
    EXPECT_FALSE(confirmed(""));

    const auto list = qsos("<CALL:2>k1<BAND:3>20m<EOR>"
                           "<CALL:2>K2<EOR>"
                           "<CALL:2>K1<BAND:3>20M<EOR>"
                           "<CALL:2>K1<BAND:3>20M<QSL_RCVD:1>Y<EOR>"
                           "<CALL:0><BAND:3>20M<EOR>"
                           "<BAND:3>20M<EOR>");
    EXPECT_EQ(list, (QList<LogbookQSO> { { "K1", Band::m20, false }, { "K2", {}, false }, { "K1", Band::m20, true } }));
    EXPECT_TRUE(qsos("no tags in here").isEmpty());
}

TEST(LogbookQSO, StoredFormRoundTripsAndRefusesBadEntries)
{
    const QList<LogbookQSO> log { { "K1ABC", Band::m20, true }, { "DL1XX", std::nullopt, false } };
    const QByteArray json = LogbookQSO::encode(log);
    EXPECT_EQ(json, R"([{"band":20,"call":"K1ABC","confirmed":true},{"call":"DL1XX","confirmed":false}])");
    EXPECT_EQ(LogbookQSO::decode(json), log);
    EXPECT_EQ(LogbookQSO::decode("[]"), QList<LogbookQSO> {});
    EXPECT_EQ(LogbookQSO::decode(R"([{"call":"K1","confirmed":false,"band":null}])"),
              (QList<LogbookQSO> { { "K1", std::nullopt, false } }));

    for (const char* bad :
         { R"([{"call":"K1"}])", R"([{"confirmed":true}])", R"([{"call":"K1","confirmed":1}])",
           R"([{"call":"K1","confirmed":true,"band":19}])", R"([{"call":"K1","confirmed":true,"band":"20"}])",
           R"([{"call":"K1","confirmed":true,"band":20.5}])", R"([{"call":"K1","confirmed":true}, 3])",
           R"({"call":"K1"})", "[" })
        EXPECT_FALSE(LogbookQSO::decode(bad).has_value()) << bad;
}
