// The application object inside the test process: settings rules, the
// window it makes, its commands, the tray icon's return after a shell
// restart, and how fast it closes while the network keeps it waiting.
#include "app/Quillbrae.h"
#include "http/HttpFailure.h"
#include "http/SocketLibrary.h"
#include "update/UpdateRates.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TlsTestServer.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

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

// The widget against the tests' own HTTPS servers, trusting their authority
// through "TrustedCertificate".
class WidgetOverHttps : public WidgetInProcess {
protected:
    static void SetUpTestSuite()
    {
        suiteSockets = new SocketLibrary;
        server = new TlsTestServer(QB_TLS_DIR);
        // Beside the executable, named relative to it.
        CopyFileA(server->WindowsPath("ca.pem").c_str(), (ProgramDirectory() + kAuthorityFile).c_str(), FALSE);
    }
    static void TearDownTestSuite()
    {
        DeleteFileA((ProgramDirectory() + kAuthorityFile).c_str());
        delete server;
        delete suiteSockets;
    }
    void SetUp() override
    {
        WidgetInProcess::SetUp();
        ASSERT_TRUE(server->Running()) << "no python3 with cryptography for the test server?";
    }

    // Starts the widget on `url` and waits for its first cycle to end with
    // `result` (and, for a success, for the records).
    void RunFirstCycle(const std::string& url, const char* trusted, int result)
    {
        WriteSetting("Quillbrae", "RateUrl", url.c_str());
        WriteSetting("Quillbrae", "TrustedCertificate", trusted);
        Open();
        bool ended = PumpUntil(
            [&] {
                return widget->LastUpdateResult() == result &&
                       (result != 0 || !widget->ratePane.rates.Lock()->empty());
            },
            20000);
        EXPECT_TRUE(ended) << "last result " << widget->LastUpdateResult() << " ("
                           << HttpFailureText(widget->LastUpdateResult()) << ")";
    }

    std::vector<std::string> Codes()
    {
        std::vector<std::string> codes;
        for (const FXRate& rate : *widget->ratePane.rates.Lock())
            codes.push_back(rate.code);
        return codes;
    }

    static constexpr const char* kAuthorityFile = "test-authority.pem";
    static SocketLibrary* suiteSockets;
    static TlsTestServer* server;
};

SocketLibrary* WidgetOverHttps::suiteSockets = nullptr;
TlsTestServer* WidgetOverHttps::server = nullptr;

// One row per kind of rate document the widget reads.
struct RateBody {
    const char* name;
    std::string body;
    std::vector<std::string> codes;  // the records it makes, in order
};
const RateBody kRateBodies[] = {
    {"rate list",
     "EURUSD,1.08421,1.08452,-,1.0900,1.0800,+0.12x,1.0830,-,USDJPY,151.20,151.30,-,152.00,150.00,-0.40x,151.0,-,",
     {"EURUSD", "USDJPY"}},
};

TEST_F(WidgetOverHttps, ShowsEachRateDocumentFromATrustedPrivateFeed)
{
    for (const RateBody& row : kRateBodies) {
        SCOPED_TRACE(row.name);
        const std::string file = std::string("body-") + std::to_string(&row - kRateBodies) + ".txt";
        server->Publish(file, row.body);
        // Relative to the executable, as PEM; written back at close.
        RunFirstCycle(server->Url("good", "/file/" + file, "localhost"), kAuthorityFile, 0);
        EXPECT_EQ(Codes(), row.codes);
        Close();
        EXPECT_EQ(ReadSetting("Quillbrae", "TrustedCertificate"), kAuthorityFile);
        // Absolute, as DER, reached through a redirect from http.
        RunFirstCycle(server->Url("plain", "/to-https/" + file), server->WindowsPath("ca.der").c_str(), 0);
        EXPECT_EQ(Codes(), row.codes);
        Close();
    }
}

TEST_F(WidgetOverHttps, TakesNoDataFromAServerItCannotTrust)
{
    server->Publish("rates.txt", kRateBodies[0].body);
    struct Case {
        const char* name;
        std::string url;
        const char* trusted;  // nullptr: no key
        int result;
    };
    const Case cases[] = {
        {"authority not named", server->Url("good", "/file/rates.txt"), nullptr, HttpFailure::kCertUntrusted},
        {"another authority", server->Url("untrusted", "/file/rates.txt"), kAuthorityFile,
         HttpFailure::kCertUntrusted},
        {"another name", server->Url("wrongname", "/file/rates.txt", "localhost"), kAuthorityFile,
         HttpFailure::kCertWrongName},
        {"expired", server->Url("expired", "/file/rates.txt"), kAuthorityFile, HttpFailure::kCertExpired},
        {"named file missing", server->Url("good", "/file/rates.txt"), "no-such-authority.pem",
         HttpFailure::kCertUnreadable},
        {"redirect to http", server->Url("good", "/to-http/rates.txt"), kAuthorityFile, HttpFailure::kRedirectToHttp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunFirstCycle(c.url, c.trusted, c.result);
        EXPECT_TRUE(widget->ratePane.rates.Lock()->empty());
        Close();
        EXPECT_EQ(ReadSetting("Quillbrae", "TrustedCertificate"), c.trusted ? c.trusted : "<missing>");
    }
}

}  // namespace
