// The client's waits against silent loopback servers: the 3000 ms limit per
// header byte, and the stop flag ending every kind of wait at once.
#include "http/HttpClient.h"
#include "http/SocketLibrary.h"
#include "base/Clock.h"
#include "tests/http/FilledBacklog.h"
#include "tests/support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <iostream>
#include <mutex>
#include <thread>

namespace {

using Server = ScriptedServer;
using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct ClockOffsetReset {
    ~ClockOffsetReset() { SetClockOffsetForTesting(0); }
};

// Raises a stop flag from another thread once `ready` holds (or `delay` has
// passed, for waits that cannot be observed from outside) and remembers
// when, so the test can measure how long the stopped call took to return.
class StopRaiser {
public:
    StopRaiser(std::function<bool()> ready, std::chrono::milliseconds delay)
        : thread([this, ready, delay] {
              if (ready) {
                  ready();
              } else {
                  std::unique_lock<std::mutex> guard(lock);
                  cancelled.wait_for(guard, delay, [this] { return done; });
              }
              raisedAt = Clock::now();
              flag.store(true);
          })
    {
    }
    ~StopRaiser() { Join(); }

    void Join()
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            done = true;
        }
        cancelled.notify_all();
        if (thread.joinable())
            thread.join();
    }
    // Milliseconds from the raise to now; call after the stopped call ended.
    long long LatencyMs()
    {
        Join();
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - raisedAt).count();
    }

    std::atomic<bool> flag{false};

private:
    std::mutex lock;
    std::condition_variable cancelled;
    bool done = false;
    Clock::time_point raisedAt;
    std::thread thread;
};

// Generous for a loaded machine and for Wine; the typical figure is printed.
constexpr long long kStopBoundMs = 500;

void ReportLatency(const char* wait, long long ms)
{
    std::cout << "stop flag ended the " << wait << " wait " << ms << " ms after it was raised\n";
    testing::Test::RecordProperty(std::string("stop_latency_ms_") + wait, static_cast<int>(ms));
}

class Waits : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Listening()); }

    SocketLibrary sockets;
    Server server;
    HttpClient client;
};

TEST_F(Waits, SilentServerEndsTheHeaderAfter3SecondsThenTheBodyIsEmpty)
{
    // Across the wrap of the millisecond clock, which must not matter.
    ClockOffsetReset reset;
    SetClockOffsetForTesting(0xFFFFFFFFu - ClockMilliseconds() - 1000u);
    server.Expect({Server::Hold()});
    ASSERT_EQ(client.Open(server.Url("/silent"), 0), HttpClient::kOk);
    auto start = Clock::now();
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kTimedOut);
    long long waited = MillisecondsSince(start);
    EXPECT_GE(waited, 2900);
    EXPECT_LT(waited, 8000);
    start = Clock::now();
    EXPECT_EQ(client.ReadBody(), "");
    EXPECT_LT(MillisecondsSince(start), 1000);  // no header block, so no body to wait for
}

TEST_F(Waits, HeaderPausesUnderTheLimitAreWaitedOut)
{
    // 3.6 s in all, but never more than 1.8 s of silence before a byte.
    server.Expect({Server::Send("HTTP/1.1 200 OK\r\n"), Server::Pause(1800), Server::Send("Content-Length: 3\r\n"),
                   Server::Pause(1800), Server::Send("\r\nabc")});
    ASSERT_EQ(client.Open(server.Url("/slow"), 0), HttpClient::kOk);
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kOk);
    EXPECT_EQ(client.ReadBody(), "abc");
}

TEST_F(Waits, StopFlagEndsTheHeaderWait)
{
    server.Expect({Server::Hold()});
    StopRaiser stop([this] { return server.WaitForRequests(1, std::chrono::seconds(10)); }, {});
    client.SetStopFlag(&stop.flag);
    ASSERT_EQ(client.Open(server.Url("/silent"), 0), HttpClient::kOk);
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kStopped);
    long long latency = stop.LatencyMs();
    ReportLatency("header", latency);
    EXPECT_LT(latency, kStopBoundMs);
    EXPECT_EQ(client.ReadBody(), "");
}

TEST_F(Waits, StopFlagEndsTheBodyWait)
{
    server.Expect({Server::Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n01234"), Server::Hold()});
    std::atomic<bool> quiet{false};
    client.SetStopFlag(&quiet);
    ASSERT_EQ(client.Open(server.Url("/half"), 0), HttpClient::kOk);
    ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
    StopRaiser stop(nullptr, std::chrono::milliseconds(300));
    client.SetStopFlag(&stop.flag);
    auto start = Clock::now();
    EXPECT_EQ(client.ReadBody(), "");
    EXPECT_GE(MillisecondsSince(start), 250);  // it was waiting when the flag rose
    long long latency = stop.LatencyMs();
    ReportLatency("body", latency);
    EXPECT_LT(latency, kStopBoundMs);
    EXPECT_EQ(client.BodyStatus(), HttpClient::kStopped);
}

TEST_F(Waits, StopFlagEndsTheRedirectProbes)
{
    server.Expect({Server::Hold()});
    StopRaiser stop([this] { return server.WaitForRequests(1, std::chrono::seconds(10)); }, {});
    client.SetStopFlag(&stop.flag);
    EXPECT_EQ(client.Open(server.Url("/probe"), 3), HttpClient::kStopped);
    long long latency = stop.LatencyMs();
    ReportLatency("probe", latency);
    EXPECT_LT(latency, kStopBoundMs);
    EXPECT_EQ(server.Connections(), 1u);  // no further probe, no GET
}

TEST_F(Waits, StopFlagEndsTheConnect)
{
    FilledBacklog backlog;
    if (!backlog.Full())
        GTEST_SKIP() << "this platform answers every connect; a hanging connect cannot be staged";
    StopRaiser stop(nullptr, std::chrono::milliseconds(300));
    client.SetStopFlag(&stop.flag);
    auto start = Clock::now();
    EXPECT_EQ(client.Open("http://127.0.0.1:" + std::to_string(backlog.Port()) + "/", 0), HttpClient::kStopped);
    EXPECT_GE(MillisecondsSince(start), 250);
    long long latency = stop.LatencyMs();
    ReportLatency("connect", latency);
    EXPECT_LT(latency, kStopBoundMs);
}

}  // namespace
