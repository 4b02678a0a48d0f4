#include "update/UpdateStatus.h"

#include <algorithm>
#include <cstdio>
#include <limits>

std::string LocalClockText(std::time_t when)
{
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &when) != 0)
        return "--:--:--";
#else
    if (localtime_r(&when, &local) == nullptr)
        return "--:--:--";
#endif
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

void UpdateStatus::Record(const UpdateOutcome& outcome, uint64_t clockMs)
{
    recorded = true;
    last = outcome;
    // A 304 confirms the rates shown are still the server's: as good as new.
    if (outcome.Succeeded()) {
        lastSuccessWhen = outcome.when;
        lastSuccessClock = clockMs;
        lastSuccessHeldMs = outcome.heldMs;
    }
}

std::string UpdateStatus::Text() const
{
    if (!recorded)
        return std::string();
    const std::string from = last.source.empty() ? std::string() : " from " + last.source;
    const std::string next =
        last.nextCheck == 0 ? std::string() : ", next check " + LocalClockText(last.nextCheck).substr(0, 5);
    switch (last.kind) {
    case UpdateOutcome::Kind::Updated:
        return "updated " + LocalClockText(last.when) + from + next;
    case UpdateOutcome::Kind::NotModified:
        return "not modified " + LocalClockText(last.when) + from + next;
    case UpdateOutcome::Kind::Failed:
        break;
    }
    // With one source there is no doubt which failed; with several, say.
    const std::string reason = last.reason + (last.oneOfSeveral ? from : std::string());
    if (!lastSuccessWhen)
        return "no rates yet: " + reason;
    return "no update since " + LocalClockText(*lastSuccessWhen) + ": " + reason;
}

bool UpdateStatus::Stale(uint64_t clockMs, uint32_t intervalMs) const
{
    return lastSuccessWhen && !UntilStale(clockMs, intervalMs);
}

std::optional<uint32_t> UpdateStatus::UntilStale(uint64_t clockMs, uint32_t intervalMs) const
{
    if (!lastSuccessWhen)
        return std::nullopt;
    // A source that asked to be left alone longer is not stale for keeping quiet.
    const uint32_t expected = std::max(intervalMs, lastSuccessHeldMs);
    const uint64_t limit = static_cast<uint64_t>(static_cast<double>(expected) * kStaleIntervals);
    // The clock never runs back; a reading before the success counts as no age.
    const uint64_t age = clockMs > lastSuccessClock ? clockMs - lastSuccessClock : 0;
    if (age >= limit)
        return std::nullopt;
    return static_cast<uint32_t>(std::min<uint64_t>(limit - age, std::numeric_limits<uint32_t>::max()));
}
