#pragma once
#include <cstdint>

// The program's millisecond clock: timeGetTime on Windows, a monotonic
// reading elsewhere. It wraps every 2^32 ms (about 49.7 days), so elapsed
// times are always taken as unsigned 32-bit differences (ElapsedSince).
uint32_t ClockMilliseconds();

// Milliseconds from `start` to now, correct across a wrap of the clock.
inline uint32_t ElapsedSince(uint32_t start) { return ClockMilliseconds() - start; }

// Tests shift every reading by this amount to run code across the wrap.
void SetClockOffsetForTesting(uint32_t offset);
