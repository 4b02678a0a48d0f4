// The application object inside the test process: settings rules, the
// window it makes, its commands, the tray icon's return after a shell
// restart, and how fast it closes while the network keeps it waiting.
#include "app/Quillbrae.h"
#include "app/StartWithWindows.h"
#include "base/Names.h"
#include "base/UtcTime.h"
#include "http/HttpFailure.h"
#include "http/SocketLibrary.h"
#include "rates/DecodeRates.h"
#include "rates/DocumentQuotes.h"
#include "rates/HistoryStore.h"
#include "rates/RateHistory.h"
#include "tests/app/ScriptedRates.h"
#include "tests/support/MessageWait.h"
#include "tests/support/Picture.h"
#include "tests/support/RateDocuments.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/SettingsFile.h"
#include "tests/support/TlsTestServer.h"
#include "tests/tools/RunningFeed.h"
#include "update/UpdateRates.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

int ScreenX(LPARAM value)
{
    return static_cast<short>(LOWORD(value));
}
int ScreenY(LPARAM value)
{
    return static_cast<short>(HIWORD(value));
}

std::string WindowText(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

auto IsColour(COLORREF colour)
{
    return [colour](COLORREF pixel) { return pixel == colour; };
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}
bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

class WidgetInProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clear();
        // Nothing listens on port 9 of loopback: every download fails at once.
        const std::string nowhere = std::string("http://127.0.0.1:9") + names::kDefaultRatePath;
        WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", nowhere.c_str());
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
        ForgetHistories();
    }
    static void ForgetHistories()
    {
        DeleteFileA(HistoryPathBeside(SettingsFilePath()).c_str());
        DeleteFileA((HistoryPathBeside(SettingsFilePath()) + ".bad").c_str());
    }

    // Each start begins from no saved histories: what one run kept would be
    // the next one's first list.
    void Open(bool keepHistories = false)
    {
        if (!keepHistories)
            ForgetHistories();
        widget = std::make_unique<Quillbrae>();
        // Never the public sources: a test must not reach the internet.
        widget->defaultRateUrl = kNowhereDefault;
        ASSERT_TRUE(widget->Create());
        ASSERT_NE(widget->window, nullptr);
    }
    // Closes as the "&Exit" command does and reports how long it took.
    double Close()
    {
        HWND hwnd = widget->window;
        auto start = std::chrono::steady_clock::now();
        widget->OnCommand(Quillbrae::ExitCommand, 0);
        bool closed = PumpUntil([&] { return !IsWindow(hwnd); }, 15s);
        double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(closed);
        widget.reset();
        return ms;
    }

    // Stands in for the public sources when the settings name none.
    static constexpr const char* kNowhereDefault =
        "http://127.0.0.1:9/default.asp http://127.0.0.1:9/fallback.asp";

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
        {nullptr, 12000}, {"11000", 10000}, {"12000", 12000},
        {"60000", 60000}, {"0", 10000},     {"-5", 10000},
        {"text", 10000},  {"10000", 10000}, {"99999999999999", Quillbrae::LongestUpdateInterval},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        WriteSetting(SettingsFilePath(), "Quillbrae", "UpdateTimer", c.stored);
        Open();
        EXPECT_EQ(widget->updateInterval.load(), c.interval);
        Close();
        EXPECT_EQ(ReadSetting(SettingsFilePath(), "Quillbrae", "UpdateTimer"), std::to_string(c.interval));
    }
}

TEST_F(WidgetInProcess, RateUrlComesFromTheSettingsAndGoesBack)
{
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", "http://127.0.0.1:9/elsewhere.asp");
    Open();
    EXPECT_EQ(widget->rateUrl, "http://127.0.0.1:9/elsewhere.asp");
    Close();
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Quillbrae", "RateUrl"), "http://127.0.0.1:9/elsewhere.asp");

    // An empty value, or one too long to be an address, gives the default
    // sources, which are the program's and not written into the settings.
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", "");
    Open();
    EXPECT_EQ(widget->rateUrl, kNowhereDefault);
    Close();
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Quillbrae", "RateUrl"), "");
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", nullptr);
    Open();
    EXPECT_EQ(widget->rateUrl, kNowhereDefault);
    Close();
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Quillbrae", "RateUrl"), "<missing>");
    std::string huge = "http://127.0.0.1:9/" + std::string(Quillbrae::LongestRateUrl, 'x');
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", huge.c_str());
    Open();
    EXPECT_EQ(widget->rateUrl, kNowhereDefault);
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
    // No usable "RateUrl": the default sources, asked at their own pace.
    EXPECT_EQ(widget->updateInterval.load(), Quillbrae::PublicUpdateInterval);
    EXPECT_EQ(widget->rateUrl, kNowhereDefault);
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
    EXPECT_EQ(widget->updateInterval.load(), Quillbrae::PublicUpdateInterval)
        << "no settings: the default sources";
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
    EXPECT_STREQ(name, names::kMainWindowClass);
    GetClassNameA(widget->ratePane.window, name, sizeof(name));
    EXPECT_STREQ(name, "BaseWindowPane");
    GetClassNameA(widget->chartPane.window, name, sizeof(name));
    EXPECT_STREQ(name, "RatePane");
}

TEST_F(WidgetInProcess, AlwaysOnTopAndOpacityComeFromTheSettings)
{
    struct Case {
        const char* onTop;    // nullptr: no key
        const char* opacity;  // nullptr: no key
        bool topmost;
        int alpha;  // -1: not a layered window
    } const cases[] = {
        {nullptr, nullptr, true, -1}, {"0", "70", false, 179},
        {"1", "100", true, -1},       {"1", "5", true, 102},  // pulled up to 40 %
        {"yes", "abc", true, -1},                             // no numbers: the defaults
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.onTop ? c.onTop : "(missing)") + " / " +
                     (c.opacity ? c.opacity : "(missing)"));
        WriteSetting(SettingsFilePath(), "Quillbrae", "AlwaysOnTop", c.onTop);
        WriteSetting(SettingsFilePath(), "Quillbrae", "Opacity", c.opacity);
        Open();
        LONG exStyle = GetWindowLongA(widget->window, GWL_EXSTYLE);
        EXPECT_EQ((exStyle & WS_EX_TOPMOST) != 0, c.topmost);
        EXPECT_EQ((exStyle & WS_EX_LAYERED) != 0, c.alpha >= 0);
        BYTE alpha = 0;
        DWORD flags = 0;
        if (c.alpha >= 0) {
            ASSERT_TRUE(GetLayeredWindowAttributes(widget->window, nullptr, &alpha, &flags));
            EXPECT_NE(flags & LWA_ALPHA, 0u);
            EXPECT_EQ(alpha, c.alpha);
        }
        Close();
    }
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

TEST_F(WidgetInProcess, StatusGoesToTheWindowTextAndTheTrayTipInStep)
{
    ScriptedServer server;
    server.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", RateList(3)))});
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
    Open();
    auto text = [&] { return WindowText(widget->window); };
    ASSERT_TRUE(PumpUntil([&] { return StartsWith(text(), "Quillbrae - updated "); }, 15s)) << text();
    EXPECT_EQ(text().size(), std::string("Quillbrae - updated 12:34:56 from 127.0.0.1").size()) << text();
    EXPECT_TRUE(EndsWith(text(), " from 127.0.0.1")) << text();
    EXPECT_EQ(widget->StatusText(), text().substr(12));
    EXPECT_STREQ(widget->tray.Record().szTip, text().c_str());

    // A failure names the last success and the reason; the tip, cut to fit
    // its 63 characters, says the same.
    const std::string since = "Quillbrae - no update since " + text().substr(20, 8) + ": ";
    widget->updateInterval = 300;
    server.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("503 Service Unavailable", "busy"))});
    widget->OnCommand(Quillbrae::UpdateNowCommand, 0);
    ASSERT_TRUE(PumpUntil([&] { return text() == since + "HTTP 503"; }, 10s)) << text();
    EXPECT_STREQ(widget->tray.Record().szTip, text().c_str());

    server.Stop();
    widget->OnCommand(Quillbrae::UpdateNowCommand, 0);
    ASSERT_TRUE(PumpUntil([&] { return text() == since + "connection refused"; }, 10s)) << text();
    EXPECT_STREQ(widget->tray.Record().szTip, text().c_str());
    EXPECT_LE(std::strlen(widget->tray.Record().szTip), 63u);
}

TEST_F(WidgetInProcess, BeforeAnyRatesTheStatusSaysWhyThereAreNone)
{
    Open();  // port 9: refused
    ASSERT_TRUE(PumpUntil([&] { return !WindowText(widget->window).empty(); }, 15s));
    EXPECT_EQ(WindowText(widget->window), "Quillbrae - no rates yet: connection refused");
    // The pane says so too, in the warning colour, though it has no rows.
    Picture pane = Picture::Printed(widget->ratePane.window);
    EXPECT_GT(pane.Count(IsReddish), 20);
}

TEST_F(WidgetInProcess, FailuresSpaceTheAttemptsOutMoreAndMore)
{
    ScriptedServer server;
    server.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("503 Service Unavailable", ""))});
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
    Open();
    ASSERT_TRUE(PumpUntil([&] { return !WindowText(widget->window).empty(); }, 15s));
    // The first failure set a wait of twice the 12 s interval; "&Update now"
    // cuts it short and forgets that failure, so the count starts again.
    const uint32_t interval = 250;
    widget->updateInterval = interval;
    const size_t from = server.Requests().size();
    ASSERT_EQ(from % 3, 0u) << "two redirect probes and the request per cycle";
    widget->OnCommand(Quillbrae::UpdateNowCommand, 0);
    const size_t cycles = 5;
    ASSERT_TRUE(server.WaitForRequests(from + 3 * cycles, std::chrono::seconds(20)));

    auto times = server.RequestTimes();
    double previous = 0;
    for (size_t k = 0; k + 1 < cycles; ++k) {
        // From the end of one cycle's request to the start of the next.
        double gap =
            std::chrono::duration<double, std::milli>(times[from + 3 * (k + 1)] - times[from + 3 * k + 2])
                .count();
        double planned = interval * double(2u << k);  // 2, 4, 8, 16 intervals
        SCOPED_TRACE(testing::Message() << "gap " << k << ": " << gap << " ms, planned " << planned);
        EXPECT_GE(gap, planned * 0.9 - 5);
        EXPECT_GT(gap, previous);
        previous = gap;
        std::printf("gap after failure %zu: %.0f ms (planned %.0f +-10 %%)\n", k + 1, gap, planned);
    }
}

TEST_F(WidgetInProcess, RetryAfterHoldsTheNextAttemptBack)
{
    ScriptedServer server;
    server.SetFallback(
        {ScriptedServer::Send(ScriptedServer::Answer("429 Too Many Requests", "", "Retry-After: 2\r\n"))});
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
    Open();
    ASSERT_TRUE(PumpUntil([&] { return !WindowText(widget->window).empty(); }, 15s));
    widget->updateInterval = 250;  // the ordinary back-off would come back after 500 ms
    const size_t from = server.Requests().size();
    widget->OnCommand(Quillbrae::UpdateNowCommand, 0);
    ASSERT_TRUE(server.WaitForRequests(from + 4, std::chrono::seconds(10)));
    auto times = server.RequestTimes();
    double gap = std::chrono::duration<double, std::milli>(times[from + 3] - times[from + 2]).count();
    EXPECT_GE(gap, 1990.0);
    EXPECT_EQ(WindowText(widget->window), "Quillbrae - no rates yet: HTTP 429");
}

// The last GET a server received; empty when none.
std::string LastGet(const ScriptedServer& server)
{
    std::string last;
    for (const std::string& request : server.Requests()) {
        if (request.rfind("GET ", 0) == 0)
            last = request;
    }
    return last;
}

size_t Gets(const ScriptedServer& server)
{
    const std::vector<std::string> requests = server.Requests();
    return static_cast<size_t>(std::count_if(requests.begin(), requests.end(),
                                             [](const std::string& r) { return r.rfind("GET ", 0) == 0; }));
}

TEST_F(WidgetInProcess, SeveralSourcesFallBackInTheSameCycleAndThePreferredOneReturns)
{
    ScriptedServer preferred, fallback;
    preferred.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("503 Service Unavailable", "busy"))});
    fallback.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", RateList(3)))});
    // Told apart in the status by the names they are reached by.
    const std::string urls = "http://localhost:" + std::to_string(preferred.Port()) +
                             names::kDefaultRatePath + " ftp://127.0.0.1/nothing.asp " +
                             fallback.Url(names::kDefaultRatePath);
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", urls.c_str());
    Open();
    auto text = [&] { return WindowText(widget->window); };
    ASSERT_TRUE(PumpUntil([&] { return StartsWith(text(), "Quillbrae - updated "); }, 15s)) << text();
    EXPECT_TRUE(EndsWith(
        text(), " from 127.0.0.1; ignored ftp://127.0.0.1/nothing.asp: not an http or https address"))
        << text();
    EXPECT_EQ(widget->ratePane.rates.Lock()->size(), 3u);
    EXPECT_EQ(Gets(preferred), 1u);
    EXPECT_EQ(Gets(fallback), 1u);

    // Both fail: the status names the last one asked.
    fallback.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("500 Internal Server Error", ""))});
    widget->OnCommand(Quillbrae::UpdateNowCommand, 0);
    ASSERT_TRUE(
        PumpUntil([&] { return text().find(": HTTP 500 from 127.0.0.1;") != std::string::npos; }, 10s))
        << text();

    // The preferred source answers again, saying how long its answer stays
    // fresh: it is used at once, and the status says when it is asked next.
    preferred.SetFallback({ScriptedServer::Send(
        ScriptedServer::Answer("200 OK", RateList(4), "Cache-Control: public, max-age=1800\r\n"))});
    widget->OnCommand(Quillbrae::UpdateNowCommand, 0);
    ASSERT_TRUE(
        PumpUntil([&] { return text().find(" from localhost, next check ") != std::string::npos; }, 10s))
        << text();
    const size_t fallbackGets = Gets(fallback);
    EXPECT_EQ(LastGet(preferred).find("If-None-Match"), std::string::npos);
    widget->OnCommand(Quillbrae::UpdateNowCommand, 0);  // asks anyway, and only the preferred source
    ASSERT_TRUE(PumpUntil([&] { return Gets(preferred) >= 4; }, 10s));
    EXPECT_EQ(Gets(fallback), fallbackGets);
}

TEST_F(WidgetInProcess, UpdateNowFetchesWithinTwoSeconds)
{
    ScriptedServer server;
    server.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", RateList(2)))});
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
    Open();
    ASSERT_TRUE(server.WaitForRequests(3, std::chrono::seconds(10)));
    ASSERT_TRUE(PumpUntil([&] { return !WindowText(widget->window).empty(); }, 15s));
    EXPECT_FALSE(server.WaitForRequests(4, std::chrono::milliseconds(300))) << "the next is 12 s away";
    widget->OnCommand(Quillbrae::UpdateNowCommand, 0);
    EXPECT_TRUE(server.WaitForRequests(4, std::chrono::seconds(2)));
}

TEST_F(WidgetInProcess, RowsAndTheChartLineGreyOnceStaleAndRegainColoursAfterRecovery)
{
    ScriptedServer server;
    server.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", RateList(6)))});
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
    Open();
    SetWindowPos(widget->window, nullptr, 0, 0, 520, 300, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    ASSERT_TRUE(
        PumpUntil([&] { return StartsWith(WindowText(widget->window), "Quillbrae - updated"); }, 15s));
    widget->updateInterval = 200;                       // stale 500 ms after the last success
    widget->OnCommand(Quillbrae::UpdateNowCommand, 0);  // a second sample: the chart draws a line
    const COLORREF line = RGB(0xEB, 0x52, 0x5D), staleLine = RGB(0xA0, 0xA0, 0xA0);
    auto fresh = [&] {
        return Picture::Printed(widget->ratePane.window).Count(IsRedOrBlue, 0, 100) > 50 &&
               Picture::Printed(widget->chartPane.window).Count(IsColour(line)) > 0;
    };
    auto stale = [&] {
        Picture chart = Picture::Printed(widget->chartPane.window);
        return Picture::Printed(widget->ratePane.window).Count(IsRedOrBlue, 0, 100) == 0 &&
               chart.Count(IsColour(line)) == 0 && chart.Count(IsColour(staleLine)) > 0;
    };
    ASSERT_TRUE(PumpUntil(fresh, 10s));

    server.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("503 Service Unavailable", ""))});
    ASSERT_TRUE(PumpUntil(stale, 10s)) << WindowText(widget->window);
    EXPECT_TRUE(EndsWith(WindowText(widget->window), ": HTTP 503"));

    server.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", RateList(6)))});
    widget->OnCommand(Quillbrae::UpdateNowCommand, 0);
    ASSERT_TRUE(PumpUntil(fresh, 10s)) << WindowText(widget->window);
    EXPECT_TRUE(StartsWith(WindowText(widget->window), "Quillbrae - updated"));
}

TEST_F(WidgetInProcess, SavedHistoriesShowAtOnceGreyAndADamagedFileIsSetAsideWithOneNote)
{
    const std::string historyPath = HistoryPathBeside(SettingsFilePath());
    std::vector<std::string> shown;
    {
        ScriptedServer server;
        server.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", RateList(6)))});
        WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
        Open();
        ASSERT_TRUE(
            PumpUntil([&] { return StartsWith(WindowText(widget->window), "Quillbrae - updated"); }, 15s));
        for (const FXRate& rate : *widget->ratePane.rates.Lock())
            shown.push_back(rate.code + " " + rate.priceText);
        ASSERT_FALSE(shown.empty());
        Close();
    }
    ASSERT_NE(GetFileAttributesA(historyPath.c_str()), INVALID_FILE_ATTRIBUTES) << "saved at close";

    // Started again with no source to reach: the same prices at once, grey.
    const std::string nowhere = std::string("http://127.0.0.1:9") + names::kDefaultRatePath;
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", nowhere.c_str());
    Open(true);
    std::vector<std::string> loaded;
    for (const FXRate& rate : *widget->ratePane.rates.Lock())
        loaded.push_back(rate.code + " " + rate.priceText);
    EXPECT_EQ(loaded, shown) << "before any update";
    SetWindowPos(widget->window, nullptr, 0, 0, 520, 300, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    auto grey = [&] {
        Picture pane = Picture::Printed(widget->ratePane.window);
        return pane.Count(IsRedOrBlue, 0, 100) == 0 &&
               pane.Count(IsColour(RGB(0x80, 0x80, 0x80)), 0, 100) > 50;
    };
    EXPECT_TRUE(PumpUntil(grey, 10s)) << "saved prices show stale until an update succeeds";
    EXPECT_EQ(widget->StatusText().find("history"), std::string::npos) << widget->StatusText();
    Close();

    // Damaged: set aside, said once, and the widget runs on without it.
    std::string bytes;
    {
        std::FILE* file = std::fopen(historyPath.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        char block[4096];
        for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;)
            bytes.append(block, got);
        std::fclose(file);
    }
    ASSERT_GT(bytes.size(), 40u);
    bytes[bytes.size() / 2] ^= 0x04;
    {
        std::FILE* file = std::fopen(historyPath.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    Open(true);
    EXPECT_TRUE(widget->ratePane.rates.Lock()->empty());
    const std::string status = widget->StatusText();
    const size_t note = status.find("history not read");
    EXPECT_NE(note, std::string::npos) << status;
    EXPECT_EQ(status.find("history not read", note + 1), std::string::npos) << "once: " << status;
    EXPECT_TRUE(StartsWith(WindowText(widget->window), "Quillbrae - "));
    EXPECT_NE(GetFileAttributesA((historyPath + ".bad").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(historyPath.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(IsWindow(widget->window));
    Close();
    EXPECT_NE(GetFileAttributesA((historyPath + ".bad").c_str()), INVALID_FILE_ATTRIBUTES)
        << "kept after close";
}

TEST_F(WidgetInProcess, ADatedSourcesChangeIsAgainstThePreviousFixingWithItsFixingsAsPrices)
{
    // The daily page is dated 2026-12-07 (USD 1.0855); its history holds
    // the three working days before it.
    const std::string history = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gesmes:Envelope "
                                "xmlns:gesmes=\"http://www.gesmes.org/xml/2002-08-01\" "
                                "xmlns=\"http://www.ecb.int/vocabulary/2002-08-01/eurofxref\">\n<Cube>\n"
                                "<Cube time='2026-12-04'><Cube currency='USD' rate='1.0800'/></Cube>\n"
                                "<Cube time='2026-12-03'><Cube currency='USD' rate='1.0700'/></Cube>\n"
                                "<Cube time='2026-12-02'><Cube currency='USD' rate='1.0750'/></Cube>\n"
                                "</Cube>\n</gesmes:Envelope>\n";
    ScriptedServer daily, fixings;
    daily.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", kEcbDaily))});
    fixings.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", history))});
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", daily.Url("/daily.xml").c_str());
    WriteSetting(SettingsFilePath(), "Quillbrae", "HistoryUrl", fixings.Url("/hist.xml").c_str());
    Open();
    ASSERT_TRUE(PumpUntil([&] { return !widget->ratePane.rates.Lock()->empty(); }, 15s));
    const std::vector<std::string> asked = fixings.Requests();
    EXPECT_EQ(
        std::count_if(asked.begin(), asked.end(), [](const std::string& r) { return StartsWith(r, "GET "); }),
        1)
        << "read once at start (after its redirect probes)";
    {
        const auto records = widget->ratePane.rates.Lock();
        const FXRate& usd = records->front();
        ASSERT_EQ(usd.code, "EURUSD");
        EXPECT_EQ(usd.changeText, "+0.51") << "1.0855 against the fixing of 2026-12-04";
        EXPECT_EQ(usd.openText, "1.08");
        // The price a day: the three fixings, then the page's own day.
        ASSERT_TRUE(usd.priceSeries);
        const int64_t fixing = kFixingMillisecondOfDay;
        const std::pair<int64_t, float> days[] = {{DaysFromCivil(2026, 12, 2), 1.075f},
                                                  {DaysFromCivil(2026, 12, 3), 1.07f},
                                                  {DaysFromCivil(2026, 12, 4), 1.08f},
                                                  {DaysFromCivil(2026, 12, 7), 1.0855f}};
        ASSERT_EQ(usd.history.size(), std::size(days));
        for (std::size_t i = 0; i < std::size(days); ++i) {
            EXPECT_EQ(usd.history[i].time, days[i].first * kMillisecondsPerDay + fixing) << i;
            EXPECT_FLOAT_EQ(usd.history[i].value, days[i].second) << i;
        }
        EXPECT_EQ((*records)[1].changeText, "+0.00") << "a pair the history does not hold";
    }
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Quillbrae", "HistoryUrl"), fixings.Url("/hist.xml"));
    Close();
    EXPECT_EQ(ReadSetting(SettingsFilePath(), "Quillbrae", "HistoryUrl"), fixings.Url("/hist.xml"))
        << "kept as written";
}

TEST_F(WidgetInProcess, SpeechCommandTogglesAndOtherIdsDoNothing)
{
    Open();
    EXPECT_FALSE(widget->ratePane.speechEnabled);
    widget->OnCommand(Quillbrae::UseSpeechCommand, 0);
    EXPECT_TRUE(widget->ratePane.speechEnabled);
    widget->OnCommand(0, 0);
    widget->OnCommand(13, 0);
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
        ASSERT_TRUE(PumpUntilMessage(
            [&](const MSG& m) { return m.message == WM_NCLBUTTONDOWN && m.hwnd == widget->window; }, msg,
            5s));
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
    EXPECT_EQ(widget->tray.Record().uCallbackMessage, static_cast<UINT>(WM_USER + 1));

    // What a restarting shell does: it forgets the icon, then announces itself.
    Shell_NotifyIconA(NIM_DELETE, &probe);
    ASSERT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    SendMessageA(widget->window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &probe));

    Close();
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe)) << "the icon goes with the widget";
}

// Waking from sleep: the rates are fetched again within seconds, not at the
// next interval, and the two words Windows sends for one wake make one update.
TEST_F(WidgetInProcess, WakingFromSleepUpdatesWithinFourSecondsOncePerWake)
{
    const std::string body = "EURUSD,1.08421,1.08452,-,1.0900,1.0800,+0.12x,1.0830,-,";
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    ScriptedServer server;
    server.SetFallback({ScriptedServer::Send(head + body)});
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
    WriteSetting(SettingsFilePath(), "Quillbrae", "UpdateTimer", "600000");  // ten minutes
    Open();
    ASSERT_TRUE(
        PumpUntil([&] { return StartsWith(WindowText(widget->window), "Quillbrae - updated"); }, 15s));
    const size_t firstCycle = server.Requests().size();

    PostMessageA(widget->window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() > firstCycle; }, 4s))
        << "no request within four seconds of the wake";
    ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() >= 2 * firstCycle; }, 10s));
    const size_t afterWake = server.Requests().size();

    // The same wake's second word, as when someone is at the machine.
    PostMessageA(widget->window, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    EXPECT_FALSE(PumpUntil([&] { return server.Requests().size() > afterWake; }, 3500ms));
    EXPECT_EQ(server.Requests().size(), afterWake);
}

TEST_F(WidgetInProcess, ClosesAtOnceWhileADownloadHangs)
{
    ScriptedServer server;
    server.SetFallback({ScriptedServer::Hold()});
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
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
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
    Open();
    ASSERT_TRUE(PumpUntil([&] { return !widget->ratePane.rates.Lock()->empty(); }, 15s));
    EXPECT_EQ(widget->ratePane.rates.Lock()->front().code, "EURUSD");
    // The cycle is over; the worker now waits for the next one, and a stop
    // must cut that wait short.
    double ms = Close();
    EXPECT_LT(ms, 500.0);
}

TEST_F(WidgetInProcess, RateFormatComesFromTheSettingsAndGoesBack)
{
    struct Case {
        const char* stored;  // nullptr: no key
        RateFormat format;
        const char* written;
    } const cases[] = {
        {nullptr, RateFormat::Auto, "auto"}, {"json", RateFormat::Json, "json"},
        {"ECB", RateFormat::Ecb, "ecb"},     {"list", RateFormat::List, "list"},
        {"xml", RateFormat::Auto, "auto"},   {"", RateFormat::Auto, "auto"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        WriteSetting(SettingsFilePath(), "Quillbrae", "RateFormat", c.stored);
        Open();
        EXPECT_EQ(widget->rateFormat, c.format);
        Close();
        EXPECT_EQ(ReadSetting(SettingsFilePath(), "Quillbrae", "RateFormat"), c.written);
    }
}

TEST_F(WidgetInProcess, ShowsTheRatesOfEveryFormatTheLocalFeedServes)
{
    struct Case {
        RateFeed::Format served;
        const char* setting;
    } const cases[] = {
        {RateFeed::Format::List, "auto"}, {RateFeed::Format::Json, "auto"}, {RateFeed::Format::Ecb, "auto"},
        {RateFeed::Format::Json, "json"}, {RateFeed::Format::Ecb, "ecb"},
    };
    const uint64_t seed = 21;
    const std::size_t pairs = 9;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("format ") + std::to_string(static_cast<int>(c.served)) + ", setting " +
                     c.setting);
        RunningFeed feed(FeedServer::Limits(), seed, pairs, c.served);
        ASSERT_TRUE(feed.Listening());
        WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", feed.Url().c_str());
        WriteSetting(SettingsFilePath(), "Quillbrae", "RateFormat", c.setting);

        // The widget's first download is the walk's first step (the
        // redirect probes are HEAD requests, which move nothing).
        RateFeed replica(seed, pairs);
        const DecodedRates decoded = DecodeRates(replica.Next(c.served), RateFormat::Auto);
        ASSERT_TRUE(decoded.failure.empty()) << decoded.failure;
        const std::vector<RateQuote> expected =
            decoded.format == RateFormat::List ? decoded.quotes : QuotesFromDocument(decoded.document, {});

        Open();
        ASSERT_TRUE(PumpUntil([&] { return !widget->ratePane.rates.Lock()->empty(); }, 15s));
        {
            const auto records = widget->ratePane.rates.Lock();
            ASSERT_EQ(records->size(), expected.size());
            for (std::size_t i = 0; i < expected.size(); ++i) {
                const FXRate& record = (*records)[i];
                SCOPED_TRACE(expected[i].code);
                EXPECT_EQ(record.code, expected[i].code);
                EXPECT_EQ(record.priceText, expected[i].priceText);
                EXPECT_EQ(record.changeText, expected[i].changeText);
                if (c.served != RateFeed::Format::List) {
                    EXPECT_EQ(record.code.compare(0, 3, "EUR"), 0);
                    EXPECT_EQ(record.changeText, "+0.00") << "a document's first price opens its pair";
                }
            }
        }
        Close();
    }
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
        CopyFileA(server->WindowsPath("ca.pem").c_str(), (ProgramDirectory() + kAuthorityFile).c_str(),
                  FALSE);
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
        WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", url.c_str());
        WriteSetting(SettingsFilePath(), "Quillbrae", "TrustedCertificate", trusted);
        Open();
        bool ended = PumpUntil(
            [&] {
                return widget->LastUpdateResult() == result &&
                       (result != 0 || !widget->ratePane.rates.Lock()->empty());
            },
            20s);
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

// The codes of the records a sample page makes, in order.
std::vector<std::string> CodesOf(const SampleRatePage& page)
{
    std::vector<std::string> codes;
    for (const std::string& row : page.rows)
        codes.push_back(row.substr(0, row.find(' ')));
    return codes;
}

TEST_F(WidgetOverHttps, ShowsEachRateDocumentFromATrustedPrivateFeed)
{
    const std::vector<SampleRatePage> pages = SampleRatePages();
    for (size_t i = 0; i < pages.size(); ++i) {
        const SampleRatePage& page = pages[i];
        SCOPED_TRACE(page.name);
        const std::string file = "body-" + std::to_string(i) + ".txt";
        server->Publish(file, page.body);
        // Relative to the executable, as PEM; written back at close.
        RunFirstCycle(server->Url("good", "/file/" + file, "localhost"), kAuthorityFile, 0);
        EXPECT_EQ(Codes(), CodesOf(page));
        Close();
        EXPECT_EQ(ReadSetting(SettingsFilePath(), "Quillbrae", "TrustedCertificate"), kAuthorityFile);
        // Absolute, as DER, reached through a redirect from http.
        RunFirstCycle(server->Url("plain", "/to-https/" + file), server->WindowsPath("ca.der").c_str(), 0);
        EXPECT_EQ(Codes(), CodesOf(page));
        Close();
    }
}

// A pair named in "Pairs" that the ECB's document does not quote: made from
// EURJPY and EURUSD of the same document, and shown at its listed place
// although its record comes after the document's own.
TEST_F(WidgetInProcess, APairTheDocumentDoesNotQuoteIsShownAsItsCross)
{
    ScriptedServer server;
    server.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", kEcbDaily))});
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
    WriteSetting(SettingsFilePath(), "Quillbrae", "Pairs", "usdjpy,EURUSD,GBPUSD,USDCHF");
    Open();
    ASSERT_TRUE(PumpUntil([&] { return widget->ratePane.rates.Lock()->size() >= 5; }, 15s));
    {
        const auto records = widget->ratePane.rates.Lock();
        std::vector<std::string> rows;
        for (const FXRate& rate : *records)
            rows.push_back(rate.code + " " + rate.priceText + " " + rate.changeText);
        EXPECT_EQ(rows, (std::vector<std::string>{"EURUSD 1.0855 +0.00", "EURJPY 161.50 +0.00",
                                                  "EURGBP 0.86245 +0.00", "USDJPY 148.78 +0.00",
                                                  "GBPUSD 1.2586 +0.00"}));
    }
    // The shown rows, in the listed order; USDCHF has no legs and is skipped.
    const char* const shown[] = {"USDJPY 148.78", "EURUSD 1.0855", "GBPUSD 1.2586"};
    for (int row = 0; row < 3; ++row) {
        widget->ratePane.selected = row;
        EXPECT_EQ(widget->ratePane.SelectedCopyText(), shown[row]);
    }
    widget->ratePane.selected = 3;
    EXPECT_EQ(widget->ratePane.SelectedCopyText(), "") << "no fourth row";
}

TEST_F(WidgetInProcess, PairsAreReadBoundedAndWrittenBackOnlyWhenSet)
{
    struct Case {
        const char* stored;  // nullptr: no key
        const char* written;
    };
    std::string many;
    for (int i = 0; i < 80; ++i)
        many += "PAIR" + std::to_string(i) + ",";
    const Case cases[] = {
        {nullptr, "<missing>"},
        {"", ""},      // an empty value stays as it was
        {" , ", ","},  // the profile itself drops the blanks at the ends
        {"USDJPY , eurusd,USDJPY", "USDJPY,eurusd"},
        {many.c_str(), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? std::string(c.stored).substr(0, 40) : "(missing)");
        Clear();
        WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl",
                     (std::string("http://127.0.0.1:9") + names::kDefaultRatePath).c_str());
        WriteSetting(SettingsFilePath(), "Quillbrae", "Pairs", c.stored);
        Open();
        Close();
        std::string written = ReadSetting(SettingsFilePath(), "Quillbrae", "Pairs");
        if (c.written != nullptr) {
            EXPECT_EQ(written, c.written);
        } else {
            EXPECT_EQ(written.rfind("PAIR0,PAIR1,", 0), 0u) << written;
            EXPECT_EQ(std::count(written.begin(), written.end(), ','), 63) << "64 codes at most";
        }
    }
}

TEST_F(WidgetInProcess, StartWithWindowsCommandAddsAndRemovesTheRunValue)
{
    StartupEntry entry = WidgetStartupEntry();
    bool before = entry.IsSet();
    Open();
    widget->OnCommand(Quillbrae::StartWithWindowsCommand, 0);
    EXPECT_NE(entry.IsSet(), before);
    widget->OnCommand(Quillbrae::StartWithWindowsCommand, 0);
    EXPECT_EQ(entry.IsSet(), before);
}

TEST_F(WidgetInProcess, DpiChangeTakesTheSuggestedRectangleAndLaysThePanesOutAgain)
{
    Open();
    RECT suggested{100, 120, 100 + 630, 120 + 330};
    SendMessageA(widget->window, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    RECT now{};
    GetWindowRect(widget->window, &now);
    EXPECT_EQ(now.left, suggested.left);
    EXPECT_EQ(now.top, suggested.top);
    EXPECT_EQ(now.right - now.left, 630);
    EXPECT_EQ(now.bottom - now.top, 330);
    RECT client{}, chart{};
    GetClientRect(widget->window, &client);
    GetWindowRect(widget->chartPane.window, &chart);
    // This test process is not DPI-aware, so it stays at 96: the list keeps 200 pixels.
    EXPECT_EQ(chart.right - chart.left, client.right - 200);
    EXPECT_EQ(chart.bottom - chart.top, client.bottom);
}

TEST_F(WidgetOverHttps, TakesNoDataFromAServerItCannotTrust)
{
    server->Publish("rates.txt", SampleRatePages().front().body);
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
        {"redirect to http", server->Url("good", "/to-http/rates.txt"), kAuthorityFile,
         HttpFailure::kRedirectToHttp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunFirstCycle(c.url, c.trusted, c.result);
        EXPECT_TRUE(widget->ratePane.rates.Lock()->empty());
        Close();
        EXPECT_EQ(ReadSetting(SettingsFilePath(), "Quillbrae", "TrustedCertificate"),
                  c.trusted ? c.trusted : "<missing>");
    }
}

}  // namespace

// Spoken prices without a speech program: the system voice. Run on their
// own (no speech window of another test may be open meanwhile).
class WidgetSpeech : public WidgetInProcess {};

TEST_F(WidgetSpeech, WithoutASpeechProgramTheSystemVoiceSpeaksOrTheTrayTipSaysWhyNot)
{
    ASSERT_TRUE(PumpUntil([] { return FindWindowA(names::kSpeechWindowClass, nullptr) == nullptr; }, 30s))
        << "another speech window stays open";
    const std::string body = "EURUSD,1.08421,1.08452,-,1.0900,1.0800,+0.12x,1.0830,-,";
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    ScriptedServer server;
    server.Expect({ScriptedServer::Send(head)});
    server.Expect({ScriptedServer::Send(head)});
    server.Expect({ScriptedServer::Send(head + body)});
    server.SetFallback({ScriptedServer::Send(head + body)});  // later cycles: the list stays as it is
    WriteSetting(SettingsFilePath(), "Quillbrae", "RateUrl", server.Url(names::kDefaultRatePath).c_str());
    Open();
    // Cycles a second apart: the test waits for several.
    widget->updateInterval = 1000;
    ASSERT_TRUE(PumpUntil([&] { return !widget->ratePane.rates.Lock()->empty(); }, 15s));
    SystemVoice& voice = widget->announcer.Voice();
    EXPECT_EQ(voice.SpeakCalls(), 0u) << "speech is off";
    // The status line, and so the window's text, says why nothing is heard.
    auto noticed = [&] { return WindowText(widget->window).find("would not speak") != std::string::npos; };

    // The next update after speech is switched on reaches the voice.
    widget->OnCommand(Quillbrae::UseSpeechCommand, 0);
    ASSERT_TRUE(PumpUntil([&] { return voice.SpeakCalls() >= 1; }, 30s));
    EXPECT_EQ(voice.SpeakCalls(), 1u);
    bool refused = FAILED(voice.LastResult());  // Wine 8: E_NOTIMPL
    std::printf("system voice answered 0x%08lX\n", static_cast<unsigned long>(voice.LastResult()));
    if (refused) {
        EXPECT_TRUE(PumpUntil(noticed, 10s)) << WindowText(widget->window);
    }

    // The widget carries on; a refusing voice is left alone meanwhile.
    size_t requests = server.Requests().size();
    ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() >= requests + 3; }, 30s));
    ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() >= requests + 6; }, 30s));
    EXPECT_EQ(voice.SpeakCalls(), refused ? 1u : 3u);

    // Switched off and on again: the notice goes and the voice is tried anew.
    widget->OnCommand(Quillbrae::UseSpeechCommand, 0);
    widget->OnCommand(Quillbrae::UseSpeechCommand, 0);
    EXPECT_FALSE(noticed()) << WindowText(widget->window);
    unsigned before = voice.SpeakCalls();
    ASSERT_TRUE(PumpUntil([&] { return voice.SpeakCalls() > before; }, 30s));
    if (refused) {
        EXPECT_TRUE(PumpUntil(noticed, 10s));
    }

    double ms = Close();
    EXPECT_LT(ms, 500.0);
}
