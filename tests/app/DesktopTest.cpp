// The widget's own executable under Wine, as a person sets it up on a
// desktop: chosen pairs in their order, alert levels spoken once per
// crossing, copying a price, starting with Windows, and a screen of 144 DPI.
// The feed is scripted, so every price the widget sees is known. Starts the
// speech stand-in (found by class name) and changes the desktop's DPI for a
// moment, so it runs alone (RUN_SERIAL).
#include "base/Names.h"
#include "http/SocketLibrary.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ClipboardText.h"
#include "tests/support/Picture.h"
#include "tests/support/ProcessWindow.h"
#include "tests/support/ScriptedServer.h"
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
#include <vector>

using namespace std::chrono_literals;

namespace {

const std::string WidgetExe = WinePath(QB_WIDGET_EXE);
const std::string SpeechExe = WinePath(QB_SPEECH_EXE);
const std::string WorkRoot = WinePath(QB_WORK_DIR);

// One pair's nine fields as the feed lays them out; bid and ask carry the
// extra digit, so "1.09120" and "1.09150" show as "1.0912 - 15".
std::string Group(const std::string& code, const std::string& bid, const std::string& ask)
{
    return code + "," + bid + "," + ask + ",3.0," + bid + "," + bid + ",0.10%," + bid + ",1,";
}

ScriptedServer::Script RateResponse(const std::string& eurusdBid, const std::string& eurusdAsk)
{
    std::string body = Group("EURUSD", eurusdBid, eurusdAsk) + Group("USDJPY", "149.500", "149.530") +
                       Group("GBPUSD", "1.26500", "1.26540");
    return {ScriptedServer::Send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\n\r\n" + body)};
}

// The widget in the test's folder, put where no other window is.
struct Widget : WidgetProcess {
    explicit Widget(const std::string& testFolder) : WidgetProcess(WidgetExe, testFolder)
    {
        Place(700, 500, 540, 420);
    }
};

// The value "Quillbrae" under the per-user Run key; "<none>" when absent.
std::string RunValue()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return "<none>";
    char text[1024] = {};
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    LONG result = RegQueryValueExA(key, "Quillbrae", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::string(text) : "<none>";
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

class Desktop : public ::testing::Test {
protected:
    SocketLibrary sockets;
};

TEST_F(Desktop, ChosenPairsInOrderAlertsOncePerCrossingAndCopy)
{
    std::string folder = TestFolder(WorkRoot);
    // EURUSD against "above 1.0900", one list per download: below, across
    // (said), further up, back past the 0.1 % margin (re-armed), across
    // again (said), then it stays. The lists change between downloads: each
    // one is served (to the redirect probes and the download alike) until
    // the download has asked for it.
    const char* const bids[] = {"1.08500", "1.09120", "1.09500", "1.08800", "1.09120", "1.09120"};
    const char* const asks[] = {"1.08530", "1.09150", "1.09530", "1.08830", "1.09150", "1.09150"};
    ScriptedServer feed;
    feed.SetFallback(RateResponse(bids[0], asks[0]));
    auto downloads = [&] {
        std::vector<std::string> requests = feed.Requests();
        return std::count_if(requests.begin(), requests.end(),
                             [](const std::string& r) { return r.rfind("GET ", 0) == 0; });
    };
    SpeechStandIn speech;
    ASSERT_TRUE(speech.Start(SpeechExe, folder));

    Widget widget(folder);
    widget.Set("Quillbrae", "RateUrl", feed.Url(names::kDefaultRatePath));
    widget.Set("Quillbrae", "UpdateTimer", "10000");
    widget.Set("Quillbrae", "Pairs", " USDJPY, NZDUSD ,EURUSD");
    widget.Set("Alerts", "EURUSD", "above 1.0900; below 0.5; sideways 3");
    widget.Set("Alerts", "GBPUSD", "above one");
    ASSERT_TRUE(widget.Start());
    PostMessageA(widget.window, WM_COMMAND, names::kUseSpeechCommand, 0);  // speech on, before the first crossing

    // Alerts said once download n is done. When download n + 1 is asked
    // for, download n has been spoken about and n + 1 perhaps already too.
    const std::string alert = "Speak EURUSD above 1.0900: 1.0912";
    const size_t saidBy[] = {0, 0, 1, 1, 1, 2, 2, 2};  // by download index
    for (size_t n = 1; n <= 7; ++n) {
        ASSERT_TRUE(WaitUntil([&] { return downloads() >= static_cast<long>(n); }, 40s)) << n;
        feed.SetFallback(RateResponse(bids[std::min<size_t>(n, 5)], asks[std::min<size_t>(n, 5)]));
        size_t said = speech.Said(alert);
        EXPECT_GE(said, saidBy[n - 1]) << "download " << n << " asked for";
        EXPECT_LE(said, saidBy[n]) << "download " << n << " asked for";
    }
    std::string log = speech.Log();
    EXPECT_EQ(CountOf(log, "GBPUSD"), 0u) << log;
    // The selected pair spoken each cycle is the first chosen one.
    EXPECT_GE(speech.Said("Speak 149.50 - 53"), 3u) << log;

    // The rows: USDJPY, EURUSD; no NZDUSD yet and no GBPUSD.
    HWND pane = widget.Pane();
    ASSERT_NE(pane, nullptr);
    SendMessageA(pane, WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(), "USDJPY 149.50 - 53");
    SendMessageA(pane, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(pane, WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(), "EURUSD 1.0912 - 15");
    SendMessageA(pane, WM_KEYDOWN, VK_DOWN, 0);  // two rows: back to the first
    SendMessageA(pane, WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(), "USDJPY 149.50 - 53");

    RECT paneRect = widget.PaneRect();
    const RECT rowsArea{paneRect.left, paneRect.top, paneRect.left + 200, paneRect.top + 60};
    ASSERT_TRUE(WaitUntil(
        [&] { return Picture::OfScreen(rowsArea).Band(IsSelectionBar, 199, 200).first == 0; }, 10s));
    Picture rows = Picture::OfScreen(rowsArea);
    EXPECT_GT(rows.Count(IsNearBlack, 4, 18, 122, 200), 0) << "first row's code";
    EXPECT_GT(rows.Count(IsNearBlack, 20, 34, 122, 200), 0) << "second row's code";
    EXPECT_EQ(rows.Count(IsNearBlack, 36, 60, 0, 200), 0) << "no third row";

    EXPECT_TRUE(widget.ExitCleanly());
    EXPECT_EQ(widget.Setting("Quillbrae", "Pairs"), "USDJPY,NZDUSD,EURUSD");
}

// The ECB's euro rates as a source serves them, one day's document.
ScriptedServer::Script EcbResponse(const std::string& cubes)
{
    const std::string body =
        "<gesmes:Envelope><Cube><Cube time='2026-12-07'>" + cubes + "</Cube></Cube></gesmes:Envelope>";
    return {ScriptedServer::Send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\n\r\n" + body)};
}

// Chosen pairs the source does not quote: USDJPY made from the document's
// EURJPY and EURUSD at each download, and EURCHF, which the source starts
// quoting on the second day, taking its listed place when it appears.
TEST_F(Desktop, ACrossAndAPairThatAppearsLaterTakeTheirListedPlaces)
{
    std::string folder = TestFolder(WorkRoot);
    ScriptedServer feed;
    feed.SetFallback(EcbResponse("<Cube currency='USD' rate='1.0855'/><Cube currency='JPY' rate='161.50'/>"));
    auto downloads = [&] {
        std::vector<std::string> requests = feed.Requests();
        return std::count_if(requests.begin(), requests.end(),
                             [](const std::string& r) { return r.rfind("GET ", 0) == 0; });
    };
    Widget widget(folder);
    widget.Set("Quillbrae", "RateUrl", feed.Url(names::kDefaultRatePath));
    widget.Set("Quillbrae", "UpdateTimer", "10000");
    widget.Set("Quillbrae", "Pairs", "USDJPY,EURCHF,EURUSD");
    ASSERT_TRUE(widget.Start());
    HWND pane = widget.Pane();
    ASSERT_NE(pane, nullptr);
    // Each row copied in turn, going down `rows` times: past the last row
    // the selection comes back to the first, which is copied again.
    auto rowTexts = [&](int rows) {
        std::vector<std::string> texts;
        for (int row = 0; row <= rows; ++row) {
            if (row > 0)
                SendMessageA(pane, WM_KEYDOWN, VK_DOWN, 0);
            SendMessageA(pane, WM_COPY, 0, 0);
            texts.push_back(ClipboardText());
        }
        return texts;
    };
    ASSERT_TRUE(WaitUntil([&] { return downloads() >= 1 && widget.ShowsRates(); }, 40s));
    EXPECT_EQ(rowTexts(2), (std::vector<std::string>{"USDJPY 148.78", "EURUSD 1.0855", "USDJPY 148.78"}))
        << "two rows: EURCHF is not quoted yet";

    feed.SetFallback(EcbResponse("<Cube currency='USD' rate='1.0800'/><Cube currency='JPY' rate='163.00'/>"
                                 "<Cube currency='CHF' rate='0.9561'/>"));
    PostMessageA(widget.window, WM_COMMAND, names::kUpdateNowCommand, 0);
    ASSERT_TRUE(WaitUntil(
        [&] {
            SendMessageA(pane, WM_COPY, 0, 0);
            return ClipboardText() == "USDJPY 150.93";
        },
        40s));
    EXPECT_EQ(rowTexts(3),
              (std::vector<std::string>{"USDJPY 150.93", "EURCHF 0.9561", "EURUSD 1.0800", "USDJPY 150.93"}));
    EXPECT_TRUE(widget.ExitCleanly());
}

TEST_F(Desktop, StartWithWindowsAddsAndRemovesTheRunValue)
{
    std::string before = RunValue();
    Widget widget(TestFolder(WorkRoot));
    widget.Set("Quillbrae", "RateUrl", "http://127.0.0.1:9/rate/neo/rate.asp");
    ASSERT_TRUE(widget.Start());
    std::string quoted = "\"" + widget.exe + "\"";
    if (before == quoted) {
        PostMessageA(widget.window, WM_COMMAND, names::kStartWithWindowsCommand, 0);
        ASSERT_TRUE(WaitUntil([&] { return RunValue() == "<none>"; }, 10s));
    }
    PostMessageA(widget.window, WM_COMMAND, names::kStartWithWindowsCommand, 0);
    EXPECT_TRUE(WaitUntil([&] { return EqualsIgnoringCase(RunValue(), quoted); }, 10s)) << RunValue();
    PostMessageA(widget.window, WM_COMMAND, names::kStartWithWindowsCommand, 0);
    EXPECT_TRUE(WaitUntil([&] { return RunValue() == "<none>"; }, 10s)) << RunValue();
    EXPECT_TRUE(widget.ExitCleanly());

    if (before != "<none>") {  // as it was
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr);
        RegSetValueExA(key, "Quillbrae", 0, REG_SZ, reinterpret_cast<const BYTE*>(before.c_str()),
                       static_cast<DWORD>(before.size() + 1));
        RegCloseKey(key);
    }
}

}  // namespace
// process starts: set while one widget starts, then put back as it was.
class ScreenDpi {
public:
    explicit ScreenDpi(DWORD dpiValue)
    {
        DWORD size = sizeof previous;
        DWORD type = 0;
        had = RegGetDword(&type, &size) && type == REG_DWORD;
        Write(dpiValue);
    }
    ~ScreenDpi() { Restore(); }
    ScreenDpi(const ScreenDpi&) = delete;
    ScreenDpi& operator=(const ScreenDpi&) = delete;

    void Restore()
    {
        if (restored)
            return;
        restored = true;
        if (had) {
            Write(previous);
        } else {
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, Path, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, "LogPixels");
                RegCloseKey(key);
            }
        }
    }

private:
    static constexpr const char* Path = "Control Panel\\Desktop";

    bool RegGetDword(DWORD* type, DWORD* size)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, Path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return false;
        bool found = RegQueryValueExA(key, "LogPixels", nullptr, type, reinterpret_cast<BYTE*>(&previous),
                                      size) == ERROR_SUCCESS;
        RegCloseKey(key);
        return found;
    }
    void Write(DWORD value)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, Path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return;
        RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }

    DWORD previous = 96;
    bool had = false;
    bool restored = false;
};

struct RowFigures {
    int barHeight = -1;  // the first row's selection bar, top to bottom
    int pitch = -1;     // from one row's bar to the next one's
    int listWidth = -1;
    int windowWidth = -1;
};

// Read from the screen: the bar on the first row, then, one row down, on the second.
RowFigures MeasureRows(const Widget& widget)
{
    RowFigures figures;
    HWND pane = widget.Pane();
    RECT r = widget.PaneRect();
    RECT area{r.left, r.top, r.left + 8, r.top + 120};
    auto barRows = [&] { return Picture::OfScreen(area).Band(IsSelectionBar, 4, 5); };
    if (!WaitUntil([&] { return barRows().first == 0; }, 30s))
        return figures;
    std::pair<int, int> first = barRows();
    figures.barHeight = first.second - first.first + 1;
    SendMessageA(pane, WM_KEYDOWN, VK_DOWN, 0);
    std::pair<int, int> second{-1, -1};
    if (WaitUntil([&] { return (second = barRows()).first > 0; }, 10s))
        figures.pitch = second.first;
    figures.listWidth = r.right - r.left;
    RECT window{};
    GetWindowRect(widget.window, &window);
    figures.windowWidth = window.right - window.left;
    return figures;
}

TEST_F(Desktop, RowsAreHalfAsTallAgainAt144Dpi)
{
    std::string folder = TestFolder(WorkRoot);
    ScriptedServer feed;
    feed.SetFallback(RateResponse("1.08580", "1.08590"));
    Widget widget(folder);
    widget.Set("Quillbrae", "RateUrl", feed.Url(names::kDefaultRatePath));

    ASSERT_TRUE(widget.Start());
    RowFigures at96 = MeasureRows(widget);
    ASSERT_TRUE(widget.ExitCleanly());

    RowFigures at144;
    {
        ScreenDpi screen(144);
        ASSERT_TRUE(widget.Start());
        screen.Restore();  // the widget has read it; nothing else starts with it
        at144 = MeasureRows(widget);
        ASSERT_TRUE(widget.ExitCleanly());
    }
    std::printf("96 DPI: bar %d, pitch %d, list %d; 144 DPI: bar %d, pitch %d, list %d\n", at96.barHeight,
                at96.pitch, at96.listWidth, at144.barHeight, at144.pitch, at144.listWidth);
    EXPECT_EQ(at96.barHeight, 20);
    EXPECT_EQ(at96.pitch, 16);
    EXPECT_EQ(at96.listWidth, 200);
    EXPECT_EQ(at144.barHeight * 2, at96.barHeight * 3);
    EXPECT_EQ(at144.pitch * 2, at96.pitch * 3);
    EXPECT_EQ(at144.listWidth * 2, at96.listWidth * 3);
    // The saved placement is in physical pixels: the same window at either DPI.
    EXPECT_EQ(at144.windowWidth, at96.windowWidth);
    EXPECT_EQ(widget.Setting("Window", "MainWidth"), "540");
}
