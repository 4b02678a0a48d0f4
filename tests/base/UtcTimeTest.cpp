#include "base/UtcTime.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

struct UtcClockReset {
    ~UtcClockReset() { SetUtcTimeForTesting(kRealUtcClock); }
};

TEST(UtcTime, KnownDaysAndTheirTexts)
{
    struct Case {
        int64_t year;
        unsigned month, day;
        int64_t days;
        const char* iso;
        const char* dayMonth;
    };
    const Case cases[] = {
        {1970, 1, 1, 0, "1970-01-01", "01 Jan"},
        {1969, 12, 31, -1, "1969-12-31", "31 Dec"},
        {2000, 2, 29, 11016, "2000-02-29", "29 Feb"},
        {2000, 3, 1, 11017, "2000-03-01", "01 Mar"},
        {2026, 9, 1, 20697, "2026-09-01", "01 Sep"},
        {2038, 1, 19, 24855, "2038-01-19", "19 Jan"},  // past a 32-bit second count
        {2100, 3, 1, 47541, "2100-03-01", "01 Mar"},   // 2100 is no leap year
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DaysFromCivil(c.year, c.month, c.day), c.days) << c.iso;
        const CivilDate back = CivilFromDays(c.days);
        EXPECT_EQ(back.year, c.year) << c.iso;
        EXPECT_EQ(back.month, c.month) << c.iso;
        EXPECT_EQ(back.day, c.day) << c.iso;
        EXPECT_EQ(FormatIsoDate(c.days * kMillisecondsPerDay + 1234567), c.iso);
        EXPECT_EQ(FormatDayMonth(c.days * kMillisecondsPerDay), c.dayMonth);
    }
}

TEST(UtcTime, EveryDayOfFourCenturiesRoundTrips)
{
    int64_t expected = DaysFromCivil(1900, 1, 1);
    for (int64_t year = 1900; year < 2300; ++year) {
        for (unsigned month = 1; month <= 12; ++month) {
            for (unsigned day = 1; day <= 31; ++day) {
                const CivilDate back = CivilFromDays(DaysFromCivil(year, month, day));
                if (back.day != day)
                    break;  // past the month's end
                ASSERT_EQ(DaysFromCivil(year, month, day), expected) << year << "-" << month << "-" << day;
                ASSERT_EQ(back.year, year);
                ASSERT_EQ(back.month, month);
                ++expected;
            }
        }
    }
}

TEST(UtcTime, ReadsOnlyRealIsoDates)
{
    int64_t ms = -1;
    ASSERT_TRUE(ReadIsoDate("2026-09-01", ms));
    EXPECT_EQ(ms, 20697 * kMillisecondsPerDay);
    ASSERT_TRUE(ReadIsoDate("2024-02-29", ms));
    EXPECT_EQ(FormatIsoDate(ms), "2024-02-29");
    for (const char* bad : {"", "2026-9-01", "2026-09-1", "2026/09/01", "2026-09-01 ", " 2026-09-01",
                            "2026-13-01", "2026-00-10", "2026-09-00", "2026-09-31", "2025-02-29",
                            "1969-12-31", "20x6-09-01", "2026-09-0a", "+026-09-01"}) {
        ms = 42;
        EXPECT_FALSE(ReadIsoDate(bad, ms)) << bad;
        EXPECT_EQ(ms, 42) << "left alone on failure: " << bad;
    }
}

TEST(UtcTime, TimeOfDay)
{
    const int64_t day = 20697 * kMillisecondsPerDay;
    EXPECT_EQ(FormatHourMinute(day), "00:00");
    EXPECT_EQ(FormatHourMinute(day + 15 * 3600000 + 59999), "15:00");
    EXPECT_EQ(FormatHourMinute(day - 1), "23:59");
    EXPECT_EQ(FormatHourMinute(-60000), "23:59");
    // The far ends of the range still give well-formed texts.
    EXPECT_EQ(FormatHourMinute(INT64_MIN).size(), 5u);
    EXPECT_EQ(FormatHourMinute(INT64_MAX).size(), 5u);
    EXPECT_FALSE(FormatIsoDate(INT64_MIN).empty());
    EXPECT_FALSE(FormatDayMonth(INT64_MAX).empty());
}

TEST(UtcTime, FollowsTheSystemClockUnlessFixed)
{
    UtcClockReset reset;
    const int64_t system = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    const int64_t now = UtcMilliseconds();
    EXPECT_LT(now > system ? now - system : system - now, 5000);
    SetUtcTimeForTesting(int64_t{5} << 40);
    EXPECT_EQ(UtcMilliseconds(), int64_t{5} << 40);
    SetUtcTimeForTesting(kRealUtcClock);
    EXPECT_GE(UtcMilliseconds(), now);
}

}  // namespace
