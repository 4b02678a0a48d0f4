#pragma once
#include <cstdint>

// The program's millisecond clock: timeGetTime on Windows, a monotonic
// reading elsewhere. It wraps every 2^32 ms (about 49.7 days), so elapsed
// times are always taken as unsigned 32-bit differences (ElapsedSince).
uint32_t ClockMilliseconds();

// Milliseconds from `start` to now, correct across a wrap of the clock.
inline uint32_t ElapsedSince(uint32_t start)
{
    return ClockMilliseconds() - start;
}

// Tests shift every reading by this amount to run code across the wrap.
void SetClockOffsetForTesting(uint32_t offset);

// A millisecond clock that does not wrap: GetTickCount64 on Windows, the
// monotonic clock elsewhere. For ages that may pass 49.7 days, such as how
// old the rates shown are after a long run of failures, where a 32-bit
// difference would come round to "fresh" again.
uint64_t ClockMilliseconds64();

// Tests shift every reading of ClockMilliseconds64 by this amount, to run
// code months into the clock.
void SetClock64OffsetForTesting(uint64_t offset);
