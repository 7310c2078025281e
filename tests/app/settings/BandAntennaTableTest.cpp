#include "kit/AppLog.h"
#include "settings/BandAntennaTable.h"
#include "settings/NumberField.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SettingsTabs.h"

#include <QAction>
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <gtest/gtest.h>

using namespace SettingsTabs;

namespace {

// The stored table as a later run reads it from the INI file.
QJsonObject storedTable()
{
    Settings::standard().sync();
    const QString text = QSettings(Settings::standard().fileName(), QSettings::IniFormat)
                             .value(SettingKeys::stationBandAntennas.name)
                             .toString();
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

QJsonObject antenna(const char* type, double height, double gain)
{
    return { { "type", type }, { "height", height }, { "gain", gain } };
}

void choose(QComboBox* box, AntennaPreset preset)
{
    box->setCurrentIndex(int(std::ranges::find(AntennaPresets::allCases, preset) - AntennaPresets::allCases.begin()));
}

} // namespace

TEST(BandAntennaTable, EveryEditWritesTheWholeTable)
{
    clearSettings();
    BandAntennaTable table;
    table.show();
    for (const auto& entry : StationAntennas::bands) {
        const auto& row = table.row(entry.band);
        EXPECT_EQ(row.antenna->currentText(), "Dipole");
        EXPECT_EQ(row.height->text(), "10");
        EXPECT_TRUE(row.heightCell->isVisible());
        EXPECT_FALSE(row.gain->isVisible());
    }
    int sixMetreNotes = 0;
    for (const QLabel* label : table.findChildren<QLabel*>())
        sixMetreNotes += label->text() == "6 m: not predicted (above 30 MHz)" ? 1 : 0;
    EXPECT_EQ(sixMetreNotes, 1);
    EXPECT_FALSE(Settings::standard().contains(SettingKeys::stationBandAntennas));
    EXPECT_FALSE(table.unreadableNote()->isVisible());

    // 40 m becomes a vertical: no height cell, and all eleven bands stored.
    choose(table.row(Band::m40).antenna, AntennaPreset::vertical);
    EXPECT_FALSE(table.row(Band::m40).heightCell->isVisible());
    EXPECT_TRUE(table.row(Band::m40).noHeight->isVisible());
    QJsonObject stored = storedTable();
    EXPECT_EQ(stored.size(), 11);
    EXPECT_EQ(stored["40"].toObject(), antenna("vertical", 10, 3));
    EXPECT_EQ(stored["6"].toObject(), antenna("dipole", 10, 3));

    // Heights are limited to 0...300; text that is no number stores nothing.
    const auto& twenty = table.row(Band::m20);
    typeAndCommit(twenty.height, "500");
    EXPECT_EQ(storedTable()["20"].toObject()["height"].toDouble(), 300);
    EXPECT_EQ(twenty.height->text(), "300");
    typeAndCommit(twenty.height, "-5");
    EXPECT_EQ(storedTable()["20"].toObject()["height"].toDouble(), 0);
    typeAndCommit(twenty.height, "12.34");
    EXPECT_EQ(storedTable()["20"].toObject()["height"].toDouble(), 12.34);
    EXPECT_EQ(twenty.height->text(), "12.3");
    typeAndCommit(twenty.height, "tall");
    EXPECT_EQ(twenty.height->text(), "12.3");
    EXPECT_EQ(storedTable()["20"].toObject()["height"].toDouble(), 12.34);

    // The menu's heights, for that band only.
    const auto& eighty = table.row(Band::m80);
    QAction* metres25 = nullptr;
    for (QAction* action : eighty.heightMenu->actions())
        if (action->text() == "25 m")
            metres25 = action;
    ASSERT_NE(metres25, nullptr);
    EXPECT_EQ(eighty.heightMenu->actions().size(), 7);
    metres25->trigger();
    stored = storedTable();
    EXPECT_EQ(stored["80"].toObject()["height"].toDouble(), 25);
    EXPECT_EQ(stored["160"].toObject()["height"].toDouble(), 10);
    EXPECT_EQ(eighty.height->text(), "25");

    // "Other": the gain field, stored as entered; switching away keeps it.
    const auto& ten = table.row(Band::m10);
    choose(ten.antenna, AntennaPreset::custom);
    EXPECT_TRUE(ten.gain->isVisible());
    EXPECT_FALSE(ten.heightCell->isVisible());
    typeAndCommit(ten.gain, "-4.5");
    EXPECT_EQ(storedTable()["10"].toObject(), antenna("custom", 10, -4.5));
    // A gain that is not finite would drop the band from the stored text.
    for (const char* bad : { "inf", "nan", "1e999" }) {
        typeAndCommit(ten.gain, bad);
        EXPECT_EQ(ten.gain->text(), "-4.5") << bad;
    }
    EXPECT_EQ(storedTable().size(), 11);
    choose(ten.antenna, AntennaPreset::dipole);
    EXPECT_FALSE(ten.gain->isVisible());
    choose(ten.antenna, AntennaPreset::custom);
    EXPECT_EQ(ten.gain->text(), "-4.5");

    // The first row everywhere.
    choose(table.row(Band::m160).antenna, AntennaPreset::yagi3);
    table.copyButton()->click();
    stored = storedTable();
    EXPECT_EQ(stored.size(), 11);
    for (auto it = stored.begin(); it != stored.end(); ++it)
        EXPECT_EQ(it.value().toObject(), antenna("yagi3", 10, 3)) << it.key().toStdString();
    EXPECT_EQ(ten.antenna->currentText(), "3-element Yagi");

    // A table written elsewhere shows at once.
    Settings::standard().set(SettingKeys::stationBandAntennas,
                             QString(R"({"15":{"gain":0,"height":7.5,"type":"invertedV"}})"));
    EXPECT_EQ(table.row(Band::m15).antenna->currentText(), "Inverted V");
    EXPECT_EQ(table.row(Band::m15).height->text(), "7.5");
    EXPECT_EQ(table.row(Band::m10).antenna->currentText(), "Dipole");
}

TEST(BandAntennaTable, AnUnreadableTableIsKeptAsideBeforeTheFirstEdit)
{
    clearSettings();
    const QString unreadable = R"({"20":{"type":"yagi2","height":12,"gain":0},"40":{"type":"dipole"}})";
    Settings::standard().set(SettingKeys::stationBandAntennas, unreadable);
    int copies = 0;
    QObject context;
    QObject::connect(&Settings::standard(), &Settings::changed, &context, [&](const QString& key) {
        copies += key == SettingKeys::stationBandAntennasUnreadable.name ? 1 : 0;
    });

    {
        BandAntennaTable table;
        table.show();
        EXPECT_TRUE(table.unreadableNote()->isVisible());
        EXPECT_TRUE(table.unreadableNote()->text().contains("stationBandAntennasUnreadable"));
        EXPECT_EQ(table.row(Band::m20).antenna->currentText(), "Dipole"); // the fallback everywhere
        // Copied, logged, and the stored text itself untouched.
        EXPECT_EQ(Settings::standard().get(SettingKeys::stationBandAntennasUnreadable), unreadable);
        EXPECT_EQ(Settings::standard().get(SettingKeys::stationBandAntennas), unreadable);
        EXPECT_TRUE(AppLog::file().tail(5, 10000).contains("antenna table could not be read"));
    }
    {
        BandAntennaTable again; // a second opening copies nothing more
        EXPECT_EQ(copies, 1);

        choose(again.row(Band::m20).antenna, AntennaPreset::yagi5);
        EXPECT_EQ(storedTable().size(), 11);
        EXPECT_EQ(storedTable()["20"].toObject(), antenna("yagi5", 10, 3));
        EXPECT_EQ(Settings::standard().get(SettingKeys::stationBandAntennasUnreadable), unreadable);
        EXPECT_EQ(copies, 1);
    }

    // An empty text is nothing stored, not an unreadable table.
    clearSettings();
    Settings::standard().set(SettingKeys::stationBandAntennas, "");
    BandAntennaTable empty;
    EXPECT_FALSE(Settings::standard().contains(SettingKeys::stationBandAntennasUnreadable));
    EXPECT_TRUE(empty.unreadableNote()->isHidden());
}
