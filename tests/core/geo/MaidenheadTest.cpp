#include "geo/Maidenhead.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

void expectCentre(QStringView text, double latitude, double longitude)
{
    const auto c = Maidenhead::coordinate(text);
    ASSERT_TRUE(c.has_value()) << text.toString().toStdString();
    EXPECT_NEAR(c->latitude, latitude, 1e-9) << text.toString().toStdString();
    EXPECT_NEAR(c->longitude, longitude, 1e-9) << text.toString().toStdString();
}

} // namespace

TEST(Maidenhead, LocatorOfKnownPlaces)
{
    EXPECT_EQ(Maidenhead::locator({ 0, 0 }, 2), "JJ");
    EXPECT_EQ(Maidenhead::locator({ 0, 0 }, 4), "JJ00");
    EXPECT_EQ(Maidenhead::locator({ 0, 0 }, 6), "JJ00aa");
    EXPECT_EQ(Maidenhead::locator({ 51.5, -0.1 }, 6), "IO91wm");
    EXPECT_EQ(Maidenhead::locator({ -33.87, 151.21 }, 6), "QF56od");
}

TEST(Maidenhead, LocatorClampsAtTheEdgesOfTheGrid)
{
    EXPECT_EQ(Maidenhead::locator({ 90, 180 }, 6), "RR99xx");
    EXPECT_EQ(Maidenhead::locator({ -90, -180 }, 6), "AA00aa");
    EXPECT_EQ(Maidenhead::locator({ 89.9999995, 179.9999995 }, 6), "RR99xx");
    EXPECT_EQ(Maidenhead::locator({ 0, 190 }, 6), "RJ90xa");
    EXPECT_EQ(Maidenhead::locator({ 0, -200 }, 6), "AJ00aa");
    EXPECT_EQ(Maidenhead::locator({ 95, 0 }, 6), "JR09ax");
    EXPECT_EQ(Maidenhead::locator({ -95, 0 }, 6), "JA00aa");
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Maidenhead::locator({ inf, -inf }, 6), "AR09ax");
    EXPECT_EQ(Maidenhead::locator({ -inf, inf }, 6), "RA90xa");
}

TEST(Maidenhead, LocatorWithoutAValidCoordinateIsEmpty)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(Maidenhead::locator({ nan, 0 }, 6).isEmpty());
    EXPECT_TRUE(Maidenhead::locator({ 0, nan }, 2).isEmpty());
}

TEST(Maidenhead, PrecisionPicksTwoFourOrSixCharacters)
{
    const GeoCoordinate c { 51.5, -0.1 };
    for (int p : { -1, 0, 2, 3 })
        EXPECT_EQ(Maidenhead::locator(c, p), "IO") << p;
    for (int p : { 4, 5 })
        EXPECT_EQ(Maidenhead::locator(c, p), "IO91") << p;
    for (int p : { 6, 8, 100 })
        EXPECT_EQ(Maidenhead::locator(c, p), "IO91wm") << p;
}

TEST(Maidenhead, CentreOfEachLengthOfLocator)
{
    expectCentre(u"JO65", 55.5, 13.0);
    expectCentre(u"jo65ha", 55.0 + 1.0 / 48, 12.625);
    expectCentre(u"JO65HA12", 55.0 + 2.5 / 240, 12.5 + 23.0 / 240);
    expectCentre(u"AA", -85, -170);
    expectCentre(u"RR99XX99", 90 - 0.5 / 240, 180 - 1.0 / 240);
    expectCentre(u"jO65hA", 55.0 + 1.0 / 48, 12.625);
}

TEST(Maidenhead, IgnoresBlanksButNotLineBreaks)
{
    const auto plain = Maidenhead::coordinate(u"IO91WM");
    ASSERT_TRUE(plain.has_value());
    EXPECT_NEAR(plain->latitude, 51.5 + 1.0 / 48, 1e-9);
    EXPECT_NEAR(plain->longitude, -0.125, 1e-9);
    EXPECT_EQ(Maidenhead::coordinate(u" io91wm\t"), plain);
    EXPECT_EQ(Maidenhead::coordinate(u"\u00a0IO91wm\u3000 "), plain); // no-break and ideographic spaces
    EXPECT_FALSE(Maidenhead::coordinate(u"JO65\n").has_value());
    EXPECT_FALSE(Maidenhead::coordinate(u"\r\nJO65").has_value());
    EXPECT_FALSE(Maidenhead::coordinate(u"JO65\r\n").has_value());
}

TEST(Maidenhead, RejectsWhatIsNoLocator)
{
    for (const char16_t* bad :
         { u"", u"  ", u"J", u"JO6", u"JO65HA1", u"JO65HA12X", u"SA", u"AS", u"JJ0A", u"JJA0", u"JJ00YY", u"JJ00aY",
           u"JJ00AA0A", u"JO 65", u"JO65 ha", u"J!", u"@A", u"[A", u"JJ:0" })
        EXPECT_FALSE(Maidenhead::coordinate(QStringView(bad)).has_value()) << QString::fromUtf16(bad).toStdString();

    // Non-ASCII characters, including ones that upper-case to plain letters
    // (the "ff" ligature) or look like digits (full-width, Arabic-Indic).
    for (const char16_t* bad :
         { u"JÖ65", u"\ufb0000", u"JO\uff16\uff15", u"JO\u0666\u0665", u"J\u00e9", u"JO65\U0001F600" })
        EXPECT_FALSE(Maidenhead::coordinate(QStringView(bad)).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST(Maidenhead, SixCharacterLocatorsSurviveTheRoundTrip)
{
    // Every field and square, with the corner and middle subsquares of each;
    // every subsquare in the corner squares of the grid.
    const int subsquares[] = { 0, 1, 11, 12, 22, 23 };
    int checked = 0;
    for (int fLon = 0; fLon < 18; ++fLon)
        for (int fLat = 0; fLat < 18; ++fLat)
            for (int sLon = 0; sLon < 10; ++sLon)
                for (int sLat = 0; sLat < 10; ++sLat) {
                    const bool corner = (fLon == 0 || fLon == 17) && (fLat == 0 || fLat == 17)
                        && (sLon == 0 || sLon == 9) && (sLat == 0 || sLat == 9);
                    for (int uLon = 0; uLon < 24; ++uLon) {
                        if (!corner && std::ranges::find(subsquares, uLon) == std::end(subsquares))
                            continue;
                        for (int uLat = 0; uLat < 24; ++uLat) {
                            if (!corner && std::ranges::find(subsquares, uLat) == std::end(subsquares))
                                continue;
                            const QChar chars[] = { QChar(u'A' + fLon), QChar(u'A' + fLat), QChar(u'0' + sLon),
                                                    QChar(u'0' + sLat), QChar(u'a' + uLon), QChar(u'a' + uLat) };
                            const QString text(chars, 6);
                            const auto centre = Maidenhead::coordinate(text);
                            ASSERT_TRUE(centre.has_value()) << text.toStdString();
                            ASSERT_EQ(Maidenhead::locator(*centre, 6), text);
                            ASSERT_EQ(Maidenhead::locator(*centre, 4), text.left(4));
                            ++checked;
                        }
                    }
                }
    EXPECT_GT(checked, 1'000'000);
}
