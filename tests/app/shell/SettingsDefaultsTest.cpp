#include "cluster/Band.h"
#include "kit/LabelFonts.h"
#include "kit/TimeFormat.h"
#include "map/MapFit.h"
#include "prediction/SavedStationAntennas.h"
#include "prediction/StationAntennas.h"
#include "shell/FirstRunDefaults.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

// A store over its own INI file, pre-filled, recording every key written.
struct Store {
    QTemporaryDir dir;
    Settings settings { dir.filePath("s.ini") };
    QStringList written;

    explicit Store(const std::map<QString, QVariant>& initial = {})
    {
        for (const auto& [key, value] : initial)
            settings.setValue(key, value);
        QObject::connect(&settings, &Settings::changed, [this](const QString& key) { written << key; });
    }
};

} // namespace

TEST(FirstRunDefaults, FreshStoreGetsTheTwelveValuesAndTheVersion)
{
    Store store;
    FirstRunDefaults::apply(store.settings);
    const std::map<QString, QVariant> expected {
        { "mapStyle", "classic" }, { "prefixColor", "#FFEDB3FF" }, { "showPrefixes", true }, { "showCQZones", true },
        { "showITUZones", false }, { "showGreyline", true },       { "showAurora", true },   { "showMUF", false },
        { "showGrid", false },     { "clusterEnabled", true },     { "coverageBand", 0 },    { "mapFit", "fill" },
        { "defaultsVersion", 1 },
    };
    QStringList keys = store.settings.allKeys();
    keys.sort();
    QStringList expectedKeys;
    for (const auto& [key, value] : expected) {
        expectedKeys << key;
        EXPECT_EQ(store.settings.value(key), value) << key.toStdString();
    }
    EXPECT_EQ(keys, expectedKeys);
    EXPECT_EQ(store.written.last(), "defaultsVersion");

    // A second run, and a run over a reloaded file, write nothing.
    store.written.clear();
    FirstRunDefaults::apply(store.settings);
    store.settings.sync();
    Settings reloaded(store.settings.fileName());
    QStringList again;
    QObject::connect(&reloaded, &Settings::changed, [&](const QString& key) { again << key; });
    FirstRunDefaults::apply(reloaded);
    EXPECT_TRUE(store.written.isEmpty());
    EXPECT_TRUE(again.isEmpty());
    EXPECT_TRUE(reloaded.boolValue("showCQZones", false));
}

TEST(FirstRunDefaults, ExistingUserGetsOnlyTheFitMigration)
{
    const struct {
        std::map<QString, QVariant> initial;
        QStringList written;
        QString mapFit; // empty: must stay absent
    } cases[] = {
        { { { "defaultsVersion", 1 } }, {}, "" },
        { { { "defaultsVersion", "2" }, { "callsign", "LY1AB" } }, {}, "" },
        { { { "homeLatitude", 54.0 } }, { "mapFit", "defaultsVersion" }, "stretch" },
        { { { "showGrid", false }, { "keepMapProportions", true } }, { "mapFit", "defaultsVersion" }, "fill" },
        { { { "callsign", "" }, { "keepMapProportions", "false" } }, { "mapFit", "defaultsVersion" }, "stretch" },
        { { { "mapFit", "whole" }, { "callsign", "LY1AB" } }, { "defaultsVersion" }, "whole" },
        // A version of 0 (or one that is no number) still runs the step.
        { { { "defaultsVersion", 0 }, { "mapStyle", "teal" } }, { "mapFit", "defaultsVersion" }, "stretch" },
        { { { "defaultsVersion", "x" }, { "clusterEnabled", false } }, { "mapFit", "defaultsVersion" }, "stretch" },
    };
    for (const auto& c : cases) {
        Store store(c.initial);
        FirstRunDefaults::apply(store.settings);
        EXPECT_EQ(store.written, c.written) << store.written.join(',').toStdString();
        EXPECT_EQ(store.settings.stringValue("mapFit"), c.mapFit);
        EXPECT_FALSE(store.written.contains("defaultsVersion") && store.settings.intValue("defaultsVersion", 0) != 1);
        EXPECT_FALSE(store.settings.contains("showCQZones"));
    }
}

TEST(SettingsDefaults, MapFitRawTexts)
{
    ASSERT_EQ(MapFits::allCases().size(), 3u);
    for (MapFit fit : MapFits::allCases())
        EXPECT_EQ(MapFits::fromRaw(MapFits::rawValue(fit)), fit);
    EXPECT_EQ(MapFits::rawValue(MapFit::whole), "whole");
    EXPECT_FALSE(MapFits::fromRaw("Fill"));
    EXPECT_FALSE(MapFits::fromRaw("fill "));
    EXPECT_FALSE(MapFits::fromRaw(""));
}

TEST(SettingsDefaults, FontsByFamilySizeAndWeight)
{
    const QFont system = labelFont("System", 10, false);
    EXPECT_EQ(labelFont("", 10, false), system);
    EXPECT_EQ(system.pixelSize(), 10);
    EXPECT_EQ(system.weight(), QFont::Medium);
    EXPECT_EQ(labelFont("System", 12.6, true).weight(), QFont::Bold);
    EXPECT_EQ(labelFont("System", 12.6, true).pixelSize(), 13);

    // The word in lower case is a family name, at regular weight.
    const QFont named = labelFont("system", 10, false);
    EXPECT_EQ(named.family(), "system");
    EXPECT_EQ(named.weight(), QFont::Normal);
    EXPECT_EQ(clockDisplayFont("DejaVu Sans", 28, true).family(), "DejaVu Sans");
    EXPECT_EQ(clockDisplayFont("DejaVu Sans", 28, true).weight(), QFont::Bold);

    const QStringList& families = installedFontFamilies();
    ASSERT_FALSE(families.isEmpty());
    EXPECT_EQ(families.first(), "System");
    EXPECT_TRUE(std::is_sorted(families.begin() + 1, families.end()));
    EXPECT_EQ(&installedFontFamilies(), &families);
}

TEST(SettingsDefaults, TimeFormattersAreCachedPerFormatAndZone)
{
    const QTimeZone vilnius("Europe/Vilnius");
    const QDateTime t(QDate(2026, 7, 1), QTime(21, 5, 9), Qt::UTC);
    const DateFormatter& a = TimeFormat::formatter("HH:mm", vilnius);
    EXPECT_EQ(a.string(t), "00:05"); // summer time, UTC+3
    EXPECT_EQ(TimeFormat::formatter("HH:mm", QTimeZone::utc()).string(t), "21:05");
    EXPECT_EQ(TimeFormat::formatter("ddd d MMM", QTimeZone::utc()).string(t), "Wed 1 Jul");
    EXPECT_EQ(&TimeFormat::formatter("HH:mm", vilnius), &a); // still the same object after growth
    EXPECT_EQ(TimeFormat::key("HH:mm", vilnius), "HH:mm|Europe/Vilnius");
    EXPECT_EQ(TimeFormat::cache().size(), 3u);
}

TEST(SettingsDefault, ClusterBandsIsTheDefaultSelection)
{
    // The catalogue spells the default out; it must stay the band list's own.
    EXPECT_EQ(QString::fromUtf8(SettingKeys::clusterBands.fallback), encodeBands(defaultBandSelection()));
}

TEST(SettingsDefault, SavedStationAntennasFallBackToTheTwoAntennaKeys)
{
    QTemporaryDir dir;
    Settings settings(dir.filePath("s.ini"));
    const BandAntenna dipole { AntennaPreset::dipole, 10.0, 3.0 };
    EXPECT_EQ(savedStationAntennas("", settings), StationAntennas(dipole));
    EXPECT_EQ(savedStationAntennas("not json", settings), StationAntennas(dipole));

    // An unknown preset is a dipole; a gain that is no number is 3 dBi.
    settings.setValue("stationAntenna", "Yagi3");
    settings.setValue("stationCustomGainDBi", "lots");
    EXPECT_EQ(savedStationAntennas("", settings), StationAntennas(dipole));

    settings.setValue("stationAntenna", "custom");
    settings.setValue("stationCustomGainDBi", "7.5");
    const BandAntenna custom { AntennaPreset::custom, 10.0, 7.5 };
    const BandAntenna yagi { AntennaPreset::yagi3, 18.0, 0.0 };
    StationAntennas table(custom);
    table.set(Band::m20, yagi);
    EXPECT_EQ(savedStationAntennas(table.encoded(), settings)[Band::m20], yagi);
    EXPECT_EQ(savedStationAntennas(R"({"20":{"gain":0,"height":18,"type":"yagi3"}})", settings)[Band::m40], custom);
}
