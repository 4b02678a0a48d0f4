// The whole-request deadline against servers that drip: each byte comes
// well within the limit per wait, yet the request ends at its deadline.
#include "http/HttpClient.h"
#include "http/SocketLibrary.h"
#include "tests/support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using Server = ScriptedServer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kDeadline = 1500ms;
constexpr uint32_t kDripMs = 250;  // far below the 3000 ms allowed per header byte
// A wait may end up to one system timer tick before the clock says.
constexpr auto kTimerTick = 20ms;

const std::string kHead = "HTTP/1.1 200 OK\r\nContent-Length: 40\r\nX-Padding: dripping slowly\r\n\r\n";

class Deadline : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Listening()); }

    SocketLibrary sockets;
    Server server;
};

TEST_F(Deadline, EndsAHeaderDrippedByteByByte)
{
    // The whole drip would take about 80 pieces x 250 ms = 20 s.
    server.Expect(Server::Dribble(kHead + std::string(40, 'x'), 1, kDripMs));
    HttpClient client;
    const Clock::time_point start = Clock::now();
    client.SetDeadline(start + kDeadline);
    ASSERT_EQ(client.Open(server.Url("/"), 0), HttpClient::kOk);
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kTooSlow);
    const Clock::duration took = Clock::now() - start;
    EXPECT_EQ(client.ReadBody(), "");
    EXPECT_EQ(client.BodyStatus(), HttpClient::kTooSlow);
    EXPECT_STREQ(HttpFailureText(HttpClient::kTooSlow), "server too slow");
    EXPECT_GE(took, kDeadline - kTimerTick);
    EXPECT_LT(took, kDeadline + std::chrono::milliseconds(2 * kDripMs + 500));
}

TEST_F(Deadline, EndsABodyDrippedByteByByte)
{
    Server::Script script{Server::Send(kHead)};
    for (const Server::Step& step : Server::Dribble(std::string(40, 'x'), 1, kDripMs))
        script.push_back(step);
    server.Expect(script);
    HttpClient client;
    const Clock::time_point start = Clock::now();
    client.SetDeadline(start + kDeadline);
    ASSERT_EQ(client.Open(server.Url("/"), 0), HttpClient::kOk);
    ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
    EXPECT_EQ(client.ReadBody(), "");
    const Clock::duration took = Clock::now() - start;
    EXPECT_EQ(client.BodyStatus(), HttpClient::kTooSlow);
    EXPECT_GE(took, kDeadline - kTimerTick);
    EXPECT_LT(took, kDeadline + std::chrono::milliseconds(2 * kDripMs + 500));
}

TEST_F(Deadline, CountsTheRedirectProbesAgainstTheSameDeadline)
{
    // The probe drips; what is left for the real request is nothing.
    server.Expect(Server::Dribble(kHead, 1, kDripMs));
    server.SetFallback({Server::Send(Server::Answer("200 OK", "fast"))});
    HttpClient client;
    const Clock::time_point start = Clock::now();
    client.SetDeadline(start + kDeadline);
    EXPECT_EQ(client.Open(server.Url("/"), 3), HttpClient::kTooSlow);
    const Clock::duration took = Clock::now() - start;
    EXPECT_GE(took, kDeadline - kTimerTick);
    EXPECT_LT(took, kDeadline + std::chrono::milliseconds(2 * kDripMs + 500));
    EXPECT_EQ(server.Connections(), 1u);  // no connection once the time is up
}

TEST_F(Deadline, LeavesAFastRequestAlone)
{
    server.Expect({Server::Send(Server::Answer("200 OK", "fast"))});
    HttpClient client;
    client.SetDeadline(Clock::now() + kDeadline);
    ASSERT_EQ(client.Open(server.Url("/"), 0), HttpClient::kOk);
    ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
    EXPECT_EQ(client.ReadBody(), "fast");
    EXPECT_EQ(client.BodyStatus(), HttpClient::kOk);
}

}  // namespace
