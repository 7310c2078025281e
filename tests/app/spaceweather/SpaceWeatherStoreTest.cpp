#include "spaceweather/SpaceWeatherStore.h"

#include "kit/AppLog.h"
#include "spaceweather/GFZ.h"
#include "spaceweather/SWPCFeeds.h"
#include "support/HttpPeer.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
namespace Feeds = SpaceWeatherFeeds;

namespace {

QByteArray path(const QUrl& url) { return Feeds::path(url); }

HttpPeer::Response late(int delayMs, const QByteArray& body)
{
    HttpPeer::Response response;
    response.body = body;
    response.delayMs = delayMs;
    return response;
}

// A store over a local peer that serves every feed, on a clock the test
// moves, with the application's log and failure hook.
struct StoreTest : testing::Test {
    HttpPeer peer;
    QDateTime clock = QDateTime::currentDateTimeUtc();
    Settings& settings = Settings::standard();

    void SetUp() override
    {
        ASSERT_TRUE(peer.listen());
        setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
        Feeds::serveAll(peer);
        for (const QString& key : settings.allKeys())
            settings.remove(key);
        AppLog::start();
    }

    void TearDown() override { setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9", 1); }

    std::unique_ptr<SpaceWeatherStore> makeStore(bool loop = false, std::chrono::milliseconds minute = 60s,
                                                 std::optional<std::chrono::milliseconds> requestLimit = {})
    {
        SpaceWeatherStore::Options options;
        options.startLoop = loop;
        options.minute = minute;
        options.requestLimit = requestLimit.value_or(options.requestLimit);
        options.now = [this] { return clock; };
        return std::make_unique<SpaceWeatherStore>(options);
    }

    static void refreshAndWait(SpaceWeatherStore& store)
    {
        store.refresh();
        ASSERT_TRUE(store.isLoading());
        ASSERT_TRUE(waitUntil([&] { return !store.isLoading(); }));
    }

    // The log's messages so far, time stamps cut off.
    static QStringList logMessages()
    {
        AppLog::file().flush();
        QFile file(AppLog::file().path());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList messages;
        for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
            messages << line.mid(21);
        return messages;
    }

    static QTimer* loopTimer(SpaceWeatherStore& store) { return store.findChild<QTimer*>("refreshLoop"); }
};

} // namespace

TEST_F(StoreTest, RefreshesAtOnceAndDropsARefreshAskedForWhileOneRuns)
{
    peer.serve(path(SWPCEndpoint::ovationAurora()), late(200, Feeds::ovationAurora()));
    const auto store = makeStore(true);
    int loading = 0;
    QObject::connect(store.get(), &SpaceWeatherStore::isLoadingChanged, [&] { ++loading; });
    EXPECT_FALSE(store->isLoading()) << "the first refresh waits for the event loop";

    ASSERT_TRUE(waitUntil([&] { return store->isLoading(); }));
    store->refresh();
    store->refresh();
    ASSERT_TRUE(waitUntil([&] { return !store->isLoading(); }));
    EXPECT_EQ(loading, 2);
    EXPECT_EQ(peer.count(path(SWPCEndpoint::ovationAurora())), 1);
    EXPECT_EQ(peer.count(path(Zelq::stationsURL())), 1);

    const SpaceWeatherSnapshot& s = store->snapshot();
    EXPECT_TRUE(s.aurora.has_value());
    EXPECT_EQ(s.kpNow, 3);
    EXPECT_EQ(s.ionosondes.size(), 2);
    EXPECT_EQ(s.ionosondesFetchedAt, clock);
    EXPECT_EQ(store->lastError(), std::nullopt);
    // The loop sleeps ten minutes by default once the refresh has ended.
    ASSERT_TRUE(loopTimer(*store)->isActive());
    EXPECT_EQ(loopTimer(*store)->intervalAsDuration(), 600s);
}

TEST_F(StoreTest, LastGoodValuesSurviveAFailedFetchAndTheFailureIsPublishedAndLogged)
{
    const auto store = makeStore();
    refreshAndWait(*store);
    const SpaceWeatherSnapshot good = store->snapshot();
    ASSERT_TRUE(good.errors.isEmpty());
    const qsizetype linesBefore = logMessages().size();

    peer.serve(path(SWPCEndpoint::ovationAurora()), 503, "");
    peer.serve(path(SWPCEndpoint::kp1Minute()), 404, "");
    peer.serve(path(SWPCEndpoint::kp3Hour()), 200, "[]");
    peer.serve(path(SWPCEndpoint::f107()), 200, "<html>");
    peer.serve(path(SWPCEndpoint::f107Summary()), 404, "");
    peer.serve(path(SWPCEndpoint::windSummary()), 200, "{}");
    int errorChanged = 0;
    QObject::connect(store.get(), &SpaceWeatherStore::lastErrorChanged, [&] { ++errorChanged; });
    clock = clock.addSecs(600);
    refreshAndWait(*store);

    const SpaceWeatherSnapshot& s = store->snapshot();
    EXPECT_EQ(s.aurora, good.aurora);
    EXPECT_EQ(s.kpNow, good.kpNow);
    EXPECT_EQ(s.kpNowTime, good.kpNowTime);
    EXPECT_EQ(s.kpHistory, good.kpHistory);
    EXPECT_EQ(s.solarFlux, good.solarFlux);
    EXPECT_EQ(s.solarFluxTime, good.solarFluxTime);
    EXPECT_EQ(s.windSpeed, good.windSpeed);
    EXPECT_EQ(s.bz, good.bz);
    EXPECT_GT(*s.fetchedAt, *good.fetchedAt);
    EXPECT_EQ(s.errors, (QStringList { "aurora", "Kp", "solar flux" }));
    EXPECT_EQ(store->lastError(), "Could not load: aurora, Kp, solar flux");
    EXPECT_EQ(store->lastErrorCause(), std::nullopt); // failed for reasons of their own
    EXPECT_EQ(errorChanged, 1);

    const QStringList added = logMessages().mid(linesBefore);
    EXPECT_TRUE(added.contains("Could not load: aurora, Kp, solar flux")) << added.join('\n').toStdString();
    EXPECT_TRUE(added.contains("Data feed failed: 127.0.0.1/json/ovation_aurora_latest.json: HTTP 503"));
    EXPECT_TRUE(added.contains("Data feed failed: 127.0.0.1/products/summary/10cm-flux.json: HTTP 404"));
    EXPECT_EQ(added.size(), 4); // three failed requests and the refresh's line

    // A clean refresh clears the line and writes nothing.
    Feeds::serveAll(peer);
    refreshAndWait(*store);
    EXPECT_EQ(store->lastError(), std::nullopt);
    EXPECT_EQ(errorChanged, 2);
    EXPECT_EQ(logMessages().size(), linesBefore + 4);
}

TEST_F(StoreTest, ARefreshThatBringsNothingLeavesTheTimeOfTheLastOneThatDid)
{
    const auto store = makeStore();
    // Offline at the first start: nothing was updated, the failure has its
    // own time.
    setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9", 1);
    refreshAndWait(*store);
    EXPECT_FALSE(store->snapshot().fetchedAt);
    EXPECT_EQ(store->failedAt(), clock);
    EXPECT_TRUE(store->lastError());

    setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
    refreshAndWait(*store);
    const std::optional<QDateTime> updated = store->snapshot().fetchedAt;
    ASSERT_TRUE(updated);
    EXPECT_FALSE(store->failedAt());

    // Every feed refused, the ionosondes' included: the old values stay
    // with the time they came at.
    HttpPeer refusing;
    ASSERT_TRUE(refusing.listen());
    setenv("CORVANTA_FEEDS_BASE", qPrintable(refusing.base()), 1);
    clock = clock.addSecs(900);
    refreshAndWait(*store);
    EXPECT_GT(refusing.count(path(Zelq::stationsURL())), 0);
    EXPECT_EQ(store->snapshot().fetchedAt, updated);
    EXPECT_EQ(store->snapshot().kpNow, 3);
    EXPECT_EQ(store->failedAt(), clock);
    EXPECT_EQ(store->lastError(), "Could not load: aurora, Kp, solar flux, sunspots, MUF (Zelq)");
    EXPECT_EQ(store->lastErrorCause(), "HTTP 404");

    // One feed back is an update again.
    refusing.serve(path(SWPCEndpoint::kp1Minute()), 200, Feeds::kp1Minute());
    clock = clock.addSecs(60);
    refreshAndWait(*store);
    EXPECT_GT(store->snapshot().fetchedAt, updated);
    EXPECT_FALSE(store->failedAt());
}

TEST_F(StoreTest, IonosondesAreAskedForOnlyWhenOlderThan840Seconds)
{
    const QByteArray stations = path(Zelq::stationsURL());
    const auto store = makeStore();
    refreshAndWait(*store);
    const QDateTime first = clock;
    EXPECT_EQ(store->snapshot().ionosondesFetchedAt, first);

    clock = first.addSecs(840);
    refreshAndWait(*store);
    EXPECT_EQ(peer.count(stations), 1);
    EXPECT_EQ(store->snapshot().ionosondesFetchedAt, first);

    clock = first.addSecs(841);
    refreshAndWait(*store);
    EXPECT_EQ(peer.count(stations), 2);
    EXPECT_EQ(store->snapshot().ionosondesFetchedAt, clock);
    const QDateTime second = clock;

    // No usable station is a failure: the old readings stay, with their time,
    // and only the error line names the feed.
    peer.serve(stations, 200, "[]");
    clock = second.addSecs(900);
    refreshAndWait(*store);
    EXPECT_EQ(store->snapshot().ionosondes.size(), 2);
    EXPECT_EQ(store->snapshot().ionosondesFetchedAt, second);
    EXPECT_TRUE(store->snapshot().errors.isEmpty());
    EXPECT_EQ(store->lastError(), "Could not load: MUF (Zelq)");

    // Switched off: no request, no readings, no failure.
    settings.set(SettingKeys::mufSource, "off");
    refreshAndWait(*store);
    EXPECT_EQ(peer.count(stations), 3);
    EXPECT_TRUE(store->snapshot().ionosondes.isEmpty());
    EXPECT_FALSE(store->snapshot().ionosondesFetchedAt.has_value());
    EXPECT_EQ(store->lastError(), std::nullopt);

    // Switched on again, the next refresh asks at once.
    Feeds::serveAll(peer);
    settings.set(SettingKeys::mufSource, "zelq");
    refreshAndWait(*store);
    EXPECT_EQ(peer.count(stations), 4);
    EXPECT_EQ(store->snapshot().ionosondes.size(), 2);
}

TEST_F(StoreTest, SwitchingTheIndexSourceDropsTheOtherSourcesIndicesAtOnce)
{
    const auto store = makeStore();
    refreshAndWait(*store);
    const SpaceWeatherSnapshot noaa = store->snapshot();
    ASSERT_TRUE(noaa.kpNow && noaa.solarFlux && noaa.sunspotNumber && noaa.windSpeed);

    settings.set(SettingKeys::indexSource, "gfz");
    peer.serve(path(QUrl(GFZ::base())), late(100, Feeds::gfz()));
    store->refresh();
    {
        const SpaceWeatherSnapshot& s = store->snapshot();
        EXPECT_FALSE(s.kpNow || s.aIndexValue || s.solarFlux || s.sunspotNumber);
        EXPECT_TRUE(s.kpHistory.isEmpty());
        EXPECT_EQ(s.kpNowTime, noaa.kpNowTime);
        EXPECT_EQ(s.windSpeed, noaa.windSpeed);
    }
    ASSERT_TRUE(waitUntil([&] { return !store->isLoading(); }));
    {
        const SpaceWeatherSnapshot& s = store->snapshot();
        EXPECT_EQ(s.indexSource, IndexSource::gfz);
        EXPECT_EQ(s.kpNow, 3.333);
        EXPECT_EQ(s.aIndex(), 18);
        EXPECT_EQ(s.sunspotNumber, 97);
        EXPECT_TRUE(s.kpHistory.isEmpty());
        // GFZ gives no solar wind: the last NOAA values stay.
        EXPECT_EQ(s.windSpeed, noaa.windSpeed);
        EXPECT_EQ(s.bt, noaa.bt);
    }

    // A failing GFZ index keeps its last GFZ value.
    peer.serve(path(QUrl(GFZ::base())), 503, "");
    refreshAndWait(*store);
    EXPECT_EQ(store->snapshot().aIndexValue, 18);
    EXPECT_EQ(store->lastError(), "Could not load: Kp (GFZ), Ap (GFZ), sunspots (GFZ), solar flux (GFZ)");

    // Back on NOAA the A index comes from the Kp history, not from GFZ.
    settings.set(SettingKeys::indexSource, "noaa");
    refreshAndWait(*store);
    EXPECT_FALSE(store->snapshot().aIndexValue.has_value());
    EXPECT_EQ(store->snapshot().aIndex(), 27);
    EXPECT_EQ(store->snapshot().kpNow, 3);
}

TEST_F(StoreTest, TheLoopSleepsTheSetMinutesAfterEachRefreshEnds)
{
    // A minute of 400 ms: the shortest interval, 5 minutes, is 2 s, longer
    // than a slow machine takes between a refresh's end and the next step.
    settings.set(SettingKeys::refreshMinutes, 1);
    const QByteArray aurora = path(SWPCEndpoint::ovationAurora());
    const auto store = makeStore(true, 400ms);
    QElapsedTimer sinceEnd;
    QObject::connect(store.get(), &SpaceWeatherStore::isLoadingChanged, store.get(), [&] {
        if (!store->isLoading())
            sinceEnd.start();
    });
    ASSERT_TRUE(waitUntil([&] { return peer.count(aurora) == 1 && !store->isLoading(); }));
    EXPECT_EQ(loopTimer(*store)->intervalAsDuration(), 2000ms);
    ASSERT_TRUE(waitUntil([&] { return peer.count(aurora) == 2; }));
    EXPECT_GE(sinceEnd.elapsed(), 1900);

    // A new interval restarts the loop with a refresh at once; a restart
    // while a refresh runs lets that refresh finish undisturbed.
    ASSERT_TRUE(waitUntil([&] { return !store->isLoading(); }));
    peer.serve(aurora, late(150, Feeds::ovationAurora()));
    settings.set(SettingKeys::refreshMinutes, 7);
    store->startAutoRefresh();
    ASSERT_TRUE(waitUntil([&] { return store->isLoading(); }));
    store->startAutoRefresh();
    ASSERT_TRUE(waitUntil([&] { return !store->isLoading(); }));
    EXPECT_EQ(peer.count(aurora), 3);
    EXPECT_EQ(store->lastError(), std::nullopt);
    EXPECT_EQ(loopTimer(*store)->intervalAsDuration(), 2800ms);
}

TEST_F(StoreTest, AFeedTricklingItsAnswerEndsAtTheLimitAndTheLoopGoesOn)
{
    // A byte every 20 ms never lets the idle time-out run out; the whole
    // forecast would take hours.
    settings.set(SettingKeys::refreshMinutes, 5);
    const QByteArray aurora = path(SWPCEndpoint::ovationAurora());
    HttpPeer::Response trickle;
    trickle.body = Feeds::ovationAurora();
    trickle.trickleMs = 20;
    peer.serve(aurora, trickle);
    // The limit cuts the trickle; the other feeds, answered at once, end
    // well within it even on a slow machine.
    const auto store = makeStore(true, 20ms, 5s);

    ASSERT_TRUE(waitUntil([&] { return store->isLoading(); }));
    ASSERT_TRUE(waitUntil([&] { return !store->isLoading(); })) << "the refresh never ended";
    EXPECT_EQ(store->lastError(), "Could not load: aurora");
    EXPECT_TRUE(store->snapshot().kpNow.has_value());
    EXPECT_TRUE(logMessages().contains("Data feed failed: 127.0.0.1" + aurora
                                       + ": The answer did not come in whole within 5 s."))
        << logMessages().join('\n').toStdString();
    // The loop sleeps its 100 ms and asks again.
    ASSERT_TRUE(waitUntil([&] { return peer.count(aurora) == 2; }));
}
