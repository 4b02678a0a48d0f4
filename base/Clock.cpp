#include "base/Clock.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#else
#include <time.h>
#endif

namespace {
std::atomic<uint32_t> clockOffset{0};

uint32_t RawMilliseconds()
{
#ifdef _WIN32
    return timeGetTime();
#else
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Truncation to 32 bits is the point: the same wrap as timeGetTime.
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
#endif
}
}  // namespace

uint32_t ClockMilliseconds() { return RawMilliseconds() + clockOffset.load(std::memory_order_relaxed); }

void SetClockOffsetForTesting(uint32_t offset) { clockOffset.store(offset, std::memory_order_relaxed); }
