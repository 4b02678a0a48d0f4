// HttpClient against real loopback servers scripted by the tests: request
// bytes, redirect probes, bodies in pieces, early ends, caps.
#include "base/Names.h"
#include "http/HttpClient.h"
#include "http/SocketLibrary.h"
#include "http/TlsStream.h"
#include "tests/support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

namespace {

using Server = ScriptedServer;
using Clock = std::chrono::steady_clock;
const std::string kPage = names::kDefaultRatePath;

const std::string kAgent =
    "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; .NET CLR 1.1.4322)";

std::string Response(const std::string& headers, const std::string& body = std::string())
{
    return "HTTP/1.1 200 OK\r\n" + headers + "\r\n" + body;
}

std::string Redirect(const std::string& location)
{
    return "HTTP/1.1 302 Found\r\n" + location + "\r\nContent-Length: 0\r\n\r\n";
}

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class Loopback : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Listening()); }

    // The request lines the server saw, in order.
    std::vector<std::string> RequestLines() const
    {
        std::vector<std::string> lines;
        for (const std::string& request : server.Requests())
            lines.push_back(request.substr(0, request.find("\r\n")));
        return lines;
    }

    std::string Fetch(const std::string& path, int maxRedirects = 0)
    {
        EXPECT_EQ(client.Open(server.Url(path), maxRedirects), HttpClient::kOk);
        EXPECT_EQ(client.SendRequest("GET"), HttpClient::kOk);
        return client.ReadBody();
    }

    SocketLibrary sockets;
    Server server;
    HttpClient client;
};

TEST_F(Loopback, SendsTheExactRequestBytesForGetAndHead)
{
    server.Expect({Server::Send(Response("Content-Length: 2\r\n", "ok"))});
    server.Expect({Server::Send(Response("Content-Length: 20\r\n")), Server::Hold()});
    EXPECT_EQ(Fetch(kPage), "ok");
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(client.Target().hostPort, server.HostPort());
    EXPECT_EQ(client.Target().host, "127.0.0.1");
    EXPECT_EQ(client.Target().port, server.Port());
    EXPECT_EQ(client.Target().target, kPage);

    HttpClient head;
    ASSERT_EQ(head.Open(server.Url(kPage), 0), HttpClient::kOk);
    ASSERT_EQ(head.SendRequest("HEAD"), HttpClient::kOk);
    auto start = Clock::now();
    EXPECT_EQ(head.ReadBody(), "");  // no body follows a HEAD: nothing to wait for
    EXPECT_LT(MillisecondsSince(start), 2000);

    const std::string lines = " HTTP/1.1\r\nAccept: */*\r\nUser-Agent: " + kAgent +
                              "\r\nHost: " + server.HostPort() + "\r\nConnection: Keep-Alive\r\n\r\n";
    EXPECT_EQ(server.Requests(), (std::vector<std::string>{"GET " + kPage + lines, "HEAD " + kPage + lines}));
}

TEST_F(Loopback, ProbesTwiceWithHeadBeforeTheGetWhenNothingRedirects)
{
    server.Expect({Server::Send(Response("Content-Length: 4\r\n"))});
    server.Expect({Server::Send(Response("Content-Length: 4\r\n"))});
    server.Expect({Server::Send(Response("Content-Length: 4\r\n", "rate"))});
    EXPECT_EQ(Fetch(kPage, 3), "rate");
    EXPECT_EQ(RequestLines(),
              (std::vector<std::string>{"HEAD " + kPage + " HTTP/1.1", "HEAD " + kPage + " HTTP/1.1",
                                        "GET " + kPage + " HTTP/1.1"}));
}

TEST_F(Loopback, FollowsRedirectsAsTheProbeLimitAllows)
{
    struct Row {
        const char* name;
        int maxRedirects;
        std::vector<std::string> locations;  // per probe, "" for none; "{}" is the server's URL
        std::vector<std::string> lines;      // request lines the server sees
    };
    const std::string self = "{}";
    const Row rows[] = {
        {"no redirect", 3, {"", ""}, {"HEAD /u1", "HEAD /u1", "GET /u1"}},
        {"U1 to U2", 3, {"Location: {}/u2", ""}, {"HEAD /u1", "HEAD /u2", "GET /u2"}},
        {"U1 to U2 to U3",
         3,
         {"Location: {}/u2", "Location: {}/u3", ""},
         {"HEAD /u1", "HEAD /u2", "HEAD /u3", "GET /u3"}},
        {"U1 to U4",
         3,
         {"Location: {}/u2", "Location: {}/u3", "Location: {}/u4"},
         {"HEAD /u1", "HEAD /u2", "HEAD /u3", "GET /u4"}},
        {"U1 to itself", 3, {"Location: {}/u1", "Location: {}/u1"}, {"HEAD /u1", "HEAD /u1", "GET /u1"}},
        {"relative, lower case", 3, {"location: u2", ""}, {"HEAD /u1", "HEAD /u2", "GET /u2"}},
        {"relative, upper case",
         3,
         {"LOCATION: /dir/../u3?q=1", ""},
         {"HEAD /u1", "HEAD /u3?q=1", "GET /u3?q=1"}},
        {"status 200 with Location",
         3,
         {"HTTP/1.1 200 OK\r\nLocation: {}/u2", ""},
         {"HEAD /u1", "HEAD /u2", "GET /u2"}},
        {"ftp not followed", 3, {"Location: ftp://127.0.0.1/u2", ""}, {"HEAD /u1", "HEAD /u1", "GET /u1"}},
        {"scheme in capitals",
         3,
         {"Location: HTTP://127.0.0.1:{port}/u2", ""},
         {"HEAD /u1", "HEAD /u2", "GET /u2"}},
        {"URL in another header", 3, {"Content-Location: {}/u2", ""}, {"HEAD /u1", "HEAD /u1", "GET /u1"}},
        {"limit 1", 1, {"Location: {}/u2"}, {"HEAD /u1", "GET /u2"}},
        {"limit 0", 0, {}, {"GET /u1"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Server rowServer;
        for (std::string location : row.locations) {
            size_t mark = location.find(self);
            if (mark != std::string::npos)
                location.replace(mark, self.size(), rowServer.Url(""));
            mark = location.find("{port}");
            if (mark != std::string::npos)
                location.replace(mark, 6, std::to_string(rowServer.Port()));
            std::string response = location.compare(0, 5, "HTTP/") == 0 ? location + "\r\n\r\n"
                                   : location.empty()                   ? Response("")
                                                                        : Redirect(location);
            rowServer.Expect({Server::Send(response)});
        }
        rowServer.Expect({Server::Send(Response("Content-Length: 4\r\n", "body"))});
        HttpClient rowClient;
        ASSERT_EQ(rowClient.Open(rowServer.Url("/u1"), row.maxRedirects), HttpClient::kOk);
        ASSERT_EQ(rowClient.SendRequest("GET"), HttpClient::kOk);
        EXPECT_EQ(rowClient.ReadBody(), "body");
        std::vector<std::string> lines;
        for (const std::string& request : rowServer.Requests())
            lines.push_back(request.substr(0, request.find(" HTTP/1.1\r\n")));
        EXPECT_EQ(lines, row.lines);
    }
}

TEST_F(Loopback, ProbesThatFailLeaveTheUrlAsItIs)
{
    // Probes closed without an answer count as "no redirect".
    server.Expect({Server::Close()});
    server.Expect({Server::Reset()});
    server.Expect({Server::Send(Response("Content-Length: 2\r\n", "ok"))});
    EXPECT_EQ(Fetch("/u1", 3), "ok");
    EXPECT_EQ(RequestLines(),
              (std::vector<std::string>{"HEAD /u1 HTTP/1.1", "HEAD /u1 HTTP/1.1", "GET /u1 HTTP/1.1"}));
}

TEST_F(Loopback, ReadsBodiesArrivingInPieces)
{
    struct Case {
        const char* name;
        ScriptedServer::Script script;
        std::string body;
        int bodyStatus;
    };
    const std::string chunked = Response("Transfer-Encoding: chunked\r\n",
                                         "3\r\nEUR\r\n1a;x=y\r\n" + std::string(26, 'z') + "\r\n0\r\n\r\n");
    const std::string list = "EUR/USD,1.08,1.09,+0.01\nUSD/JPY,151.2,151.3,-0.4\n";
    auto then = [](ScriptedServer::Script script, const ScriptedServer::Step& step) {
        script.push_back(step);
        return script;
    };
    const Case cases[] = {
        {"length, two pieces",
         {Server::Send(Response("Content-Length: 10\r\n", "01234")), Server::Pause(100),
          Server::Send("56789")},
         "0123456789",
         0},
        {"length, header and body dribbled",
         Server::Dribble(Response("Content-Length: 10\r\n", "0123456789"), 7, 5), "0123456789", 0},
        {"chunked, byte by byte", Server::Dribble(chunked, 1, 1), "EUR" + std::string(26, 'z'), 0},
        {"chunked, split at awkward places", Server::Dribble(chunked, 4, 20), "EUR" + std::string(26, 'z'),
         0},
        {"until close", then(Server::Dribble(Response("", list), 9, 5), Server::Close()), list, 0},
        {"shorter than its length",
         {Server::Send(Response("Content-Length: 50\r\n", "short")), Server::Close()},
         "",
         HttpClient::kCutShort},
        {"reset in the body",
         {Server::Send(Response("Content-Length: 50\r\n", "short")), Server::Reset()},
         "",
         HttpClient::kConnectionReset},
        {"chunked, cut short",
         {Server::Send(chunked.substr(0, chunked.size() - 3)), Server::Close()},
         "",
         HttpClient::kCutShort},
        {"not found", {Server::Send("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")}, "gone", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.Expect(c.script);
        HttpClient fetcher;
        ASSERT_EQ(fetcher.Open(server.Url("/list"), 0), HttpClient::kOk);
        ASSERT_EQ(fetcher.SendRequest("GET"), HttpClient::kOk);
        EXPECT_EQ(fetcher.ReadBody(), c.body);
        if (c.bodyStatus == HttpClient::kConnectionReset && fetcher.BodyStatus() == HttpClient::kCutShort)
            continue;  // Wine may report a reset that follows data as an orderly end
        EXPECT_EQ(fetcher.BodyStatus(), c.bodyStatus);
    }
}

TEST_F(Loopback, CapsHeaderBlockAndBody)
{
    std::string longHeader = "X-Filler: " + std::string(HttpClient::kMaxHeaderBytes, 'x') + "\r\n";
    server.Expect({Server::Send(Response(longHeader, "body")), Server::Hold()});
    ASSERT_EQ(client.Open(server.Url("/"), 0), HttpClient::kOk);
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kTooLarge);
    EXPECT_EQ(client.StatusCode(), 0);
    auto start = Clock::now();
    EXPECT_EQ(client.ReadBody(), "");
    EXPECT_LT(MillisecondsSince(start), 2000);  // no body is waited for

    server.Expect(
        {Server::Send(Response("", std::string(HttpClient::kMaxBodyBytes + 1, 'b'))), Server::Close()});
    EXPECT_EQ(Fetch("/"), "");
    EXPECT_EQ(client.BodyStatus(), HttpClient::kTooLarge);
}

TEST_F(Loopback, CompletesALargeRequestSentInPartialWrites)
{
    // Far more than a socket buffer takes at once: send returns short
    // counts and the client must go on until every byte is out.
    const std::string body(4 * 1024 * 1024, 'p');
    const std::string raw =
        "POST /upload HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
        body;
    client.SetRawRequest(raw);
    server.Expect({Server::Send(Response("Content-Length: 2\r\n", "ok"))}, body.size());
    EXPECT_EQ(Fetch("/upload"), "ok");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].size(), raw.size());
    EXPECT_TRUE(server.Requests()[0] == raw);
}

TEST_F(Loopback, ReportsConnectAndUrlFailures)
{
    // A port that was just free: nobody listens there any more.
    uint16_t closedPort = 0;
    {
        Socket probe = Socket::Listen("127.0.0.1", 0);
        closedPort = probe.LocalPort();
    }
    ASSERT_NE(closedPort, 0);
    const std::string refused = "http://127.0.0.1:" + std::to_string(closedPort) + "/x";
    EXPECT_EQ(client.Open(refused, 0), HttpClient::kConnectRefused);
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kNotConnected);
    EXPECT_EQ(client.ReadBody(), "");

    // Probes of an unreachable URL end the loop after two as well.
    EXPECT_EQ(client.Open(refused, 3), HttpClient::kConnectRefused);

    // Each kind of failure has a code of its own and words for the user.
    const std::pair<std::string, int> urls[] = {
        {"ftp://127.0.0.1/x", HttpClient::kBadUrl},
        {"127.0.0.1/x", HttpClient::kBadUrl},
        {"http:/x", HttpClient::kNoHost},
        {"http:///x", HttpClient::kNoHost},
        {"http://user@127.0.0.1/x", HttpClient::kNoHost},
        {"http://127.0.0.1:99999/x", HttpClient::kBadPort},
        {"http://127.0.0.1:0/x", HttpClient::kBadPort},
        {"http://name.invalid/x", HttpClient::kLookupFailed},
    };
    std::set<std::string> texts{HttpFailureText(HttpClient::kConnectRefused)};
    for (const auto& url : urls) {
        EXPECT_EQ(client.Open(url.first, 3), url.second) << url.first;
        texts.insert(HttpFailureText(url.second));
    }
    EXPECT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts.count("unknown failure"), 0u);

    // Where the platform's TLS is not used, https fails before any network
    // work, with its own reason.
    if (!TlsStream::Available()) {
        EXPECT_EQ(client.Open("https://127.0.0.1:" + std::to_string(closedPort) + "/x", 3),
                  HttpClient::kHttpsUnsupported);
        EXPECT_STREQ(HttpFailureText(HttpClient::kHttpsUnsupported), "https not available here");
    } else {
        EXPECT_EQ(client.Open("https://127.0.0.1:" + std::to_string(closedPort) + "/x", 3),
                  HttpClient::kConnectRefused);
    }
    EXPECT_EQ(server.Connections(), 0u);

    // Open drops the connection it held before: the next request has none.
    server.Expect({Server::Hold()});
    ASSERT_EQ(client.Open(server.Url("/held"), 0), HttpClient::kOk);
    EXPECT_EQ(client.Open("http://name.invalid/x", 0), HttpClient::kLookupFailed);
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kNotConnected);
}

TEST_F(Loopback, RequestsTheRootForAUrlWithoutPath)
{
    server.Expect({Server::Send(Response("Content-Length: 1\r\n", "s"))});
    server.Expect({Server::Send(Response("Content-Length: 1\r\n", "r"))});
    EXPECT_EQ(Fetch("/stale"), "s");
    ASSERT_EQ(client.Open("http://" + server.HostPort(), 0), HttpClient::kOk);
    ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
    EXPECT_EQ(client.ReadBody(), "r");
    EXPECT_EQ(RequestLines(), (std::vector<std::string>{"GET /stale HTTP/1.1", "GET / HTTP/1.1"}));
}

}  // namespace

TEST(LoopbackIpv6, FetchesFromABracketedLiteralWithAndWithoutThePort)
{
    SocketLibrary sockets;
    Server server("::1");
    if (!server.Listening())
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    server.Expect({Server::Send(Response("Content-Length: 2\r\nConnection: close\r\n", "v6"))});
    HttpClient client;
    ASSERT_EQ(client.Open("http://[::1]:" + std::to_string(server.Port()) + kPage, 0), HttpClient::kOk);
    EXPECT_EQ(client.Target().host, "::1");
    ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
    EXPECT_EQ(client.ReadBody(), "v6");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(server.Requests()[0].find("\r\nHost: [::1]:" + std::to_string(server.Port()) + "\r\n"),
              std::string::npos);

    // Without a port the client goes to port 80 of ::1, where nothing of
    // the test listens: it must reach the socket, not stop at the address.
    HttpClient defaultPort;
    int opened = defaultPort.Open("http://[::1]/", 0);
    EXPECT_NE(opened, HttpClient::kBadPort);
    EXPECT_NE(opened, HttpClient::kBadUrl);
    EXPECT_NE(opened, HttpClient::kNoHost);
    EXPECT_NE(opened, HttpClient::kLookupFailed);
    EXPECT_EQ(defaultPort.Target().port, 80);
}
