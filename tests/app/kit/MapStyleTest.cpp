#include "kit/MapStyle.h"

#include <gtest/gtest.h>

#include <set>

TEST(MapStyle, RawTextsAreExactAndOrdered)
{
    const auto& all = MapStyles::allCases();
    ASSERT_EQ(all.size(), 13u);
    EXPECT_EQ(all.front(), MapStyle::dark);
    EXPECT_EQ(all.back(), MapStyle::sand);
    std::set<QString> raws;
    for (MapStyle s : all) {
        raws.insert(MapStyles::rawValue(s));
        EXPECT_EQ(MapStyles::fromRaw(MapStyles::rawValue(s)), s);
    }
    EXPECT_EQ(raws.size(), 13u);
    EXPECT_EQ(MapStyles::rawValue(MapStyle::political), "political");

    // Titles are not raw texts; raw texts are case-sensitive.
    EXPECT_FALSE(MapStyles::fromRaw("Dark"));
    EXPECT_FALSE(MapStyles::fromRaw("DARK"));
    EXPECT_FALSE(MapStyles::fromRaw(""));
    EXPECT_FALSE(MapStyles::fromRaw(" dark"));
    EXPECT_EQ(MapStyles::title(MapStyle::dark), "Dark");
    EXPECT_EQ(MapStyles::title(MapStyle::atlas), "Light atlas");
    EXPECT_EQ(MapStyles::title(MapStyle::contrast), "High contrast");
    EXPECT_EQ(MapStyles::title(MapStyle::parchment), "Old map (parchment)");
}

TEST(MapStyle, LightnessAndColours)
{
    const std::set<MapStyle> light { MapStyle::atlas,     MapStyle::grey,   MapStyle::political,
                                     MapStyle::parchment, MapStyle::arctic, MapStyle::sand };
    for (MapStyle s : MapStyles::allCases())
        EXPECT_EQ(MapStyles::isLight(s), light.count(s) == 1) << MapStyles::rawValue(s).toStdString();

    // Borders carry their opacity; contrast's ocean is pure black.
    EXPECT_NEAR(MapStyles::border(MapStyle::dark).alphaF(), 0.55, 1e-4);
    EXPECT_NEAR(MapStyles::border(MapStyle::atlas).redF(), 0.45, 1e-4);
    EXPECT_NEAR(MapStyles::border(MapStyle::atlas).alphaF(), 0.7, 1e-4);
    EXPECT_EQ(MapStyles::oceanTop(MapStyle::contrast), QColor(Qt::black));
    EXPECT_EQ(MapStyles::oceanBottom(MapStyle::contrast), QColor(Qt::black));
    // The theme's ocean top is the dark style's.
    EXPECT_EQ(MapTheme::oceanTop(), MapStyles::oceanTop(MapStyle::dark));
    EXPECT_NEAR(MapTheme::panelStroke().alphaF(), 0.1, 1e-4);

    for (const QColor& c : MapStyles::politicalPalette())
        EXPECT_EQ(c.alphaF(), 1.0);
    EXPECT_NEAR(MapStyles::politicalPalette()[4].greenF(), 0.73, 1e-4);
}
