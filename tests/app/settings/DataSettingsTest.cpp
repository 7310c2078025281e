#include "settings/DataSettings.h"

#include "kit/AppLog.h"
#include "spaceweather/GFZ.h"
#include "spaceweather/Ionosonde.h"
#include "spaceweather/SWPCFeeds.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/HttpPeer.h"
#include "support/SettingsCatalogue.h"
#include "support/SettingsTabs.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/WaitUntil.h"

#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace SettingsTabs;
namespace Feeds = SpaceWeatherFeeds;

namespace {

// The tab over a store whose loop is off, fed by a local peer.
struct DataTabTest : testing::Test {
    HttpPeer peer;
    std::unique_ptr<SpaceWeatherStore> store;

    void SetUp() override
    {
        ASSERT_TRUE(peer.listen());
        setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
        Feeds::serveAll(peer);
        clearSettings();
        AppLog::start();
        SpaceWeatherStore::Options options;
        options.startLoop = false;
        store = std::make_unique<SpaceWeatherStore>(options);
    }

    void TearDown() override
    {
        store.reset();
        setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9", 1);
    }

    int requests(const QUrl& url) const { return peer.count(Feeds::path(url)); }
    bool settled()
    {
        return waitUntil([this] { return !store->isLoading(); });
    }
    QTimer* loop() const { return store->findChild<QTimer*>("refreshLoop"); }
};

} // namespace

TEST_F(DataTabTest, EachChangeAsksTheStoreAtOnceAndOpeningAsksNothing)
{
    DataSettings tab(store.get());
    tab.show();
    auto* indices = control<QComboBox>(&tab, "Kp, A, sunspots, solar flux");
    auto* muf = control<QComboBox>(&tab, "MUF");
    auto* every = control<QComboBox>(&tab, "Refresh every");
    EXPECT_EQ(indices->currentText(), "NOAA SWPC (Kp updated every minute)");
    EXPECT_EQ(muf->currentText(), "Zelq (127.0.0.1)");
    EXPECT_EQ(every->currentText(), "10 minutes");
    EXPECT_FALSE(tab.errorLine()->isVisible());
    EXPECT_FALSE(store->isLoading());
    EXPECT_FALSE(loop()->isActive());
    EXPECT_TRUE(Settings::standard().allKeys().isEmpty());

    // A new index source refreshes at once, from that source.
    indices->setCurrentIndex(1);
    EXPECT_EQ(storedText("indexSource"), "gfz");
    EXPECT_TRUE(store->isLoading());
    ASSERT_TRUE(settled());
    const int gfzPerRefresh = requests(QUrl(GFZ::base())); // one per index
    EXPECT_GT(gfzPerRefresh, 0);
    EXPECT_EQ(requests(Zelq::stationsURL()), 1);
    EXPECT_EQ(store->snapshot().indexSource, IndexSource::gfz);

    // Switched while that refresh runs, the source waits for the next one.
    muf->setCurrentIndex(1);
    EXPECT_EQ(storedText("mufSource"), "off");
    ASSERT_TRUE(store->isLoading());
    indices->setCurrentIndex(0);
    ASSERT_TRUE(settled());
    EXPECT_EQ(requests(Zelq::stationsURL()), 1) << "no ionosonde request with the MUF off";
    EXPECT_EQ(requests(QUrl(GFZ::base())), 2 * gfzPerRefresh) << "the source at the refresh's start";
    EXPECT_EQ(requests(SWPCEndpoint::kp1Minute()), 0) << "no second refresh";
    EXPECT_TRUE(store->snapshot().ionosondes.isEmpty());

    // A new interval restarts the loop: a refresh at once, then the wait.
    every->setCurrentIndex(2);
    EXPECT_EQ(storedText("refreshMinutes"), "15");
    ASSERT_TRUE(waitUntil([this] { return store->isLoading(); }));
    ASSERT_TRUE(settled());
    EXPECT_EQ(requests(SWPCEndpoint::kp1Minute()), 1);
    ASSERT_TRUE(loop()->isActive());
    EXPECT_EQ(loop()->intervalAsDuration(), 15min);

    // Picking what is already stored changes nothing and asks nothing.
    every->setCurrentIndex(2);
    EXPECT_FALSE(store->isLoading());
}

TEST_F(DataTabTest, TheErrorLineComesAndGoesWithTheStoresLastError)
{
    DataSettings tab(store.get());
    tab.show();
    peer.serve(Feeds::path(SWPCEndpoint::ovationAurora()), 503, "");
    peer.serve(Feeds::path(Zelq::stationsURL()), 500, "<b>down</b>");
    store->refresh();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(tab.errorLine()->isVisible());
    EXPECT_EQ(tab.errorLine()->text(), "Could not load: aurora, MUF (Zelq)");
    EXPECT_EQ(tab.errorLine()->textFormat(), Qt::PlainText);
    EXPECT_EQ(tab.errorLine()->palette().color(QPalette::WindowText), QColor(0xFF, 0xA8, 0x3C));

    Feeds::serveAll(peer);
    store->refresh();
    ASSERT_TRUE(settled());
    EXPECT_FALSE(tab.errorLine()->isVisible());

    // A store that failed before the tab opened shows its line at once.
    peer.serve(Feeds::path(SWPCEndpoint::ovationAurora()), 503, "");
    store->refresh();
    ASSERT_TRUE(settled());
    DataSettings reopened(store.get());
    reopened.show();
    EXPECT_TRUE(reopened.errorLine()->isVisible());
    EXPECT_EQ(reopened.errorLine()->text(), "Could not load: aurora");
}
