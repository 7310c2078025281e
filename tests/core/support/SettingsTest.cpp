#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/TestChild.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

class SettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/Corvanta.ini"; }
    // The store as the next run of the application sees it, values read back
    // from the INI text. QSettings caches a file per process, so the next run
    // reads a copy under a fresh name.
    std::unique_ptr<Settings> restart(std::unique_ptr<Settings>& store)
    {
        const QString copy = dir.path() + QString("/run%1.ini").arg(++runs);
        store->sync();
        EXPECT_TRUE(QFile::copy(store->fileName(), copy));
        store.reset();
        return std::make_unique<Settings>(copy);
    }
    int runs = 0;
};

} // namespace

TEST_F(SettingsTest, EveryWriteAndRemovalSignalsItsKey)
{
    Settings store(path());
    QStringList keys;
    QObject::connect(&store, &Settings::changed, [&](const QString& key) { keys << key; });
    store.setValue("showAurora", false);
    store.setValue("showAurora", false);
    store.setValue("homeLatitude", 54.687);
    store.remove("showAurora");
    store.remove("neverWritten");
    EXPECT_EQ(keys, (QStringList { "showAurora", "showAurora", "homeLatitude", "showAurora", "neverWritten" }));
    EXPECT_FALSE(store.contains("showAurora"));
    EXPECT_TRUE(store.boolValue("showAurora", true));
}

TEST_F(SettingsTest, ValuesSurviveARestartWithTheReadersTypes)
{
    auto store = std::make_unique<Settings>(path());
    store->setValue("showGrid", false);
    store->setValue("clusterEnabled", true);
    store->setValue("coverageBand", 20);
    store->setValue("homeLatitude", 54.687);
    store->setValue("homeLongitude", -0.30000000000000004);
    store->setValue("clusterBands", "160,80,60,40");
    store->setValue("clusterWatchCalls", "DL1ABC, K1*; @odd");
    store->setValue("callsign", "");
    store->setValue("big", Q_INT64_C(9007199254740993));
    store->setValue("text", "  =;\"quoted\"  ");

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "same run" : "after a restart");
        EXPECT_FALSE(store->boolValue("showGrid", true));
        EXPECT_TRUE(store->boolValue("clusterEnabled", false));
        EXPECT_EQ(store->intValue("coverageBand", 0), 20);
        EXPECT_EQ(store->doubleValue("homeLatitude", 0), 54.687);
        EXPECT_EQ(store->doubleValue("homeLongitude", 0), -0.30000000000000004);
        EXPECT_EQ(store->stringValue("clusterBands"), "160,80,60,40");
        EXPECT_EQ(store->stringValue("clusterWatchCalls"), "DL1ABC, K1*; @odd");
        EXPECT_EQ(store->optionalString("callsign"), QString(""));
        EXPECT_EQ(store->intValue("big", 0), Q_INT64_C(9007199254740993));
        EXPECT_EQ(store->stringValue("text"), "  =;\"quoted\"  ");
        EXPECT_EQ(store->stringValue("coverageBand"), "20");
        store = restart(store);
    }
}

TEST_F(SettingsTest, TextsReadAsBooleansAndNumbers)
{
    Settings store(path());
    store.setValue("t", "true");
    store.setValue("one", "1");
    store.setValue("lat", "54.687");
    store.setValue("no", " NO ");
    store.setValue("zero", "0");
    store.setValue("word", "maybe");
    store.setValue("nan", "nan");
    store.setValue("huge", "1e300");

    EXPECT_EQ(store.optionalBool("t"), true);
    EXPECT_EQ(store.optionalBool("one"), true);
    EXPECT_EQ(store.optionalBool("lat"), true);
    EXPECT_EQ(store.optionalBool("no"), false);
    EXPECT_EQ(store.optionalBool("zero"), false);
    EXPECT_TRUE(store.boolValue("word", true));
    EXPECT_FALSE(store.boolValue("word", false));

    EXPECT_EQ(store.optionalInt("one"), 1);
    EXPECT_EQ(store.optionalInt("lat"), 54);
    EXPECT_EQ(store.optionalInt("t"), std::nullopt);
    EXPECT_EQ(store.intValue("huge", 7), 7);
    EXPECT_EQ(store.optionalDouble("lat"), 54.687);
    EXPECT_EQ(store.optionalDouble("one"), 1.0);
    EXPECT_EQ(store.doubleValue("nan", 25.28), 25.28);
    EXPECT_EQ(store.doubleValue("word", 25.28), 25.28);
    EXPECT_EQ(store.doubleValue("absent", 25.28), 25.28);
    EXPECT_EQ(store.optionalDouble("absent"), std::nullopt);
    EXPECT_EQ(store.stringValue("absent", "fallback"), "fallback");
}

TEST_F(SettingsTest, HandEditedListsReadBackAsTheirText)
{
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\nclusterBands=160,80,20\nshowMUF=1\nhomeLatitude=-33.9\n");
    }
    Settings store(path());
    EXPECT_EQ(store.stringValue("clusterBands"), "160,80,20");
    EXPECT_TRUE(store.boolValue("showMUF", false));
    EXPECT_EQ(store.doubleValue("homeLatitude", 0), -33.9);
}

TEST(SettingsStandard, WriteJustBeforeTheApplicationEndsReachesTheFile)
{
    const TestChild::End end = TestChild::run("write-setting");
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.code, 0);
    EXPECT_EQ(Settings(Settings::standard().fileName()).stringValue("lastWords"), "written at exit");
}

TEST_F(SettingsTest, CataloguedKeysReadTheirDefaultsAndClampHandEditedValues)
{
    std::unique_ptr<Settings> store = std::make_unique<Settings>(path());
    EXPECT_TRUE(store->get(SettingKeys::showGrid));
    EXPECT_EQ(store->get(SettingKeys::prefixColor), "#FFEDB3");
    EXPECT_EQ(store->get(SettingKeys::clusterSpotMinutes), 20);

    // A hand-edited file may hold anything; readers keep to the controls'
    // ranges, and the store keeps what is written.
    store->setValue("prefixFontSize", "2000");
    store->setValue("clockFontSize", -3);
    store->setValue("clusterSpotMinutes", "99999999999999");
    store->setValue("refreshMinutes", 1);
    store = restart(store);
    EXPECT_EQ(store->get(SettingKeys::prefixFontSize), 24);
    EXPECT_EQ(store->get(SettingKeys::clockFontSize), 20);
    EXPECT_EQ(store->get(SettingKeys::clusterSpotMinutes), 525600);
    EXPECT_EQ(store->get(SettingKeys::refreshMinutes), 5);
    EXPECT_EQ(store->stringValue("prefixFontSize"), "2000");

    store->set(SettingKeys::prefixFontSize, 12.5);
    store->set(SettingKeys::mapStyle, "atlas");
    store = restart(store);
    EXPECT_EQ(store->get(SettingKeys::prefixFontSize), 12.5);
    EXPECT_EQ(store->get(SettingKeys::mapStyle), "atlas");
}
