#pragma once
#include <cstdint>
#include <string>

// Wall-clock time in UTC: milliseconds since 1970-01-01 00:00 UTC. Unlike
// the millisecond clock (base/Clock.h) it never wraps and means the same
// after a restart, so it dates what is kept (samples, saved histories). It
// may jump when the system clock is set, so it is never used to measure a
// wait.
int64_t UtcMilliseconds();

// Tests fix the wall clock at `milliseconds`; kRealUtcClock gives it back.
inline constexpr int64_t kRealUtcClock = INT64_MIN;
void SetUtcTimeForTesting(int64_t milliseconds);

inline constexpr int64_t kMillisecondsPerDay = 86400000;

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar;
// month 1 to 12, day 1 to 31 (not checked against the month here).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);

struct CivilDate {
    int64_t year;
    unsigned month;  // 1 to 12
    unsigned day;    // 1 to 31
};
CivilDate CivilFromDays(int64_t days);

// Reads exactly "YYYY-MM-DD" (a real day, year 1970 to 9999) as the
// milliseconds of its midnight UTC; false for anything else.
bool ReadIsoDate(const std::string& text, int64_t& milliseconds);

// The UTC day, or time of day, of `milliseconds`: "2026-09-01", "01 Sep",
// "15:00". Any int64 reading gives a well-formed text.
std::string FormatIsoDate(int64_t milliseconds);
std::string FormatDayMonth(int64_t milliseconds);
std::string FormatHourMinute(int64_t milliseconds);
