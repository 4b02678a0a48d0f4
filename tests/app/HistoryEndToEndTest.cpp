// The widget's own executable under Wine with a loopback server in the
// ECB's place: the daily page and its 90-day history, the chart they make,
// the histories kept across a restart with the server gone, a damaged file,
// and kills while the widget saves.
#include "base/Names.h"
#include "base/UtcTime.h"
#include "http/SocketLibrary.h"
#include "rates/HistoryFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ClipboardText.h"
#include "tests/support/Picture.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestFolder.h"
#include "tests/support/Wait.h"
#include "tests/support/WidgetProcess.h"
#include "tests/support/WinePath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

const std::string WidgetExe = WinePath(QB_WIDGET_EXE);
const std::string WorkRoot = WinePath(QB_WORK_DIR);

// Wide, so that 63 samples 5 pixels apart would cover well under 80 % of
// the plot (the rate list takes 200 pixels, the margins 48).
constexpr int WidgetLeft = 200;
constexpr int WidgetTop = 600;
constexpr int WidgetWidth = 1000;
constexpr int WidgetHeight = 300;
constexpr int ListWidth = 200;
constexpr int PlotMargin = 24;
constexpr int FrameBottom = 264;

const COLORREF kLine = RGB(0xEB, 0x52, 0x5D);
const COLORREF kStaleLine = RGB(0xA0, 0xA0, 0xA0);

std::string IsoDate(int64_t day)
{
    const CivilDate date = CivilFromDays(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year), date.month, date.day);
    return text;
}

std::string Envelope(const std::string& cubes)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gesmes:Envelope xmlns:gesmes=\"http://www.gesmes.org/xml/2002-08-01\" "
           "xmlns=\"http://www.ecb.int/vocabulary/2002-08-01/eurofxref\">\n"
           "<gesmes:subject>Reference rates</gesmes:subject>\n<Cube>\n" +
           cubes + "</Cube>\n</gesmes:Envelope>\n";
}

std::string Day(int64_t day, double usd)
{
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.4f", usd);
    return "<Cube time='" + IsoDate(day) + "'><Cube currency='USD' rate='" + rate +
           "'/><Cube currency='JPY' rate='161.50'/><Cube currency='GBP' rate='0.86245'/></Cube>\n";
}

double UsdOn(int64_t day)
{
    return 1.08 + 0.01 * std::sin(static_cast<double>(day) / 5.0);
}

// Today's page and the working days of the 90 before it, newest first.
// Today's dollar is below the day before's: against the previous fixing
// its change is negative, where against this run's first price it would
// be +0.00.
struct EcbDocuments {
    EcbDocuments()
    {
        const int64_t today = UtcMilliseconds() / kMillisecondsPerDay;
        std::string cubes;
        double previous = 0;
        for (int64_t day = today - 1; day >= today - 90; --day) {
            const int64_t weekday = (day + 4) % 7;  // 1970-01-01 was a Thursday; 0 is Sunday
            if (weekday == 0 || weekday == 6)
                continue;
            cubes += Day(day, UsdOn(day));
            previous = previous == 0 ? UsdOn(day) : previous;
            ++days;
        }
        history = Envelope(cubes);
        daily = Envelope(Day(today, previous - 0.005));
    }
    std::string daily;
    std::string history;
    int days = 0;
};

struct Widget : WidgetProcess {
    Widget(const std::string& testFolder, const std::string& rateUrl, const std::string& historyUrl)
        : WidgetProcess(WidgetExe, testFolder)
    {
        Place(WidgetLeft, WidgetTop, WidgetWidth, WidgetHeight);
        Set("Quillbrae", "RateUrl", rateUrl);
        Set("Quillbrae", "HistoryUrl", historyUrl);
        Set("Quillbrae", "UpdateTimer", "60000");
    }
};

std::string WindowText(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The first and last columns of the plot holding a pixel of `colour`
// inside the frame; {-1, -1} when none.
std::pair<int, int> LineColumns(const Picture& chart, COLORREF colour)
{
    int first = -1, last = -1;
    for (int x = 0; x < chart.width; ++x)
        for (int y = 2; y < FrameBottom - 1 && y < chart.height; ++y)
            if (chart.At(x, y) == colour) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
    return {first, last};
}

double LineShare(const Picture& chart, COLORREF colour)
{
    const auto [first, last] = LineColumns(chart, colour);
    const int plot = chart.width - 2 * PlotMargin;
    return first < 0 || plot <= 0 ? 0.0 : static_cast<double>(last - first) / plot;
}

// The rows the line reaches within the plot: a price series spans its
// scale from its highest price to its lowest.
std::pair<int, int> LineRows(const Picture& chart, COLORREF colour)
{
    return chart.Band([&](COLORREF pixel) { return pixel == colour; }, PlotMargin + 2,
                      chart.width - PlotMargin - 2);
}

// Whether the rate pane's row `row` (from 0) has text of `hue` in its
// change column.
template <typename Hue> bool ChangeColumnIs(HWND ratePane, int row, Hue hue)
{
    const Picture rows = Picture::OfScreen(ratePane);
    return rows.Count(hue, 4 + 16 * row, 18 + 16 * row, 76, 122) > 0;
}

// Pixels of text under the frame within `left` to `right`: the dates.
int TextUnderFrame(const Picture& chart, int left, int right)
{
    const COLORREF background = chart.At(1, chart.height - 2);
    return chart.Count([&](COLORREF pixel) { return pixel != background; }, FrameBottom + 3, chart.height - 1,
                       left, right);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class HistoryEndToEnd : public ::testing::Test {
protected:
    SocketLibrary sockets;
};

TEST_F(HistoryEndToEnd, NinetyDaysFromTheSourceKeptAcrossARestartAndSetAsideWhenDamaged)
{
    const std::string folder = TestFolder(WorkRoot);
    const EcbDocuments documents;
    ASSERT_GE(documents.days, 60);
    std::string rateUrl, historyUrl;
    double shownShare = 0;
    // One widget folder for every start: a new WidgetProcess would start
    // from no saved histories.
    std::unique_ptr<Widget> kept;
    {
        ScriptedServer daily, history;
        ASSERT_TRUE(daily.Listening() && history.Listening());
        daily.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", documents.daily))});
        history.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", documents.history))});
        rateUrl = daily.Url("/stats/eurofxref/eurofxref-daily.xml");
        historyUrl = history.Url("/stats/eurofxref/eurofxref-hist-90d.xml");

        kept = std::make_unique<Widget>(folder, rateUrl, historyUrl);
        Widget& widget = *kept;
        widget.Set("Quillbrae", "Pairs", "EURUSD,EURJPY,EURGBP,USDJPY");
        ASSERT_TRUE(widget.Start());
        ASSERT_TRUE(
            WaitUntil([&] { return WindowText(widget.window).rfind("Quillbrae - updated ", 0) == 0; }, 30s))
            << WindowText(widget.window);
        EXPECT_GE(history.Requests().size(), 1u) << "the history is read at start";
        HWND chartPane = widget.Pane("RatePane");
        ASSERT_NE(chartPane, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return LineShare(Picture::OfScreen(chartPane), kLine) >= 0.8; }, 10s))
            << "the line covers " << LineShare(Picture::OfScreen(chartPane), kLine) * 100 << " % of the plot";
        const Picture chart = Picture::OfScreen(chartPane);
        shownShare = LineShare(chart, kLine);
        // The price from its highest to its lowest over the days held, not
        // each day's change around a zero line.
        const auto [top, bottom] = LineRows(chart, kLine);
        EXPECT_NEAR(top, 96, 3) << "the highest price on the scale's top";
        EXPECT_NEAR(bottom, 232, 3) << "the lowest on its bottom";
        EXPECT_GT(chart.Count(IsBluish, top - 16, top - 1, PlotMargin, PlotMargin + 60), 0)
            << "the highest price above the line's top";
        EXPECT_GT(chart.Count(IsBluish, bottom + 2, bottom + 18, PlotMargin, PlotMargin + 60), 0)
            << "the lowest below its bottom";
        // The change column against the previous fixing: the dollar fell
        // (blue), the yen stayed (+0.00, red).
        EXPECT_TRUE(ChangeColumnIs(widget.Pane(), 0, IsBluish)) << "EURUSD's change against the day before";
        EXPECT_TRUE(ChangeColumnIs(widget.Pane(), 1, IsReddish)) << "EURJPY's";
        if (const char* shots = std::getenv("QB_SHOT_DIR"))
            Picture::OfScreen(widget.window).SaveBitmap(WinePath(shots) + "\\chart-90-days.bmp");
        EXPECT_GT(TextUnderFrame(chart, PlotMargin, PlotMargin + 80), 20)
            << "the first day under the left end";
        EXPECT_GT(TextUnderFrame(chart, chart.width - PlotMargin - 80, chart.width - PlotMargin), 20)
            << "the newest under the right end";

        // A cross the source does not quote has the days of its legs.
        HWND rates = widget.Pane();
        for (int row = 0; row < 3; ++row)
            SendMessageA(rates, WM_KEYDOWN, VK_DOWN, 0);
        SendMessageA(rates, WM_COPY, 0, 0);
        EXPECT_EQ(ClipboardText().rfind("USDJPY ", 0), 0u) << ClipboardText();
        EXPECT_TRUE(WaitUntil([&] { return LineShare(Picture::OfScreen(chartPane), kLine) >= 0.8; }, 10s))
            << "USDJPY's line covers " << LineShare(Picture::OfScreen(chartPane), kLine) * 100 << " %";
        ASSERT_TRUE(widget.ExitCleanly());
    }
    ASSERT_FALSE(ReadFile(folder + "\\quillbrae.history").empty()) << "saved at exit";

    // Started again with the server gone: the same chart at once, grey.
    {
        Widget& widget = *kept;
        ASSERT_TRUE(widget.Start());
        HWND chartPane = widget.Pane("RatePane");
        ASSERT_TRUE(
            WaitUntil([&] { return LineShare(Picture::OfScreen(chartPane), kStaleLine) >= 0.8; }, 10s))
            << "grey line over " << LineShare(Picture::OfScreen(chartPane), kStaleLine) * 100 << " %";
        EXPECT_NEAR(LineShare(Picture::OfScreen(chartPane), kStaleLine), shownShare, 0.02);
        EXPECT_NEAR(LineRows(Picture::OfScreen(chartPane), kStaleLine).first, 96, 3);
        EXPECT_EQ(LineColumns(Picture::OfScreen(chartPane), kLine).first, -1) << "nothing fresh";
        EXPECT_TRUE(widget.ShowsRates());
        ASSERT_TRUE(widget.ExitCleanly());
    }

    // Damaged: the widget runs, says so once, and keeps the file aside.
    std::string bytes = ReadFile(folder + "\\quillbrae.history");
    ASSERT_GT(bytes.size(), 64u);
    bytes[bytes.size() / 3] ^= 0x01;
    {
        std::ofstream out(folder + "\\quillbrae.history", std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    {
        Widget& widget = *kept;
        ASSERT_TRUE(widget.Start());
        const std::string text = WindowText(widget.window);
        const size_t note = text.find("history not read");
        EXPECT_NE(note, std::string::npos) << text;
        EXPECT_EQ(text.find("history not read", note + 1), std::string::npos) << text;
        EXPECT_FALSE(widget.ShowsRates());
        ASSERT_TRUE(widget.ExitCleanly());
    }
    EXPECT_EQ(ReadFile(folder + "\\quillbrae.history.bad"), bytes);
}

TEST_F(HistoryEndToEnd, KilledWhileSavingAlwaysStartsWithAReadableHistory)
{
    const std::string folder = TestFolder(WorkRoot);
    const EcbDocuments documents;
    std::string rateUrl, historyUrl;
    std::unique_ptr<Widget> kept;
    {
        ScriptedServer daily, history;
        daily.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", documents.daily))});
        history.SetFallback({ScriptedServer::Send(ScriptedServer::Answer("200 OK", documents.history))});
        rateUrl = daily.Url("/daily.xml");
        historyUrl = history.Url("/hist.xml");
        kept = std::make_unique<Widget>(folder, rateUrl, historyUrl);
        Widget& widget = *kept;
        ASSERT_TRUE(widget.Start());
        ASSERT_TRUE(
            widget.ShowsRates() ||
            WaitUntil([&] { return WindowText(widget.window).rfind("Quillbrae - updated ", 0) == 0; }, 30s));
        ASSERT_TRUE(widget.ExitCleanly());
    }
    const std::string path = folder + "\\quillbrae.history";
    std::vector<FXRate> first;
    std::string failure;
    ASSERT_TRUE(DecodeHistoryFile(ReadFile(path), first, failure)) << failure;

    // Saving every 20 ms, killed at a different moment each time. Under
    // Wine a start after a kill takes about 2 s whatever the widget does,
    // so four widgets, each in a folder of its own beside its own copy of
    // the file, take turns: a hundred kills in a third of the time.
    constexpr int kWidgets = 4;
    constexpr int kKills = 100;
    std::vector<std::unique_ptr<Widget>> widgets;
    for (int w = 0; w < kWidgets; ++w) {
        const std::string own = folder + "\\w" + std::to_string(w);
        CreateDirectoryA(own.c_str(), nullptr);
        widgets.push_back(std::make_unique<Widget>(own, rateUrl, historyUrl));
        // Side by side, so that each one's rows can be read off the screen.
        widgets.back()->Place(w % 2 * 640, w / 2 * 320, 620, 300);
        widgets.back()->Set("Quillbrae", "HistorySaveTimer", "20");
        ASSERT_TRUE(CopyFileA(path.c_str(), (own + "\\quillbrae.history").c_str(), FALSE));
    }
    int kills = 0;
    while (kills < kKills) {
        SCOPED_TRACE(kills);
        for (auto& widget : widgets)
            ASSERT_TRUE(widget->Launch());
        for (auto& widget : widgets) {
            ASSERT_TRUE(widget->WaitForWindow());
            ASSERT_TRUE(widget->ShowsRates() || WaitUntil([&] { return widget->ShowsRates(); }, 10s))
                << "the saved prices show: " << WindowText(widget->window);
            EXPECT_EQ(WindowText(widget->window).find("history not read"), std::string::npos);
        }
        for (auto& widget : widgets) {
            // Not a wait for anything: each kill comes at another moment
            // of the saving cycle.
            Sleep(static_cast<DWORD>(kills % 7 * 5));
            widget->process->Kill();
            ASSERT_TRUE(widget->process->WaitExit(10s));
            ++kills;
        }
        for (auto& widget : widgets) {
            std::vector<FXRate> read;
            ASSERT_TRUE(DecodeHistoryFile(ReadFile(widget->folder + "\\quillbrae.history"), read, failure))
                << failure;
            ASSERT_EQ(read.size(), first.size());
        }
    }
    std::printf("killed while saving %d times\n", kills);
}

}  // namespace
