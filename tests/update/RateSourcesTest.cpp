// The list of rate sources: the setting taken apart, the order in which the
// sources are asked, and what each keeps of its own (back-off, Retry-After,
// freshness, validators).
#include "update/RateSources.h"
#include "base/Names.h"
#include "http/SocketLibrary.h"
#include "tests/support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

TEST(RateSourceList, TakesAddressesSeparatedByBlanksInOrderAndSaysWhatItLeftOut)
{
    struct Case {
        const char* text;
        Strings urls;
        Strings rejected;
    };
    Strings nine;
    std::string nineText;
    for (int i = 0; i < 9; ++i) {
        nine.push_back("http://127.0.0.1:" + std::to_string(9000 + i) + "/r");
        nineText += nine.back() + " ";
    }
    const Strings firstEight(nine.begin(), nine.begin() + 8);
    const Case cases[] = {
        {"", {}, {}},
        {"   \t ", {}, {}},
        {"http://a.example/r", {"http://a.example/r"}, {}},
        {" https://b.example/x \t http://c.example:81/y  ",
         {"https://b.example/x", "http://c.example:81/y"},
         {}},
        {names::kDefaultRateUrl, {names::kEcbRateUrl, names::kFrankfurterRateUrl}, {}},
        {"ftp://a.example/r http://b.example/r",
         {"http://b.example/r"},
         {"ftp://a.example/r: not an http or https address"}},
        {"http://:80/r nonsense",
         {},
         {"http://:80/r: not an http or https address", "nonsense: not an http or https address"}},
        {nineText.c_str(), firstEight, {nine.back() + ": beyond 8 addresses"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RateSourceList list = ParseRateSources(c.text);
        EXPECT_EQ(list.urls, c.urls);
        EXPECT_EQ(list.rejected, c.rejected);
    }
}

TEST(RateSourceList, NamesEachSourceByItsHost)
{
    EXPECT_EQ(SourceName(names::kEcbRateUrl), "www.ecb.europa.eu");
    EXPECT_EQ(SourceName(names::kFrankfurterRateUrl), "api.frankfurter.dev");
    EXPECT_EQ(SourceName("http://127.0.0.1:8080/rate/neo/rate.asp"), "127.0.0.1");
    EXPECT_EQ(SourceName("not an address"), "not an address");
}

// The sources on a clock the test moves, asked through a stand-in that
// answers as each source's script says and notes who was asked.
class SourceOrder : public ::testing::Test {
protected:
    static constexpr uint32_t kInterval = 10000;

    RateSources Make(size_t count)
    {
        Strings urls;
        for (size_t i = 0; i < count; ++i)
            urls.push_back("http://source" + std::to_string(i) + ".example/r");
        answers.assign(count, Ok());
        return RateSources(
            urls, [this] { return now; }, [] { return 0.5; });  // 0.5: no jitter
    }
    static UpdateOutcome Ok(const char* cacheControl = "")
    {
        UpdateOutcome outcome;
        outcome.kind = UpdateOutcome::Kind::Updated;
        outcome.cacheControl = cacheControl;
        return outcome;
    }
    static UpdateOutcome Failure(int status, const char* retryAfter = "")
    {
        UpdateOutcome outcome;
        outcome.httpStatus = status;
        outcome.reason = "HTTP " + std::to_string(status);
        outcome.retryAfter = retryAfter;
        return outcome;
    }
    // Runs one cycle; `asked` lists the sources asked in it.
    std::optional<UpdateOutcome> Cycle(RateSources& sources)
    {
        asked.clear();
        return sources.Cycle(
            [this](RateSource& source) {
                size_t index = static_cast<size_t>(source.url[std::string("http://source").size()] - '0');
                asked.push_back(index);
                UpdateOutcome outcome = answers.at(index);
                outcome.when = 1765209912;
                return outcome;
            },
            kInterval);
    }

    uint32_t now = 5000;
    std::vector<UpdateOutcome> answers;
    std::vector<size_t> asked;
};

TEST_F(SourceOrder, AFailureGoesOnToTheNextSourceInTheSameCycle)
{
    RateSources sources = Make(3);
    answers[0] = Failure(503);
    answers[1] = Failure(500);
    std::optional<UpdateOutcome> outcome = Cycle(sources);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(asked, (std::vector<size_t>{0, 1, 2}));
    EXPECT_TRUE(outcome->Succeeded());
    EXPECT_EQ(outcome->source, "source2.example");
    EXPECT_TRUE(outcome->oneOfSeveral);
    EXPECT_EQ(sources.InUse(), 2u);

    // All failing: the outcome names the last one asked.
    answers[2] = Failure(404);
    now += 40000;
    outcome = Cycle(sources);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(asked, (std::vector<size_t>{0, 1, 2}));
    EXPECT_FALSE(outcome->Succeeded());
    EXPECT_EQ(outcome->source, "source2.example");
    EXPECT_EQ(outcome->reason, "HTTP 404");
    EXPECT_EQ(sources.InUse(), 3u);
}

TEST_F(SourceOrder, ThePreferredSourceIsAskedAgainWhenItsOwnBackOffEndsAndUsedAtOnce)
{
    RateSources sources = Make(2);
    answers[0] = Failure(503);
    ASSERT_TRUE(Cycle(sources));
    EXPECT_EQ(asked, (std::vector<size_t>{0, 1}));
    // The fallback is due after one interval; the preferred one after two.
    EXPECT_EQ(sources.RemainingMs(), kInterval);
    now += kInterval;
    ASSERT_TRUE(Cycle(sources));
    EXPECT_EQ(asked, (std::vector<size_t>{1})) << "the preferred source is still held back";
    EXPECT_EQ(sources.RemainingMs(), kInterval) << "its back-off of two intervals ends now too";

    answers[0] = Ok();
    now += kInterval;
    std::optional<UpdateOutcome> outcome = Cycle(sources);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(asked, (std::vector<size_t>{0}));
    EXPECT_EQ(outcome->source, "source0.example");
    EXPECT_EQ(sources.InUse(), 0u);

    // While it answers, the fallback is left alone, due or not.
    for (int cycle = 0; cycle < 3; ++cycle) {
        EXPECT_EQ(sources.RemainingMs(), kInterval);
        now += kInterval;
        ASSERT_TRUE(Cycle(sources));
        EXPECT_EQ(asked, (std::vector<size_t>{0}));
    }
}

TEST_F(SourceOrder, APreferredSourceFailingWhileTheOneInUseRestsLeavesItsRatesStanding)
{
    RateSources sources = Make(3);
    answers[0] = Failure(503);
    answers[1] = Ok("max-age=50");
    ASSERT_TRUE(Cycle(sources));
    EXPECT_EQ(sources.InUse(), 1u);
    // The preferred source is due again after two intervals; the one in use
    // rests for 50 s, and the third is never needed meanwhile.
    now += 2 * kInterval;
    EXPECT_FALSE(Cycle(sources));
    EXPECT_EQ(asked, (std::vector<size_t>{0}));
    EXPECT_EQ(sources.InUse(), 1u);
    EXPECT_EQ(sources[0].backoff.RemainingMs(), 4 * kInterval);
    EXPECT_EQ(sources.RemainingMs(), 30000u) << "the one in use: 50 s after its answer";
}

TEST_F(SourceOrder, EachSourceKeepsItsOwnBackOffAndRetryAfter)
{
    RateSources sources = Make(2);
    answers[0] = Failure(429, "120");
    answers[1] = Failure(503);
    ASSERT_TRUE(Cycle(sources));
    EXPECT_EQ(sources[0].backoff.RemainingMs(), 120000u);
    EXPECT_EQ(sources[1].backoff.RemainingMs(), 2 * kInterval);
    EXPECT_EQ(sources.RemainingMs(), 2 * kInterval);

    // Only the second is due: a cycle asks it alone.
    now += 2 * kInterval;
    ASSERT_TRUE(Cycle(sources));
    EXPECT_EQ(asked, (std::vector<size_t>{1}));
    EXPECT_EQ(sources[1].backoff.RemainingMs(), 4 * kInterval) << "its own failures double its own wait";
    EXPECT_EQ(sources[0].backoff.RemainingMs(), 100000u);

    // Nothing due: no cycle.
    now += 1000;
    EXPECT_FALSE(Cycle(sources));
    EXPECT_TRUE(asked.empty());

    // "Update now" asks everything anyway, in order.
    answers[0] = Ok();
    sources.Clear();
    EXPECT_EQ(sources.RemainingMs(), 0u);
    ASSERT_TRUE(Cycle(sources));
    EXPECT_EQ(asked, (std::vector<size_t>{0}));
}

TEST_F(SourceOrder, AnAnswerThatStaysFreshHoldsItsSourceBackWithinAnHourBeyondTheInterval)
{
    struct Case {
        const char* cacheControl;
        uint32_t heldMs;
        bool saysWhen;
    } const cases[] = {
        {"", kInterval, false},
        {"max-age=5", kInterval, false},
        {"max-age=30", 30000, true},
        {"max-age=86400", kInterval + 3600000, true},
        {"no-cache, max-age=600", kInterval, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cacheControl);
        RateSources sources = Make(2);
        answers[0] = Ok(c.cacheControl);
        std::optional<UpdateOutcome> outcome = Cycle(sources);
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->heldMs, c.heldMs);
        EXPECT_EQ(sources.RemainingMs(), c.heldMs);
        EXPECT_EQ(outcome->nextCheck, c.saysWhen ? outcome->when + c.heldMs / 1000 : 0);
        now += c.heldMs - 1;
        EXPECT_FALSE(Cycle(sources)) << "asked before its time";
        now += 1;
        ASSERT_TRUE(Cycle(sources));
        EXPECT_EQ(asked, (std::vector<size_t>{0}));
    }
}

TEST_F(SourceOrder, AStopBeforeTheNextSourceEndsTheCycle)
{
    RateSources sources = Make(2);
    answers[0] = Failure(503);
    std::atomic<bool> stop{false};
    std::optional<UpdateOutcome> outcome = sources.Cycle(
        [&](RateSource&) {
            stop = true;
            return answers[0];
        },
        kInterval, &stop);
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->Succeeded());
    EXPECT_EQ(sources[1].backoff.RemainingMs(), 0u) << "the second was never asked";
}

// Two real servers on loopback: each source sends back only its own
// validators, and a 304 from one keeps the rates the other gave apart.
TEST(RateSourcesOnLoopback, EachSourceAsksWithItsOwnValidators)
{
    SocketLibrary sockets;
    const std::string body = "EURUSD,1.08421,1.08452,-,1.0900,1.0800,+0.12x,1.0830,-,";
    ScriptedServer first, second;
    first.SetFallback(
        {ScriptedServer::Send(ScriptedServer::Answer("200 OK", body, "ETag: \"first-1\"\r\n"))});
    second.SetFallback({ScriptedServer::Send(
        ScriptedServer::Answer("200 OK", body, "Last-Modified: Tue, 08 Dec 2026 16:00:00 GMT\r\n"))});
    RateSources sources(
        {first.Url(names::kDefaultRatePath), second.Url(names::kDefaultRatePath)}, [] { return 0u; },
        [] { return 0.5; });
    RateUpdater updater;
    SharedRates rates;
    const RateSources::Ask ask = [&](RateSource& source) {
        return updater.Update(rates, source.url, source.validators);
    };
    auto lastGet = [](const ScriptedServer& server) {
        std::string last;
        for (const std::string& request : server.Requests()) {
            if (request.rfind("GET ", 0) == 0)
                last = request;
        }
        return last;
    };

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        sources.Clear();
        ASSERT_TRUE(sources.Cycle(ask, 10000));  // the first answers
        // The second's turn: the first is held back by a failure.
        first.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("503 Busy", ""))});
        sources.Clear();
        std::optional<UpdateOutcome> outcome = sources.Cycle(ask, 10000);
        ASSERT_TRUE(outcome);
        EXPECT_TRUE(outcome->Succeeded()) << outcome->reason;
        EXPECT_EQ(outcome->source, "127.0.0.1");
        first.SetFallback(
            {ScriptedServer::Send(ScriptedServer::Answer("200 OK", body, "ETag: \"first-1\"\r\n"))});
    }
    const std::string toFirst = lastGet(first), toSecond = lastGet(second);
    EXPECT_NE(toFirst.find("If-None-Match: \"first-1\"\r\n"), std::string::npos) << toFirst;
    EXPECT_EQ(toFirst.find("If-Modified-Since"), std::string::npos) << toFirst;
    EXPECT_NE(toSecond.find("If-Modified-Since: Tue, 08 Dec 2026 16:00:00 GMT\r\n"), std::string::npos)
        << toSecond;
    EXPECT_EQ(toSecond.find("If-None-Match"), std::string::npos) << toSecond;
}

}  // namespace
