#include "cluster/Band.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Band, LooksUpTheBandOfAFrequencyWithInclusiveEdges)
{
    EXPECT_EQ(bandForKHz(14000), Band::m20);
    EXPECT_EQ(bandForKHz(14350), Band::m20);
    EXPECT_EQ(bandForKHz(14350.001), std::nullopt);
    EXPECT_EQ(bandForKHz(1799.999), std::nullopt);
    EXPECT_EQ(bandForKHz(1800), Band::m160);
    EXPECT_EQ(bandForKHz(5300), Band::m60);
    EXPECT_EQ(bandForKHz(148000), Band::m2);
    EXPECT_EQ(bandForKHz(9000), std::nullopt);
    EXPECT_EQ(bandForKHz(std::nan("")), std::nullopt);
    EXPECT_EQ(bandForKHz(std::numeric_limits<double>::infinity()), std::nullopt);

    // Every band's own edges lead back to it.
    for (Band band : allBands) {
        EXPECT_EQ(bandForKHz(rangeKHz(band).lower), band) << rawValue(band);
        EXPECT_EQ(bandForKHz(rangeKHz(band).upper), band) << rawValue(band);
    }
}

TEST(Band, RawValuesAndTitles)
{
    EXPECT_EQ(title(Band::m20), "20 m");
    EXPECT_EQ(title(Band::m160), "160 m");
    EXPECT_EQ(bandFromRaw(17), Band::m17);
    EXPECT_EQ(bandFromRaw(2), Band::m2);
    for (qint64 notABand : { 0, 1, 3, 11, 70, 220, -20 })
        EXPECT_EQ(bandFromRaw(notABand), std::nullopt) << notABand;
    for (Band band : allBands)
        EXPECT_EQ(bandFromRaw(rawValue(band)), band);
}

TEST(Band, EncodesSetsInDescendingMetres)
{
    EXPECT_EQ(encodeBands({ Band::m20, Band::m160, Band::m6 }), "160,20,6");
    EXPECT_EQ(encodeBands({}), "");
    EXPECT_EQ(encodeBands(defaultBandSelection()), "160,80,60,40,30,20,17,15,12,10,6");
    EXPECT_EQ(decodeBands(encodeBands(defaultBandSelection())), defaultBandSelection());
}

TEST(Band, DecodesLenientlySkippingWhatIsNoBand)
{
    EXPECT_EQ(decodeBands(u" 20 , 40,,abc,99,+17"), (BandSet { Band::m20, Band::m40, Band::m17 }));
    EXPECT_EQ(decodeBands(u""), BandSet {});
    EXPECT_EQ(decodeBands(u",,,"), BandSet {});
    // Only blanks and tabs are trimmed; a line break makes the piece unreadable.
    EXPECT_EQ(decodeBands(u"20\n,40"), BandSet { Band::m40 });
    EXPECT_EQ(decodeBands(u"\t10\t,10,10"), BandSet { Band::m10 });
    EXPECT_EQ(decodeBands(u"20.0,-40,1e1,6"), BandSet { Band::m6 });
    EXPECT_EQ(decodeBands(u"99999999999999999999999,2"), BandSet { Band::m2 });
}
