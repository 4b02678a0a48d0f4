// The plain words of the outcomes and the status line made of them.
#include "update/UpdateOutcome.h"
#include "base/Clock.h"
#include "http/HttpFailure.h"
#include "update/UpdateStatus.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(OutcomeText, EveryFailureHasShortPlainWordsOfItsOwn)
{
    struct Case {
        int code;
        const char* text;
    } const cases[] = {
        {HttpFailure::kConnectRefused, "connection refused"},
        {HttpFailure::kConnectTimedOut, "no answer within 10 s"},
        {HttpFailure::kLookupFailed, "name not found"},
        {HttpFailure::kCutShort, "body cut short"},
        {HttpFailure::kCertUntrusted, "certificate not trusted"},
        {HttpFailure::kCertWrongName, "certificate for another name"},
        {HttpFailure::kCertExpired, "certificate expired"},
        {HttpFailure::kRedirectToHttp, "redirect to http refused"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FailureText(c.code), c.text) << c.code;

    // Every code reads as words short enough for a status line, and no two
    // failures read alike.
    std::set<std::string> seen;
    int codes = 0;
    for (int code = -1; code >= -31; --code) {
        std::string text = FailureText(code);
        if (text == "unknown failure")
            continue;  // a number no failure has
        ++codes;
        EXPECT_LE(text.size(), 40u) << text;
        seen.insert(text);
    }
    EXPECT_GE(codes, 29);
    EXPECT_EQ(seen.size(), static_cast<size_t>(codes));
    EXPECT_EQ(HttpStatusText(503), "HTTP 503");
}

UpdateOutcome Outcome(UpdateOutcome::Kind kind, std::time_t when, const char* reason = "")
{
    UpdateOutcome outcome;
    outcome.kind = kind;
    outcome.when = when;
    outcome.reason = reason;
    return outcome;
}

TEST(StatusLine, SaysWhatHappenedAndSinceWhen)
{
    const std::time_t first = 1765188000;  // any two moments a minute apart
    const std::time_t later = first + 61;
    using K = UpdateOutcome::Kind;
    UpdateStatus status;
    EXPECT_EQ(status.Text(), "");
    EXPECT_FALSE(status.Warning());

    struct Step {
        UpdateOutcome outcome;
        std::string text;
        bool warning;
    } steps[] = {
        {Outcome(K::Failed, first, "connection refused"), "no rates yet: connection refused", true},
        {Outcome(K::Failed, first, "HTTP 503"), "no rates yet: HTTP 503", true},
        {Outcome(K::Updated, first), "updated " + LocalClockText(first), false},
        {Outcome(K::Failed, later, "not a rate list"),
         "no update since " + LocalClockText(first) + ": not a rate list", true},
        {Outcome(K::NotModified, later), "not modified " + LocalClockText(later), false},
        {Outcome(K::Failed, later + 5, "HTTP 429"), "no update since " + LocalClockText(later) + ": HTTP 429",
         true},
        {Outcome(K::Updated, later + 9), "updated " + LocalClockText(later + 9), false},
    };
    for (const Step& step : steps) {
        status.Record(step.outcome, 0);
        EXPECT_EQ(status.Text(), step.text);
        EXPECT_EQ(status.Warning(), step.warning) << step.text;
    }
    const std::string clock = LocalClockText(first);
    ASSERT_EQ(clock.size(), 8u);
    for (size_t i = 0; i < clock.size(); ++i)
        EXPECT_TRUE(i % 3 == 2 ? clock[i] == ':' : clock[i] >= '0' && clock[i] <= '9') << clock;
    EXPECT_NE(LocalClockText(first), LocalClockText(later));
}

UpdateOutcome From(UpdateOutcome outcome, const char* source, bool oneOfSeveral, std::time_t nextCheck = 0)
{
    outcome.source = source;
    outcome.oneOfSeveral = oneOfSeveral;
    outcome.nextCheck = nextCheck;
    return outcome;
}

TEST(StatusLine, NamesTheSourceAndTheNextCheckItAskedFor)
{
    const std::time_t first = 1765188000;
    const std::time_t next = first + 15 * 60;
    const std::string hhmm = LocalClockText(next).substr(0, 5);
    const char* const ecb = "www.ecb.europa.eu";
    const char* const frankfurter = "api.frankfurter.dev";
    using K = UpdateOutcome::Kind;
    struct Step {
        UpdateOutcome outcome;
        std::string text;
    } const steps[] = {
        // With one source, a failure needs no name; with several it does.
        {From(Outcome(K::Failed, first, "connection refused"), "127.0.0.1", false),
         "no rates yet: connection refused"},
        {From(Outcome(K::Failed, first, "HTTP 503"), frankfurter, true),
         "no rates yet: HTTP 503 from " + std::string(frankfurter)},
        {From(Outcome(K::Updated, first), frankfurter, true),
         "updated " + LocalClockText(first) + " from " + frankfurter},
        {From(Outcome(K::Updated, first), ecb, true, next),
         "updated " + LocalClockText(first) + " from " + ecb + ", next check " + hhmm},
        {From(Outcome(K::NotModified, first), ecb, false, next),
         "not modified " + LocalClockText(first) + " from " + ecb + ", next check " + hhmm},
        {From(Outcome(K::Failed, next, "certificate for another name"), ecb, true),
         "no update since " + LocalClockText(first) + ": certificate for another name from " + ecb},
    };
    UpdateStatus status;
    for (const Step& step : steps) {
        status.Record(step.outcome, 0);
        EXPECT_EQ(status.Text(), step.text);
    }
    ASSERT_EQ(hhmm.size(), 5u);
    EXPECT_EQ(hhmm[2], ':');
}

TEST(StatusLine, ASourceThatAskedToBeLeftAloneLongerGoesStaleLater)
{
    const uint32_t interval = 10000;
    UpdateStatus status;
    UpdateOutcome held = Outcome(UpdateOutcome::Kind::Updated, 2);
    held.heldMs = 30000;
    status.Record(held, 1000);
    EXPECT_EQ(status.UntilStale(1000, interval), 75000u);
    EXPECT_FALSE(status.Stale(1000 + 74999, interval));
    EXPECT_TRUE(status.Stale(1000 + 75000, interval));
    // A longer interval than the hold still counts.
    EXPECT_EQ(status.UntilStale(1000, 40000), 100000u);
}

TEST(StatusLine, StaleAfterTwoAndAHalfIntervalsWithoutSuccess)
{
    const uint32_t interval = 10000;
    using K = UpdateOutcome::Kind;
    UpdateStatus status;
    const uint64_t start = 0xFFFFC000u;  // across where a 32-bit clock wraps
    status.Record(Outcome(K::Failed, 1, "x"), start);
    EXPECT_FALSE(status.Stale(start + 100000, interval)) << "nothing shown, nothing stale";
    EXPECT_EQ(status.UntilStale(start, interval), std::nullopt);

    status.Record(Outcome(K::Updated, 2), start);
    EXPECT_EQ(status.UntilStale(start, interval), 25000u);
    status.Record(Outcome(K::Failed, 3, "x"), start + 20000);
    EXPECT_FALSE(status.Stale(start + 24999, interval));
    EXPECT_EQ(status.UntilStale(start + 24999, interval), 1u);
    EXPECT_TRUE(status.Stale(start + 25000, interval));
    EXPECT_TRUE(status.Stale(start + 60000, interval));
    EXPECT_EQ(status.UntilStale(start + 60000, interval), std::nullopt);
    status.Record(Outcome(K::NotModified, 4), start + 60000);
    EXPECT_FALSE(status.Stale(start + 60000, interval)) << "a 304 confirms the rates";
    EXPECT_TRUE(status.Stale(start + 60000, 0)) << "a zero interval is always stale";
}

// After 49.7 days of failures a 32-bit age came round to zero and the old
// rates looked fresh again. With the clock that does not wrap, read here
// with an injected offset past 2^32 ms, they stay stale for good.
TEST(StatusLine, StaysStaleHoweverLongTheFailuresLast)
{
    struct ClockReset {
        ~ClockReset() { SetClock64OffsetForTesting(0); }
    } reset;
    const uint64_t kDay = 24ull * 3600 * 1000;
    SetClock64OffsetForTesting(50 * kDay);
    const uint64_t success = ClockMilliseconds64();
    ASSERT_GT(success, uint64_t{0xFFFFFFFFu}) << "the injected clock is past 49.7 days";

    const uint32_t interval = 10000;
    using K = UpdateOutcome::Kind;
    UpdateStatus status;
    status.Record(Outcome(K::Updated, 1), success);
    const struct {
        uint64_t age;
        bool stale;
    } cases[] = {
        {0, false},
        {24999, false},
        {25000, true},
        {0xFFFFFFFFull, true},
        {0x100000000ull, true},         // a 32-bit age: 0
        {0x100000000ull + 1000, true},  // a 32-bit age: 1 s
        {0x100000000ull + 24999, true},
        {200 * kDay, true},
    };
    for (const auto& c : cases) {
        status.Record(Outcome(K::Failed, 2, "x"), success + c.age);
        EXPECT_EQ(status.Stale(success + c.age, interval), c.stale) << "age " << c.age;
        EXPECT_EQ(status.UntilStale(success + c.age, interval).has_value(), !c.stale) << "age " << c.age;
    }
    // The live clock itself, read past the injected 50 days.
    EXPECT_FALSE(status.Stale(ClockMilliseconds64(), 3600000u));
    EXPECT_TRUE(status.Stale(ClockMilliseconds64() + 0x100000000ull, interval));

    // An interval whose stale limit passes 2^32 ms: the wait is cut to what a timer takes.
    EXPECT_EQ(status.UntilStale(success, 0xFFFFFFFFu), std::optional<uint32_t>(0xFFFFFFFFu));
    EXPECT_FALSE(status.Stale(success + 0x100000000ull, 0xFFFFFFFFu));
    EXPECT_TRUE(status.Stale(success + 0x280000000ull, 0xFFFFFFFFu));
}

}  // namespace
