// The application object inside the test process: settings rules, the
// window it makes, its commands, the tray icon's return after a shell
// restart, and how fast it closes while the network keeps it waiting.
#include "app/Quillbrae.h"
#include "http/SocketLibrary.h"
#include "update/UpdateRates.h"
#include "tests/support/ScriptedServer.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// Lets the window thread's messages through until `done` holds or time runs out.
template <typename Condition>
bool PumpUntil(Condition done, DWORD limitMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;  // the widget's own quit; the test decides when to stop
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done())
            return true;
        if (GetTickCount() - start > limitMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

std::string ReadSetting(const char* section, const char* key)
{
    char text[512] = {};
    GetPrivateProfileStringA(section, key, "<missing>", text, sizeof(text), SettingsFilePath().c_str());
    return text;
}

int ScreenX(LPARAM value) { return static_cast<short>(LOWORD(value)); }
int ScreenY(LPARAM value) { return static_cast<short>(HIWORD(value)); }

void WriteSetting(const char* section, const char* key, const char* value)
{
    WritePrivateProfileStringA(section, key, value, SettingsFilePath().c_str());
}

class WidgetInProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clear();
        // Nothing listens on port 9 of loopback: every download fails at once.
        WriteSetting("Quillbrae", "RateUrl", "http://127.0.0.1:9/rate/neo/rate.asp");
    }
    void TearDown() override
    {
        if (widget)
            Close();
        Clear();
    }
    static void Clear()
    {
        DeleteFileA(SettingsFilePath().c_str());
        RemoveDirectoryA(SettingsFilePath().c_str());
    }

    void Open()
    {
        widget = std::make_unique<Quillbrae>();
        ASSERT_TRUE(widget->Create());
        ASSERT_NE(widget->window, nullptr);
    }
    // Closes as the "&Exit" command does and reports how long it took.
    double Close()
    {
        HWND hwnd = widget->window;
        auto start = std::chrono::steady_clock::now();
        widget->OnCommand(Quillbrae::ExitCommand, 0);
        bool closed = PumpUntil([&] { return !IsWindow(hwnd); }, 15000);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(closed);
        widget.reset();
        return ms;
    }

    SocketLibrary sockets;
    std::unique_ptr<Quillbrae> widget;
};

TEST_F(WidgetInProcess, UpdateTimerIsReadWithItsFloorAndWrittenBack)
{
    struct Case {
        const char* stored;  // nullptr: no key
        uint32_t interval;
    };
    const Case cases[] = {
        {nullptr, 12000}, {"11000", 10000}, {"12000", 12000}, {"60000", 60000}, {"0", 10000},
        {"-5", 10000},    {"text", 10000},  {"10000", 10000}, {"99999999999999", Quillbrae::LongestUpdateInterval},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        WriteSetting("Quillbrae", "UpdateTimer", c.stored);
        Open();
        EXPECT_EQ(widget->updateInterval.load(), c.interval);
        Close();
        EXPECT_EQ(ReadSetting("Quillbrae", "UpdateTimer"), std::to_string(c.interval));
    }
}

TEST_F(WidgetInProcess, RateUrlComesFromTheSettingsAndGoesBack)
{
    WriteSetting("Quillbrae", "RateUrl", "http://127.0.0.1:9/elsewhere.asp");
    Open();
    EXPECT_EQ(widget->rateUrl, "http://127.0.0.1:9/elsewhere.asp");
    Close();
    EXPECT_EQ(ReadSetting("Quillbrae", "RateUrl"), "http://127.0.0.1:9/elsewhere.asp");

    // An empty value, or one too long to be an address, gives the built-in feed.
    WriteSetting("Quillbrae", "RateUrl", "");
    Open();
    EXPECT_EQ(widget->rateUrl, names::kDefaultRateUrl);
    Close();
    std::string huge = "http://127.0.0.1:9/" + std::string(Quillbrae::LongestRateUrl, 'x');
    WriteSetting("Quillbrae", "RateUrl", huge.c_str());
    Open();
    EXPECT_EQ(widget->rateUrl, names::kDefaultRateUrl);
    // Closing before the first download could end must not hang either.
}

TEST_F(WidgetInProcess, GarbageSettingsGiveTheDefaults)
{
    std::FILE* file = std::fopen(SettingsFilePath().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    unsigned state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        std::fputc(static_cast<int>((state >> 16) & 0xFF), file);
    }
    std::fclose(file);

    Open();
    EXPECT_EQ(widget->updateInterval.load(), Quillbrae::DefaultUpdateInterval);
    EXPECT_EQ(widget->rateUrl, names::kDefaultRateUrl);
    RECT rect{};
    GetWindowRect(widget->window, &rect);
    EXPECT_EQ(rect.right - rect.left, 640);
    EXPECT_EQ(rect.bottom - rect.top, 480);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 640) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 480) / 2);
}

TEST_F(WidgetInProcess, SettingsThatCannotBeWrittenLoseNothingElse)
{
    Clear();
    ASSERT_TRUE(CreateDirectoryA(SettingsFilePath().c_str(), nullptr));  // a folder where the file would be
    Open();
    EXPECT_EQ(widget->updateInterval.load(), Quillbrae::DefaultUpdateInterval);
    HWND hwnd = widget->window;
    Close();
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WidgetInProcess, WindowIsACaptionlessTopmostToolWindowWithTwoPanes)
{
    Open();
    LONG style = GetWindowLongA(widget->window, GWL_STYLE);
    LONG exStyle = GetWindowLongA(widget->window, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_CAPTION, 0);
    EXPECT_EQ(style & WS_SYSMENU, 0);
    EXPECT_NE(style & WS_THICKFRAME, 0) << "the sizing border stays";
    EXPECT_NE(exStyle & WS_EX_TOOLWINDOW, 0);
    EXPECT_NE(exStyle & WS_EX_TOPMOST, 0);

    char name[64] = {};
    GetClassNameA(widget->window, name, sizeof(name));
    EXPECT_STREQ(name, "MainFrame");
    GetClassNameA(widget->ratePane.window, name, sizeof(name));
    EXPECT_STREQ(name, "BaseWindowPane");
    GetClassNameA(widget->chartPane.window, name, sizeof(name));
    EXPECT_STREQ(name, "RatePane");
}

TEST_F(WidgetInProcess, PanesSplitTheClientAreaAtTwoHundredPixels)
{
    Open();
    struct Case {
        int width, height;
    };
    for (Case c : {Case{500, 300}, Case{150, 120}}) {
        SCOPED_TRACE(c.width);
        SendMessageA(widget->window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.width, c.height));
        RECT rate{}, chart{};
        GetWindowRect(widget->ratePane.window, &rate);
        GetWindowRect(widget->chartPane.window, &chart);
        EXPECT_EQ(rate.right - rate.left, 200);
        EXPECT_EQ(rate.bottom - rate.top, c.height);
        EXPECT_EQ(chart.left - rate.left, 200);
        EXPECT_EQ(chart.right - chart.left, c.width > 200 ? c.width - 200 : 0);
    }
}

TEST_F(WidgetInProcess, SpeechCommandTogglesAndOtherIdsDoNothing)
{
    Open();
    EXPECT_FALSE(widget->ratePane.speechEnabled);
    widget->OnCommand(Quillbrae::UseSpeechCommand, 0);
    EXPECT_TRUE(widget->ratePane.speechEnabled);
    widget->OnCommand(0, 0);
    widget->OnCommand(12, 0);
    EXPECT_TRUE(widget->ratePane.speechEnabled);
    EXPECT_TRUE(IsWindow(widget->window));
    widget->OnCommand(Quillbrae::UseSpeechCommand, 0);
    EXPECT_FALSE(widget->ratePane.speechEnabled);
}

TEST_F(WidgetInProcess, DragStartsFromTheCursorOnTheScreen)
{
    Open();
    // Shown in a corner the end-to-end tests, which read the screen, leave alone.
    SetWindowPos(widget->window, nullptr, 0, 0, 400, 200, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ASSERT_TRUE(SetCursorPos(300, 400));
    // A press on the chart pane goes to the main window with pane-relative
    // coordinates; the move must start where the cursor is on the screen.
    NMHDR click{widget->ratePane.window, 0, static_cast<UINT>(FXRatePane::selectedRowClicked)};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "press on the chart" : "click on the selected row");
        if (i == 0)
            PostMessageA(widget->chartPane.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 7));
        else
            PostMessageA(widget->window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
        // Take the drag request out of the queue before it is dispatched:
        // dispatched, it would start a real move loop.
        MSG msg{};
        bool seen = false;
        DWORD start = GetTickCount();
        while (!seen && GetTickCount() - start < 5000) {
            if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
                continue;
            }
            if (msg.message == WM_NCLBUTTONDOWN && msg.hwnd == widget->window)
                seen = true;
            else if (msg.message != WM_QUIT)
                DispatchMessageA(&msg);
        }
        ASSERT_TRUE(seen);
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(HTCAPTION));
        EXPECT_EQ(ScreenX(msg.lParam), 300);
        EXPECT_EQ(ScreenY(msg.lParam), 400);
    }
}

TEST_F(WidgetInProcess, TrayIconReturnsWhenTheTaskbarIsCreatedAgain)
{
    Open();
    NOTIFYICONDATAA probe{};
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = widget->window;
    probe.uID = Quillbrae::TrayIconId;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &probe)) << "the icon was added at creation";
    EXPECT_EQ(widget->trayIcon.uCallbackMessage, static_cast<UINT>(WM_USER + 1));

    // What a restarting shell does: it forgets the icon, then announces itself.
    Shell_NotifyIconA(NIM_DELETE, &probe);
    ASSERT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    SendMessageA(widget->window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &probe));

    Close();
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe)) << "the icon goes with the widget";
}

TEST_F(WidgetInProcess, ClosesAtOnceWhileADownloadHangs)
{
    ScriptedServer server;
    server.SetFallback({ScriptedServer::Hold()});
    WriteSetting("Quillbrae", "RateUrl", server.Url("/rate/neo/rate.asp").c_str());
    Open();
    ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(10))) << "the worker is waiting on the server";
    double ms = Close();
    EXPECT_LT(ms, 500.0);
}

TEST_F(WidgetInProcess, ClosesAtOnceWhileWaitingForTheNextUpdate)
{
    const std::string body = "EURUSD,1.08421,1.08452,-,1.0900,1.0800,+0.12x,1.0830,-,";
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    ScriptedServer server;
    server.Expect({ScriptedServer::Send(head)});  // the two redirect probes
    server.Expect({ScriptedServer::Send(head)});
    server.Expect({ScriptedServer::Send(head + body)});
    WriteSetting("Quillbrae", "RateUrl", server.Url("/rate/neo/rate.asp").c_str());
    Open();
    ASSERT_TRUE(PumpUntil([&] { return !widget->ratePane.rates.Lock()->empty(); }, 15000));
    EXPECT_EQ(widget->ratePane.rates.Lock()->front().code, "EURUSD");
    // The cycle is over; the worker now waits for the next one, and a stop
    // must cut that wait short.
    double ms = Close();
    EXPECT_LT(ms, 500.0);
}

}  // namespace

// Spoken prices without a speech program: the system voice. Run on their
// own (no speech window of another test may be open meanwhile).
class WidgetSpeech : public WidgetInProcess {};

TEST_F(WidgetSpeech, WithoutASpeechProgramTheSystemVoiceSpeaksOrTheTrayTipSaysWhyNot)
{
    ASSERT_TRUE(PumpUntil([] { return FindWindowA("Voxlume", nullptr) == nullptr; }, 30000))
        << "another speech window stays open";
    const std::string body = "EURUSD,1.08421,1.08452,-,1.0900,1.0800,+0.12x,1.0830,-,";
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    ScriptedServer server;
    server.Expect({ScriptedServer::Send(head)});
    server.Expect({ScriptedServer::Send(head)});
    server.Expect({ScriptedServer::Send(head + body)});
    server.SetFallback({ScriptedServer::Send(head)});  // later cycles: the list stays as it is
    WriteSetting("Quillbrae", "RateUrl", server.Url("/rate/neo/rate.asp").c_str());
    Open();
    ASSERT_TRUE(PumpUntil([&] { return !widget->ratePane.rates.Lock()->empty(); }, 15000));
    SystemVoice& voice = widget->announcer.Voice();
    EXPECT_EQ(voice.SpeakCalls(), 0u) << "speech is off";
    const std::string plainTip = widget->trayIcon.szTip;

    // The next update after speech is switched on reaches the voice.
    widget->OnCommand(Quillbrae::UseSpeechCommand, 0);
    ASSERT_TRUE(PumpUntil([&] { return voice.SpeakCalls() >= 1; }, 30000));
    EXPECT_EQ(voice.SpeakCalls(), 1u);
    bool refused = FAILED(voice.LastResult());  // Wine 8: E_NOTIMPL
    std::printf("system voice answered 0x%08lX\n", static_cast<unsigned long>(voice.LastResult()));
    if (refused) {
        ASSERT_TRUE(PumpUntil([&] { return std::string(widget->trayIcon.szTip) != plainTip; }, 10000));
        EXPECT_NE(std::string(widget->trayIcon.szTip).find("would not speak"), std::string::npos)
            << widget->trayIcon.szTip;
    }

    // The widget carries on; a refusing voice is left alone meanwhile.
    size_t requests = server.Requests().size();
    ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() >= requests + 3; }, 30000));
    ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() >= requests + 6; }, 30000));
    EXPECT_EQ(voice.SpeakCalls(), refused ? 1u : 3u);

    // Switched off and on again: the notice goes and the voice is tried anew.
    widget->OnCommand(Quillbrae::UseSpeechCommand, 0);
    widget->OnCommand(Quillbrae::UseSpeechCommand, 0);
    EXPECT_EQ(std::string(widget->trayIcon.szTip), plainTip);
    unsigned before = voice.SpeakCalls();
    ASSERT_TRUE(PumpUntil([&] { return voice.SpeakCalls() > before; }, 30000));
    if (refused) {
        EXPECT_TRUE(PumpUntil([&] { return std::string(widget->trayIcon.szTip) != plainTip; }, 10000));
    }

    double ms = Close();
    EXPECT_LT(ms, 500.0);
}
