#pragma once
#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>

// How long an answer says it stays fresh, and so how soon its source is
// asked again. A daily page that says "max-age=1800" is not asked every
// few seconds, and a page that says nothing is asked every interval.

// A value this long is not a header anyone meant.
inline constexpr size_t kLongestFreshnessValue = 1024;
// The most a source's own word may add to the update interval.
inline constexpr uint32_t kLongestFreshnessHoldMs = 60u * 60u * 1000u;

// Seconds the answer stays fresh: "max-age" of `cacheControl` (all of the
// answer's "Cache-Control" values, joined by commas), "no-cache" and
// "no-store" meaning none; without those, "Expires" against the answer's
// "Date" (or `now` when the answer has no usable "Date"), an "Expires" that
// is no date meaning already stale. None when the answer says nothing
// usable.
std::optional<uint32_t> FreshSeconds(std::string_view cacheControl, std::string_view expires,
                                     std::string_view date, std::time_t now);

// The delay before a source that gave such an answer is asked again: never
// sooner than `intervalMs`, never more than kLongestFreshnessHoldMs later.
uint32_t PoliteDelayMs(std::optional<uint32_t> freshSeconds, uint32_t intervalMs);
