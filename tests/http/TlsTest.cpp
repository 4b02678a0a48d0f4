// HttpClient over Schannel against the tests' own HTTPS servers on
// loopback: certificates good and bad, records split and bunched, the ends
// of a connection, a stalled and a refused handshake, redirects between the
// schemes.
#include "http/HttpClient.h"
#include "http/SocketLibrary.h"
#include "tests/support/TlsTestServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A body over many records: longer than one record, and not a multiple of
// anything the server cuts it into.
std::string LongBody()
{
    std::string body;
    for (int i = 0; body.size() < 40000; ++i)
        body += "EUR/USD," + std::to_string(1.08 + i * 1e-5) + "\n";
    return body;
}

class Tls : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sockets = new SocketLibrary;
        server = new TlsTestServer(QB_TLS_DIR);
        server->Publish("rates.txt", "EUR/USD,1.0855\n");
        server->Publish("long.txt", LongBody());
    }
    static void TearDownTestSuite()
    {
        delete server;
        delete sockets;
    }
    void SetUp() override { ASSERT_TRUE(server->Running()) << "no python3 with cryptography for the test server?"; }

    // Open, request and body on a client that trusts the authority.
    std::string Fetch(const std::string& url, int& code, int redirects = 0)
    {
        client.SetTrustedCertificate(server->AuthorityDer());
        code = client.Open(url, redirects);
        if (code != HttpClient::kOk)
            return std::string();
        code = client.SendRequest("GET");
        std::string body = client.ReadBody();
        if (code == HttpClient::kOk)
            code = client.BodyStatus();
        return body;
    }

    static SocketLibrary* sockets;
    static TlsTestServer* server;
    HttpClient client;
};

SocketLibrary* Tls::sockets = nullptr;
TlsTestServer* Tls::server = nullptr;

TEST_F(Tls, TakesABodyOnlyFromACertificateItCanTrustForTheHost)
{
    struct Case {
        const char* name;
        std::string server;
        std::string host;
        bool trust;
        int code;
    };
    const Case cases[] = {
        {"good, by address", "good", "127.0.0.1", true, HttpClient::kOk},
        {"good, by name", "good", "localhost", true, HttpClient::kOk},
        {"authority not trusted", "good", "127.0.0.1", false, HttpClient::kCertUntrusted},
        {"another authority", "untrusted", "127.0.0.1", true, HttpClient::kCertUntrusted},
        {"another address", "wrongname", "127.0.0.1", true, HttpClient::kCertWrongName},
        {"another name", "wrongname", "localhost", true, HttpClient::kCertWrongName},
        {"expired", "expired", "localhost", true, HttpClient::kCertExpired},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpClient fetcher;
        if (c.trust)
            fetcher.SetTrustedCertificate(server->AuthorityDer());
        int code = fetcher.Open(server->Url(c.server, "/file/rates.txt", c.host), 0);
        EXPECT_EQ(code, c.code) << HttpFailureText(code);
        EXPECT_EQ(fetcher.SendRequest("GET"), c.code == HttpClient::kOk ? HttpClient::kOk : HttpClient::kNotConnected);
        EXPECT_EQ(fetcher.ReadBody(), c.code == HttpClient::kOk ? "EUR/USD,1.0855\n" : "");
    }
}

TEST_F(Tls, ReadsBodiesHoweverTheRecordsArrive)
{
    struct Case {
        const char* name;
        std::string server;
        std::string path;
        std::string body;
        int code;
    };
    const Case cases[] = {
        {"one byte per write", "bytewise", "/file/rates.txt", "EUR/USD,1.0855\n", HttpClient::kOk},
        {"one byte per write, long", "bytewise", "/file/long.txt", LongBody(), HttpClient::kOk},
        {"records of seven bytes", "good", "/records/long.txt", LongBody(), HttpClient::kOk},
        {"until close_notify", "good", "/close-notify/long.txt", LongBody(), HttpClient::kOk},
        {"closed without close_notify", "good", "/cut/long.txt", "", HttpClient::kTlsCutShort},
        {"not found", "good", "/file/missing.txt", "", HttpClient::kOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpClient fetcher;
        fetcher.SetTrustedCertificate(server->AuthorityDer());
        ASSERT_EQ(fetcher.Open(server->Url(c.server, c.path), 0), HttpClient::kOk);
        ASSERT_EQ(fetcher.SendRequest("GET"), HttpClient::kOk);
        std::string body = fetcher.ReadBody();
        EXPECT_EQ(body.size(), c.body.size());
        EXPECT_TRUE(body == c.body);
        EXPECT_EQ(fetcher.BodyStatus(), c.code) << HttpFailureText(fetcher.BodyStatus());
    }
}

TEST_F(Tls, AStalledHandshakeEndsWithTheStopFlagOrTheSilenceLimit)
{
    std::atomic<bool> stop{false};
    client.SetStopFlag(&stop);
    Clock::time_point raised;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the server's part: a handshake in progress
        raised = Clock::now();
        stop = true;
    });
    EXPECT_EQ(client.Open(server->Url("stall", "/file/rates.txt"), 0), HttpClient::kStopped);
    long long after = MillisecondsSince(raised);
    stopper.join();
    EXPECT_LT(after, 500);

    HttpClient patient;
    auto start = Clock::now();
    EXPECT_EQ(patient.Open(server->Url("stall", "/file/rates.txt"), 0), HttpClient::kTimedOut);
    EXPECT_GE(MillisecondsSince(start), static_cast<long long>(HttpClient::kHeaderSilenceMs) - 100);
}

TEST_F(Tls, AHandshakeAlertIsReportedAsTheServersRefusal)
{
    int code = client.Open(server->Url("alert", "/file/rates.txt"), 0);
    EXPECT_EQ(code, HttpClient::kTlsAlert) << HttpFailureText(code);
}

TEST_F(Tls, FollowsHttpToHttpsAndRefusesHttpsToHttp)
{
    int code = 0;
    EXPECT_EQ(Fetch(server->Url("plain", "/to-https/rates.txt"), code, 3), "EUR/USD,1.0855\n");
    EXPECT_EQ(code, HttpClient::kOk);
    EXPECT_TRUE(client.Target().Secure());
    EXPECT_EQ(client.Target().port, server->Port("good"));

    EXPECT_EQ(Fetch(server->Url("good", "/to-http/rates.txt"), code, 3), "");
    EXPECT_EQ(code, HttpClient::kRedirectToHttp);
    EXPECT_STREQ(HttpFailureText(code), "redirect to http refused");

    // The probes look at the https URL over TLS too, and find no redirect.
    EXPECT_EQ(Fetch(server->Url("good", "/file/rates.txt"), code, 3), "EUR/USD,1.0855\n");
    EXPECT_EQ(code, HttpClient::kOk);
}

}  // namespace

TEST_F(Tls, TenCyclesOverAKeptConnectionTakeOneHandshake)
{
    KeptConnection kept;
    for (int cycle = 0; cycle < 10; ++cycle) {
        HttpClient fetcher;
        fetcher.UseConnection(&kept);
        fetcher.SetTrustedCertificate(server->AuthorityDer());
        ASSERT_EQ(fetcher.Open(server->Url("keep", "/file/rates.txt"), 3), HttpClient::kOk) << cycle;
        ASSERT_EQ(fetcher.SendRequest("GET"), HttpClient::kOk) << cycle;
        EXPECT_EQ(fetcher.ReadBody(), "EUR/USD,1.0855\n") << cycle;
    }
    EXPECT_EQ(kept.Opened(), 1u);
    // The server's own count, asked over the same connection.
    HttpClient counter;
    counter.UseConnection(&kept);
    counter.SetTrustedCertificate(server->AuthorityDer());
    ASSERT_EQ(counter.Open(server->Url("keep", "/handshakes/keep"), 0), HttpClient::kOk);
    ASSERT_EQ(counter.SendRequest("GET"), HttpClient::kOk);
    EXPECT_EQ(counter.ReadBody(), "1");
    EXPECT_EQ(kept.Opened(), 1u);
}
