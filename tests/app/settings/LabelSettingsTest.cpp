#include "settings/LabelSettings.h"

#include "kit/LabelFonts.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "settings/ColorButton.h"
#include "settings/LabelPreview.h"
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

QImage grab(QWidget* widget) { return widget->grab().toImage(); }

} // namespace

TEST(LabelSettings, ResetWritesEveryKeyInItsOrderAndLeavesTheStyle)
{
    clearSettings();
    Settings& settings = Settings::standard();
    settings.set(SettingKeys::mapStyle, "parchment");
    settings.set(SettingKeys::prefixColor, "#14233CFF");
    settings.set(SettingKeys::gridLabelColor, "#11223344");
    settings.set(SettingKeys::clockFontSize, 72.0);
    settings.set(SettingKeys::clockShowSeconds, false);
    LabelSettings tab;
    tab.show();

    KeyLog log;
    tab.resetButton()->click();
    EXPECT_EQ(log.keys,
              (QStringList { "gridFontFamily", "gridFontSize", "gridLabelColor", "prefixFontFamily", "prefixFontSize",
                             "prefixFontBold", "prefixColor", "zoneFontFamily", "zoneFontSize", "zoneFontBold",
                             "clockFontFamily", "clockFontSize", "clockFontBold", "clockShowSeconds",
                             "clockFontColor" }));
    QStringList stored;
    for (const QString& key : log.keys)
        stored << storedText(key.toLatin1().constData());
    EXPECT_EQ(stored,
              (QStringList { "System", "9", "", "System", "10", "true", "#FFEDB3", "System", "16", "true", "System",
                             "40", "false", "true", "" }));
    EXPECT_EQ(storedText("mapStyle"), "parchment");
    EXPECT_TRUE(checkBox(section(tab, "Clocks"), "Show seconds")->isChecked());
    EXPECT_EQ(sliderText(section(tab, "Clocks"), "Size"), "40 pt");
}

TEST(LabelSettings, PreviewsAndTheMapFollowEveryEditAtOnce)
{
    clearSettings();
    MapViewportModel model;
    WorldMapView map(AppStores { nullptr, &model, nullptr, nullptr, nullptr });
    map.resize(800, 400);
    map.show();
    LabelSettings tab;
    tab.resize(640, 1400);
    tab.show();
    QWidget* prefixes = section(tab, "Callsign prefixes");
    QWidget* zones = section(tab, "Zone numbers");
    QWidget* clocks = section(tab, "Clocks");
    QWidget* grid = section(tab, "Lat/long numbers");
    ASSERT_TRUE(prefixes && zones && clocks && grid);
    EXPECT_EQ(tab.prefixPreview()->text(), "K  DL  JA  VK  LY  PY");
    EXPECT_EQ(tab.prefixPreview()->look().font, labelFont("System", 10, true));
    EXPECT_EQ(tab.prefixPreview()->textColor(), QColor(0xFF, 0xED, 0xB3));
    EXPECT_GE(tab.prefixPreview()->height(), 44);
    EXPECT_EQ(control<QComboBox>(prefixes, "Font")->currentText(), "System font");

    // Prefix size and colour: the preview and the map change with the edit.
    const QImage mapBefore = renderMap(map);
    const QImage previewBefore = grab(tab.prefixPreview());
    slider(prefixes, "Size")->setValue(1000);
    EXPECT_EQ(sliderText(prefixes, "Size"), "24 pt");
    EXPECT_EQ(tab.prefixPreview()->look().font.pixelSize(), 24);
    EXPECT_EQ(map.options().prefixSize, 24);
    EXPECT_TRUE(pickColor(control<ColorButton>(prefixes, "Colour"), QColor(0xFF, 0x30, 0x30, 0xC0)));
    EXPECT_EQ(storedText("prefixColor"), "#FF3030C0");
    EXPECT_EQ(tab.prefixPreview()->textColor(), QColor(0xFF, 0x30, 0x30, 0xC0));
    EXPECT_NE(grab(tab.prefixPreview()), previewBefore);
    EXPECT_NE(renderMap(map), mapBefore);

    // Zone numbers: a new font size shows; the colour stays the default CQ
    // colour whatever the Map tab holds.
    Settings::standard().set(SettingKeys::cqZoneColor, "#30FF30FF");
    checkBox(zones, "Bold")->click();
    EXPECT_EQ(storedText("zoneFontBold"), "false");
    EXPECT_EQ(tab.zonePreview()->look().font, labelFont("System", 16, false));
    EXPECT_EQ(tab.zonePreview()->textColor(), QColor(0xFF, 0x9F, 0x43));

    // Clocks: the well shows white for the empty text, the preview the
    // window's text colour; the preview stops at 48 pt while the size is
    // stored in full; a pick is stored opaque.
    auto* clockColour = control<ColorButton>(clocks, "Colour");
    EXPECT_EQ(clockColour->color(), QColor(Qt::white));
    EXPECT_EQ(tab.clockPreview()->textColor(), tab.clockPreview()->palette().color(QPalette::WindowText));
    EXPECT_EQ(tab.clockPreview()->text(), "12:34:56");
    slider(clocks, "Size")->setValue(1000);
    EXPECT_EQ(storedText("clockFontSize"), "96");
    EXPECT_EQ(tab.clockPreview()->look().font, clockDisplayFont("System", 48, false));
    EXPECT_FALSE(pickColor(clockColour, QColor(0x20, 0x40, 0x60, 0x10)));
    EXPECT_EQ(storedText("clockFontColor"), "#204060FF");
    EXPECT_EQ(tab.clockPreview()->textColor(), QColor(0x20, 0x40, 0x60));

    // Lat/long numbers: with no colour of their own they follow the map
    // style changed elsewhere, in the well and the preview alike.
    auto* gridColour = control<ColorButton>(grid, "Colour");
    EXPECT_EQ(gridColour->color(), QColor::fromRgbF(1, 1, 1, 0.55f));
    Settings::standard().set(SettingKeys::mapStyle, "sand");
    EXPECT_EQ(gridColour->color(), QColor::fromRgbF(0, 0, 0, 0.55f));
    EXPECT_EQ(tab.gridPreview()->textColor(), QColor::fromRgbF(0, 0, 0, 0.55f));
    slider(grid, "Size")->setValue(1000);
    EXPECT_EQ(tab.gridPreview()->look().font.pixelSize(), 24);
    EXPECT_EQ(map.options().gridSize, 24);
}
