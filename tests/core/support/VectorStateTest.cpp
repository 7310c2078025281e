#include "cluster/DXSpotParser.h"
#include "cluster/SpotGroup.h"
#include "cluster/SpotLocator.h"
#include "geo/MapData.h"
#include "prediction/PropagationPredictor.h"
#include "spaceweather/MUFField.h"
#include "spaceweather/SpaceWeatherClient.h"
#include "support/HttpPeer.h"
#include "support/RowBands.h"
#include "support/SpaceWeatherFeeds.h"
#include "support/VectorState.h"
#include "support/WaitUntil.h"

#include <QThreadPool>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <atomic>

#if defined(__x86_64__)
#include <cpuid.h>

namespace {

// Whether the processor says if the upper halves are in use (XGETBV with
// ECX = 1 reads XINUSE; bit 2 is theirs).
bool processorTells()
{
    unsigned a, b, c, d;
    return __builtin_cpu_supports("avx") && __get_cpuid_count(0xd, 1, &a, &b, &c, &d) && (a & (1u << 2));
}

bool upperHalvesInUse()
{
    unsigned low, high;
    asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(1));
    return low & (1u << 2);
}

// A 256-bit instruction, as Qt's string hash runs them; naked, so that the
// compiler adds no vzeroupper after it.
__attribute__((naked)) void dirtyUpperHalves() { asm("vpcmpeqd %ymm0, %ymm0, %ymm0\n\tret"); }

// The state as the first call of VectorState::clean() since the last reset
// found and left it. This test links with clean() wrapped
// (tests/CMakeLists.txt), so it reads the state the moment clean() returns:
// checked after the work instead, glibc's and libm's AVX2 routines inside it
// would have cleaned the state whether clean() did or not.
struct FirstClean {
    std::atomic<int> calls = 0;
    bool dirtyBefore = false;
    bool dirtyAfter = true;

    void reset() { calls = 0; }
    bool cleanedDirtyState() const { return calls > 0 && dirtyBefore && !dirtyAfter; }
};
FirstClean seen;

} // namespace

extern "C" void __real__ZN11VectorState5cleanEv();
extern "C" void __wrap__ZN11VectorState5cleanEv()
{
    const bool before = upperHalvesInUse();
    __real__ZN11VectorState5cleanEv();
    const bool after = upperHalvesInUse();
    if (seen.calls++ == 0) {
        seen.dirtyBefore = before;
        seen.dirtyAfter = after;
    }
}

// Only x86-64 processors keep this state.
TEST(VectorState, NumericWorkStartsCleanWhateverTheThreadRanBefore)
{
    if (!processorTells())
        GTEST_SKIP() << "this processor does not say whether the upper halves are in use";
    dirtyUpperHalves();
    ASSERT_TRUE(upperHalvesInUse());
    // A downloaded feed is read on the pool, on its one thread, left dirty.
    HttpPeer peer;
    ASSERT_TRUE(peer.listen());
    setenv("CORVANTA_FEEDS_BASE", qPrintable(peer.base()), 1);
    SpaceWeatherFeeds::serveAll(peer);
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    std::atomic<bool> dirtied = false;
    QThreadPool::globalInstance()->start([&] {
        dirtyUpperHalves();
        dirtied = true;
    });
    ASSERT_TRUE(waitUntil([&] { return dirtied.load(); }));
    seen.reset();
    std::optional<std::optional<QList<IonosondeReading>>> readings;
    SpaceWeatherClient client;
    client.fetchIonosondes([&](auto r) { readings = r; });
    ASSERT_TRUE(waitUntil([&] { return readings.has_value(); }));
    EXPECT_TRUE(readings->has_value());
    EXPECT_TRUE(seen.cleanedDirtyState());
    unsetenv("CORVANTA_FEEDS_BASE");
    QThreadPool::globalInstance()->setMaxThreadCount(QThread::idealThreadCount());

    // The helper, and the serial entry points before their arithmetic: the
    // state dirty right up to their clean(), and clean after it.
    const auto startsClean = [](const auto& work) {
        seen.reset();
        dirtyUpperHalves();
        work();
        return seen.cleanedDirtyState();
    };
    const GeoCoordinate london { 51.5, -0.1 }, tokyo { 35.7, 139.7 };
    const MUFField field({}, 100, QDateTime(QDate(2026, 3, 1), QTime(12, 0), QTimeZone::utc()));
    EXPECT_TRUE(startsClean([] { VectorState::clean(); }));
    EXPECT_TRUE(startsClean([&] { PrefixEntity::cell(tokyo, {}); }));
    EXPECT_TRUE(startsClean([&] { field.pathMUF(london, tokyo); }));
    EXPECT_TRUE(startsClean([&] { PropagationPredictor::geometry(london, tokyo, false); }));
    // Every part the pool runs starts clean, also on a thread (the calling
    // one included) whose previous part left the state dirty.
    RowBands::deal(8, [](int, int) { dirtyUpperHalves(); });
    std::atomic<int> dirtyStarts = 0;
    RowBands::deal(8, [&](int, int) { dirtyStarts += upperHalvesInUse(); });
    EXPECT_EQ(dirtyStarts, 0);
}

// Qt's string hash with the program's random seed leaves the state dirty; a
// spot's road hashes its texts its own way and never does, so that nothing
// after a lookup, in the road or in its caller, runs dirty.
TEST(VectorState, ASpotsRoadLeavesItClean)
{
    QSet<QString> calls;
    calls.insert(QStringLiteral("DL1ABC"));
    if (!processorTells() || !upperHalvesInUse())
        GTEST_SKIP() << "Qt's string hash leaves this processor's state clean";
    const auto leavesClean = [](const auto& work, bool startsBatch = true) {
        startsBatch ? dirtyUpperHalves() : VectorState::clean(); // a batch, after anything at all
        seen.reset();
        work();
        return (!startsBatch || seen.cleanedDirtyState()) && !upperHalvesInUse();
    };
    std::optional<CtyDatabase> countries;
    EXPECT_TRUE(leavesClean([&] { countries.emplace(u"Germany: 14: 28: EU: 51: -10: -1: DL:\n DA,DL,=DL0ABC/P;"); }));
    EXPECT_TRUE(leavesClean([&] { countries->entity(u"EA8/DL1AB/P"); }));
    const QDateTime now(QDate(2026, 3, 1), QTime(12, 5), QTimeZone::utc());
    std::optional<DXSpot> spot;
    EXPECT_TRUE(
        leavesClean([&] { spot = DXSpotParser::spot(u"DX de W3LPL:  14025.0  DL1ABC  CW 24 dB  1200Z", now); }, false));
    ASSERT_TRUE(spot);
    SpotBook book;
    EXPECT_TRUE(leavesClean([&] { book.add(*spot); }, false));
    SpotLocator locator(SpotPlacer({ { "DL", "Germany", 51, 10, "EU" } }), *countries);
    const DXCCProgress progress({ { "DL1XX", Band::m40, true } }, *countries);
    const auto options = SpotDisplayOptions::fromTexts("all", "20", "all", "bandCountry", false, "DL1ABC");
    qsizetype groups = 0;
    EXPECT_TRUE(leavesClean([&] { groups = SpotGroups::active(book.spots(), options, &progress, locator).size(); }));
    EXPECT_EQ(groups, 1);
}
#endif
