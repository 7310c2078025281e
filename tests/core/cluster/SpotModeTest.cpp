#include "cluster/SpotMode.h"

#include <gtest/gtest.h>

#include <cmath>

using ModeClassifier::mode;

TEST(SpotMode, RawTextsRoundTrip)
{
    EXPECT_EQ(rawValue(SpotMode::digital), "DIGI");
    EXPECT_EQ(spotModeFromRaw(u"SSB"), SpotMode::ssb);
    EXPECT_EQ(spotModeFromRaw(u"cw"), std::nullopt);
    for (ModeFilter f : allModeFilters)
        EXPECT_EQ(modeFilterFromRaw(rawValue(f)), f);
    EXPECT_EQ(rawValue(ModeFilter::cwSsb), "cwSsb");
    EXPECT_EQ(title(ModeFilter::cwSsb), "CW + SSB (no digital)");
    EXPECT_EQ(modeFilterFromRaw(u"CW"), std::nullopt);
    EXPECT_EQ(modeFilterFromRaw(u""), std::nullopt);
}

TEST(SpotMode, FiltersAcceptTheirModes)
{
    EXPECT_TRUE(accepts(ModeFilter::all, std::nullopt));
    EXPECT_TRUE(accepts(ModeFilter::all, SpotMode::digital));
    EXPECT_FALSE(accepts(ModeFilter::cwSsb, std::nullopt));
    EXPECT_TRUE(accepts(ModeFilter::cwSsb, SpotMode::cw));
    EXPECT_TRUE(accepts(ModeFilter::cwSsb, SpotMode::ssb));
    EXPECT_FALSE(accepts(ModeFilter::cwSsb, SpotMode::digital));
    EXPECT_TRUE(accepts(ModeFilter::digital, SpotMode::digital));
    EXPECT_FALSE(accepts(ModeFilter::digital, SpotMode::cw));
    EXPECT_FALSE(accepts(ModeFilter::cw, std::nullopt));
    EXPECT_FALSE(accepts(ModeFilter::ssb, SpotMode::cw));
}

TEST(SpotMode, CommentWordsWinInTheirOrder)
{
    EXPECT_EQ(mode(7000, u"ft8 up 2"), SpotMode::digital);
    EXPECT_EQ(mode(14000, u"CW FT8"), SpotMode::digital);
    EXPECT_EQ(mode(14200, u"CW USB"), SpotMode::cw);
    EXPECT_EQ(mode(14074, u"LSB"), SpotMode::ssb);
    EXPECT_EQ(mode(14200, u"PSK-31"), SpotMode::digital);
    EXPECT_EQ(mode(14200, u"tnx qso/ft4!"), SpotMode::digital);
    // Whole words only: "CWOPS" and "SSBX" are not mode words; "AM" is.
    EXPECT_EQ(mode(14200, u"CWOPS member"), SpotMode::ssb);
    EXPECT_EQ(mode(14010, u"SSBX"), SpotMode::cw);
    EXPECT_EQ(mode(7000, u"am"), SpotMode::ssb);
    // Skimmer comments.
    EXPECT_EQ(mode(14025.1, u"CW 24 dB 25 WPM CQ"), SpotMode::cw);
    EXPECT_EQ(mode(14080.9, u"FT4 -12 dB 1234 Hz"), SpotMode::digital);
    EXPECT_EQ(mode(14082, u"RTTY 15 dB 45 BPS CQ"), SpotMode::digital);
    // Letters beyond ASCII separate nothing and never match.
    EXPECT_EQ(mode(14200, u"größe CW"), SpotMode::cw);
    EXPECT_EQ(mode(14200, u"\U0001D400CW"), SpotMode::ssb);
    // The comment is upper-cased before it is cut: the long s becomes S.
    EXPECT_EQ(mode(14010, u"\u017F\u017Fb"), SpotMode::ssb);
    EXPECT_EQ(mode(14010, u"ssbssbssbssbssbssbssb lsb"), SpotMode::ssb);
    EXPECT_EQ(mode(14300, u"Contestia/olivia"), SpotMode::digital);
}

TEST(SpotMode, DialWindowsThenBandPlan)
{
    EXPECT_EQ(mode(14074, u""), SpotMode::digital);
    EXPECT_EQ(mode(14073.5, u""), SpotMode::digital);
    EXPECT_EQ(mode(14077.0, u""), SpotMode::digital);
    EXPECT_EQ(mode(14077.1, u"tnx"), SpotMode::digital); // band plan 14070..14101
    EXPECT_EQ(mode(14101, u""), SpotMode::ssb);
    EXPECT_EQ(mode(14000, u""), SpotMode::cw);
    EXPECT_EQ(mode(10120, u""), SpotMode::cw);
    EXPECT_EQ(mode(10150, u""), SpotMode::digital);
    EXPECT_EQ(mode(50200, u""), SpotMode::ssb);
    EXPECT_EQ(mode(50400, u""), SpotMode::digital);
    EXPECT_EQ(mode(50500, u""), SpotMode::ssb);
    EXPECT_EQ(mode(54000, u""), SpotMode::ssb);
    EXPECT_EQ(mode(50313, u""), SpotMode::digital);
    EXPECT_EQ(mode(70000, u""), SpotMode::cw);
    EXPECT_EQ(mode(70154, u""), SpotMode::digital);
    EXPECT_EQ(mode(70500, u""), SpotMode::ssb);
    EXPECT_EQ(mode(71000, u""), SpotMode::ssb);
    EXPECT_EQ(mode(7047.0, u""), SpotMode::digital); // FT4 7047.5 window
    EXPECT_EQ(mode(1842, u""), SpotMode::digital);
    EXPECT_EQ(mode(144300, u""), SpotMode::ssb);
    EXPECT_EQ(mode(9000, u""), std::nullopt);
    EXPECT_EQ(mode(10368100, u"tnx"), std::nullopt);
    EXPECT_EQ(mode(std::nan(""), u""), std::nullopt);
    EXPECT_EQ(mode(std::nan(""), u"cw"), SpotMode::cw);
}
