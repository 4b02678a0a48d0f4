// The body's 12 s idle limit, on its own so that it runs beside the other
// slow tests instead of after them.
#include "http/HttpClient.h"
#include "http/SocketLibrary.h"
#include "tests/support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(BodyIdleLimit, ABodyThatStopsComingIsDroppedAfter12Seconds)
{
    SocketLibrary sockets;
    ScriptedServer server;
    ASSERT_TRUE(server.Listening());
    server.Expect({ScriptedServer::Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n01234"), ScriptedServer::Hold()});
    HttpClient client;
    ASSERT_EQ(client.Open(server.Url("/half"), 0), HttpClient::kOk);
    ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.ReadBody(), "");
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(waited.count(), 11900);
    EXPECT_LT(waited.count(), 20000);
    EXPECT_EQ(client.BodyStatus(), HttpClient::kTimedOut);
}

}  // namespace
