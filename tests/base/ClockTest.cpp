#include "base/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

struct ClockOffsetReset {
    ~ClockOffsetReset() { SetClockOffsetForTesting(0); }
};

TEST(Clock, AdvancesInMilliseconds)
{
    uint32_t start = ClockMilliseconds();
    auto wallStart = std::chrono::steady_clock::now();
    // Wait on the wall clock, then compare: the clock must follow it.
    while (std::chrono::steady_clock::now() - wallStart < std::chrono::milliseconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    uint32_t elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, 55u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(Clock, ElapsedTimeSurvivesTheWrap)
{
    ClockOffsetReset reset;
    // Put the reading just below 2^32 so that it wraps during the wait.
    uint32_t raw = ClockMilliseconds();
    SetClockOffsetForTesting(0xFFFFFFFFu - raw - 20u);
    uint32_t start = ClockMilliseconds();
    EXPECT_GT(start, 0xFFFFFF00u);
    auto wallStart = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - wallStart < std::chrono::milliseconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    uint32_t now = ClockMilliseconds();
    EXPECT_LT(now, start) << "the reading should have wrapped";
    uint32_t elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, 55u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(Clock, TheSixtyFourBitClockRunsOnPastTheWrap)
{
    struct Reset {
        ~Reset() { SetClock64OffsetForTesting(0); }
    } reset;
    // 50 days: past where the 32-bit clock wraps.
    const uint64_t offset = 50ull * 24 * 3600 * 1000;
    const uint64_t before = ClockMilliseconds64();
    SetClock64OffsetForTesting(offset);
    const uint64_t start = ClockMilliseconds64();
    EXPECT_GT(start, uint64_t{0xFFFFFFFFu});
    EXPECT_GE(start, before + offset);
    auto wallStart = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - wallStart < std::chrono::milliseconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // GetTickCount64 moves in steps of about 16 ms.
    const uint64_t elapsed = ClockMilliseconds64() - start;
    EXPECT_GE(elapsed, 40u);
    EXPECT_LT(elapsed, 5000u);
}

}  // namespace
