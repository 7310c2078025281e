// The prediction store against the stand-in engine program.
#include "kit/AppLog.h"
#include "prediction/ITUEngine.h"
#include "prediction/PredictionStore.h"
#include "prediction/ReliabilityColor.h"
#include "support/FakeEngine.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

namespace {

const GeoCoordinate home { 54.687, 25.28 };
const StationSetup setup { 100, StationAntennas(), PredictionMode::ssb, NoiseEnvironment::residential };
const QDateTime date(QDate(2026, 6, 15), QTime(13, 20), Qt::UTC);
const PrefixEntity target { "K", "United States", 40.0, -75.0, "NA" };

// The stand-in's reliability (see fake_iturhfprop.cpp): `hour` as the
// engine is given it (UTC hour + 1).
double fakeReliability(int hour, double mhz, double lat, double lng, bool longPath)
{
    double percent = std::fmod(4.0 * hour + 2.0 * mhz + 0.1 * std::fabs(lat) + 0.05 * std::fabs(lng), 80.0) + 10.0;
    if (longPath)
        percent += hour % 2 == 0 ? 5.0 : -5.0;
    return percent / 100.0;
}

PredictionStore* makeStore(const FakeEngine& fake)
{
    return new PredictionStore(new ITUEngine({ fake.engineFolder(), fake.dataFolder(), fake.bundledDataFolder(),
                                               fake.workParent() }),
                               nullptr);
}

} // namespace

TEST(PredictionStore, AChartComesFromTheEngineOncePerKey)
{
    FakeEngine fake;
    // A path's report may leave its receive point out.
    fake.setControl("columns Month,Hour,Freq,Ele,Pr,BCR\n");
    std::unique_ptr<PredictionStore> store(makeStore(fake));
    int busy = 0;
    int charts = 0;
    QObject::connect(store.get(), &PredictionStore::busyChanged, [&] { ++busy; });
    QObject::connect(store.get(), &PredictionStore::chartsChanged, [&] { ++charts; });

    EXPECT_FALSE(store->chart(target, home, setup, 120.0, date).has_value());
    EXPECT_FALSE(store->busy()); // the job begins once the caller has its answer
    EXPECT_FALSE(store->chart(target, home, setup, 120.0, date).has_value());
    ASSERT_TRUE(waitUntil([&] { return charts == 1; }));
    EXPECT_FALSE(store->busy());
    EXPECT_EQ(busy, 2);           // on, then off
    EXPECT_EQ(fake.started(), 2); // one job: the short and the long path

    const auto chart = store->chart(target, home, setup, 120.0, date);
    ASSERT_TRUE(chart.has_value());
    ASSERT_EQ(chart->size(), 24);
    for (int hour = 0; hour < 24; ++hour) {
        ASSERT_EQ((*chart)[hour].size(), 10);
        const int sent = hour + 1;
        for (std::size_t b = 0; b < PropagationPredictor::bands.size(); ++b) {
            const double mhz = PropagationPredictor::bands[b].mhz;
            // The better of the two paths.
            const double expected
                = std::max(fakeReliability(sent, mhz, 40, -75, false), fakeReliability(sent, mhz, 40, -75, true));
            EXPECT_NEAR((*chart)[hour][qsizetype(b)], expected, 1e-4) << hour << " " << mhz;
        }
    }
    EXPECT_EQ(fake.started(), 2);
    EXPECT_FALSE(store->lastError().has_value());
    EXPECT_TRUE(fake.leftoverWorkFolders().isEmpty());
}

TEST(PredictionStore, AFailedJobIsShownLoggedAndWaitsBeforeItIsTriedAgain)
{
    FakeEngine fake;
    std::unique_ptr<PredictionStore> store(makeStore(fake));
    auto now = std::chrono::steady_clock::now();
    store->setClock([&] { return now; });
    int errors = 0;
    QObject::connect(store.get(), &PredictionStore::lastErrorChanged, [&] { ++errors; });

    fake.setControl("exit 2\nstderr no luck\n");
    EXPECT_FALSE(store->chart(target, home, setup, std::nullopt, date).has_value());
    ASSERT_TRUE(waitUntil([&] { return store->lastError().has_value(); }));
    const QString failure = "ITU-R P.533 calculation failed: no luck";
    EXPECT_EQ(*store->lastError(), failure);
    EXPECT_TRUE(waitUntil([&] { return !store->busy(); }));
    EXPECT_TRUE(store->charts().isEmpty());
    AppLog::file().flush();
    EXPECT_TRUE(AppLog::file().tail(5, 10000).contains("ITU engine (band wheel): " + failure));

    // Asked again within 30 s the key starts nothing and shows its failure.
    now += std::chrono::seconds(29);
    EXPECT_FALSE(store->chart(target, home, setup, std::nullopt, date).has_value());
    QCoreApplication::processEvents();
    EXPECT_FALSE(store->busy());
    EXPECT_EQ(fake.started(), 2);
    EXPECT_EQ(store->chartFailure(target, home, setup, std::nullopt, date), failure);

    // After its wait the key is tried again (and fails again: the next wait
    // is 60 s); a success of any key ends every wait and clears the error.
    now += std::chrono::seconds(1);
    EXPECT_FALSE(store->chartFailure(target, home, setup, std::nullopt, date).has_value());
    store->chart(target, home, setup, std::nullopt, date);
    ASSERT_TRUE(waitUntil([&] { return fake.ended() == 4 && !store->busy(); }));
    now += std::chrono::seconds(59);
    EXPECT_TRUE(store->chartFailure(target, home, setup, std::nullopt, date).has_value());
    fake.setControl("");
    const PrefixEntity japan { "JA", "Japan", 36, 138, "AS" };
    store->chart(japan, home, setup, std::nullopt, date);
    ASSERT_TRUE(waitUntil([&] { return !store->charts().isEmpty(); }));
    EXPECT_FALSE(store->lastError().has_value());
    EXPECT_FALSE(store->chartFailure(target, home, setup, std::nullopt, date).has_value());
    EXPECT_EQ(errors, 2);

    // So does a new station setup; a power under the engine's 1 W is sent
    // as 1 W and said once in the log.
    fake.setControl("report empty\n");
    EXPECT_FALSE(store->coverageImage(home, Band::m20, setup, 100.0, date).has_value());
    ASSERT_TRUE(waitUntil([&] { return store->lastError().has_value() && !store->busy(); }));
    EXPECT_EQ(*store->lastError(), "ITU-R P.533 calculation failed: exit code 0");
    EXPECT_EQ(store->coverageFailure(home, Band::m20, setup, 100.0, date), *store->lastError());
    EXPECT_FALSE(store->coverage().has_value());
    AppLog::file().flush();
    EXPECT_TRUE(AppLog::file().tail(5, 10000).contains("ITU engine (coverage map): "));
    StationSetup qrp = setup;
    qrp.powerW = 0.5;
    fake.setControl("");
    store->coverageImage(home, Band::m20, qrp, 100.0, date);
    EXPECT_FALSE(store->coverageFailure(home, Band::m20, setup, 100.0, date).has_value());
    ASSERT_TRUE(waitUntil([&] { return store->coverage().has_value() && !store->busy(); }));
    store->chart(japan, home, qrp, 100.0, date);
    ASSERT_TRUE(waitUntil([&] { return store->charts().size() == 2 && !store->busy(); }));
    AppLog::file().flush();
    EXPECT_EQ(AppLog::file().tail(20, 100000).count("predicting with 1 W instead of the station's 0.5 W"), 1);
    EXPECT_TRUE(fake.leftoverWorkFolders().isEmpty());

    // Without an engine nothing runs, and the message says where it goes.
    fake.uninstall();
    store->chart(PrefixEntity { "VK", "Australia", -25, 135, "OC" }, home, setup, std::nullopt, date);
    ASSERT_TRUE(waitUntil([&] { return store->lastError() && store->lastError()->contains("not installed"); }));
}

TEST(PredictionStore, CacheKeysFollowWhatTheEngineIsGiven)
{
    // The sunspot part is the number sent: none means 80, and numbers that
    // round to the same value share a key.
    const auto key = [](std::optional<double> ssn) {
        return PredictionStore::chartKey(target, home, setup, ssn, date).section('|', -1);
    };
    EXPECT_EQ(key(std::nullopt), "80");
    EXPECT_EQ(key(79.9), "80");
    EXPECT_EQ(key(79.1), "79");
    EXPECT_EQ(key(0), "1");
    EXPECT_EQ(PredictionStore::chartKey(target, home, setup, std::nullopt, date),
              PredictionStore::chartKey(target, home, setup, 80.0, date));
    EXPECT_NE(PredictionStore::chartKey(target, home, setup, std::nullopt, date),
              PredictionStore::chartKey(target, home, setup, 0.0, date));

    StationSetup other = setup;
    other.powerW = 100.2;
    const QString at100 = PredictionStore::setupKey(setup);
    EXPECT_EQ(PredictionStore::setupKey(other), at100);
    other.powerW = 99.8;
    EXPECT_EQ(PredictionStore::setupKey(other), at100);
    other.powerW = 101;
    EXPECT_NE(PredictionStore::setupKey(other), at100);
    EXPECT_TRUE(at100.startsWith("100|{"));
    EXPECT_TRUE(at100.endsWith("|ssb|residential"));

    EXPECT_EQ(PredictionStore::dayKey(QDateTime(QDate(2026, 12, 6), QTime(23, 59), Qt::UTC)), "2026-12-6");
    EXPECT_EQ(PredictionStore::chartKey(target, { 52, -0.5 }, setup, 5.0, date), "K|52,-0.5|" + at100 + "|2026-6-15|5");
    EXPECT_EQ(PredictionStore::coverageKey(Band::m20, { 52, -0.5 }, setup, 5.0, date),
              "20|52,-0.5|" + at100 + "|2026-6-15|13|5");

    // Rows of the coverage grid per processor count.
    auto sizes = [](int processors) {
        QList<int> out;
        int next = 0;
        for (const auto& [first, last] : PredictionStore::coverageChunks(processors)) {
            EXPECT_EQ(first, next);
            out << last - first + 1;
            next = last + 1;
        }
        EXPECT_EQ(next, 90);
        return out;
    };
    EXPECT_EQ(sizes(1), (QList<int> { 45, 45 }));
    EXPECT_EQ(sizes(4), (QList<int> { 23, 23, 23, 21 }));
    EXPECT_EQ(sizes(12).size(), 12);
    EXPECT_EQ(sizes(12).last(), 2);
    EXPECT_EQ(sizes(16), sizes(12));
}

TEST(PredictionStore, CoverageOfOneBandForTheHour)
{
    FakeEngine fake;
    std::unique_ptr<PredictionStore> store(makeStore(fake));
    int coverage = 0;
    QObject::connect(store.get(), &PredictionStore::coverageChanged, [&] { ++coverage; });

    // 6 m is not predicted: nothing at all happens.
    EXPECT_FALSE(store->coverageImage(home, Band::m6, setup, 100.0, date).has_value());
    QCoreApplication::processEvents();
    EXPECT_FALSE(store->busy());
    EXPECT_EQ(fake.started(), 0);

    EXPECT_FALSE(store->coverageImage(home, Band::m20, setup, 100.0, date).has_value());
    ASSERT_TRUE(waitUntil([&] { return coverage == 1; }));
    const int chunks = int(PredictionStore::coverageChunks(QThread::idealThreadCount()).size());
    EXPECT_EQ(fake.started(), 2 * chunks);
    const auto image = store->coverageImage(home, Band::m20, setup, 100.0, date);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), QSize(180, 90));
    EXPECT_EQ(fake.started(), 2 * chunks);

    // Every cell holds the better path at its centre, for the hour 13 UTC
    // (the engine's 14).
    const auto& values = store->coverage()->values;
    ASSERT_EQ(values.size(), 90 * 180);
    for (const auto& [row, column] : { std::pair { 0, 0 }, { 44, 90 }, { 89, 179 }, { 30, 17 } }) {
        const double lat = 89 - 2 * row;
        const double lng = -179 + 2 * column;
        const double expected
            = std::max(fakeReliability(14, 14.15, lat, lng, false), fakeReliability(14, 14.15, lat, lng, true));
        EXPECT_NEAR(values[row * 180 + column], expected, 1e-4) << row << " " << column;
        const auto value = store->coverageValue(Band::m20, { lat, lng });
        ASSERT_TRUE(value.has_value());
        EXPECT_NEAR(*value, expected, 1e-4);
        const QRgb pixel = image->pixel(column, row);
        EXPECT_EQ(qAlpha(pixel), 216);
    }
    EXPECT_FALSE(store->coverageValue(Band::m40, { 10, 10 }).has_value());
    EXPECT_FALSE(store->coverageValue(Band::m20, { 90, 10 }).has_value());

    // A new hour on another band: the old map serves until the new one is in.
    const QDateTime later = date.addSecs(3600);
    const auto meanwhile = store->coverageImage(home, Band::m40, setup, 100.0, later);
    ASSERT_TRUE(meanwhile.has_value());
    EXPECT_EQ(*meanwhile, *image);
    EXPECT_FALSE(store->coverageValue(Band::m40, { 10, 10 }).has_value());
    EXPECT_TRUE(store->coverageValue(Band::m20, { 10, 10 }).has_value());
    ASSERT_TRUE(waitUntil([&] { return coverage == 2; }));
    EXPECT_EQ(store->coverage()->band, Band::m40);
    EXPECT_TRUE(store->coverageValue(Band::m40, { 10, 10 }).has_value());
    EXPECT_FALSE(store->coverageValue(Band::m20, { 10, 10 }).has_value());
    EXPECT_TRUE(waitUntil([&] { return !store->busy(); }));

    // A report without the receive location is refused, never placed by
    // its elevation angle and received power.
    fake.setControl("columns Month,Hour,Freq,Ele,Pr,BCR\n");
    store->coverageImage(home, Band::m40, setup, 100.0, later.addSecs(3600));
    ASSERT_TRUE(waitUntil([&] { return store->lastError().has_value() && !store->busy(); }));
    EXPECT_TRUE(store->lastError()->contains("names no receiver latitude or receiver longitude column"));
    EXPECT_EQ(store->coverage()->band, Band::m40);
    EXPECT_TRUE(fake.leftoverWorkFolders().isEmpty());
}

TEST(PredictionStore, AFullChartCacheStartsAfresh)
{
    FakeEngine fake;
    std::unique_ptr<PredictionStore> store(makeStore(fake));
    // 200 in the application; the rule is the same for 4.
    store->setMaxCharts(4);
    for (int i = 0; i <= 4; ++i)
        store->chart(PrefixEntity { QString("P%1").arg(i), "", double(10 * i), double(i), "" }, home, setup, 100.0,
                     date);
    ASSERT_TRUE(waitUntil([&] { return store->charts().size() == 5; }));
    store->chart(target, home, setup, 100.0, date);
    ASSERT_TRUE(waitUntil([&] { return !store->busy() && store->charts().size() == 1; }));
    EXPECT_TRUE(store->charts().contains(PredictionStore::chartKey(target, home, setup, 100.0, date)));
    EXPECT_EQ(PredictionStore::maxCharts, 200);
}

TEST(ReliabilityColor, RampAndCoverageImage)
{
    EXPECT_FALSE(reliabilityColor(0.049).has_value());
    EXPECT_FALSE(reliabilityColor(std::nan("")).has_value());
    EXPECT_EQ(reliabilityColor(0.05), reliabilityColor(0.1));
    const QColor mid = *reliabilityColor(0.2);
    EXPECT_NEAR(mid.redF(), 0.3, 1e-3);
    EXPECT_NEAR(mid.blueF(), 0.675, 1e-3);
    EXPECT_EQ(reliabilityColor(1.7), reliabilityColor(1.0));

    const auto image = coverageImage({ 0.1, 1.0, 0.3, 0.04 }, 3, 2);
    ASSERT_TRUE(image.has_value());
    const uchar* top = image->constScanLine(0);
    const uchar* bottom = image->constScanLine(1);
    EXPECT_EQ(QList<int>(top, top + 12), (QList<int> { 65, 184, 205, 216, 184, 32, 21, 216, 65, 184, 86, 216 }));
    EXPECT_EQ(QList<int>(bottom, bottom + 12), QList<int>(12, 0)); // too low, then no values
    EXPECT_FALSE(coverageImage({ 1.0 }, 0, 5).has_value());
}
