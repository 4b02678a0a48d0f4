#pragma once
#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>

// The seconds a "Retry-After" value asks for: a count of seconds ("120"),
// or an HTTP date (IMF-fixdate "Sun, 06 Nov 1994 08:49:37 GMT", or one of
// the two obsolete forms) taken against `now`, seconds since 1970 in UTC. A
// date already past asks for 0. Counts and distances beyond
// kLongestRetryAfterSeconds are cut to it; anything else is no value.
inline constexpr uint32_t kLongestRetryAfterSeconds = 24u * 60u * 60u;
std::optional<uint32_t> ParseRetryAfter(std::string_view value, std::time_t now);

// Seconds since 1970 in UTC of an HTTP date in any of the three forms
// above; `now` places a two-digit year. None for anything else.
std::optional<int64_t> ParseHttpDate(std::string_view value, std::time_t now);

// Seconds since 1970 in UTC of a date and time in the proleptic Gregorian
// calendar; `month` 1-12. Exposed for the tests' reference dates.
int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second);
