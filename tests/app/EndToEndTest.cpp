// The widget's own executable under Wine, driven from outside the way a user
// and the desktop would: the local feed on a free port through "RateUrl",
// the speech stand-in's log, window messages to the "MainFrame" window, the
// pixels on the screen, the settings file, the exit code and the time the
// process takes to end next to that of a trivial window program.
#include "base/Clock.h"
#include "base/Names.h"
#include "http/Socket.h"
#include "http/SocketLibrary.h"
#include "tests/app/ScriptedRates.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LocalFeed.h"
#include "tests/support/Picture.h"
#include "tests/support/ProcessWindow.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/SettingsFile.h"
#include "tests/support/SharedFile.h"
#include "tests/support/SpeechStandIn.h"
#include "tests/support/TestFolder.h"
#include "tests/support/Wait.h"
#include "tests/support/WidgetProcess.h"
#include "tests/support/WinePath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

const std::string WidgetExe = WinePath(QB_WIDGET_EXE);
const std::string WorkRoot = WinePath(QB_WORK_DIR);

// Away from the middle of the screen, where the other test programs put
// their windows, so the pixels read back are the widget's own.
constexpr int WidgetLeft = 700;
constexpr int WidgetTop = 600;
constexpr int WidgetWidth = 520;
constexpr int WidgetHeight = 300;

uint16_t FreePort()
{
    Socket probe = Socket::Listen("127.0.0.1", 0);
    return probe.LocalPort();  // closed again here; the feed takes it later
}

// The local rate feed in the test's folder, on `port` (0: a free one).
std::unique_ptr<LocalFeed> StartFeed(const std::string& folder, uint16_t port)
{
    auto feed = std::make_unique<LocalFeed>(std::vector<std::string>{"--port", std::to_string(port), "--seed", "7"},
                                            folder);
    return feed->WaitListening(20s) != 0 ? std::move(feed) : nullptr;
}

// The widget in the test's folder, put away from the middle of the screen,
// where the other test programs put their windows, so the pixels read back
// are the widget's own.
// Fed from `rateUrl`, every `updateTimer` milliseconds (null: the default).
struct Widget : WidgetProcess {
    Widget(const std::string& testFolder, const std::string& rateUrl, const char* updateTimer = "10000")
        : WidgetProcess(WidgetExe, testFolder)
    {
        Place(WidgetLeft, WidgetTop, WidgetWidth, WidgetHeight);
        Set("Quillbrae", "RateUrl", rateUrl);
        if (updateTimer != nullptr)
            Set("Quillbrae", "UpdateTimer", updateTimer);
    }
};

std::string WindowText(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// What ending a process costs under this Wine, measured on a program that
// does nothing else, in the same run.
double TrivialExitMs(const std::string& folder)
{
    double slowest = 0;
    for (int round = 0; round < 2; ++round) {
        ChildProcess trivial;
        if (!trivial.Start(QB_TRIVIAL_EXE, {}, folder))
            return -1;
        HWND window = nullptr;
        if (!WaitUntil([&] { return (window = FindProcessWindow(trivial.Id(), "TrivialFrame", true)) != nullptr; },
                       30s))
            return -1;
        uint32_t start = ClockMilliseconds();
        PostMessageA(window, WM_COMMAND, names::kExitCommand, 0);
        if (!trivial.WaitExit(20s))
            return -1;
        slowest = std::max(slowest, static_cast<double>(ElapsedSince(start)));
    }
    return slowest;
}

bool MenuOpen(unsigned long process) { return FindProcessWindow(process, "#32768", true) != nullptr; }

class EndToEnd : public ::testing::Test {
protected:
    SocketLibrary sockets;
};

TEST_F(EndToEnd, ShowsSpeaksAndExitsCleanly)
{
    std::string folder = TestFolder(WorkRoot);
    std::unique_ptr<LocalFeed> feed = StartFeed(folder, 0);
    ASSERT_NE(feed, nullptr);
    SpeechStandIn speech;
    ASSERT_TRUE(speech.Start(QB_SPEECH_EXE, folder));
    double trivialMs = TrivialExitMs(folder);
    ASSERT_GT(trivialMs, 0);

    Widget widget(folder, feed->Url());
    ASSERT_TRUE(widget.Start());

    // A captionless, topmost tool window.
    LONG style = GetWindowLongA(widget.window, GWL_STYLE);
    LONG exStyle = GetWindowLongA(widget.window, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_CAPTION, 0);
    EXPECT_NE(exStyle & WS_EX_TOOLWINDOW, 0);
    EXPECT_NE(exStyle & WS_EX_TOPMOST, 0);

    // The first cycle fills the list, and each download reports its length.
    ASSERT_TRUE(WaitUntil([&] { return widget.ShowsRates(); }, 30s));
    EXPECT_GE(widget.Downloads(), 1u);

    // Speech on: one "Speak" line per cycle with the selected pair's price.
    widget.Command(names::kUseSpeechCommand);
    ASSERT_TRUE(WaitUntil([&] { return CountOf(speech.Log(), "Speak ") >= 1; }, 40s)) << speech.Log();
    size_t downloadsSpoken = widget.Downloads();
    size_t spokenBefore = CountOf(speech.Log(), "Speak ");
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() >= downloadsSpoken + 2; }, 40s));
    // Between those two readings one whole cycle certainly ran and spoke;
    // the cycles at either end may have spoken already or not yet.
    size_t spokenDuring = CountOf(speech.Log(), "Speak ") - spokenBefore;
    EXPECT_GE(spokenDuring, 1u);
    EXPECT_LE(spokenDuring, 3u);
    std::string log = speech.Log();
    size_t first = log.find("Speak ");
    std::string line = log.substr(first, log.find('\n', first) - first);
    EXPECT_NE(line.find(" - "), std::string::npos) << "a price text such as 1.0842 - 45: " << line;

    // Speech off: the next full cycle says nothing.
    widget.Command(names::kUseSpeechCommand);
    size_t downloads = widget.Downloads();
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() >= downloads + 1; }, 30s));
    size_t spoken = CountOf(speech.Log(), "Speak ");
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() >= downloads + 2; }, 30s));
    EXPECT_EQ(CountOf(speech.Log(), "Speak "), spoken);

    // A right-button release over either pane opens the menu; Escape closes it.
    for (const char* pane : {"BaseWindowPane", "RatePane"}) {
        SCOPED_TRACE(pane);
        HWND target = widget.Pane(pane);
        ASSERT_NE(target, nullptr);
        PostMessageA(target, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
        ASSERT_TRUE(WaitUntil([&] { return MenuOpen(widget.process->Id()); }, 10s));
        HWND menu = FindProcessWindow(widget.process->Id(), "#32768", true);
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        ASSERT_TRUE(WaitUntil([&] { return !MenuOpen(widget.process->Id()); }, 10s));
        EXPECT_TRUE(widget.process->Running());
    }

    // "&Exit": exit code 0, no slower than a trivial program by more than half a second.
    MoveWindow(widget.window, 640, 560, 500, 280, TRUE);
    double exitMs = widget.Exit();
    EXPECT_EQ(widget.process->ExitCode(), 0);
    EXPECT_LT(exitMs, trivialMs + 500.0) << "trivial program: " << trivialMs << " ms";
    std::printf("exit: widget %.0f ms, trivial window program %.0f ms\n", exitMs, trivialMs);

    for (const char* key : {"MainLeft", "MainTop", "MainWidth", "MainHeight", "Zoomed"})
        EXPECT_NE(widget.Setting("Window", key), "<missing>") << key;
    EXPECT_EQ(widget.Setting("Window", "MainLeft"), "640");
    EXPECT_EQ(widget.Setting("Window", "MainTop"), "560");
    EXPECT_EQ(widget.Setting("Quillbrae", "UpdateTimer"), "10000");
    EXPECT_EQ(widget.Setting("Quillbrae", "RateUrl"), feed->Url());

    // The next start opens where the last one closed.
    ASSERT_TRUE(widget.Start());
    RECT rect{};
    GetWindowRect(widget.window, &rect);
    EXPECT_EQ(rect.left, 640);
    EXPECT_EQ(rect.top, 560);
    EXPECT_EQ(rect.right - rect.left, 500);
    EXPECT_EQ(rect.bottom - rect.top, 280);
    widget.Exit();
    EXPECT_EQ(widget.process->ExitCode(), 0);
}

// No speech program: the system voice has been given the selected price
// (Wine 8's refuses; a Windows voice would still be saying it) and holds a
// thread and a COM apartment of its own. Closing must not wait for it.
TEST_F(EndToEnd, ClosingWithTheSystemVoiceInUseTakesNoLonger)
{
    ASSERT_TRUE(WaitUntil([] { return FindWindowA(names::kSpeechWindowClass, nullptr) == nullptr; }, 30s))
        << "a speech window of another test stays open";
    std::string folder = TestFolder(WorkRoot);
    std::unique_ptr<LocalFeed> feed = StartFeed(folder, 0);
    ASSERT_NE(feed, nullptr);
    double trivialMs = TrivialExitMs(folder);
    ASSERT_GT(trivialMs, 0);

    Widget widget(folder, feed->Url());
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(WaitUntil([&] { return widget.ShowsRates(); }, 30s));

    PostMessageA(widget.window, WM_COMMAND, names::kUseSpeechCommand, 0);
    size_t downloads = widget.Downloads();
    // The first whole cycle after the switch announced the price.
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() >= downloads + 2; }, 40s));
    EXPECT_TRUE(widget.process->Running());

    double exitMs = widget.Exit();
    EXPECT_EQ(widget.process->ExitCode(), 0);
    EXPECT_LT(exitMs, trivialMs + 500.0) << "trivial program: " << trivialMs << " ms";
    std::printf("exit with the system voice in use: widget %.0f ms, trivial window program %.0f ms\n", exitMs,
                trivialMs);
}

TEST_F(EndToEnd, FeedThatComesUpLateFillsTheListAtTheNextCycle)
{
    std::string folder = TestFolder(WorkRoot);
    uint16_t port = FreePort();
    ASSERT_NE(port, 0);
    Widget widget(folder, LoopbackUrl(port));
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() >= 1; }, 30s)) << "the first cycle ran and failed";
    EXPECT_FALSE(widget.ShowsRates());

    std::unique_ptr<LocalFeed> feed = StartFeed(folder, port);
    ASSERT_NE(feed, nullptr);
    size_t failed = widget.Downloads();
    ASSERT_TRUE(WaitUntil([&] { return widget.ShowsRates(); }, 30s));
    EXPECT_LE(widget.Downloads(), failed + 1) << "filled at the first cycle after the feed came up";

    widget.Exit();
    EXPECT_EQ(widget.process->ExitCode(), 0);
}

TEST_F(EndToEnd, ExitIsNotHeldUpByAFeedThatStallsMidBody)
{
    std::string folder = TestFolder(WorkRoot);
    double trivialMs = TrivialExitMs(folder);
    ASSERT_GT(trivialMs, 0);

    ScriptedServer server;
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
    server.Expect({ScriptedServer::Send(head)});
    server.Expect({ScriptedServer::Send(head)});
    server.Expect({ScriptedServer::Send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\nEURUSD,1.0842"),
                   ScriptedServer::Hold()});
    Widget widget(folder, server.Url(names::kDefaultRatePath), nullptr);
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(server.WaitForRequests(3, 30s));
    EXPECT_EQ(server.Requests().at(2).rfind(std::string("GET ") + names::kDefaultRatePath + " HTTP/1.1\r\n", 0), 0u);

    double exitMs = widget.Exit();
    EXPECT_EQ(widget.process->ExitCode(), 0);
    EXPECT_LT(exitMs, trivialMs + 500.0) << "trivial program: " << trivialMs << " ms";
    std::printf("exit while stalled: widget %.0f ms, trivial window program %.0f ms\n", exitMs, trivialMs);
    EXPECT_FALSE(widget.ShowsRates());
}

}  // namespace

namespace {

double MsBetween(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// One widget, 10 s interval, against a server whose answers the test
// changes: good, 503, 429 with "Retry-After: 35", good again. The long wait
// the 429 asks for is used for the rest: the rows go stale meanwhile, and the
// whole list of 20 pairs is walked with the Down key.
TEST_F(EndToEnd, StatusBackOffStaleColoursAndEveryPairOnAScriptedServer)
{
    std::string folder = TestFolder(WorkRoot);
    SpeechStandIn speech;
    ASSERT_TRUE(speech.Start(QB_SPEECH_EXE, folder));
    ScriptedServer server;
    ASSERT_TRUE(server.Listening());
    const std::string good = ScriptedServer::Answer("200 OK", RateList(20));
    server.SetFallback({ScriptedServer::Send(good)});

    Widget widget(folder, server.Url(names::kDefaultRatePath));  // 300 pixels high
    ASSERT_TRUE(widget.Start());
    HWND pane = widget.Pane("BaseWindowPane");
    ASSERT_NE(pane, nullptr);
    auto text = [&] { return WindowText(widget.window); };
    // The rows' part of the pane: the bottom lines take well under 100 pixels.
    auto rowsHue = [&](auto test) {
        Picture picture = Picture::OfScreen(pane);
        return picture.Count(test, 0, picture.height - 100);
    };

    ASSERT_TRUE(WaitUntil([&] { return text().rfind("Quillbrae - updated ", 0) == 0; }, 30s)) << text();
    const std::string since = "Quillbrae - no update since " + text().substr(20, 8) + ": ";
    ASSERT_TRUE(WaitUntil([&] { return rowsHue(IsRedOrBlue) > 50; }, 10s));

    // "&Update now" asks at once; a 503 is named.
    server.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("503 Service Unavailable", "busy"))});
    size_t before = server.Requests().size();
    PostMessageA(widget.window, WM_COMMAND, names::kUpdateNowCommand, 0);
    EXPECT_TRUE(server.WaitForRequests(before + 1, 2s)) << "a request within two seconds";
    ASSERT_TRUE(WaitUntil([&] { return text() == since + "HTTP 503"; }, 15s)) << text();

    // A 429 asking for 35 s holds the next request back that long: longer
    // than the 25 s after which the rows go stale, so that they stay grey
    // for the checks below however slowly this machine reads the screen.
    server.SetFallback(
        {ScriptedServer::Send(ScriptedServer::Answer("429 Too Many Requests", "", "Retry-After: 35\r\n"))});
    before = server.Requests().size();
    PostMessageA(widget.window, WM_COMMAND, names::kUpdateNowCommand, 0);
    ASSERT_TRUE(server.WaitForRequests(before + 3, 5s));
    ASSERT_TRUE(WaitUntil([&] { return text() == since + "HTTP 429"; }, 10s)) << text();
    server.SetFallback({ScriptedServer::Send(good)});

    // Meanwhile: the last success grows older than 25 s, and the rows grey.
    ASSERT_TRUE(WaitUntil([&] { return rowsHue(IsRedOrBlue) == 0 && rowsHue(IsGreyText) > 50; }, 40s))
        << text();
    EXPECT_EQ(server.Requests().size(), before + 3) << "nothing asked while stale and held back";

    // And: Down 19 times walks to the 20th pair; its bar stays in the pane,
    // clear of the bottom lines, and it is the pair spoken next.
    PostMessageA(widget.window, WM_COMMAND, names::kUseSpeechCommand, 0);
    for (int press = 0; press < 19; ++press)
        PostMessageA(pane, WM_KEYDOWN, VK_DOWN, 0);
    Picture walked = Picture::OfScreen(pane);
    ASSERT_TRUE(WaitUntil(
        [&] {
            walked = Picture::OfScreen(pane);
            return walked.Band(IsSelectionBar, walked.width - 8).second > walked.height / 2;
        },
        10s));
    auto [barTop, barBottom] = walked.Band(IsSelectionBar, walked.width - 8);
    auto [linesTop, linesBottom] = walked.Band(IsRedOrBlue);  // the status (a warning) and the start time
    EXPECT_GE(barTop, 0);
    EXPECT_LT(barBottom, walked.height);
    EXPECT_LT(barBottom, linesTop) << "the bar stays clear of the bottom lines";
    EXPECT_LT(linesBottom, walked.height);

    // The held-back request comes no sooner than asked; fresh data brings
    // the colours back.
    ASSERT_TRUE(server.WaitForRequests(before + 4, 40s));
    auto times = server.RequestTimes();
    double heldMs = MsBetween(times[before + 2], times[before + 3]);
    EXPECT_GE(heldMs, 35000.0);
    std::printf("request after a 429 with Retry-After: 35 came %.0f ms later\n", heldMs);
    ASSERT_TRUE(WaitUntil([&] { return text().rfind("Quillbrae - updated ", 0) == 0; }, 15s)) << text();
    ASSERT_TRUE(WaitUntil([&] { return rowsHue(IsRedOrBlue) > 50; }, 10s));
    ASSERT_TRUE(WaitUntil([&] { return speech.Log().find("Speak ") != std::string::npos; }, 10s));
    std::string log = speech.Log();
    size_t last = log.rfind("Speak ");
    EXPECT_EQ(log.substr(last, log.find('\n', last) - last), "Speak 3.1900 - 00") << log;

    widget.Exit();
    EXPECT_EQ(widget.process->ExitCode(), 0);
}

}  // namespace
