// Where each source's history is read, and a history read over loopback.
#include "update/SourceHistory.h"
#include "base/Names.h"
#include "base/UtcTime.h"
#include "http/SocketLibrary.h"
#include "tests/support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

namespace {

TEST(SourceHistory, EachSourceHasItsAddress)
{
    const int64_t now = DaysFromCivil(2026, 12, 8) * kMillisecondsPerDay + 3600000;
    struct Case {
        std::string rateUrl;
        std::string historyUrl;
        std::string expected;
    } const cases[] = {
        {names::kEcbRateUrl, "", "https://www.ecb.europa.eu/stats/eurofxref/eurofxref-hist-90d.xml"},
        {names::kEcbRateUrl, "http://elsewhere/h.xml",
         "https://www.ecb.europa.eu/stats/eurofxref/eurofxref-hist-90d.xml"},
        {names::kFrankfurterRateUrl, "", "https://api.frankfurter.dev/v1/2026-09-09.."},
        {"http://127.0.0.1:8080/rate/neo/rate.asp", "", ""},
        {"http://127.0.0.1:8080/daily.xml", "http://127.0.0.1:8080/hist.xml",
         "http://127.0.0.1:8080/hist.xml"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HistoryAddressFor(c.rateUrl, c.historyUrl, now), c.expected) << c.rateUrl;
}

TEST(SourceHistory, ReadOverLoopbackOrRefusedWithAReason)
{
    SocketLibrary sockets;
    const std::string range = "{\"base\":\"EUR\",\"start_date\":\"2026-09-01\",\"end_date\":\"2026-09-02\","
                              "\"rates\":{\"2026-09-02\":{\"USD\":1.1},\"2026-09-01\":{\"USD\":1.09}}}";
    struct Case {
        std::string answer;
        bool read;
    } const cases[] = {
        {ScriptedServer::Answer("200 OK", range), true},
        {ScriptedServer::Answer("404 Not Found", range), false},
        {ScriptedServer::Answer("200 OK", "not a history"), false},
        {ScriptedServer::Answer("200 OK", range.substr(0, range.size() / 2)), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.substr(0, 40));
        ScriptedServer server;
        ASSERT_TRUE(server.Listening());
        server.SetFallback({ScriptedServer::Send(c.answer)});
        RateHistory history;
        std::string failure;
        const std::atomic<bool> stop{false};
        EXPECT_EQ(FetchRateHistory(server.Url("/v1/2026-09-01.."), &stop,
                                   std::chrono::steady_clock::now() + std::chrono::seconds(10), nullptr,
                                   std::string(), history, failure),
                  c.read)
            << failure;
        if (c.read) {
            ASSERT_EQ(history.pairs.size(), 1u);
            EXPECT_EQ(history.pairs[0].code, "EURUSD");
            ASSERT_EQ(history.pairs[0].points.size(), 2u);
            EXPECT_DOUBLE_EQ(history.pairs[0].points[0].value, 1.09);
        } else {
            EXPECT_FALSE(failure.empty());
            EXPECT_TRUE(history.pairs.empty());
        }
    }
}

}  // namespace
