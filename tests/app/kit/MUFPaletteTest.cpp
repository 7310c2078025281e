#include "kit/Color.h"
#include "kit/MUFPalette.h"
#include "spaceweather/MUFGrid.h"

#include <gtest/gtest.h>

TEST(MUFPalette, DefaultRampAndItsTextsPerLevel)
{
    const QStringList expected { "#A88CC7FF", "#A88CC7FF", "#A49CCEFF", "#9EB3D9FF", "#73D1C7FF",
                                 "#8CDDA5FF", "#9EE68CFF", "#D1ED8CFF", "#FAF28CFF", "#FFCC59FF" };
    EXPECT_EQ(MUFPalette::defaultHex(), expected);

    // Stops, the ends and a mix two fifths of the way from 5 to 10 MHz.
    const QColor at7 = defaultMUFColor(7);
    EXPECT_NEAR(at7.redF(), 0.644, 1e-4);
    EXPECT_NEAR(at7.greenF(), 0.61, 1e-4);
    EXPECT_NEAR(at7.blueF(), 0.808, 1e-4);
    EXPECT_EQ(defaultMUFColor(-3), defaultMUFColor(5));
    EXPECT_EQ(defaultMUFColor(99), QColor::fromRgbF(1.0f, 0.8f, 0.35f));
    EXPECT_EQ(defaultMUFColor(std::nan("")), defaultMUFColor(35));
    EXPECT_EQ(Color::hexString(defaultMUFColor(21)), "#9EE68CFF");
}

TEST(MUFPalette, ReadsTenEntriesAndFallsBackOtherwise)
{
    const MUFPalette standard = MUFPalette::fromHex(QString());
    EXPECT_EQ(standard.hex, MUFPalette::defaultHex());
    EXPECT_EQ(standard.colors.size(), 10);

    const QStringList ten { "#000000", "#111111", "#222222", "#333333", "#444444",
                            "#555555", "#666666", "#777777", "#888888", "#999999" };
    for (const QString& text : { QString(""), ten.mid(0, 9).join(','), (ten + QStringList { "#AAAAAA" }).join(',') })
        EXPECT_EQ(MUFPalette::fromHex(text), standard) << text.toStdString();

    // Doubled commas are dropped before counting; blanks around entries trimmed.
    QString spaced = ten.join(" , ");
    spaced.replace("#444444 ,", "#444444 ,,");
    const MUFPalette custom = MUFPalette::fromHex(spaced);
    EXPECT_EQ(custom.hex, ten);
    EXPECT_EQ(custom.colors[3], QColor(0x33, 0x33, 0x33));

    // A piece of blanks only still counts and reads as opaque black.
    QStringList withBlank = ten;
    withBlank[9] = "  ";
    const MUFPalette blank = MUFPalette::fromHex(withBlank.join(','));
    EXPECT_EQ(blank.hex[9], "");
    EXPECT_EQ(blank.colors[9], QColor(Qt::black));
}

TEST(MUFPalette, ColourAtAValueMixesNeighbouringLevels)
{
    const MUFPalette p = MUFPalette::fromHex(QString());
    EXPECT_EQ(p.color(2), p.colors[0]);
    EXPECT_EQ(p.color(3.5), p.colors[0]);
    EXPECT_EQ(p.color(40), p.colors[9]);
    EXPECT_EQ(p.color(std::nan("")), p.colors[9]);
    EXPECT_EQ(p.color(6), Color::mix(p.colors[1], p.colors[2], 0.5));
    EXPECT_EQ(p.color(MUFGrid::levels[4]), p.colors[4]);
}
