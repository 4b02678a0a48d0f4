// HttpClient's way through a proxy on loopback, the proxy a scripted server
// that records what it is asked: the absolute form with the Host header of
// the real server, probes the same way, and kept connections that tell a
// proxied one from a direct one.
#include "http/HttpClient.h"
#include "http/SocketLibrary.h"
#include "tests/support/KeepAliveServer.h"
#include "tests/support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ProxyConfig Through(uint16_t port)
{
    ProxyConfig config;
    EXPECT_TRUE(config.Parse("127.0.0.1:" + std::to_string(port)));
    return config;
}

class ProxyClient : public testing::Test {
protected:
    SocketLibrary sockets;
};

TEST_F(ProxyClient, AsksTheProxyInAbsoluteFormWithTheServersHost)
{
    ScriptedServer proxy;
    ASSERT_TRUE(proxy.Listening());
    proxy.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", "1.2345"))});
    HttpClient client;
    client.SetProxy(Through(proxy.Port()));
    ASSERT_EQ(client.Open("http://rates.example:8080/rate/list?x=1#part", 1), HttpClient::kOk);
    ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
    EXPECT_EQ(client.ReadBody(), "1.2345");
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].rfind("HEAD http://rates.example:8080/rate/list?x=1 HTTP/1.1\r\n", 0), 0u)
        << requests[0];
    EXPECT_EQ(requests[1].rfind("GET http://rates.example:8080/rate/list?x=1 HTTP/1.1\r\n", 0), 0u)
        << requests[1];
    EXPECT_NE(requests[1].find("\r\nHost: rates.example:8080\r\n"), std::string::npos) << requests[1];
}

TEST_F(ProxyClient, AProxiedConnectionIsNotReusedDirectNorTheOtherWay)
{
    KeepAliveServer server([](const std::string& request, size_t) {
        return KeepAliveServer::Reply{KeepAliveServer::Ok(request, "1.2345")};
    });
    ASSERT_TRUE(server.Listening());
    // The server answers the absolute form too, so it serves as its own
    // proxy: only the way differs between the requests.
    ProxyConfig direct;
    ASSERT_TRUE(direct.Parse("none"));
    KeptConnection connection;
    struct Step {
        ProxyConfig config;
        unsigned opened;  // connections after the step
    };
    const Step steps[] = {
        {direct, 1}, {direct, 1}, {Through(server.Port()), 2}, {Through(server.Port()), 2}, {direct, 3},
    };
    for (const Step& step : steps) {
        HttpClient client;
        client.UseConnection(&connection);
        client.SetProxy(step.config);
        ASSERT_EQ(client.Open(server.Url("/rate"), 0), HttpClient::kOk);
        ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
        EXPECT_EQ(client.ReadBody(), "1.2345");
        EXPECT_EQ(connection.Opened(), step.opened);
    }
    EXPECT_EQ(server.Connections(), 3u);
}

}  // namespace
