// The "Retry-After" reader: seconds, the three HTTP date forms, garbage and
// values too large to take at their word.
#include "update/RetryAfter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// Sun, 06 Nov 1994 08:49:37 GMT, the RFC's own example, as "now".
const std::time_t kNow = static_cast<std::time_t>(UtcSeconds(1994, 11, 6, 8, 49, 37));

TEST(RetryAfter, ReferenceDatesAreRight)
{
    EXPECT_EQ(UtcSeconds(1970, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(UtcSeconds(1994, 11, 6, 8, 49, 37), 784111777);
    EXPECT_EQ(UtcSeconds(2000, 3, 1, 0, 0, 0), 951868800); // after a leap day of a 400th year
    EXPECT_EQ(UtcSeconds(2038, 1, 19, 3, 14, 8), 2147483648LL);
}

TEST(RetryAfter, ReadsSecondsDatesAndRefusesGarbage)
{
    const uint32_t cap = kLongestRetryAfterSeconds;
    struct Case {
        const char* value;
        std::optional<uint32_t> seconds;
    } cases[] = {
        // Seconds.
        {"25", 25},
        {"0", 0},
        {"  120\t", 120},
        {"007", 7},
        {"86400", cap},
        {"86401", cap},
        {"4294967296", cap},
        {"99999999999999999999999999999999", cap},
        // IMF-fixdate, RFC 850 and asctime, ahead of now and behind it.
        {"Sun, 06 Nov 1994 08:50:02 GMT", 25},
        {"Sun, 06 Nov 1994 08:49:37 GMT", 0},
        {"Sat, 05 Nov 1994 08:49:37 GMT", 0},
        {"Mon, 07 Nov 1994 08:49:37 GMT", cap},
        {"Sun, 06 NOV 1994 09:49:37 GMT", 3600},
        {"Sunday, 06-Nov-94 08:51:37 GMT", 120},
        {"Sun Nov  6 08:49:47 1994", 10},
        {"Sun Nov 16 08:49:37 1994", cap},
        {"Fri, 31 Dec 9999 23:59:59 GMT", cap},
        {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
        // Garbage.
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-5", std::nullopt},
        {"+5", std::nullopt},
        {"5s", std::nullopt},
        {"1.5", std::nullopt},
        {"25 25", std::nullopt},
        {"soon", std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37", std::nullopt},
        {"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 6 Nov 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 8:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 08:49:37 GMT trailing", std::nullopt},
        {"Sun, 32 Nov 1994 08:49:37 GMT", std::nullopt},
        {"Sun, 06 Nov 1994 25:49:37 GMT", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.value + "\"");
        EXPECT_EQ(ParseRetryAfter(c.value, kNow), c.seconds);
    }
}

TEST(RetryAfter, ALongValueIsRefusedWithoutReadingIt)
{
    EXPECT_EQ(ParseRetryAfter(std::string(100000, '9'), kNow), std::nullopt);
    EXPECT_EQ(ParseRetryAfter(std::string(65, '1'), kNow), std::nullopt);
    EXPECT_EQ(ParseRetryAfter(std::string(64, '1'), kNow), kLongestRetryAfterSeconds);
}

} // namespace
