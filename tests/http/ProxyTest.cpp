// HttpClient and the rate update through the tests' own proxy on loopback:
// plain http in absolute form, https through CONNECT with the certificate
// checked against the real host, a proxy that asks for credentials, and the
// system's settings taken from "http_proxy" in a process of its own.
#include "http/HttpClient.h"
#include "http/SocketLibrary.h"
#include "rates/SharedRates.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/RateDocuments.h"
#include "tests/support/TlsTestServer.h"
#include "update/UpdateRates.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kRates = "EUR,USD,1.0855";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class Proxy : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sockets = new SocketLibrary;
        // The child of the environment case fetches from its parent's servers.
        if (std::getenv("QB_PROXY_CHILD_URL"))
            return;
        server = new TlsTestServer(QB_TLS_DIR);
        server->Publish("rates.txt", kRates);
        server->Publish("latest.json", kFrankfurterLatest);
    }
    static void TearDownTestSuite()
    {
        delete server;
        delete sockets;
    }
    void SetUp() override
    {
        if (std::getenv("QB_PROXY_CHILD_URL"))
            return;
        ASSERT_TRUE(server->Running()) << "no python3 with cryptography for the test server?";
        DeleteFileA(server->WindowsPath("proxy.log").c_str());
    }

    static ProxyConfig Config(const std::string& server)
    {
        ProxyConfig config;
        EXPECT_TRUE(config.Parse("127.0.0.1:" + std::to_string(Proxy::server->Port(server))));
        return config;
    }

    std::string Fetch(HttpClient& client, const std::string& url, int& code)
    {
        client.SetTrustedCertificate(server->AuthorityDer());
        code = client.Open(url, 0);
        if (code == HttpClient::kOk)
            code = client.SendRequest("GET");
        std::string body = client.ReadBody();
        if (code == HttpClient::kOk)
            code = client.BodyStatus();
        return body;
    }

    static std::vector<std::string> ProxyLog()
    {
        return Lines(ReadWholeFile(server->WindowsPath("proxy.log")));
    }

    static SocketLibrary* sockets;
    static TlsTestServer* server;
};

SocketLibrary* Proxy::sockets = nullptr;
TlsTestServer* Proxy::server = nullptr;

TEST_F(Proxy, CarriesHttpInAbsoluteFormAndHttpsThroughATunnelCheckedAgainstTheRealHost)
{
    struct Case {
        const char* name;
        std::string url;
        int code;
        std::string line;  // what the proxy took
    };
    const std::string plain = std::to_string(server->Port("plain"));
    const std::string good = std::to_string(server->Port("good"));
    const std::string wrong = std::to_string(server->Port("wrongname"));
    const Case cases[] = {
        {"http", server->Url("plain", "/file/rates.txt"), HttpClient::kOk,
         "GET http://127.0.0.1:" + plain + "/file/rates.txt HTTP/1.1"},
        {"https by address", server->Url("good", "/file/rates.txt"), HttpClient::kOk,
         "CONNECT 127.0.0.1:" + good + " HTTP/1.1"},
        {"https by name", server->Url("good", "/file/rates.txt", "localhost"), HttpClient::kOk,
         "CONNECT localhost:" + good + " HTTP/1.1"},
        // The proxy is trusted with nothing: a server whose certificate
        // names another host fails as it would directly.
        {"https, wrong name", server->Url("wrongname", "/file/rates.txt"), HttpClient::kCertWrongName,
         "CONNECT 127.0.0.1:" + wrong + " HTTP/1.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(server->WindowsPath("proxy.log").c_str());
        HttpClient client;
        client.SetProxy(Config("proxy"));
        int code = 0;
        std::string body = Fetch(client, c.url, code);
        EXPECT_EQ(code, c.code) << HttpFailureText(code);
        EXPECT_EQ(body, c.code == HttpClient::kOk ? kRates : "");
        EXPECT_EQ(ProxyLog(), std::vector<std::string>{c.line});
    }
}

TEST_F(Proxy, ProbesGoThroughTheProxyAndKeptConnectionsKnowTheirWay)
{
    KeptConnection connection;
    const std::string url = server->Url("plain", "/file/rates.txt");
    for (const char* way : {"none", "proxy", "proxy", "none"}) {
        SCOPED_TRACE(way);
        HttpClient client;
        client.UseConnection(&connection);
        if (std::string(way) == "none") {
            ProxyConfig direct;
            ASSERT_TRUE(direct.Parse("none"));
            client.SetProxy(direct);
        } else {
            client.SetProxy(Config("proxy"));
        }
        client.SetTrustedCertificate(server->AuthorityDer());
        ASSERT_EQ(client.Open(url, 1), HttpClient::kOk);
        ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
        EXPECT_EQ(client.ReadBody(), kRates);
    }
    // The test server closes after each answer, so each request took a
    // connection of its own; through the proxy went the two probes and the
    // two requests, and nothing of the direct ones.
    const std::string line =
        "http://127.0.0.1:" + std::to_string(server->Port("plain")) + "/file/rates.txt HTTP/1.1";
    EXPECT_EQ(ProxyLog(),
              (std::vector<std::string>{"HEAD " + line, "GET " + line, "HEAD " + line, "GET " + line}));
}

TEST_F(Proxy, ARefusalShowsTheProxysStatusInTheReason)
{
    for (const char* kind : {"plain", "good"}) {
        SCOPED_TRACE(kind);
        const std::string url = server->Url(kind, "/file/rates.txt");
        HttpClient client;
        client.SetProxy(Config("refuse"));
        int code = 0;
        EXPECT_EQ(Fetch(client, url, code), "");
        if (std::string(kind) == "good") {
            EXPECT_EQ(code, HttpClient::kProxyRefused) << HttpFailureText(code);
            EXPECT_EQ(client.StatusCode(), 407);
        } else {
            // Plain http gets the proxy's answer as the server's.
            EXPECT_EQ(code, HttpClient::kOk);
            EXPECT_EQ(client.StatusCode(), 407);
        }

        RateUpdater updater;
        updater.SetProxy(Config("refuse"));
        updater.SetTrustedCertificate(server->AuthorityDer());
        SharedRates rates;
        UpdateOutcome outcome = updater.Update(rates, url);
        EXPECT_EQ(outcome.reason,
                  std::string(kind) == "good" ? "proxy refused: 407 authentication required" : "HTTP 407");
    }
}

TEST_F(Proxy, RateUpdaterTakesHttpAndHttpsRatesThroughTheProxy)
{
    for (const char* kind : {"plain", "good"}) {
        SCOPED_TRACE(kind);
        DeleteFileA(server->WindowsPath("proxy.log").c_str());
        RateUpdater updater;
        updater.SetProxy(Config("proxy"));
        updater.SetTrustedCertificate(server->AuthorityDer());
        SharedRates rates;
        UpdateOutcome outcome = updater.Update(rates, server->Url(kind, "/file/latest.json"));
        EXPECT_TRUE(outcome.Succeeded()) << outcome.reason;
        EXPECT_GE(rates.Lock()->size(), 4u);
        EXPECT_FALSE(ProxyLog().empty());
    }
}

// The system's settings: "http_proxy" in the environment a process starts
// with (WinHTTP's default configuration reads it), so the fetch runs in a
// child started with it.
TEST_F(Proxy, SystemSettingsTakeHttpProxyFromTheEnvironment)
{
    if (const char* url = std::getenv("QB_PROXY_CHILD_URL")) {
        // The child: the system's settings, as a client has them unless told.
        HttpClient client;
        int code = client.Open(url, 0);
        if (code == HttpClient::kOk)
            code = client.SendRequest("GET");
        std::string body = client.ReadBody();
        std::printf("code %d body %s|\n", code, body.c_str());
        return;
    }
    char self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    const std::string proxy = "http://127.0.0.1:" + std::to_string(server->Port("proxy"));
    const std::string url = server->Url("plain", "/file/rates.txt");
    SetEnvironmentVariableA("http_proxy", proxy.c_str());
    SetEnvironmentVariableA("no_proxy", nullptr);
    SetEnvironmentVariableA("QB_PROXY_CHILD_URL", url.c_str());
    ChildProcess child;
    const bool started =
        child.Start(self, {"--gtest_filter=Proxy.SystemSettingsTakeHttpProxyFromTheEnvironment"});
    SetEnvironmentVariableA("http_proxy", nullptr);
    SetEnvironmentVariableA("QB_PROXY_CHILD_URL", nullptr);
    ASSERT_TRUE(started);
    ASSERT_TRUE(child.WaitExit(std::chrono::seconds(60)));
    EXPECT_NE(child.Output().find("code 0 body " + std::string(kRates) + "|"), std::string::npos)
        << child.Output();
    EXPECT_EQ(ProxyLog(), std::vector<std::string>{"GET " + url + " HTTP/1.1"});
}

}  // namespace
