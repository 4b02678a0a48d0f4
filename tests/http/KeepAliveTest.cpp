// Kept connections: which answers keep one, how long, the one retry of a
// connection found closed, and how many connections runs of cycles take
// against loopback servers that keep theirs.
#include "http/HttpClient.h"
#include "http/KeptConnection.h"
#include "http/ResponseHead.h"
#include "http/SocketLibrary.h"
#include "tests/support/KeepAliveServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using namespace std::chrono_literals;
using Kind = BodyFraming::Kind;
using Reply = KeepAliveServer::Reply;
using Clock = std::chrono::steady_clock;

const std::string kPath = "/rates";

TEST(KeepLimit, KeepsOnlyWhatHttp11AllowsForAsLongAsTheServerSays)
{
    struct Case {
        const char* name;
        std::string head;
        Kind framing;
        uint32_t limitMs;
    };
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const Case cases[] = {
        {"length", ok + "Content-Length: 3\r\n\r\n", Kind::Length, KeptConnection::kIdleLimitMs},
        {"chunked", ok + "Transfer-Encoding: chunked\r\n\r\n", Kind::Chunked, KeptConnection::kIdleLimitMs},
        {"no body", "HTTP/1.1 304 Not Modified\r\n\r\n", Kind::None, KeptConnection::kIdleLimitMs},
        {"keep-alive asked", ok + "Connection: keep-alive\r\n\r\n", Kind::Length,
         KeptConnection::kIdleLimitMs},
        {"close", ok + "Connection: close\r\n\r\n", Kind::Length, 0},
        {"close in lower case", ok + "connection: CLOSE\r\n\r\n", Kind::Length, 0},
        {"close in a list", ok + "Connection: Upgrade, close\r\n\r\n", Kind::Length, 0},
        {"close on a second line", ok + "Connection: keep-alive\r\nConnection: close\r\n\r\n", Kind::Length,
         0},
        {"closed is no close", ok + "Connection: closed\r\n\r\n", Kind::Length, KeptConnection::kIdleLimitMs},
        {"http/1.0", "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\n\r\n", Kind::Length, 0},
        {"framed by the close", ok + "\r\n", Kind::UntilClose, 0},
        {"framing not trusted", ok + "\r\n", Kind::Malformed, 0},
        {"body too large", ok + "\r\n", Kind::TooLarge, 0},
        {"switching protocols", "HTTP/1.1 101 Switching Protocols\r\n\r\n", Kind::None, 0},
        {"timeout", ok + "Keep-Alive: timeout=5, max=100\r\n\r\n", Kind::Length, 5000},
        {"timeout in lower case", ok + "keep-alive: max=3, Timeout=2\r\n\r\n", Kind::Length, 2000},
        {"timeout over the limit", ok + "Keep-Alive: timeout=600\r\n\r\n", Kind::Length,
         KeptConnection::kIdleLimitMs},
        {"huge timeout", ok + "Keep-Alive: timeout=99999999999999\r\n\r\n", Kind::Length,
         KeptConnection::kIdleLimitMs},
        {"timeout zero", ok + "Keep-Alive: timeout=0\r\n\r\n", Kind::Length, 0},
        {"timeout not a number", ok + "Keep-Alive: timeout=soon\r\n\r\n", Kind::Length,
         KeptConnection::kIdleLimitMs},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeptConnection::KeepLimitMs(c.head, static_cast<int>(c.framing)), c.limitMs) << c.name;
}

// One update cycle's worth of requests on `kept`: the redirect probes, then
// the GET. The body, or "" with `code` saying why.
std::string Cycle(KeptConnection& kept, const std::string& url, int& code)
{
    HttpClient client;
    client.UseConnection(&kept);
    code = client.Open(url, 3);
    if (code == HttpClient::kOk)
        code = client.SendRequest("GET");
    std::string body = client.ReadBody();
    if (code == HttpClient::kOk)
        code = client.BodyStatus();
    return body;
}

class KeepAlive : public testing::Test {
protected:
    SocketLibrary sockets;
    KeptConnection kept;
};

TEST_F(KeepAlive, TenCyclesTakeOneConnection)
{
    KeepAliveServer server(
        [](const std::string& request, size_t) { return Reply{KeepAliveServer::Ok(request, "1.2345")}; });
    ASSERT_TRUE(server.Listening());
    for (int cycle = 0; cycle < 10; ++cycle) {
        int code = 0;
        EXPECT_EQ(Cycle(kept, server.Url(kPath), code), "1.2345") << cycle;
        EXPECT_EQ(code, HttpClient::kOk) << cycle;
    }
    EXPECT_EQ(server.Requests(), 30u);  // two probes and a GET each time
    EXPECT_EQ(server.Connections(), 1u);
    EXPECT_EQ(kept.Opened(), 1u);
    EXPECT_TRUE(kept.IsOpen());
}

TEST_F(KeepAlive, AServerClosingBetweenCyclesCostsNoFailedCycle)
{
    // Each connection ends after the GET, without saying so beforehand.
    KeepAliveServer server([](const std::string& request, size_t onConnection) {
        return Reply{KeepAliveServer::Ok(request, "1.2345"), onConnection == 2};
    });
    ASSERT_TRUE(server.Listening());
    for (int cycle = 0; cycle < 10; ++cycle) {
        int code = 0;
        EXPECT_EQ(Cycle(kept, server.Url(kPath), code), "1.2345") << cycle;
        EXPECT_EQ(code, HttpClient::kOk) << cycle;
    }
    EXPECT_EQ(server.Connections(), 10u);
}

TEST_F(KeepAlive, AKeptConnectionFoundClosedGetsTheRequestOnceMoreOnAFreshOne)
{
    // The first connection carries one cycle, then closes on the next
    // request without a byte of answer (as a server does when its idle
    // limit ends just as the request arrives).
    KeepAliveServer server([](const std::string& request, size_t onConnection) {
        return onConnection < 3 ? Reply{KeepAliveServer::Ok(request, "1.2345")} : Reply{"", true};
    });
    ASSERT_TRUE(server.Listening());
    int code = 0;
    EXPECT_EQ(Cycle(kept, server.Url(kPath), code), "1.2345");
    EXPECT_EQ(Cycle(kept, server.Url(kPath), code), "1.2345");
    EXPECT_EQ(code, HttpClient::kOk);
    EXPECT_EQ(server.Requests(), 7u);  // the dropped probe and its repetition
    EXPECT_EQ(server.Connections(), 2u);
}

TEST_F(KeepAlive, RepeatsARequestOnlyOnceAndOnlyAfterAReusedConnection)
{
    // One cycle's worth of answers on the first connection, then nothing
    // but closes.
    std::atomic<int> answered{0};
    KeepAliveServer server([&](const std::string& request, size_t) {
        return ++answered <= 3 ? Reply{KeepAliveServer::Ok(request, "1.2345")} : Reply{"", true};
    });
    ASSERT_TRUE(server.Listening());
    int code = 0;
    EXPECT_EQ(Cycle(kept, server.Url(kPath), code), "1.2345");
    EXPECT_EQ(Cycle(kept, server.Url(kPath), code), "");
    EXPECT_EQ(code, HttpClient::kNoAnswer);
    // First probe: the kept connection, then once more on a fresh one;
    // second probe and GET: a fresh connection each, not repeated.
    EXPECT_EQ(server.Requests(), 3u + 2u + 1u + 1u);
    EXPECT_EQ(server.Connections(), 4u);
    EXPECT_FALSE(kept.IsOpen());
}

TEST_F(KeepAlive, ClosesAfterAnswersThatDoNotKeep)
{
    const std::string body = "1.2345";
    const struct {
        const char* name;
        std::string head;  // status line and header lines
        bool sendsLength;
    } cases[] = {
        {"connection close", "HTTP/1.1 200 OK\r\nConnection: close\r\n", true},
        {"http/1.0", "HTTP/1.0 200 OK\r\n", true},
        {"framed by the close", "HTTP/1.1 200 OK\r\n", false},
        {"keep-alive timeout 0", "HTTP/1.1 200 OK\r\nKeep-Alive: timeout=0\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KeepAliveServer server([&](const std::string& request, size_t) {
            const bool head = request.compare(0, 5, "HEAD ") == 0;
            std::string answer = c.head + (c.sendsLength ? "Content-Length: 6\r\n" : "") + "\r\n";
            return Reply{head ? answer : answer + body, true};
        });
        ASSERT_TRUE(server.Listening());
        KeptConnection connection;
        for (int cycle = 0; cycle < 2; ++cycle) {
            int code = 0;
            EXPECT_EQ(Cycle(connection, server.Url(kPath), code), body);
            EXPECT_EQ(code, HttpClient::kOk);
            EXPECT_FALSE(connection.IsOpen());
        }
        EXPECT_EQ(server.Connections(), 6u);
        EXPECT_EQ(server.Requests(), 6u);
    }
}

TEST_F(KeepAlive, KeepsAConnectionNoLongerThanTheIdleLimitOrTheServersTimeout)
{
    const struct {
        const char* name;
        std::string headers;
        std::chrono::milliseconds limit;
    } cases[] = {
        {"no timeout given", "", std::chrono::milliseconds(KeptConnection::kIdleLimitMs)},
        {"timeout=2", "Keep-Alive: timeout=2\r\n", 2000ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KeepAliveServer server([&](const std::string& request, size_t) {
            return Reply{KeepAliveServer::Ok(request, "1", c.headers)};
        });
        ASSERT_TRUE(server.Listening());
        KeptConnection connection;
        int code = 0;
        const Clock::time_point before = Clock::now();
        EXPECT_EQ(Cycle(connection, server.Url(kPath), code), "1");
        const Clock::time_point after = Clock::now();
        Url same;
        ASSERT_EQ(ParseUrl(server.Url("/other"), same), UrlError::None);
        Url otherPort = same;
        otherPort.port = static_cast<uint16_t>(same.port + 1);
        Url secure = same;
        secure.scheme = Url::Scheme::Https;
        EXPECT_TRUE(connection.Fits(same, after));
        EXPECT_TRUE(connection.Fits(same, before + c.limit - 100ms));
        EXPECT_FALSE(connection.Fits(same, after + c.limit));
        EXPECT_FALSE(connection.Fits(otherPort, after));
        EXPECT_FALSE(connection.Fits(secure, after));
        // A direct connection is not one through a proxy.
        EXPECT_FALSE(connection.Fits(same, ProxyServer{same.host, same.port}, after));
    }
}

TEST_F(KeepAlive, DoesNotReuseAConnectionLeftInTheMiddleOfAnAnswer)
{
    KeepAliveServer server(
        [](const std::string& request, size_t) { return Reply{KeepAliveServer::Ok(request, "1.2345")}; });
    ASSERT_TRUE(server.Listening());
    {
        HttpClient client;
        client.UseConnection(&kept);
        ASSERT_EQ(client.Open(server.Url(kPath), 0), HttpClient::kOk);
        ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
        // The body is never read.
    }
    int code = 0;
    EXPECT_EQ(Cycle(kept, server.Url(kPath), code), "1.2345");
    EXPECT_EQ(code, HttpClient::kOk);
    EXPECT_EQ(server.Connections(), 2u);
}

TEST_F(KeepAlive, KeepsAfterAChunkedBodyOnlyWhenNothingFollowsIt)
{
    for (const std::string after : {"", "HTTP/1.1 200 OK\r\n"}) {
        SCOPED_TRACE(after.empty() ? "nothing after the last chunk" : "bytes after the last chunk");
        KeepAliveServer server([&](const std::string& request, size_t) {
            const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
            if (request.compare(0, 5, "HEAD ") == 0)
                return Reply{head};
            return Reply{head + "6\r\n1.2345\r\n0\r\n\r\n" + after};
        });
        ASSERT_TRUE(server.Listening());
        KeptConnection connection;
        for (int cycle = 0; cycle < 2; ++cycle) {
            int code = 0;
            EXPECT_EQ(Cycle(connection, server.Url(kPath), code), "1.2345");
            EXPECT_EQ(code, HttpClient::kOk);
        }
        EXPECT_EQ(server.Connections(), after.empty() ? 1u : 2u);
    }
}

}  // namespace
