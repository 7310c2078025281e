#include "settings/SettingControls.h"
#include "settings/ColorButton.h"
#include "settings/LabeledSlider.h"
#include "settings/NumberField.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SettingsTabs.h"

#include <QColorDialog>
#include <QLabel>
#include <QLocale>
#include <QSlider>
#include <gtest/gtest.h>

#include <limits>

using namespace SettingsTabs;

namespace {

// Counts the writes of one key.
struct Writes {
    explicit Writes(const char* key)
        : name(QString::fromLatin1(key))
    {
        QObject::connect(&Settings::standard(), &Settings::changed, &context,
                         [this](const QString& changed) { count += changed == name ? 1 : 0; });
    }
    QString name;
    QObject context;
    int count = 0;
};

} // namespace

TEST(NumberText, SameUnderEveryLocaleAndOnlyFiniteNumbers)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(NumberText::format(12.34, 1), "12.3");
    EXPECT_EQ(NumberText::format(12.5, 1), "12.5");
    EXPECT_EQ(NumberText::format(10, 1), "10");
    EXPECT_EQ(NumberText::format(-0.04, 1), "0");
    EXPECT_EQ(NumberText::format(54.687, 4), "54.687");
    EXPECT_EQ(NumberText::format(25.29166666, 4), "25.2917");
    EXPECT_EQ(NumberText::parse(" 12.5 "), 12.5);
    EXPECT_EQ(NumberText::parse("-5"), -5.0);
    for (const char* bad : { "", "abc", "12,5", "inf", "-inf", "nan", "1e999", "12 m" })
        EXPECT_FALSE(NumberText::parse(bad)) << bad;
    QLocale::setDefault(QLocale::c());
}

TEST(SettingControls, SwitchPickerAndTextFieldWriteOnChangeOnlyAndFollowTheirKey)
{
    clearSettings();
    SettingCheckBox clock(SettingKeys::use24Hour, "24-hour clock");
    SettingComboBox power(SettingKeys::stationPowerW, { { "5 W", 5 }, { "100 W", 100 }, { "400 W", 400 } });
    SettingComboBox mode(SettingKeys::predictionMode, { { "CW", "cw" }, { "SSB", "ssb" } });
    SettingLineEdit call(SettingKeys::callsign);
    // Loading shows the readers' defaults and writes nothing.
    EXPECT_TRUE(clock.isChecked());
    EXPECT_EQ(power.currentText(), "100 W");
    EXPECT_EQ(mode.currentText(), "SSB");
    EXPECT_TRUE(call.text().isEmpty());
    EXPECT_TRUE(Settings::standard().allKeys().isEmpty());

    clock.click();
    EXPECT_EQ(storedText("use24Hour"), "false");
    power.setCurrentIndex(2);
    EXPECT_EQ(storedText("stationPowerW"), "400");
    mode.setCurrentIndex(0);
    EXPECT_EQ(storedText("predictionMode"), "cw");
    call.setText(" ly2abc ");
    EXPECT_EQ(storedText("callsign"), " ly2abc ");

    // Changes made elsewhere show, and are not written back.
    Writes powerWrites("stationPowerW");
    Writes clockWrites("use24Hour");
    Settings::standard().set(SettingKeys::use24Hour, true);
    EXPECT_TRUE(clock.isChecked());
    Settings::standard().set(SettingKeys::stationPowerW, 123.0);
    EXPECT_EQ(power.currentIndex(), -1); // no row for it; the value stays
    EXPECT_EQ(storedText("stationPowerW"), "123");
    Settings::standard().set(SettingKeys::stationPowerW, 5.0);
    EXPECT_EQ(power.currentText(), "5 W");
    EXPECT_EQ(powerWrites.count, 2);
    EXPECT_EQ(clockWrites.count, 1);
    Settings::standard().set(SettingKeys::callsign, "DL1XYZ");
    EXPECT_EQ(call.text(), "DL1XYZ");
    Settings::standard().set(SettingKeys::predictionMode, "FT8");
    EXPECT_EQ(mode.currentIndex(), -1);
    EXPECT_EQ(storedText("predictionMode"), "FT8");
}

TEST(SettingControls, NumberFieldStoresFiniteNumbersAndShowsTheLastGoodOneOtherwise)
{
    clearSettings();
    SettingNumberField latitude(SettingKeys::homeLatitude, 4);
    EXPECT_EQ(latitude.text(), "54.687");
    Writes writes("homeLatitude");

    // Leaving the field without typing writes nothing.
    Q_EMIT latitude.editingFinished();
    EXPECT_EQ(writes.count, 0);

    typeAndCommit(&latitude, " 48.1234 ");
    EXPECT_EQ(storedText("homeLatitude"), "48.1234");
    EXPECT_EQ(latitude.text(), "48.1234");
    // Stored as typed; shown as every reader takes it.
    typeAndCommit(&latitude, "200");
    EXPECT_EQ(storedText("homeLatitude"), "200");
    EXPECT_EQ(latitude.text(), "90");

    for (const char* bad : { "abc", "inf", "nan", "1e999", "", "48,5" }) {
        typeAndCommit(&latitude, bad);
        EXPECT_EQ(latitude.text(), "90") << bad;
    }
    EXPECT_EQ(writes.count, 2);
    EXPECT_EQ(storedText("homeLatitude"), "200");

    Settings::standard().set(SettingKeys::homeLatitude, -33.86786);
    EXPECT_EQ(latitude.text(), "-33.8679");
}

TEST(SettingControls, SliderPrintsItsFormatAndWritesOnMovement)
{
    EXPECT_EQ(LabeledSlider::display("%.0f%%", 0.25), "25%");
    EXPECT_EQ(LabeledSlider::display("%.0f%%", 1), "100%");
    EXPECT_EQ(LabeledSlider::display("%.1f pt", 0.6), "0.6 pt");
    EXPECT_EQ(LabeledSlider::display("%.0f pt", 16), "16 pt");
    EXPECT_EQ(LabeledSlider::display("%.0f%% max", 0.25), "0% max");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(LabeledSlider::display("%.1f pt", 0.6), "0.6 pt");
    QLocale::setDefault(QLocale::c());

    clearSettings();
    LabeledSlider night("Night", SettingKeys::nightIntensity, "%.0f%%");
    EXPECT_EQ(night.valueLabel()->text(), "45%");
    EXPECT_EQ(night.valueLabel()->width(), LabeledSlider::valueWidth);
    EXPECT_FALSE(Settings::standard().contains(SettingKeys::nightIntensity));
    night.slider()->setValue(night.slider()->maximum());
    EXPECT_DOUBLE_EQ(Settings::standard().get(SettingKeys::nightIntensity), 0.95);
    EXPECT_EQ(night.valueLabel()->text(), "95%");
    Settings::standard().set(SettingKeys::nightIntensity, 0.0);
    EXPECT_EQ(night.slider()->value(), 0);
    EXPECT_EQ(night.valueLabel()->text(), "0%");
}

TEST(SettingControls, ColourButtonAndFontPickerStoreTheirTexts)
{
    clearSettings();
    ColorButton colour(SettingKeys::cqZoneColor);
    EXPECT_EQ(colour.color(), QColor(0xFF, 0x9F, 0x43));
    colour.click();
    QColorDialog* dialog = colour.dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->testOption(QColorDialog::ShowAlphaChannel));
    dialog->setCurrentColor(QColor(0x12, 0x34, 0x56, 0x80));
    dialog->accept();
    EXPECT_EQ(storedText("cqZoneColor"), "#12345680");
    Settings::standard().set(SettingKeys::cqZoneColor, "");
    EXPECT_EQ(colour.color(), QColor(Qt::black));

    FontPicker font(SettingKeys::prefixFontFamily);
    ASSERT_GE(font.count(), 1);
    EXPECT_EQ(font.itemText(0), "System font");
    EXPECT_EQ(font.currentIndex(), 0);
    if (font.count() > 1) {
        font.setCurrentIndex(1);
        EXPECT_EQ(storedText("prefixFontFamily"), font.itemData(1).toString());
        font.setCurrentIndex(0);
        EXPECT_EQ(storedText("prefixFontFamily"), "System");
    }
    Settings::standard().set(SettingKeys::prefixFontFamily, "No Such Family");
    EXPECT_EQ(font.currentIndex(), -1);
}
