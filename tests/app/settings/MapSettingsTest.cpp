#include "settings/MapSettings.h"

#include "kit/MUFPalette.h"
#include "kit/MapStyle.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "settings/ColorButton.h"
#include "support/MapRendering.h"
#include "support/SettingsCatalogue.h"
#include "support/SettingsTabs.h"

#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace SettingsTabs;

namespace {

const QStringList mhzLabels { "3.5 MHz", "5 MHz",  "7 MHz",    "10 MHz", "14 MHz",
                              "18 MHz",  "21 MHz", "24.9 MHz", "28 MHz", "35 MHz" };

QList<QColor> wellColours(QWidget& tab)
{
    QList<QColor> colours;
    for (const QString& label : mhzLabels)
        colours << control<ColorButton>(&tab, label)->color();
    return colours;
}

QPushButton* button(QWidget& tab, const QString& text)
{
    for (QPushButton* b : tab.findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

} // namespace

TEST(MapSettings, ShowsTheDefaultsAndAStyleChoiceWritesOnlyTheStyle)
{
    clearSettings();
    MapSettings tab;
    tab.resize(640, 1600);
    tab.show();
    auto* style = control<QComboBox>(&tab, "Style");
    auto* fit = control<QComboBox>(&tab, "Map size");
    EXPECT_EQ(style->currentText(), "Dark");
    EXPECT_EQ(style->count(), 13);
    EXPECT_EQ(fit->currentText(), "Fill the window");
    EXPECT_TRUE(tab.fitCaption()->text().startsWith("Keeps the true shape and fills the window"));
    EXPECT_EQ(control<ColorButton>(&tab, "Border colour")->color(), MapStyles::border(MapStyle::dark));
    EXPECT_TRUE(Settings::standard().allKeys().isEmpty()) << "opening the tab writes nothing";

    KeyLog log;
    style->setCurrentIndex(style->findText("Political (coloured countries)"));
    EXPECT_EQ(log.keys, QStringList { "mapStyle" });
    EXPECT_EQ(storedText("mapStyle"), "political");
    // The border well follows the style while the border colour is empty.
    EXPECT_EQ(control<ColorButton>(&tab, "Border colour")->color(), MapStyles::border(MapStyle::political));

    fit->setCurrentIndex(1);
    EXPECT_EQ(storedText("mapFit"), "whole");
    EXPECT_EQ(tab.fitCaption()->text(),
              "Keeps the true shape and shows the whole world, with bars at the sides or top and bottom.");

    // Texts that name no case show and act as the defaults, and stay stored.
    log.keys.clear();
    Settings::standard().set(SettingKeys::mapStyle, "nonsense");
    Settings::standard().set(SettingKeys::mapFit, "nonsense");
    EXPECT_EQ(style->currentText(), "Dark");
    EXPECT_EQ(fit->currentText(), "Fill the window");
    EXPECT_TRUE(tab.fitCaption()->text().startsWith("Keeps the true shape and fills"));
    EXPECT_EQ(control<ColorButton>(&tab, "Border colour")->color(), MapStyles::border(MapStyle::dark));
    EXPECT_EQ(log.keys, (QStringList { "mapStyle", "mapFit" }));
    EXPECT_EQ(storedText("mapStyle"), "nonsense");
}

TEST(MapSettings, MufColoursAreStoredAsAFullListOfTen)
{
    clearSettings();
    MapSettings tab;
    tab.show();
    const QStringList defaults = MUFPalette::defaultHex();
    QList<QColor> defaultColours;
    for (const QString& text : defaults)
        defaultColours << Color::fromHex(text);
    EXPECT_EQ(wellColours(tab), defaultColours);

    // From an empty list the first edit stores all ten, opaque, without
    // offering opacity.
    EXPECT_FALSE(pickColor(control<ColorButton>(&tab, "7 MHz"), QColor(0x12, 0x34, 0x56, 0x80)));
    QStringList expected = defaults;
    expected[2] = "#123456FF";
    EXPECT_EQ(storedText("mufColors"), expected.join(','));
    EXPECT_EQ(control<ColorButton>(&tab, "7 MHz")->color(), QColor(0x12, 0x34, 0x56));

    // Nine or eleven pieces show the default palette; the first edit starts
    // again from it.
    for (const int pieces : { 9, 11 }) {
        QStringList list;
        for (int i = 0; i < pieces; ++i)
            list << "#FF0000";
        Settings::standard().set(SettingKeys::mufColors, list.join(','));
        EXPECT_EQ(wellColours(tab), defaultColours) << pieces;
        pickColor(control<ColorButton>(&tab, "35 MHz"), QColor(0, 0, 255));
        QStringList fresh = defaults;
        fresh[9] = "#0000FFFF";
        EXPECT_EQ(storedText("mufColors"), fresh.join(',')) << pieces;
    }

    // Blanks are trimmed and an empty piece is not counted: still ten.
    Settings::standard().set(SettingKeys::mufColors,
                             " #010101 ,#020202,,#030303,#040404,#050505,#060606,"
                             "#070707,#080808,#090909,\t#0A0A0A ");
    EXPECT_EQ(control<ColorButton>(&tab, "3.5 MHz")->color(), QColor(1, 1, 1));
    EXPECT_EQ(control<ColorButton>(&tab, "35 MHz")->color(), QColor(10, 10, 10));
    pickColor(control<ColorButton>(&tab, "5 MHz"), QColor(0xAA, 0xBB, 0xCC));
    EXPECT_EQ(storedText("mufColors"),
              "#010101,#AABBCCFF,#030303,#040404,#050505,#060606,#070707,#080808,#090909,"
              "#0A0A0A");

    // The reset stores the empty text; the key stays.
    button(tab, "Reset MUF colours")->click();
    EXPECT_TRUE(Settings::standard().contains(SettingKeys::mufColors));
    EXPECT_EQ(storedText("mufColors"), "");
    EXPECT_EQ(wellColours(tab), defaultColours);
}

TEST(MapSettings, BordersAndNightResetToTheirDefaultsAndTheMapFollowsAtOnce)
{
    clearSettings();
    MapViewportModel model;
    WorldMapView map(AppStores { nullptr, &model, nullptr, nullptr, nullptr });
    map.resize(800, 400);
    map.show();
    MapSettings tab;
    tab.show();
    const QImage before = renderMap(map);

    // A picked border colour keeps its opacity and no longer follows the
    // style.
    auto* border = control<ColorButton>(&tab, "Border colour");
    EXPECT_TRUE(pickColor(border, QColor(0xFF, 0x00, 0xFF, 0x99)));
    EXPECT_EQ(storedText("borderColor"), "#FF00FF99");
    EXPECT_EQ(map.options().borderColor, "#FF00FF99");
    const QImage magenta = renderMap(map);
    EXPECT_NE(magenta, before);
    Settings::standard().set(SettingKeys::mapStyle, "atlas");
    EXPECT_EQ(border->color(), QColor(0xFF, 0x00, 0xFF, 0x99));

    slider(&tab, "Border strength")->setValue(1000);
    EXPECT_EQ(sliderText(&tab, "Border strength"), "3.0 pt");
    EXPECT_DOUBLE_EQ(map.options().borderWidth, 3.0);
    checkBox(&tab, "Draw borders over the MUF map")->click();
    EXPECT_EQ(storedText("bordersOverMUF"), "false");
    slider(&tab, "Night darkness")->setValue(0);
    slider(&tab, "Greyline glow")->setValue(1000);
    EXPECT_EQ(sliderText(&tab, "Greyline glow"), "50%");

    KeyLog log;
    button(tab, "Reset borders")->click();
    EXPECT_EQ(log.keys, (QStringList { "borderColor", "borderWidth", "bordersOverMUF" }));
    EXPECT_EQ(storedText("borderColor"), "");
    EXPECT_EQ(storedText("borderWidth"), "0.6");
    EXPECT_EQ(storedText("bordersOverMUF"), "true");
    EXPECT_EQ(border->color(), MapStyles::border(MapStyle::atlas));
    EXPECT_TRUE(checkBox(&tab, "Draw borders over the MUF map")->isChecked());

    log.keys.clear();
    button(tab, "Reset day/night")->click();
    EXPECT_EQ(log.keys, (QStringList { "nightIntensity2", "greylineGlow2" }));
    EXPECT_EQ(sliderText(&tab, "Night darkness"), "45%");
    EXPECT_EQ(sliderText(&tab, "Greyline glow"), "10%");
    EXPECT_EQ(map.options().nightIntensity, 0.45);
}
