#pragma once
#include "update/UpdateOutcome.h"

#include <cstdint>
#include <functional>

// When the next update cycle is due. After a success: one update interval.
// After consecutive failures: the interval times 2, 4, 8 ... up to five
// minutes, with +-10 % jitter so that many widgets do not come back in step.
// A 429 or 503 answer with a usable "Retry-After" waits that long instead,
// never less than the interval and at most an hour.
//
// The millisecond clock and the random source are handed in, so the
// schedule can be tested without waiting.
class Backoff {
public:
    using Clock = std::function<uint32_t()>;  // milliseconds; may wrap
    using Random = std::function<double()>;   // uniform in [0, 1)

    static constexpr uint32_t kLongestDelayMs = 5u * 60u * 1000u;
    static constexpr uint32_t kLongestRetryAfterMs = 60u * 60u * 1000u;
    static constexpr double kJitter = 0.10;

    Backoff(Clock clock, Random random);

    // Takes the outcome of the cycle that just ended and returns the delay
    // before the next one, counted from now.
    uint32_t Schedule(const UpdateOutcome& outcome, uint32_t intervalMs);

    // Milliseconds until the next cycle is due; 0 when it is.
    uint32_t RemainingMs() const;

    // Forgets the failures and makes the next cycle due at once.
    void Clear();

    int Failures() const { return failures; }

private:
    uint32_t FailureDelay(uint32_t intervalMs);

    Clock clock;
    Random random;
    int failures = 0;          // consecutive, up to the last outcome
    uint32_t scheduledAt = 0;  // clock reading when the delay was set
    uint32_t delay = 0;
};
