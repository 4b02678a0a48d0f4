#include "base/UtcTime.h"

#include <atomic>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace {

std::atomic<int64_t> fixedTime{kRealUtcClock};

// Beyond these the calendar arithmetic below could overflow; a reading so
// far off is held at the edge (about 290,000 years either way).
constexpr int64_t kLatestDays = int64_t{1} << 26;

int64_t FloorDivide(int64_t a, int64_t b)
{
    const int64_t quotient = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? quotient - 1 : quotient;
}

int64_t DayOf(int64_t milliseconds)
{
    const int64_t days = FloorDivide(milliseconds, kMillisecondsPerDay);
    return days > kLatestDays ? kLatestDays : (days < -kLatestDays ? -kLatestDays : days);
}

int64_t MillisecondOfDay(int64_t milliseconds)
{
    const int64_t remainder = milliseconds % kMillisecondsPerDay;
    return remainder < 0 ? remainder + kMillisecondsPerDay : remainder;
}

}  // namespace

int64_t UtcMilliseconds()
{
    const int64_t fixed = fixedTime.load(std::memory_order_relaxed);
    if (fixed != kRealUtcClock)
        return fixed;
#ifdef _WIN32
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;  // 100 ns since 1601
    constexpr uint64_t kTicksTo1970 = 116444736000000000ull;
    return ticks < kTicksTo1970 ? 0 : static_cast<int64_t>((ticks - kTicksTo1970) / 10000u);
#else
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#endif
}

void SetUtcTimeForTesting(int64_t milliseconds)
{
    fixedTime.store(milliseconds, std::memory_order_relaxed);
}

// The calendar is counted in eras of 400 years (146,097 days), each starting
// on 1 March, so that the leap day falls at the end of a counted year.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = FloorDivide(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate CivilFromDays(int64_t days)
{
    days += 719468;
    const int64_t era = FloorDivide(days, 146097);
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilDate date{};
    date.day = static_cast<unsigned>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    date.month = static_cast<unsigned>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

bool ReadIsoDate(const std::string& text, int64_t& milliseconds)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    unsigned digits[8];
    const int places[8] = {0, 1, 2, 3, 5, 6, 8, 9};
    for (int i = 0; i < 8; ++i) {
        const char c = text[static_cast<size_t>(places[i])];
        if (c < '0' || c > '9')
            return false;
        digits[i] = static_cast<unsigned>(c - '0');
    }
    const int64_t year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    const unsigned month = digits[4] * 10 + digits[5];
    const unsigned day = digits[6] * 10 + digits[7];
    if (year < 1970 || month < 1 || month > 12 || day < 1)
        return false;
    // A day that does not exist comes back as another date.
    const int64_t days = DaysFromCivil(year, month, day);
    const CivilDate again = CivilFromDays(days);
    if (again.year != year || again.month != month || again.day != day)
        return false;
    milliseconds = days * kMillisecondsPerDay;
    return true;
}

std::string FormatIsoDate(int64_t milliseconds)
{
    const CivilDate date = CivilFromDays(DayOf(milliseconds));
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(date.year), date.month,
                  date.day);
    return text;
}

std::string FormatDayMonth(int64_t milliseconds)
{
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const CivilDate date = CivilFromDays(DayOf(milliseconds));
    char text[16];
    std::snprintf(text, sizeof text, "%02u %s", date.day, kMonths[(date.month - 1) % 12]);
    return text;
}

std::string FormatHourMinute(int64_t milliseconds)
{
    const int64_t minutes = MillisecondOfDay(milliseconds) / 60000;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(minutes / 60),
                  static_cast<int>(minutes % 60));
    return text;
}
