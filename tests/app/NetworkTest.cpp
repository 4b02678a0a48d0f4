// The widget's own executable under Wine and its connections: kept between
// cycles, renewed without a failure when the server closes its side, and
// taken through a proxy of the tests' own named by the "Proxy" key or by
// "http_proxy" in the widget's environment.
#include "base/Names.h"
#include "http/SocketLibrary.h"
#include "tests/app/ScriptedRates.h"
#include "tests/support/KeepAliveServer.h"
#include "tests/support/RateDocuments.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TlsTestServer.h"
#include "tests/support/Wait.h"
#include "tests/support/WidgetProcess.h"
#include "tests/support/WinePath.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

const std::string WidgetExe = WinePath(QB_WIDGET_EXE);
const std::string WorkRoot = WinePath(QB_WORK_DIR);

std::string WindowText(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool Updated(HWND window)
{
    return WindowText(window).rfind("Quillbrae - updated ", 0) == 0;
}

// The widget fed from `rateUrl`, every 100 s: the cycles after the first
// are the test's, through "&Update now".
struct Widget : WidgetProcess {
    Widget(const std::string& testFolder, const std::string& rateUrl) : WidgetProcess(WidgetExe, testFolder)
    {
        Place(700, 600, 520, 300);
        Set(names::kWidgetSection, names::kRateUrlKey, rateUrl);
        Set(names::kWidgetSection, names::kUpdateTimerKey, "100000");
    }

    // Asks for a cycle and waits for its download, watching the title for
    // a failure meanwhile; false on a failure or no download in time.
    bool Cycle(std::string& failure)
    {
        const size_t before = Downloads();
        Command(names::kUpdateNowCommand);
        return WaitUntil(
            [&] {
                const std::string text = WindowText(window);
                if (text.find("no update") != std::string::npos)
                    failure = text;
                return Downloads() > before && Updated(window);
            },
            20s);
    }
};

class Network : public ::testing::Test {
protected:
    SocketLibrary sockets;
};

TEST_F(Network, TenCyclesTakeOneConnectionWhileTheServerKeepsIt)
{
    const std::string list = RateList(5);
    KeepAliveServer server([&](const std::string& request, size_t) {
        return KeepAliveServer::Reply{KeepAliveServer::Ok(request, list)};
    });
    ASSERT_TRUE(server.Listening());
    Widget widget(TestFolder(WorkRoot), server.Url(names::kDefaultRatePath));
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() >= 1 && Updated(widget.window); }, 30s))
        << WindowText(widget.window);
    const size_t perCycle = server.Requests();
    std::string failure;
    for (int cycle = 2; cycle <= 10; ++cycle)
        ASSERT_TRUE(widget.Cycle(failure)) << "cycle " << cycle << ": " << WindowText(widget.window);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(server.Requests(), 10 * perCycle) << "the same requests as ever";
    EXPECT_EQ(server.Connections(), 1u) << "one connection for ten cycles";
    EXPECT_TRUE(widget.ExitCleanly());
}

TEST_F(Network, AServerThatClosesBetweenCyclesCostsNoFailedCycle)
{
    const std::string list = RateList(5);
    // The server ends each connection after the page itself: the widget
    // finds its kept connection closed at the next cycle.
    KeepAliveServer server([&](const std::string& request, size_t) {
        const bool page = request.rfind("GET ", 0) == 0;
        return KeepAliveServer::Reply{KeepAliveServer::Ok(request, list), page};
    });
    ASSERT_TRUE(server.Listening());
    Widget widget(TestFolder(WorkRoot), server.Url(names::kDefaultRatePath));
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() >= 1 && Updated(widget.window); }, 30s))
        << WindowText(widget.window);
    std::string failure;
    for (int cycle = 2; cycle <= 10; ++cycle)
        ASSERT_TRUE(widget.Cycle(failure)) << "cycle " << cycle << ": " << WindowText(widget.window);
    EXPECT_EQ(failure, "") << "no cycle failed";
    EXPECT_EQ(server.Connections(), 10u) << "one connection a cycle";
    EXPECT_TRUE(widget.ExitCleanly());
}

TEST_F(Network, AWakeDropsTheKeptConnection)
{
    const std::string list = RateList(5);
    KeepAliveServer server([&](const std::string& request, size_t) {
        return KeepAliveServer::Reply{KeepAliveServer::Ok(request, list)};
    });
    ASSERT_TRUE(server.Listening());
    Widget widget(TestFolder(WorkRoot), server.Url(names::kDefaultRatePath));
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() >= 1 && Updated(widget.window); }, 30s))
        << WindowText(widget.window);
    std::string failure;
    ASSERT_TRUE(widget.Cycle(failure)) << WindowText(widget.window);
    ASSERT_EQ(server.Connections(), 1u);

    // No connection survives a sleep: the update after the wake comes on a
    // new one, within four seconds.
    const size_t before = widget.Downloads();
    const auto posted = std::chrono::steady_clock::now();
    PostMessageA(widget.window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() > before; }, 10s));
    EXPECT_LT(std::chrono::steady_clock::now() - posted, 4s);
    EXPECT_EQ(server.Connections(), 2u);
    EXPECT_EQ(failure, "");
    EXPECT_TRUE(widget.ExitCleanly());
}

class WidgetProxy : public Network {
protected:
    static void SetUpTestSuite()
    {
        suiteSockets = new SocketLibrary;
        server = new TlsTestServer(QB_TLS_DIR);
    }
    static void TearDownTestSuite()
    {
        delete server;
        delete suiteSockets;
    }
    void SetUp() override
    {
        ASSERT_TRUE(server->Running()) << "no python3 with cryptography for the test server?";
        server->Publish("latest.json", kFrankfurterLatest);
        DeleteFileA(server->WindowsPath("proxy.log").c_str());
        server->Publish("ca.der.copy", server->AuthorityDer());
    }

    static std::vector<std::string> ProxyLog()
    {
        std::vector<std::string> lines;
        std::istringstream in(ReadWholeFile(server->WindowsPath("proxy.log")));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    static bool Logged(const std::string& line)
    {
        for (const std::string& taken : ProxyLog()) {
            if (taken == line)
                return true;
        }
        return false;
    }
    static std::string ProxyAddress(const char* which)
    {
        return "127.0.0.1:" + std::to_string(server->Port(which));
    }

    // A widget on `rateUrl` that trusts the test authority.
    std::unique_ptr<Widget> Start(const std::string& rateUrl, const std::string& proxy)
    {
        auto widget = std::make_unique<Widget>(TestFolder(WorkRoot), rateUrl);
        widget->Set(names::kWidgetSection, names::kTrustedCertificateKey, server->WindowsPath("ca.der.copy"));
        if (!proxy.empty())
            widget->Set(names::kWidgetSection, names::kProxyKey, proxy);
        return widget;
    }

    static SocketLibrary* suiteSockets;
    static TlsTestServer* server;
};

SocketLibrary* WidgetProxy::suiteSockets = nullptr;
TlsTestServer* WidgetProxy::server = nullptr;

TEST_F(WidgetProxy, RatesComeThroughTheProxyKeyOverHttpAndHttps)
{
    struct Case {
        const char* name;
        std::string url;
        std::string line;  // the proxy took it
    };
    const Case cases[] = {
        {"http", server->Url("plain", "/file/latest.json"),
         "GET " + server->Url("plain", "/file/latest.json") + " HTTP/1.1"},
        {"https", server->Url("good", "/file/latest.json", "localhost"),
         "CONNECT localhost:" + std::to_string(server->Port("good")) + " HTTP/1.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(server->WindowsPath("proxy.log").c_str());
        auto widget = Start(c.url, ProxyAddress("proxy"));
        ASSERT_TRUE(widget->Start());
        EXPECT_TRUE(WaitUntil([&] { return Updated(widget->window); }, 30s)) << WindowText(widget->window);
        EXPECT_TRUE(Logged(c.line)) << ReadWholeFile(server->WindowsPath("proxy.log"));
        EXPECT_TRUE(widget->ExitCleanly());
    }
}

TEST_F(WidgetProxy, ARefusingProxyShowsItsReason)
{
    auto widget = Start(server->Url("good", "/file/latest.json"), ProxyAddress("refuse"));
    ASSERT_TRUE(widget->Start());
    EXPECT_TRUE(WaitUntil(
        [&] {
            return WindowText(widget->window).find(": proxy refused: 407 authentication required") !=
                   std::string::npos;
        },
        30s))
        << WindowText(widget->window);
    EXPECT_FALSE(ProxyLog().empty());
    EXPECT_TRUE(widget->ExitCleanly());
}

TEST_F(WidgetProxy, HttpProxyInTheWidgetsEnvironmentIsTheSystemsSetting)
{
    const std::string url = server->Url("plain", "/file/latest.json");
    auto widget = Start(url, std::string());
    // For the widget alone: it inherits the variable at its start.
    const std::string proxy = "http://" + ProxyAddress("proxy");
    SetEnvironmentVariableA("http_proxy", proxy.c_str());
    const bool started = widget->Start();
    SetEnvironmentVariableA("http_proxy", nullptr);
    ASSERT_TRUE(started);
    EXPECT_TRUE(WaitUntil([&] { return Updated(widget->window); }, 30s)) << WindowText(widget->window);
    EXPECT_TRUE(Logged("GET " + url + " HTTP/1.1")) << ReadWholeFile(server->WindowsPath("proxy.log"));
    EXPECT_TRUE(widget->ExitCleanly());
}

}  // namespace
