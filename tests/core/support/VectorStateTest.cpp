#include "geo/MapData.h"
#include "prediction/PropagationPredictor.h"
#include "spaceweather/MUFField.h"
#include "support/RowBands.h"
#include "support/VectorState.h"

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

} // namespace

// Only x86-64 processors keep this state.
TEST(VectorState, NumericWorkStartsCleanWhateverTheThreadRanBefore)
{
    if (!processorTells())
        GTEST_SKIP() << "this processor does not say whether the upper halves are in use";
    dirtyUpperHalves();
    ASSERT_TRUE(upperHalvesInUse());
    // The helper, and the serial entry points before their arithmetic.
    const auto cleanAfter = [](const auto& work) {
        dirtyUpperHalves();
        work();
        return !upperHalvesInUse();
    };
    const GeoCoordinate london { 51.5, -0.1 }, tokyo { 35.7, 139.7 };
    const MUFField field({}, 100, QDateTime(QDate(2026, 3, 1), QTime(12, 0), QTimeZone::utc()));
    EXPECT_TRUE(cleanAfter([] { VectorState::clean(); }));
    EXPECT_TRUE(cleanAfter([&] { PrefixEntity::cell(tokyo, {}); }));
    EXPECT_TRUE(cleanAfter([&] { field.pathMUF(london, tokyo); }));
    EXPECT_TRUE(cleanAfter([&] { PropagationPredictor::geometry(london, tokyo, false); }));
    // Every part the pool runs starts clean, also on a thread (the calling
    // one included) whose previous part left the state dirty.
    RowBands::deal(8, [](int, int) { dirtyUpperHalves(); });
    std::atomic<int> dirtyStarts = 0;
    RowBands::deal(8, [&](int, int) { dirtyStarts += upperHalvesInUse(); });
    EXPECT_EQ(dirtyStarts, 0);
}
#endif
