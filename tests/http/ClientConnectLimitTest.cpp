// The 10 s limit on a connect that gets no answer, on its own so that it
// runs beside the other slow tests.
#include "http/HttpClient.h"
#include "http/SocketLibrary.h"
#include "tests/http/FilledBacklog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

TEST(ConnectLimit, AnUnansweredConnectGivesUpAfter10Seconds)
{
    SocketLibrary sockets;
    FilledBacklog backlog;
    if (!backlog.Full())
        GTEST_SKIP() << "this platform answers every connect; a hanging connect cannot be staged";
    HttpClient client;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Open("http://127.0.0.1:" + std::to_string(backlog.Port()) + "/", 0), HttpClient::kConnectTimedOut);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(waited.count(), 9900);
    EXPECT_LT(waited.count(), 20000);
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kNotConnected);
}

}  // namespace
