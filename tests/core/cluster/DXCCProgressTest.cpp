#include "cluster/DXCCProgress.h"

#include <gtest/gtest.h>

namespace {

const CtyDatabase countries(u"United States: 05: 08: NA: 37.53: 91.67: 5.0: K:\n K,W;\n"
                            u"Germany: 14: 28: EU: 51.00: -10.00: -1.0: DL:\n DA,DL;\n"
                            u"Svalbard: 40: 18: EU: 78.00: -16.00: -1.0: jw:\n JW;\n");

CtyEntity country(const char* call) { return countries.entity(QString::fromUtf8(call)).value_or(CtyEntity {}); }

} // namespace

TEST(DXCCProgress, CountsWorkedAndConfirmedCountriesAndSlots)
{
    const DXCCProgress progress({ { "K1ABC", Band::m20, true },
                                  { "DL1XX", Band::m40, false },
                                  { "JW5X", std::nullopt, true },
                                  { "ZZ9ZZ", Band::m20, true } },
                                countries);
    EXPECT_EQ(progress.worked, (QSet<StringKey> { "K", "DL", "JW" })); // primary prefix upper-cased
    EXPECT_EQ(progress.confirmed, (QSet<StringKey> { "K", "JW" }));
    EXPECT_EQ(progress.workedSlots, (QSet<StringKey> { "K|20", "DL|40" }));
    EXPECT_EQ(progress.confirmedSlots, QSet<StringKey> { "K|20" });
    EXPECT_EQ(progress.unknownCalls, 1);
    EXPECT_EQ(progress.qsoCount, 4);
    EXPECT_EQ(DXCCProgress({}, countries), DXCCProgress {});
}

TEST(DXCCProgress, NeedDependsOnScopeBandAndConfirmation)
{
    const DXCCProgress progress({ { "K1ABC", Band::m20, true }, { "DL1XX", Band::m40, false } }, countries);
    const CtyEntity dl = country("DL2AA");
    const CtyEntity jw = country("JW1A");
    const struct {
        const CtyEntity& entity;
        std::optional<Band> band;
        NeedScope scope;
        bool confirmedOnly;
        bool needed;
    } cases[] = {
        { dl, Band::m20, NeedScope::country, false, false },
        { dl, Band::m20, NeedScope::country, true, true },
        { dl, std::nullopt, NeedScope::country, false, false },
        { jw, std::nullopt, NeedScope::country, false, true },
        { dl, Band::m20, NeedScope::bandCountry, false, true },
        { dl, Band::m40, NeedScope::bandCountry, false, false },
        { dl, Band::m40, NeedScope::bandCountry, true, true },
        { dl, std::nullopt, NeedScope::bandCountry, false, false },
        { country("W1AW"), Band::m20, NeedScope::bandCountry, true, false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(progress.isNeeded(c.entity, c.band, c.scope, c.confirmedOnly), c.needed)
            << c.entity.primaryPrefix.toStdString() << " " << rawValue(c.scope).toStdString() << c.confirmedOnly;
}

TEST(DXCCProgress, StarredPlacesCountAsTheirDXCCCountry)
{
    // Sicily is marked "*": a place of its own for the map, part of Italy
    // for DXCC. Italy lists one Sicilian call itself.
    const CtyDatabase italy(u"Italy: 15: 28: EU: 42.82: -12.58: -1.0: I:\n I,IK,IW,=IT9DX;\n"
                            u"Sicily: 15: 28: EU: 37.50: -14.00: -1.0: *IT9:\n IT9,IW9,=IT9DX;\n"
                            u"Germany: 14: 28: EU: 51.00: -10.00: -1.0: DL:\n DA,DL;\n");
    const DXCCProgress progress({ { "I1ABC", Band::m20, true },
                                  { "IT9ABC", Band::m40, true },
                                  { "IW9XYZ/P", Band::m15, false },
                                  { "IT9DX", Band::m10, false },
                                  { "DL1XX", Band::m20, false } },
                                italy);
    EXPECT_EQ(progress.worked, (QSet<StringKey> { "I", "DL" }));
    EXPECT_EQ(progress.confirmed, QSet<StringKey> { "I" });
    EXPECT_EQ(progress.workedSlots, (QSet<StringKey> { "I|20", "I|40", "I|15", "I|10", "DL|20" }));
    EXPECT_EQ(progress.confirmedSlots, (QSet<StringKey> { "I|20", "I|40" }));
    EXPECT_EQ(progress.unknownCalls, 0);

    // An IT9 spot is needed only where Italy is, though it is drawn at Sicily.
    const auto spot = italy.entity(u"IT9AAA");
    const auto dxcc = italy.dxccEntity(u"IT9AAA");
    ASSERT_TRUE(spot && dxcc);
    EXPECT_EQ(spot->name, "Sicily");
    EXPECT_EQ(dxcc->name, "Italy");
    EXPECT_FALSE(progress.isNeeded(*dxcc, Band::m40, NeedScope::country, true));
    EXPECT_FALSE(progress.isNeeded(*dxcc, Band::m15, NeedScope::bandCountry, false));
    EXPECT_TRUE(progress.isNeeded(*dxcc, Band::m15, NeedScope::bandCountry, true));
    EXPECT_TRUE(progress.isNeeded(*dxcc, Band::m80, NeedScope::bandCountry, false));
}

TEST(NeedScope, RawTextsAreExact)
{
    EXPECT_EQ(needScopeFromRaw(u"bandCountry"), NeedScope::bandCountry);
    EXPECT_EQ(needScopeFromRaw(u"country"), NeedScope::country);
    EXPECT_EQ(needScopeFromRaw(u"BandCountry"), std::nullopt);
    EXPECT_EQ(needScopeFromRaw(u""), std::nullopt);
    EXPECT_EQ(title(NeedScope::bandCountry), "New band-country (not worked on that band)");
}

TEST(CallWatchList, ParsesEntriesAndMatchesCalls)
{
    const CallWatchList list(u"k1abc, VP8*;  *JW\n\tZZ9ZZ,,");
    EXPECT_EQ(list.patterns(), (QStringList { "K1ABC", "VP8*", "*JW", "ZZ9ZZ" }));
    EXPECT_TRUE(CallWatchList(u" ,; \n").isEmpty());
    EXPECT_FALSE(CallWatchList().matches(u"K1ABC"));

    const struct {
        const char16_t* pattern;
        const char16_t* call;
        bool matches;
    } cases[] = {
        { u"K1ABC", u"k1abc", true },     { u"K1ABC", u"K1ABC/P", true }, { u"K1ABC", u"VE3/K1ABC", true },
        { u"K1ABC", u"K1ABC/MM", true },  { u"K1ABC", u"K1ABCD", false }, { u"K1ABC", u"EA//K1ABC", true },
        { u"VP8*", u"VP8ABC", true },     { u"VP8*", u"VP8", true },      { u"VP8*", u"XVP8A", false },
        { u"VP8*", u"EA/VP8ABC", false }, { u"*JW", u"4JW", true },       { u"*JW", u"JW", true },
        { u"*JW", u"JWA", false },        { u"K*1", u"K1", true },        { u"K*1", u"KA1", true },
        { u"K*1", u"K11", true },         { u"K*1", u"K12", false },      { u"K*1", u"K", false },
        { u"*", u"ANY/CALL", true },      { u"A*B*C", u"ABC", true },     { u"A*B*C", u"AXBYC", true },
        { u"A*B*C", u"ACB", false },      { u"AB**AB", u"AB", false },    { u"*B*", u"ABC", true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(CallWatchList(c.pattern).matches(c.call), c.matches)
            << QString::fromUtf16(c.pattern).toStdString() << " ~ " << QString::fromUtf16(c.call).toStdString();
}
