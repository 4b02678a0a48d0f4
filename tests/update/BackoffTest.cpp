// The update schedule after successes, failures and "Retry-After", on a
// clock and a random source the test turns by hand.
#include "update/Backoff.h"
#include "update/RetryAfter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kInterval = 10000;

UpdateOutcome Success()
{
    UpdateOutcome outcome;
    outcome.kind = UpdateOutcome::Kind::Updated;
    outcome.pairs = 20;
    return outcome;
}

UpdateOutcome Failure(int status = 0, std::string retryAfter = std::string())
{
    UpdateOutcome outcome;
    outcome.httpStatus = status;
    outcome.reason = status ? "HTTP " + std::to_string(status) : "connection refused";
    outcome.retryAfter = std::move(retryAfter);
    outcome.when = static_cast<std::time_t>(UtcSeconds(2026, 12, 8, 10, 0, 0));
    return outcome;
}

struct Schedule : ::testing::Test {
    uint32_t now = 0;
    double share = 0.5; // the middle of the jitter: no change
    Backoff backoff{[this] { return now; }, [this] { return share; }};
};

TEST_F(Schedule, FailuresDoubleTheWaitUpToFiveMinutesAndASuccessEndsIt)
{
    const std::vector<uint32_t> expected = {20000, 40000, 80000, 160000, 300000, 300000, 300000};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(backoff.Schedule(Failure(), kInterval), expected[i]) << "failure " << i + 1;
        EXPECT_EQ(backoff.Failures(), static_cast<int>(i + 1));
    }
    EXPECT_EQ(backoff.Schedule(Success(), kInterval), kInterval);
    EXPECT_EQ(backoff.Failures(), 0);
    EXPECT_EQ(backoff.Schedule(Failure(), kInterval), 20000u) << "the count starts again";

    UpdateOutcome notModified;
    notModified.kind = UpdateOutcome::Kind::NotModified;
    EXPECT_EQ(backoff.Schedule(notModified, kInterval), kInterval) << "a 304 is a success";
}

TEST_F(Schedule, JitterStaysWithinTenPercent)
{
    struct Case {
        double share;
        int failures;
        uint32_t delay;
    } cases[] = {
        {0.0, 1, 18000},   {0.999999, 1, 22000}, {0.25, 2, 38000}, {0.0, 6, 270000},
        {0.75, 9, 315000}, {-3.0, 1, 18000},     {7.0, 1, 22000}, // a random source out of its range is held
                                                                  // to it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "share " << c.share << ", failures " << c.failures);
        backoff.Clear();
        share = 0.5;
        for (int i = 1; i < c.failures; ++i)
            backoff.Schedule(Failure(), kInterval);
        share = c.share;
        EXPECT_EQ(backoff.Schedule(Failure(), kInterval), c.delay);
    }
}

TEST_F(Schedule, AnIntervalBeyondTheCapIsNeverShortened)
{
    const uint32_t hour = 3600000;
    EXPECT_EQ(backoff.Schedule(Failure(), hour), hour);
    share = 0.0;
    EXPECT_EQ(backoff.Schedule(Failure(), hour), hour * 9 / 10) << "only the jitter moves it";
    // Many failures: the shift never overflows.
    share = 0.5;
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(backoff.Schedule(Failure(), Backoff::kLongestDelayMs), Backoff::kLongestDelayMs);
}

TEST_F(Schedule, RetryAfterOn429Or503WaitsThatLongWithinItsBounds)
{
    struct Case {
        int status;
        const char* retryAfter;
        uint32_t delay;
    } cases[] = {
        {429, "25", 25000},
        {503, "25", 25000},
        {503, "120", 120000},
        {503, "3", kInterval}, // never below the interval
        {429, "0", kInterval},
        {503, "86400", 3600000}, // at most an hour
        {429, "99999999999999999999", 3600000},
        {503, "Tue, 08 Dec 2026 10:01:00 GMT", 60000},
        {503, "Tue, 08 Dec 2026 09:00:00 GMT", kInterval}, // already past
        {503, "garbage", 20000},                           // the ordinary back-off
        {503, "", 20000},
        {500, "25", 20000}, // only 429 and 503 may ask
        {404, "25", 20000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.status << " \"" << c.retryAfter << "\"");
        backoff.Clear();
        EXPECT_EQ(backoff.Schedule(Failure(c.status, c.retryAfter), kInterval), c.delay);
    }
}

TEST_F(Schedule, RemainingTimeFollowsTheClockAcrossItsWrap)
{
    now = 0xFFFFF000u; // 4096 ms before the clock wraps
    EXPECT_EQ(backoff.Schedule(Failure(), kInterval), 20000u);
    EXPECT_EQ(backoff.RemainingMs(), 20000u);
    now += 5000;
    EXPECT_EQ(backoff.RemainingMs(), 15000u);
    now += 15000;
    EXPECT_EQ(backoff.RemainingMs(), 0u);
    now += 100000;
    EXPECT_EQ(backoff.RemainingMs(), 0u) << "overdue is due, not far in the future";

    backoff.Schedule(Failure(), kInterval);
    EXPECT_EQ(backoff.RemainingMs(), 40000u);
    backoff.Clear();
    EXPECT_EQ(backoff.RemainingMs(), 0u) << "\"Update now\" makes it due at once";
    EXPECT_EQ(backoff.Failures(), 0);
    EXPECT_EQ(backoff.Schedule(Failure(), kInterval), 20000u) << "and forgets the failures";
}

} // namespace
