// How long an answer says it stays fresh, and the delay before its source
// is asked again.
#include "update/Freshness.h"
#include "update/RetryAfter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

const std::time_t kNow = UtcSeconds(2026, 12, 8, 16, 5, 12);
const char* const kDate = "Tue, 08 Dec 2026 16:05:12 GMT";

TEST(Freshness, ReadsMaxAgeOrExpiresAgainstDate)
{
    struct Case {
        const char* name;
        const char* cacheControl;
        const char* expires;
        const char* date;
        std::optional<uint32_t> seconds;
    } const cases[] = {
        {"nothing said", "", "", kDate, std::nullopt},
        {"max-age", "max-age=30", "", "", 30u},
        {"among other directives", "public, Max-Age=1800 , must-revalidate", "", "", 1800u},
        {"quoted", "max-age=\"45\"", "", "", 45u},
        {"the first of two", "max-age=60, max-age=5", "", "", 60u},
        {"max-age beats Expires", "max-age=30", "Tue, 08 Dec 2026 17:05:12 GMT", kDate, 30u},
        {"no-cache beats max-age", "max-age=300, no-cache", "", "", 0u},
        {"no-store", "no-store", "Tue, 08 Dec 2026 17:05:12 GMT", kDate, 0u},
        {"Expires against Date", "", "Tue, 08 Dec 2026 16:20:12 GMT", kDate, 900u},
        {"Expires against a Date that runs slow", "", "Tue, 08 Dec 2026 16:20:12 GMT",
         "Tue, 08 Dec 2026 16:10:12 GMT", 600u},
        {"Expires against now without a Date", "", "Tue, 08 Dec 2026 16:06:12 GMT", "", 60u},
        {"Expires against now with a bad Date", "", "Tue, 08 Dec 2026 16:06:12 GMT", "yesterday", 60u},
        {"Expires in the past", "", "Tue, 08 Dec 2026 15:00:00 GMT", kDate, 0u},
        {"Expires that is no date", "", "0", kDate, 0u},
        {"obsolete date form", "", "Tuesday, 08-Dec-26 16:07:12 GMT", kDate, 120u},
        {"bad max-age falls to Expires", "max-age=-5", "Tue, 08 Dec 2026 16:06:12 GMT", kDate, 60u},
        {"bad max-age alone", "max-age=ten", "", "", std::nullopt},
        {"max-age without a value", "max-age", "", "", std::nullopt},
        {"empty max-age", "max-age=", "", "", std::nullopt},
        {"huge max-age is cut to a day", "max-age=99999999999999999999999", "", "", 86400u},
        {"an Expires years away is cut to a day", "", "Fri, 08 Dec 2056 16:05:12 GMT", kDate, 86400u},
        {"unknown directives only", "private, immutable", "", "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FreshSeconds(c.cacheControl, c.expires, c.date, kNow), c.seconds);
    }
}

TEST(Freshness, ValuesTooLongToBeMeantSayNothing)
{
    const std::string longValue = "max-age=30," + std::string(kLongestFreshnessValue, ' ');
    EXPECT_EQ(FreshSeconds(longValue, "", "", kNow), std::nullopt);
    const std::string longDate = std::string(kLongestFreshnessValue + 1, 'x');
    EXPECT_EQ(FreshSeconds("", longDate, kDate, kNow), std::nullopt);
}

TEST(Freshness, DelayIsNeverBelowTheIntervalNorMoreThanAnHourBeyondIt)
{
    struct Case {
        std::optional<uint32_t> seconds;
        uint32_t intervalMs;
        uint32_t delayMs;
    } const cases[] = {
        {std::nullopt, 10000, 10000},
        {0u, 10000, 10000},
        {5u, 10000, 10000},
        {30u, 10000, 30000},
        {3600u, 10000, 3600000},
        {3610u, 10000, 3610000},
        {3700u, 10000, 3610000},  // an hour beyond the interval at most
        {86400u, 600000, 4200000},
        {86400u, 24u * 3600u * 1000u, 24u * 3600u * 1000u},
        {86400u, 20u * 3600u * 1000u, 21u * 3600u * 1000u},
        {60u, 120000, 120000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.seconds ? std::to_string(*c.seconds) : "none") << " s, interval " << c.intervalMs);
        EXPECT_EQ(PoliteDelayMs(c.seconds, c.intervalMs), c.delayMs);
    }
}

}  // namespace
