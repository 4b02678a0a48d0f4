#include "update/Backoff.h"

#include "update/RetryAfter.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Past this many doublings every interval the settings allow is over the
// cap already; counting further would only overflow the shift.
constexpr int kMostDoublings = 20;

bool MayAskForRetryAfter(int status)
{
    return status == 429 || status == 503;
}

}  // namespace

Backoff::Backoff(Clock clockSource, Random randomSource)
    : clock(std::move(clockSource)), random(std::move(randomSource)), scheduledAt(clock())
{
}

uint32_t Backoff::FailureDelay(uint32_t intervalMs)
{
    uint64_t grown = uint64_t{intervalMs} << std::min(failures, kMostDoublings);
    uint64_t capped = std::max<uint64_t>(std::min<uint64_t>(grown, kLongestDelayMs), intervalMs);
    double share = std::clamp(random(), 0.0, 1.0);
    double factor = 1.0 - kJitter + 2.0 * kJitter * share;
    return static_cast<uint32_t>(std::llround(static_cast<double>(capped) * factor));
}

uint32_t Backoff::Schedule(const UpdateOutcome& outcome, uint32_t intervalMs)
{
    scheduledAt = clock();
    if (outcome.Succeeded()) {
        failures = 0;
        delay = intervalMs;
        return delay;
    }
    if (failures < kMostDoublings)
        ++failures;
    std::optional<uint32_t> asked;
    if (MayAskForRetryAfter(outcome.httpStatus))
        asked = ParseRetryAfter(outcome.retryAfter, outcome.when);
    if (asked) {
        uint64_t wanted = uint64_t{*asked} * 1000u;
        delay = static_cast<uint32_t>(
            std::clamp<uint64_t>(wanted, intervalMs, std::max(intervalMs, kLongestRetryAfterMs)));
    } else {
        delay = FailureDelay(intervalMs);
    }
    return delay;
}

uint32_t Backoff::RemainingMs() const
{
    uint32_t passed = clock() - scheduledAt;
    return passed >= delay ? 0 : delay - passed;
}

void Backoff::Clear()
{
    failures = 0;
    delay = 0;
    scheduledAt = clock();
}
