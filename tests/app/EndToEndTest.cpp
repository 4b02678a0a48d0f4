// The widget's own executable under Wine, driven from outside the way a user
// and the desktop would: the local feed on a free port through "RateUrl",
// the speech stand-in's log, window messages to the "MainFrame" window, the
// pixels on the screen, the settings file, the exit code and the time the
// process takes to end next to that of a trivial window program.
#include "http/Socket.h"
#include "http/SocketLibrary.h"
#include "tests/app/ChildProcess.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

using namespace std::chrono_literals;

namespace {

const std::string WidgetExe = NativePath(QB_WIDGET_EXE);
const std::string FeedExe = NativePath(QB_FEED_EXE);
const std::string SpeechExe = NativePath(QB_SPEECH_EXE);
const std::string TrivialExe = NativePath(QB_TRIVIAL_EXE);
const std::string WorkRoot = NativePath(QB_WORK_DIR);

// Away from the middle of the screen, where the other test programs put
// their windows, so the pixels read back are the widget's own.
constexpr int WidgetLeft = 700;
constexpr int WidgetTop = 600;
constexpr int WidgetWidth = 520;
constexpr int WidgetHeight = 300;

std::string TestFolder()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string folder = WorkRoot + "\\" + info->name();
    CreateDirectoryA(WorkRoot.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

uint16_t FreePort()
{
    Socket probe = Socket::Listen("127.0.0.1", 0);
    return probe.LocalPort();  // closed again here; the feed takes it later
}

// The local rate feed as its own process.
class Feed {
public:
    bool Start(const std::string& folder, uint16_t wanted)
    {
        output = folder + "\\feed.out";
        std::string line = "\"" + FeedExe + "\" --port " + std::to_string(wanted) + " --seed 7";
        if (!process.Start(line, folder, output))
            return false;
        if (!WaitUntil([&] { return ReadSharedFile(output).find("listening on") != std::string::npos; }, 20s))
            return false;
        std::string text = ReadSharedFile(output);
        size_t colon = text.find(':', text.find("listening on"));
        port = static_cast<uint16_t>(std::stoi(text.substr(colon + 1)));
        return port != 0;
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port) + "/rate/neo/rate.asp"; }

    ChildProcess process;
    std::string output;
    uint16_t port = 0;
};

class Speech {
public:
    bool Start(const std::string& folder)
    {
        log = folder + "\\voxlume.log";
        DeleteFileA(log.c_str());
        if (!process.Start("\"" + SpeechExe + "\" \"" + log + "\"", folder, ""))
            return false;
        return WaitUntil([&] { return FindProcessWindow(process.Id(), "Voxlume", false) != nullptr; }, 20s);
    }
    std::string Log() const { return ReadSharedFile(log); }

    ChildProcess process;
    std::string log;
};

// One copy of the widget in a folder of its own, with its own settings file.
class Widget {
public:
    explicit Widget(std::string folderPath) : folder(std::move(folderPath))
    {
        exe = folder + "\\quillbrae.exe";
        ini = folder + "\\quillbrae.ini";
        output = folder + "\\quillbrae.out";
        CopyFileA(WidgetExe.c_str(), exe.c_str(), FALSE);
    }
    void Set(const char* section, const char* key, const std::string& value)
    {
        WritePrivateProfileStringA(section, key, value.c_str(), ini.c_str());
    }
    std::string Setting(const char* section, const char* key) const
    {
        char text[512] = {};
        GetPrivateProfileStringA(section, key, "<missing>", text, sizeof(text), ini.c_str());
        return text;
    }
    void PlaceAwayFromOthers()
    {
        Set("Window", "MainLeft", std::to_string(WidgetLeft));
        Set("Window", "MainTop", std::to_string(WidgetTop));
        Set("Window", "MainWidth", std::to_string(WidgetWidth));
        Set("Window", "MainHeight", std::to_string(WidgetHeight));
    }
    bool Start()
    {
        if (!process.Start("\"" + exe + "\"", folder, output))
            return false;
        return WaitUntil([&] { return (window = FindProcessWindow(process.Id(), "MainFrame", true)) != nullptr; },
                         30s);
    }
    size_t Downloads() const { return CountOf(ReadSharedFile(output), "ContentLen:"); }
    HWND Pane(const char* className) const { return FindWindowExA(window, nullptr, className, nullptr); }

    // Posts "&Exit" and returns the milliseconds until the process is gone.
    double Exit()
    {
        double start = NowMs();
        PostMessageA(window, WM_COMMAND, 11, 0);
        if (!process.WaitExit(20000))
            return 1e9;
        return NowMs() - start;
    }

    // Whether the rate pane shows its selection bar, which it draws only
    // once the list holds records. Read from the screen: the widget is
    // topmost, so what is there is what it painted.
    bool ShowsRates() const
    {
        HWND pane = Pane("BaseWindowPane");
        RECT r{};
        if (pane == nullptr || !GetWindowRect(pane, &r) || r.right <= r.left)
            return false;
        int width = std::min<int>(r.right - r.left, 200);
        int height = std::min<int>(r.bottom - r.top, 40);
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
        int grey = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (GetPixel(memory, x, y) == RGB(0xCC, 0xCC, 0xCC))
                    ++grey;
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return grey > width * 4;  // a bar, not a stray pixel
    }

    std::string folder, exe, ini, output;
    ChildProcess process;
    HWND window = nullptr;
};

// What ending a process costs under this Wine, measured on a program that
// does nothing else, in the same run.
double TrivialExitMs(const std::string& folder)
{
    double slowest = 0;
    for (int round = 0; round < 2; ++round) {
        ChildProcess trivial;
        if (!trivial.Start("\"" + TrivialExe + "\"", folder, ""))
            return -1;
        HWND window = nullptr;
        if (!WaitUntil([&] { return (window = FindProcessWindow(trivial.Id(), "TrivialFrame", true)) != nullptr; },
                       30s))
            return -1;
        double start = NowMs();
        PostMessageA(window, WM_COMMAND, 11, 0);
        if (!trivial.WaitExit(20000))
            return -1;
        slowest = std::max(slowest, NowMs() - start);
    }
    return slowest;
}

bool MenuOpen(DWORD process) { return FindProcessWindow(process, "#32768", true) != nullptr; }

class EndToEnd : public ::testing::Test {
protected:
    SocketLibrary sockets;
};

TEST_F(EndToEnd, ShowsSpeaksAndExitsCleanly)
{
    std::string folder = TestFolder();
    Feed feed;
    ASSERT_TRUE(feed.Start(folder, 0));
    Speech speech;
    ASSERT_TRUE(speech.Start(folder));
    double trivialMs = TrivialExitMs(folder);
    ASSERT_GT(trivialMs, 0);

    Widget widget(folder);
    widget.Set("Quillbrae", "RateUrl", feed.Url());
    widget.Set("Quillbrae", "UpdateTimer", "10000");
    widget.PlaceAwayFromOthers();
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
    EXPECT_NE(ReadSharedFile(widget.output).find("ContentLen:"), std::string::npos);

    // Speech on: one "Speak" line per cycle with the selected pair's price.
    PostMessageA(widget.window, WM_COMMAND, 10, 0);
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
    PostMessageA(widget.window, WM_COMMAND, 10, 0);
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
        ASSERT_TRUE(WaitUntil([&] { return MenuOpen(widget.process.Id()); }, 10s));
        HWND menu = FindProcessWindow(widget.process.Id(), "#32768", true);
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        ASSERT_TRUE(WaitUntil([&] { return !MenuOpen(widget.process.Id()); }, 10s));
        EXPECT_TRUE(widget.process.Running());
    }

    // "&Exit": exit code 0, no slower than a trivial program by more than half a second.
    MoveWindow(widget.window, 640, 560, 500, 280, TRUE);
    double exitMs = widget.Exit();
    EXPECT_EQ(widget.process.ExitCode(), 0u);
    EXPECT_LT(exitMs, trivialMs + 500.0) << "trivial program: " << trivialMs << " ms";
    std::printf("exit: widget %.0f ms, trivial window program %.0f ms\n", exitMs, trivialMs);

    for (const char* key : {"MainLeft", "MainTop", "MainWidth", "MainHeight", "Zoomed"})
        EXPECT_NE(widget.Setting("Window", key), "<missing>") << key;
    EXPECT_EQ(widget.Setting("Window", "MainLeft"), "640");
    EXPECT_EQ(widget.Setting("Window", "MainTop"), "560");
    EXPECT_EQ(widget.Setting("Quillbrae", "UpdateTimer"), "10000");
    EXPECT_EQ(widget.Setting("Quillbrae", "RateUrl"), feed.Url());

    // The next start opens where the last one closed.
    ASSERT_TRUE(widget.Start());
    RECT rect{};
    GetWindowRect(widget.window, &rect);
    EXPECT_EQ(rect.left, 640);
    EXPECT_EQ(rect.top, 560);
    EXPECT_EQ(rect.right - rect.left, 500);
    EXPECT_EQ(rect.bottom - rect.top, 280);
    widget.Exit();
    EXPECT_EQ(widget.process.ExitCode(), 0u);
}

// No speech program: the system voice has been given the selected price
// (Wine 8's refuses; a Windows voice would still be saying it) and holds a
// thread and a COM apartment of its own. Closing must not wait for it.
TEST_F(EndToEnd, ClosingWithTheSystemVoiceInUseTakesNoLonger)
{
    ASSERT_TRUE(WaitUntil([] { return FindWindowA("Voxlume", nullptr) == nullptr; }, 30s))
        << "a speech window of another test stays open";
    std::string folder = TestFolder();
    Feed feed;
    ASSERT_TRUE(feed.Start(folder, 0));
    double trivialMs = TrivialExitMs(folder);
    ASSERT_GT(trivialMs, 0);

    Widget widget(folder);
    widget.Set("Quillbrae", "RateUrl", feed.Url());
    widget.Set("Quillbrae", "UpdateTimer", "10000");
    widget.PlaceAwayFromOthers();
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(WaitUntil([&] { return widget.ShowsRates(); }, 30s));

    PostMessageA(widget.window, WM_COMMAND, 10, 0);
    size_t downloads = widget.Downloads();
    // The first whole cycle after the switch announced the price.
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() >= downloads + 2; }, 40s));
    EXPECT_TRUE(widget.process.Running());

    double exitMs = widget.Exit();
    EXPECT_EQ(widget.process.ExitCode(), 0u);
    EXPECT_LT(exitMs, trivialMs + 500.0) << "trivial program: " << trivialMs << " ms";
    std::printf("exit with the system voice in use: widget %.0f ms, trivial window program %.0f ms\n", exitMs,
                trivialMs);
}

TEST_F(EndToEnd, FeedThatComesUpLateFillsTheListAtTheNextCycle)
{
    std::string folder = TestFolder();
    uint16_t port = FreePort();
    ASSERT_NE(port, 0);
    Widget widget(folder);
    widget.Set("Quillbrae", "RateUrl", "http://127.0.0.1:" + std::to_string(port) + "/rate/neo/rate.asp");
    widget.Set("Quillbrae", "UpdateTimer", "10000");
    widget.PlaceAwayFromOthers();
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(WaitUntil([&] { return widget.Downloads() >= 1; }, 30s)) << "the first cycle ran and failed";
    EXPECT_FALSE(widget.ShowsRates());

    Feed feed;
    ASSERT_TRUE(feed.Start(folder, port));
    size_t failed = widget.Downloads();
    ASSERT_TRUE(WaitUntil([&] { return widget.ShowsRates(); }, 30s));
    EXPECT_LE(widget.Downloads(), failed + 1) << "filled at the first cycle after the feed came up";

    widget.Exit();
    EXPECT_EQ(widget.process.ExitCode(), 0u);
}

TEST_F(EndToEnd, ExitIsNotHeldUpByAFeedThatStallsMidBody)
{
    std::string folder = TestFolder();
    double trivialMs = TrivialExitMs(folder);
    ASSERT_GT(trivialMs, 0);

    ScriptedServer server;
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
    server.Expect({ScriptedServer::Send(head)});
    server.Expect({ScriptedServer::Send(head)});
    server.Expect({ScriptedServer::Send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\nEURUSD,1.0842"),
                   ScriptedServer::Hold()});
    Widget widget(folder);
    widget.Set("Quillbrae", "RateUrl", server.Url("/rate/neo/rate.asp"));
    widget.PlaceAwayFromOthers();
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(server.WaitForRequests(3, 30s));
    EXPECT_EQ(server.Requests().at(2).rfind("GET /rate/neo/rate.asp HTTP/1.1\r\n", 0), 0u);

    double exitMs = widget.Exit();
    EXPECT_EQ(widget.process.ExitCode(), 0u);
    EXPECT_LT(exitMs, trivialMs + 500.0) << "trivial program: " << trivialMs << " ms";
    std::printf("exit while stalled: widget %.0f ms, trivial window program %.0f ms\n", exitMs, trivialMs);
    EXPECT_FALSE(widget.ShowsRates());
}

}  // namespace
