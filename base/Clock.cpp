#include "base/Clock.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>
#else
#include <time.h>
#endif

namespace {
std::atomic<uint32_t> clockOffset{0};
std::atomic<uint64_t> clock64Offset{0};

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

uint64_t RawMilliseconds64()
{
#ifdef _WIN32
    return GetTickCount64();
#else
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
#endif
}
}  // namespace

uint32_t ClockMilliseconds()
{
    return RawMilliseconds() + clockOffset.load(std::memory_order_relaxed);
}

void SetClockOffsetForTesting(uint32_t offset)
{
    clockOffset.store(offset, std::memory_order_relaxed);
}

uint64_t ClockMilliseconds64()
{
    return RawMilliseconds64() + clock64Offset.load(std::memory_order_relaxed);
}

void SetClock64OffsetForTesting(uint64_t offset)
{
    clock64Offset.store(offset, std::memory_order_relaxed);
}
