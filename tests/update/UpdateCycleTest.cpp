// Whole update cycles against scripted servers on loopback.
#include "base/Names.h"
#include "http/HttpFailure.h"
#include "http/SocketLibrary.h"
#include "tests/support/KeepAliveServer.h"
#include "tests/support/RateDocuments.h"
#include "tests/support/ScriptedServer.h"
#include "update/UpdateRates.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {
using namespace std::chrono_literals;

const std::string kPath = names::kDefaultRatePath;

// A rate list of nine fields per pair and a trailing comma.
std::string RateList(const std::vector<std::pair<std::string, std::string>>& pairs)
{
    std::string list;
    for (const auto& [code, change] : pairs)
        list += code + ",1.08501,1.08531,x,1.0900,1.0800," + change + "%,1.0850,x,";
    return list;
}

std::string Response(int status, const std::string& body)
{
    return ScriptedServer::Answer(std::to_string(status) + " Whatever", body);
}

// One cycle's worth of scripts: the two redirect probes find no redirect,
// then the GET gets `answer`.
void ExpectCycle(ScriptedServer& server, ScriptedServer::Script answer)
{
    const std::string noRedirect = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
    server.Expect({ScriptedServer::Send(noRedirect)});
    server.Expect({ScriptedServer::Send(noRedirect)});
    server.Expect(std::move(answer));
}

void ExpectCycle(ScriptedServer& server, const std::string& response)
{
    ExpectCycle(server, ScriptedServer::Script{ScriptedServer::Send(response)});
}

std::size_t Samples(const SharedRates& rates)
{
    std::size_t total = 0;
    for (const FXRate& rate : *rates.Lock())
        total += rate.history.size();
    return total;
}

std::vector<std::string> Codes(const SharedRates& rates)
{
    std::vector<std::string> codes;
    for (const FXRate& rate : *rates.Lock())
        codes.push_back(rate.code);
    return codes;
}

// A first cycle that makes two records, EURUSD and USDJPY, one sample each.
bool Populate(ScriptedServer& server, SharedRates& shared)
{
    ExpectCycle(server, Response(200, RateList({{"EURUSD", "0.10"}, {"USDJPY", "-0.20"}})));
    UpdateRates(shared, server.Url(kPath));
    return Samples(shared) == 2u;
}

class UpdateCycle : public ::testing::Test {
protected:
    SocketLibrary sockets;
    SharedRates rates;
};
}  // namespace

TEST_F(UpdateCycle, FirstCycleUnreachableSecondReachable)
{
    uint16_t deadPort;
    {
        Socket closed = Socket::Listen("127.0.0.1", 0);
        deadPort = closed.LocalPort();
    }
    ASSERT_NE(deadPort, 0);
    UpdateRates(rates, "http://127.0.0.1:" + std::to_string(deadPort) + kPath);
    EXPECT_TRUE(rates.Lock()->empty());

    ScriptedServer server;
    ASSERT_TRUE(server.Listening());
    ExpectCycle(server,
                Response(200, RateList({{"EURUSD", "0.10"}, {"USDJPY", "-0.20"}, {"GBPUSD", "0.00"}})));
    UpdateRates(rates, server.Url(kPath));
    EXPECT_EQ(Codes(rates), (std::vector<std::string>{"EURUSD", "USDJPY", "GBPUSD"}));
    for (const FXRate& rate : *rates.Lock())
        EXPECT_EQ(rate.history.size(), 1u) << rate.code;

    // The cycle probes twice for redirects and then fetches the page.
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].rfind("HEAD " + kPath + " HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(requests[1].rfind("HEAD " + kPath + " HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(requests[2].rfind("GET " + kPath + " HTTP/1.1\r\n", 0), 0u);
}

TEST_F(UpdateCycle, OnlyASuccessfulAnswerIsMerged)
{
    struct StatusCase {
        int status;
        bool merged;
    };
    const StatusCase cases[] = {{200, true},  {203, true},  {299, true},  {301, false},
                                {304, false}, {404, false}, {500, false}, {503, false}};
    // The error page looks like a rate list, with codes never seen before
    // and with the known one: neither may reach the records.
    const std::string errorLike = RateList({{"ERROR1", "9.99"}, {"EURUSD", "0.50"}, {"ERROR2", "1.00"}});
    for (const StatusCase& test : cases) {
        for (bool populated : {false, true}) {
            SCOPED_TRACE("status " + std::to_string(test.status) + (populated ? ", populated" : ", empty"));
            SharedRates shared;
            ScriptedServer server;
            ASSERT_TRUE(server.Listening());
            if (populated) {
                ASSERT_TRUE(Populate(server, shared));
            }
            ExpectCycle(server, Response(test.status, errorLike));
            UpdateRates(shared, server.Url(kPath));
            ASSERT_TRUE(server.WaitForRequests(populated ? 6 : 3, 10s));
            const auto access = shared.Lock();
            if (!test.merged) {
                EXPECT_EQ(access->size(), populated ? 2u : 0u);
                for (const FXRate& rate : *access) {
                    EXPECT_EQ(rate.history.size(), 1u) << rate.code;
                    EXPECT_NE(rate.changeText, "0.50");
                }
            } else if (populated) {
                // A 2xx list is the source's: its new codes follow the records.
                ASSERT_EQ(access->size(), 4u);
                EXPECT_EQ((*access)[0].changeText, "0.50");
                EXPECT_EQ((*access)[0].history.size(), 2u);
                EXPECT_EQ((*access)[1].history.size(), 1u);
                EXPECT_EQ((*access)[2].code, "ERROR1");
                EXPECT_EQ((*access)[3].code, "ERROR2");
            } else {
                ASSERT_EQ(access->size(), 3u);
                EXPECT_EQ((*access)[0].code, "ERROR1");
            }
        }
    }
}

TEST_F(UpdateCycle, EmptyOrCutShortBodiesChangeNothing)
{
    const std::string list = RateList({{"EURUSD", "0.10"}, {"USDJPY", "-0.20"}, {"GBPUSD", "0.30"}});
    const std::string truncated = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(list.size()) +
                                  "\r\n\r\n" + list.substr(0, list.size() * 2 / 3);
    // A list cut short would make or move records from a broken answer.
    const std::vector<ScriptedServer::Script> answers = {
        {ScriptedServer::Send(Response(200, ""))},
        {ScriptedServer::Send(truncated), ScriptedServer::Close()},
        {ScriptedServer::Send(truncated), ScriptedServer::Reset()},
        {ScriptedServer::Close()},
    };
    for (bool populated : {false, true}) {
        for (std::size_t i = 0; i < answers.size(); ++i) {
            SCOPED_TRACE("answer " + std::to_string(i) + (populated ? ", populated" : ", empty"));
            SharedRates shared;
            ScriptedServer server;
            ASSERT_TRUE(server.Listening());
            if (populated) {
                ASSERT_TRUE(Populate(server, shared));
            }
            ExpectCycle(server, answers[i]);
            UpdateRates(shared, server.Url(kPath));
            EXPECT_EQ(shared.Lock()->size(), populated ? 2u : 0u);
            EXPECT_EQ(Samples(shared), populated ? 2u : 0u);
        }
    }
}

TEST_F(UpdateCycle, ReadersAreNotHeldUpByTheDownload)
{
    ScriptedServer server;
    ASSERT_TRUE(server.Listening());
    ExpectCycle(server, Response(200, RateList({{"EURUSD", "0.10"}, {"USDJPY", "-0.20"}})));
    std::thread cycle;
    {
        // A reader holds the list for the whole download: the probes and
        // the request still go out, so the cycle cannot be waiting for the
        // lock before it has its answer.
        auto reader = rates.Lock();
        cycle = std::thread([&] { UpdateRates(rates, server.Url(kPath)); });
        EXPECT_TRUE(server.WaitForRequests(3, 20s));
        EXPECT_TRUE(reader->empty());
    }
    cycle.join();
    EXPECT_EQ(Codes(rates), (std::vector<std::string>{"EURUSD", "USDJPY"}));
}

TEST_F(UpdateCycle, TheStopFlagEndsTheCycleWithoutFurtherRequests)
{
    ScriptedServer server;
    ASSERT_TRUE(server.Listening());
    server.Expect({ScriptedServer::Hold()});  // the first probe never gets an answer
    std::atomic<bool> stop{false};
    std::thread cycle([&] { UpdateRates(rates, server.Url(kPath), &stop); });
    ASSERT_TRUE(server.WaitForRequests(1, 20s));
    stop = true;
    cycle.join();
    EXPECT_EQ(server.Connections(), 1u) << "no probe or request after the stop";
    EXPECT_TRUE(rates.Lock()->empty());
}

TEST_F(UpdateCycle, EachShapeOfPageMakesItsRowsAndABrokenPageKeepsThem)
{
    for (const SampleRatePage& page : SampleRatePages()) {
        SCOPED_TRACE(page.name);
        SharedRates shared;
        ScriptedServer server;
        ASSERT_TRUE(server.Listening());
        ExpectCycle(server, Response(200, page.body));
        UpdateRates(shared, server.Url(kPath));
        std::vector<std::string> rows;
        for (const FXRate& rate : *shared.Lock())
            rows.push_back(rate.code + " " + rate.priceText + " " + rate.changeText);
        EXPECT_EQ(rows, page.rows);

        // Pages that are no rate list of any shape change nothing.
        for (const std::string& broken : {page.body.substr(0, page.body.size() / 2),
                                          std::string("<html><body>Service unavailable</body></html>"),
                                          std::string("{\"error\":\"quota exceeded\"}")}) {
            ExpectCycle(server, Response(200, broken));
            UpdateRates(shared, server.Url(kPath));
        }
        EXPECT_EQ(Samples(shared), page.rows.size());
    }
}

TEST_F(UpdateCycle, EachCycleSaysWhatCameOfIt)
{
    const std::string list = RateList({{"EURUSD", "0.10"}, {"USDJPY", "-0.20"}, {"GBPUSD", "0.30"}});
    const std::string cut = "HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n" + list.substr(0, 40);
    using K = UpdateOutcome::Kind;
    struct Case {
        const char* name;
        ScriptedServer::Script answer;
        K kind;
        size_t pairs;
        int status;
        std::string reason;
        std::string retryAfter;
    } cases[] = {
        {"a list", {ScriptedServer::Send(Response(200, list))}, K::Updated, 3, 200, "", ""},
        {"304 unasked",
         {ScriptedServer::Send("HTTP/1.1 304 Not Modified\r\n\r\n")},
         K::Failed,
         0,
         304,
         "HTTP 304",
         ""},
        {"503",
         {ScriptedServer::Send("HTTP/1.1 503 Busy\r\nRetry-After: 25\r\nContent-Length: 0\r\n\r\n")},
         K::Failed,
         0,
         503,
         "HTTP 503",
         "25"},
        {"429",
         {ScriptedServer::Send("HTTP/1.1 429 Slow Down\r\nretry-after:  120 \r\n\r\n")},
         K::Failed,
         0,
         429,
         "HTTP 429",
         "120"},
        {"404 with a list", {ScriptedServer::Send(Response(404, list))}, K::Failed, 0, 404, "HTTP 404", ""},
        {"no pairs",
         {ScriptedServer::Send(Response(200, "<html>busy</html>"))},
         K::Failed,
         0,
         200,
         "not a rate list",
         ""},
        {"cut short",
         {ScriptedServer::Send(cut), ScriptedServer::Close()},
         K::Failed,
         0,
         200,
         "body cut short",
         ""},
        {"closed", {ScriptedServer::Close()}, K::Failed, 0, 0, "connection closed without an answer", ""},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        SharedRates shared;
        ScriptedServer server;
        ASSERT_TRUE(server.Listening());
        ExpectCycle(server, std::move(c.answer));
        std::time_t before = std::time(nullptr);
        UpdateOutcome outcome = UpdateRates(shared, server.Url(kPath));
        EXPECT_EQ(outcome.kind, c.kind);
        EXPECT_EQ(outcome.pairs, c.pairs);
        EXPECT_EQ(outcome.httpStatus, c.status);
        EXPECT_EQ(outcome.reason, c.reason);
        EXPECT_EQ(outcome.retryAfter, c.retryAfter);
        EXPECT_GE(outcome.when, before);
        EXPECT_LE(outcome.when, std::time(nullptr));
    }

    uint16_t deadPort;
    {
        Socket closed = Socket::Listen("127.0.0.1", 0);
        deadPort = closed.LocalPort();
    }
    // A cycle that fails before any answer still reports its length.
    testing::internal::CaptureStdout();
    UpdateOutcome refused = UpdateRates(rates, "http://127.0.0.1:" + std::to_string(deadPort) + kPath);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ContentLen:0\n");
    EXPECT_EQ(refused.kind, K::Failed);
    EXPECT_EQ(refused.reason, "connection refused");
#ifndef _WIN32
    EXPECT_EQ(UpdateRates(rates, "https://127.0.0.1/").reason, "https not available here");
#endif
}

TEST_F(UpdateCycle, AsksAgainWithTheValidatorsAndTakesA304AsNoChange)
{
    ScriptedServer server;
    const std::string list = RateList({{"EURUSD", "0.10"}, {"USDJPY", "-0.20"}});
    auto withHeaders = [&](const std::string& headers) {
        return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " + std::to_string(list.size()) +
               "\r\n\r\n" + list;
    };
    const std::string notModified = "HTTP/1.1 304 Not Modified\r\nETag: \"v1\"\r\n\r\n";
    const std::string both = "If-Modified-Since: Tue, 08 Dec 2026 09:00:00 GMT\r\nIf-None-Match: \"v1\"\r\n";
    using Kind = UpdateOutcome::Kind;
    struct Cycle {
        const char* name;
        std::string answer;
        Kind kind;
        int result;
        std::string askedWith;  // the conditional lines of this cycle's GET, "" for none
        std::size_t samples;    // after the cycle
    };
    const Cycle cycles[] = {
        {"first: validators come",
         withHeaders("ETag: \"v1\"\r\nLast-Modified: Tue, 08 Dec 2026 09:00:00 GMT\r\n"), Kind::Updated,
         HttpFailure::kOk, "", 2},
        {"unchanged", notModified, Kind::NotModified, HttpFailure::kOk, both, 2},
        {"unchanged again", notModified, Kind::NotModified, HttpFailure::kOk, both, 2},
        {"changed, only a date now", withHeaders("Last-Modified: Tue, 08 Dec 2026 10:00:00 GMT\r\n"),
         Kind::Updated, HttpFailure::kOk, both, 4},
        {"a control byte is no validator", withHeaders("ETag: \"bad\x01\"\r\n"), Kind::Updated,
         HttpFailure::kOk, "If-Modified-Since: Tue, 08 Dec 2026 10:00:00 GMT\r\n", 6},
        {"an error answer", "HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n", Kind::Failed, 500, "", 6},
        {"validators again", withHeaders("ETag: \"v2\"\r\n"), Kind::Updated, HttpFailure::kOk, "", 8},
        {"too long to send back", withHeaders("ETag: \"" + std::string(300, 'x') + "\"\r\n"), Kind::Updated,
         HttpFailure::kOk, "If-None-Match: \"v2\"\r\n", 10},
        {"so none are sent", withHeaders(""), Kind::Updated, HttpFailure::kOk, "", 12},
    };
    RateUpdater updater;
    std::size_t connections = 0;
    for (const Cycle& c : cycles) {
        SCOPED_TRACE(c.name);
        ExpectCycle(server, c.answer);
        EXPECT_EQ(updater.Update(rates, server.Url(kPath)).kind, c.kind);
        EXPECT_EQ(updater.LastResult(), c.result);
        connections += 3;
        ASSERT_TRUE(server.WaitForRequests(connections, 10s));
        const std::string get = server.Requests().back();
        const std::string expected =
            "Host: " + server.HostPort() + "\r\n" + c.askedWith + "Connection: Keep-Alive";
        EXPECT_NE(get.find(expected), std::string::npos) << get;
        EXPECT_EQ(Samples(rates), c.samples);
    }
    // Validators belong to the URL that gave them.
    ExpectCycle(server, withHeaders("ETag: \"v2\"\r\n"));
    ExpectCycle(server, withHeaders(""));
    EXPECT_EQ(updater.Update(rates, server.Url(kPath)).kind, UpdateOutcome::Kind::Updated);
    EXPECT_EQ(updater.Update(rates, server.Url("/elsewhere")).kind, UpdateOutcome::Kind::Updated);
    ASSERT_TRUE(server.WaitForRequests(connections + 6, 10s));
    EXPECT_EQ(server.Requests().back().find("If-"), std::string::npos);
}

TEST_F(UpdateCycle, AnUnreadableTrustedCertificateFailsEveryCycleWithoutANetworkRequest)
{
    ScriptedServer server;
    RateUpdater updater;
    updater.SetTrustFailure(HttpFailure::kCertUnreadable);
    UpdateOutcome outcome = updater.Update(rates, server.Url(kPath));
    EXPECT_EQ(outcome.reason, "trusted certificate file unreadable");
    EXPECT_EQ(updater.LastResult(), HttpFailure::kCertUnreadable);
    EXPECT_EQ(server.Connections(), 0u);
    EXPECT_TRUE(Codes(rates).empty());
}

namespace {
std::string EcbDay(const std::string& usd, const std::string& jpy)
{
    return "<gesmes:Envelope><Cube><Cube time='2026-12-07'><Cube currency='USD' rate='" + usd +
           "'/><Cube currency='JPY' rate='" + jpy +
           "'/><Cube currency='GBP' rate='0.86245'/></Cube></Cube>"
           "</gesmes:Envelope>";
}
}  // namespace

// Pairs the source does not quote, made from two of the document's quotes
// each cycle and shown like the document's own: their change is from the
// first price this run saw, a cycle that cannot make them leaves them as
// they were, and a list (no document) makes none.
TEST_F(UpdateCycle, WantedPairsTheDocumentDoesNotQuoteAreMadeFromItsQuotes)
{
    ScriptedServer server;
    ASSERT_TRUE(server.Listening());
    RateUpdater updater;
    updater.SetWantedPairs({"USDJPY", "gbpusd", "USDCHF", "EURUSD"});
    struct Cycle {
        const char* name;
        std::string body;
        std::vector<std::string> rows;  // "CODE price change", in record order
    } const cycles[] = {
        {"the ECB's day",
         EcbDay("1.0855", "161.50"),
         {"EURUSD 1.0855 +0.00", "EURJPY 161.50 +0.00", "EURGBP 0.86245 +0.00", "USDJPY 148.78 +0.00",
          "GBPUSD 1.2586 +0.00"}},
        {"the next day: the crosses move from their first price",
         EcbDay("1.0800", "163.00"),
         {"EURUSD 1.0800 -0.51", "EURJPY 163.00 +0.93", "EURGBP 0.86245 +0.00", "USDJPY 150.93 +1.45",
          "GBPUSD 1.2522 -0.51"}},
        {"a day without the yen: USDJPY keeps what it had",
         "<Cube><Cube currency='USD' rate='1.0900'/><Cube currency='GBP' rate='0.86245'/></Cube>",
         {"EURUSD 1.0900 +0.41", "EURJPY 163.00 +0.93", "EURGBP 0.86245 +0.00", "USDJPY 150.93 +1.45",
          "GBPUSD 1.2638 +0.41"}},
        {"a list makes no crosses",
         RateList({{"EURUSD", "0.10"}}),
         {"EURUSD 1.0850 - 53 0.10", "EURJPY 163.00 +0.93", "EURGBP 0.86245 +0.00", "USDJPY 150.93 +1.45",
          "GBPUSD 1.2638 +0.41"}},
    };
    for (const Cycle& c : cycles) {
        SCOPED_TRACE(c.name);
        ExpectCycle(server, Response(200, c.body));
        ASSERT_EQ(updater.Update(rates, server.Url(kPath)).kind, UpdateOutcome::Kind::Updated);
        std::vector<std::string> rows;
        for (const FXRate& rate : *rates.Lock())
            rows.push_back(rate.code + " " + rate.priceText + " " + rate.changeText);
        EXPECT_EQ(rows, c.rows);
    }
}

TEST_F(UpdateCycle, ADrippingServerEndsTheCycleAtItsDeadlineAsTooSlow)
{
    ScriptedServer server;
    ASSERT_TRUE(server.Listening());
    // The first probe's answer, one byte every 200 ms: about 8 s in all,
    // with no wait anywhere near the 3 s allowed per header byte.
    server.Expect(
        ScriptedServer::Dribble("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX-Pad: 0123456789\r\n\r\n", 1, 200));
    server.SetFallback({ScriptedServer::Send(Response(200, RateList({{"EURUSD", "0.10"}})))});
    RateUpdater updater;
    const auto limit = 1500ms;
    updater.SetCycleLimit(limit);
    const auto start = std::chrono::steady_clock::now();
    const UpdateOutcome outcome = updater.Update(rates, server.Url(kPath));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(outcome.Succeeded());
    EXPECT_EQ(outcome.reason, "server too slow");
    EXPECT_EQ(updater.LastResult(), HttpFailure::kTooSlow);
    EXPECT_GE(took, limit);
    EXPECT_LT(took, limit + 1000ms);
    EXPECT_TRUE(rates.Lock()->empty());

    // The next cycle has a whole limit of its own again (on a server of its
    // own: this one serves its connections one after the other).
    server.Stop();
    ScriptedServer prompt;
    ASSERT_TRUE(prompt.Listening());
    prompt.SetFallback({ScriptedServer::Send(Response(200, RateList({{"EURUSD", "0.10"}})))});
    const UpdateOutcome next = updater.Update(rates, prompt.Url(kPath));
    EXPECT_TRUE(next.Succeeded()) << next.reason;
    EXPECT_EQ(Codes(rates), std::vector<std::string>{"EURUSD"});
}

TEST_F(UpdateCycle, TenCyclesOfOneUpdaterTakeOneConnectionWhileTheServerKeepsIt)
{
    const std::string list = RateList({{"EURUSD", "0.10"}, {"USDJPY", "-0.20"}});
    for (const bool serverCloses : {false, true}) {
        SCOPED_TRACE(serverCloses ? "the server closes after each GET" : "the server keeps its connection");
        // Closing after the GET, without a word: the next cycle finds the
        // connection gone and must not fail for it.
        KeepAliveServer server([&](const std::string& request, size_t) {
            return KeepAliveServer::Reply{KeepAliveServer::Ok(request, list),
                                          serverCloses && request.compare(0, 4, "GET ") == 0};
        });
        ASSERT_TRUE(server.Listening());
        SharedRates shared;
        RateUpdater updater;
        for (int cycle = 0; cycle < 10; ++cycle) {
            const UpdateOutcome outcome = updater.Update(shared, server.Url(kPath));
            EXPECT_TRUE(outcome.Succeeded()) << cycle << ": " << outcome.reason;
        }
        EXPECT_EQ(Samples(shared), 20u);
        EXPECT_EQ(server.Requests(), 30u);
        EXPECT_EQ(server.Connections(), serverCloses ? 10u : 1u);
    }
}
