#include "cluster/DXSpotParser.h"

#include <gtest/gtest.h>

using namespace DXSpotParser;

namespace {

const QDateTime received(QDate(2026, 12, 7), QTime(9, 15, 30), Qt::UTC);

DXSpot live(const QString& line)
{
    const std::optional<DXSpot> s = liveSpot(line, received);
    EXPECT_TRUE(s.has_value()) << line.toStdString();
    return s.value_or(DXSpot());
}

DXSpot history(const QString& line)
{
    const std::optional<DXSpot> s = historySpot(line);
    EXPECT_TRUE(s.has_value()) << line.toStdString();
    return s.value_or(DXSpot());
}

} // namespace

TEST(DXSpotParser, ReadsLiveAnnouncementsOfRealNodes)
{
    // DXSpider, with locator and the BELs it puts before CR LF.
    DXSpot s = live("DX de SV1CDN:    14028.0  UR5EAW       cw                             1237Z KM18\a\a");
    EXPECT_EQ(s.frequencyKHz, 14028.0);
    EXPECT_EQ(s.call, "UR5EAW");
    EXPECT_EQ(s.spotter, "SV1CDN");
    EXPECT_EQ(s.comment, "cw");
    EXPECT_EQ(s.time, received);
    EXPECT_EQ(s.band, Band::m20);
    EXPECT_EQ(s.mode, SpotMode::cw);

    // BEL glued to the time token must not hide it.
    s = live("DX de SV1CDN:    14028.0  UR5EAW       tnx qso                        1237Z\a\a");
    EXPECT_EQ(s.comment, "tnx qso");

    // A CW skimmer through CC Cluster / AR-Cluster.
    s = live("DX de EA5WU-#:    7018.3  RW1M         CW 19 dB 26 WPM CQ             2259Z");
    EXPECT_EQ(s.spotter, "EA5WU-#");
    EXPECT_EQ(s.comment, "CW 19 dB 26 WPM CQ");
    EXPECT_EQ(s.band, Band::m40);
    EXPECT_EQ(s.mode, SpotMode::cw);

    // An FT8 skimmer.
    s = live("DX de W3LPL-#:   14075.2  JA1XYZ       FT8 -12 dB 1243 Hz             1230Z");
    EXPECT_EQ(s.comment, "FT8 -12 dB 1243 Hz");
    EXPECT_EQ(s.mode, SpotMode::digital);

    // A long spotter pushes the frequency against the colon.
    s = live("DX de OH6BG-#:14074.0  K1ABC        FT8 +03 dB                     1230Z");
    EXPECT_EQ(s.spotter, "OH6BG-#");
    EXPECT_EQ(s.call, "K1ABC");

    // Eight-digit microwave frequencies overflow the column: no band, no mode.
    s = live("DX de DL1ABC:  10368100.0  OK1KIR       EME tnx                        1230Z JO60");
    EXPECT_EQ(s.frequencyKHz, 10368100.0);
    EXPECT_EQ(s.band, std::nullopt);
    EXPECT_EQ(s.mode, std::nullopt);
    EXPECT_EQ(s.id(), "OK1KIR|10368100");

    // Portable calls and a spotter that is a node itself.
    s = live("DX de K1TTT:     21025.0  VP8/G3ABC    cw                             0915Z");
    EXPECT_EQ(s.call, "VP8/G3ABC");
    EXPECT_EQ(s.band, Band::m15);
    s = live("DX de W1XYZ-2:    3799.0  EA8/DL1ABC/P LSB up 5                       0915Z FN42");
    EXPECT_EQ(s.call, "EA8/DL1ABC/P");
    EXPECT_EQ(s.spotter, "W1XYZ-2");
    EXPECT_EQ(s.comment, "LSB up 5");
    EXPECT_EQ(s.mode, SpotMode::ssb);
}

TEST(DXSpotParser, LiveRulesForCaseCommentAndTimeToken)
{
    DXSpot s = live("dx de w1xyz: 14074.0 k1abc ft8 1230Z");
    EXPECT_EQ(s.call, "K1ABC");
    EXPECT_EQ(s.spotter, "W1XYZ");
    EXPECT_EQ(s.comment, "ft8");
    EXPECT_EQ(s.mode, SpotMode::digital);

    s = live("DX de W1XYZ: 14000.0 K1ABC cq up 2 1520Z JO90");
    EXPECT_EQ(s.comment, "cq up 2");
    s = live("DX de W1XYZ: 14000.0 K1ABC cq up 2");
    EXPECT_EQ(s.comment, "cq up 2");
    s = live("DX de W1XYZ: 14000.0 K1ABC cq 1520z");
    EXPECT_EQ(s.comment, "cq 1520z");
    // The last time token wins; anything after it is dropped.
    s = live("DX de W1XYZ: 14000.0 K1ABC qrv 1500Z till 1520Z JO90");
    EXPECT_EQ(s.comment, "qrv 1500Z till");
    s = live("DX de W1XYZ: 14000.0 K1ABC 1520Z");
    EXPECT_EQ(s.comment, "");
    s = live("  \tDX de W1XYZ: 14074 K1ABC x");
    EXPECT_EQ(s.frequencyKHz, 14074.0);
    s = live("DX de <W1XYZ>*: 14074 <K1ABC> x");
    EXPECT_EQ(s.call, "K1ABC");
    EXPECT_EQ(s.spotter, "W1XYZ");
    s = live("DX de : 14074 K1ABC* x");
    EXPECT_EQ(s.call, "K1ABC");
    EXPECT_EQ(s.spotter, "");

    for (const char* refused : {
             "DX de W1XYZ 14074.0 K1ABC FT8", // no colon
             "DX de W1XYZ: 14074.0 K1ABC",    // two tokens
             "DX de W1XYZ: 7.074 K1ABC cw",   // MHz
             "DX de W1XYZ: 999.9 K1ABC cw",
             "DX de W1XYZ: 14074,0 K1ABC cw",
             "DX de W1XYZ: inf K1ABC cw", // not finite
             "DX de W1XYZ: 1e999 K1ABC cw",
             "DX de W1XYZ: nan K1ABC cw",
             "DX de W1XYZ: 9999999999681003 K1ABC cw", // no whole kHz for the spot's id
             "DX de W1XYZ: 0x1p20 K1ABC cw",
             "DX de W1XYZ: 14074.0 AB cw",
             "DX de W1XYZ: 14074.0 K1ABC/P/QRP/XX/YY cw",
             "DX de W1XYZ: 14074.0 ABCDE cw",
             "DX de W1XYZ: 14074.0 123 cw",
             "DXde W1XYZ: 14074.0 K1ABC cw",
             "To ALL de W1AW: 14074.0 K1ABC cw",
         })
        EXPECT_FALSE(liveSpot(QString::fromUtf8(refused), received).has_value()) << refused;
    EXPECT_FALSE(liveSpot(u"DX de W1XYZ: 14074.0 K1ÄBC cw", received).has_value());
}

TEST(DXSpotParser, ReadsHistoryListings)
{
    // DXSpider "sh/dx" answer.
    DXSpot s = history("   14074.0 K1ABC        5-Dec-2026 1230Z FT8 loud                   <W1XYZ>");
    EXPECT_EQ(s.call, "K1ABC");
    EXPECT_EQ(s.spotter, "W1XYZ");
    EXPECT_EQ(s.comment, "FT8 loud");
    EXPECT_EQ(s.time, QDateTime(QDate(2026, 12, 5), QTime(12, 30), Qt::UTC));
    EXPECT_EQ(s.mode, SpotMode::digital);

    s = history("14074.0 K1ABC 5-Dec-2026 1230Z <W1XYZ>");
    EXPECT_EQ(s.comment, "");
    EXPECT_EQ(s.spotter, "W1XYZ");

    // Two-digit day, skimmer spotter, BEL at the end.
    s = history("  7018.3  RW1M        07-Dec-2026 2259Z  CW 19 dB 26 WPM CQ    <EA5WU-#>\a");
    EXPECT_EQ(s.spotter, "EA5WU-#");
    EXPECT_EQ(s.time, QDateTime(QDate(2026, 12, 7), QTime(22, 59), Qt::UTC));
    EXPECT_EQ(s.comment, "CW 19 dB 26 WPM CQ");

    s = history("14074.0 K1ABC 5-Dec-2026 1230Z FT8 W1XYZ");
    EXPECT_EQ(s.spotter, "");
    EXPECT_EQ(s.comment, "FT8 W1XYZ");
    s = history("14074.0 K1ABC 5-Dec-2026 1230Z <>");
    EXPECT_EQ(s.spotter, "");
    EXPECT_EQ(s.comment, "");
    s = history("144300.0 G4ABC 31-Dec-2025 2359Z MS <g3xyz>");
    EXPECT_EQ(s.band, Band::m2);
    EXPECT_EQ(s.spotter, "G3XYZ");

    for (const char* refused : {
             "14074.0 K1ABC 5-Dec-2026 1230 FT8 <W1XYZ>",   // no Z
             "14074.0 K1ABC 5-Dez-2026 1230Z FT8 <W1XYZ>",  // not English
             "14074.0 K1ABC 31-Feb-2026 1230Z FT8 <W1XYZ>", // no such day
             "14074.0 K1ABC 5-Dec-2026 2460Z FT8 <W1XYZ>",  // no such time
             "14074.0 K1ABC 5-Dec-26 1230Z FT8 <W1XYZ>",
             "14074.0 K1ABC 5-Dec-2026 1230Z", // four tokens
             "inf K1ABC 5-Dec-2026 1230Z <W1XYZ>",
             "7.074 K1ABC 5-Dec-2026 1230Z <W1XYZ>",
             "1e16 K1ABC 5-Dec-2026 1230Z <W1XYZ>",
             // Other answers of a node.
             "7-Dec-2026   1200   150   5   1 No Storms -> No Storms  <VE7CC>",
             "WWV de VE7CC <21Z>:   SFI=150, A=5, K=1, No Storms -> No Storms",
             "W1XYZ de GB7DJK  7-Dec-2026 1230Z dxspider >",
         })
        EXPECT_FALSE(historySpot(QString::fromUtf8(refused)).has_value()) << refused;
}

TEST(DXSpotParser, LiveFirstThenHistory)
{
    const auto l = spot(u"DX de W1XYZ: 14074.0 K1ABC FT8 1230Z", received);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->time, received);
    const auto h = spot(u"14074.0 K1ABC 5-Dec-2026 1230Z <W1XYZ>", received);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->time, QDateTime(QDate(2026, 12, 5), QTime(12, 30), Qt::UTC));
    EXPECT_FALSE(spot(u"Hello W1XYZ, this is GB7DJK in London", received));
    EXPECT_FALSE(spot(u"", received));
}

TEST(DXSpot, IdentityIsCallAndBandOrWholeKHz)
{
    const DXSpot a(14074.0, "K1ABC", "W1XYZ", "FT8", received);
    const DXSpot b(14000.5, "K1ABC", "", "", received.addSecs(60));
    EXPECT_EQ(a.id(), "K1ABC|20");
    EXPECT_TRUE(a.sameIdentity(b));
    const DXSpot c(9000.7, "K1ABC", "", "", received);
    const DXSpot d(9000.1, "K1ABC", "", "", received);
    const DXSpot e(9001.0, "K1ABC", "", "", received);
    EXPECT_EQ(c.id(), "K1ABC|9000");
    EXPECT_TRUE(c.sameIdentity(d));
    EXPECT_FALSE(c.sameIdentity(e));
    EXPECT_FALSE(a.sameIdentity(DXSpot(7074.0, "K1ABC", "", "", received)));
    EXPECT_FALSE(a.sameIdentity(DXSpot(14074.0, "K1ABD", "", "", received)));
    // A hand-made spot outside every number range still has an identity.
    const DXSpot odd(std::numeric_limits<double>::infinity(), "K1ABC", "", "", received);
    EXPECT_FALSE(odd.id().isEmpty());
    EXPECT_FALSE(odd.sameIdentity(c));
    EXPECT_NE(a, b);
    EXPECT_EQ(a, DXSpot(14074.0, "K1ABC", "W1XYZ", "FT8", received));
    EXPECT_EQ(qHash(a), qHash(DXSpot(14074.0, "K1ABC", "W1XYZ", "FT8", received)));
}
