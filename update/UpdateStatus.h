#pragma once
#include "update/UpdateOutcome.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// What the widget says about its rates, built from the update cycles'
// outcomes: the status line ("updated 12:34:56 from www.ecb.europa.eu",
// "updated 16:05:12 from www.ecb.europa.eu, next check 16:20", "no update
// since 12:34:56: HTTP 503", "no rates yet: connection refused", with
// several sources "no rates yet: HTTP 503 from api.frankfurter.dev"),
// whether it is a warning, and whether the rates shown have gone stale. A plain value; whoever shares
// it between threads guards it.
class UpdateStatus {
public:
    // Stale once the last success is older than this many update intervals.
    static constexpr double kStaleIntervals = 2.5;

    // Takes one cycle's outcome; `clockMs` is the clock that does not wrap
    // (ClockMilliseconds64) then.
    void Record(const UpdateOutcome& outcome, uint64_t clockMs);

    // Empty before the first outcome.
    std::string Text() const;
    // The last cycle failed.
    bool Warning() const { return recorded && !last.Succeeded(); }
    // The last success lies more than 2.5 intervals (or 2.5 times the hold
    // its source asked for, when longer) before `clockMs`; never
    // before the first success (there is nothing shown to be stale).
    // Ages are 64-bit differences of that clock: rates stay stale however
    // long the failures last.
    bool Stale(uint64_t clockMs, uint32_t intervalMs) const;
    // Milliseconds from `clockMs` until Stale turns true (at most
    // UINT32_MAX: a timer is set for it); none when it is true already or
    // cannot turn true without a new success.
    std::optional<uint32_t> UntilStale(uint64_t clockMs, uint32_t intervalMs) const;

private:
    bool recorded = false;
    UpdateOutcome last;
    std::optional<std::time_t> lastSuccessWhen;  // wall clock, for the text
    uint64_t lastSuccessClock = 0;               // millisecond clock, for staleness
    uint32_t lastSuccessHeldMs = 0;              // how long its source is left alone (0: the interval)
};

// "HH:MM:SS" of `when` in local time.
std::string LocalClockText(std::time_t when);
