#include "base/UtcTime.h"
#include "display/ChartPane.h"
#include "display/Font.h"
#include "display/GdiObjects.h"
#include "display/HaloText.h"
#include "display/RateChart.h"
#include "tests/display/DisplayTestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

namespace {

constexpr int kLabelTop = chartFrameBottom + chartTimeLabelDrop;  // at 96 DPI

// A record whose samples are `count` steps of `every` ms from 2026-09-01
// 15:00 UTC, rising by 0.01 a sample.
FXRate Dated(std::size_t count, int64_t every)
{
    FXRate record(Quote("EURUSD", "1.0850", "0.25"));
    const int64_t start = DaysFromCivil(2026, 9, 1) * kMillisecondsPerDay + 15 * 3600000;
    record.history.clear();
    for (std::size_t i = 0; i < count; ++i)
        record.history.push_back({0.01f * static_cast<float>(i), start + static_cast<int64_t>(i) * every});
    return record;
}

// `text` as the chart draws its time labels, alone on white at (x, y).
void DrawLabelAlone(Canvas& canvas, int x, int y, const std::string& text)
{
    RECT all = canvas.Bounds();
    OwnedBrush white(CreateSolidBrush(0xFFFFFF));
    FillRect(canvas.Get(), &all, white.Get());
    SetBkMode(canvas.Get(), TRANSPARENT);
    Font font("", Font::Bold, 10);
    SelectGuard selection(canvas.Get(), font.GetHandle());
    SetTextColor(canvas.Get(), haloTextColor);
    DrawPlainText(canvas.Get(), x, y, text);
}

// Whether the two canvases agree on every pixel of `area`.
bool Same(const Canvas& a, const Canvas& b, const RECT& area)
{
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y))
                return false;
    return true;
}

TEST(ChartTime, LabelsSayDaysForLongSpansAndTimesForShortOnes)
{
    const int64_t start = DaysFromCivil(2026, 9, 1) * kMillisecondsPerDay + 15 * 3600000;
    const int64_t local = LocalMilliseconds(start);
    EXPECT_EQ(ChartTimeLabel(start, 90 * kMillisecondsPerDay), FormatDayMonth(local));
    EXPECT_EQ(ChartTimeLabel(start, kMillisecondsPerDay), FormatHourMinute(local))
        << "a day is no more than a day";
    EXPECT_EQ(ChartTimeLabel(start, 0), FormatHourMinute(local));
    const FXRate record = Dated(3, 3600000);
    EXPECT_EQ(ChartSampleText(record, 2), FormatIsoDate(LocalMilliseconds(start + 7200000)) + " " +
                                              FormatHourMinute(LocalMilliseconds(start + 7200000)) +
                                              "   +0.27");
    EXPECT_EQ(ChartSampleText(record, 3), "");
}

TEST(ChartTime, NearestSampleFollowsTheLine)
{
    // 400 wide: the plot runs from 24 to 376; 10 samples step 5 pixels.
    EXPECT_EQ(NearestChartSample(10, 0, 400, 96, 0), 0u);
    EXPECT_EQ(NearestChartSample(10, 0, 400, 96, 24), 0u);
    EXPECT_EQ(NearestChartSample(10, 0, 400, 96, 36), 2u);
    EXPECT_EQ(NearestChartSample(10, 0, 400, 96, 38), 3u);
    EXPECT_EQ(NearestChartSample(10, 0, 400, 96, 375), 9u);
    EXPECT_EQ(NearestChartSample(1, 0, 400, 96, 200), 0u);
    // 704 samples over 352 columns: half a pixel each.
    EXPECT_EQ(NearestChartSample(704, 0, 400, 96, 124), 200u);
    EXPECT_EQ(NearestChartSample(704, 0, 400, 96, 144), 240u);
}

struct TimeCase {
    const char* name;
    std::size_t count;
    int64_t every;
};

TEST(ChartTime, TheFirstAndNewestTimesStandUnderTheEnds)
{
    const TimeCase cases[] = {
        {"90 days", 63, 36 * 3600000},
        {"an afternoon", 200, 60000},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FXRate record = Dated(c.count, c.every);
        const int64_t span = record.history.back().time - record.history.front().time;
        Canvas chart(400, 300);
        RECT all = chart.Bounds();
        OwnedBrush white(CreateSolidBrush(0xFFFFFF));
        FillRect(chart.Get(), &all, white.Get());
        SetBkMode(chart.Get(), TRANSPARENT);
        DrawRateChart(record, chart.Get(), 0, 400);

        const std::string first = ChartTimeLabel(record.history.front().time, span);
        const std::string newest = ChartTimeLabel(record.history.back().time, span);
        EXPECT_NE(first, newest);
        Canvas expected(400, 300);
        DrawLabelAlone(expected, 24, kLabelTop, first);
        const RECT under{0, chartFrameBottom + 3, 200, 300};
        EXPECT_GT(expected.Count(under, IsBluish), 20);
        EXPECT_TRUE(Same(chart, expected, under)) << "left: " << first;

        SIZE extent{};
        {
            Font font("", Font::Bold, 10);
            SelectGuard selection(expected.Get(), font.GetHandle());
            GetTextExtentPoint32A(expected.Get(), newest.c_str(), static_cast<int>(newest.size()), &extent);
        }
        DrawLabelAlone(expected, 376 - extent.cx, kLabelTop, newest);
        const RECT underRight{200, chartFrameBottom + 3, 400, 300};
        EXPECT_GT(expected.Count(underRight, IsBluish), 20);
        EXPECT_TRUE(Same(chart, expected, underRight)) << "right: " << newest;
    }
}

TEST(ChartTime, PointingAtTheChartShowsTheNearestSample)
{
    TestParent parent;
    ChartPane chart;
    SharedRates list;
    ASSERT_TRUE(chart.CreateChild(parent.window));
    ASSERT_NE(chart.SampleTip(), nullptr);
    chart.SetBounds(200, 0, 400, 300);
    chart.rateList = &list;
    std::string code;
    {
        auto records = list.Lock();
        records->push_back(Dated(10, kMillisecondsPerDay));
        code = (*records)[0].code;
    }
    chart.ShowCode(code);
    auto tipText = [&]() {
        char text[128] = {};
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = chart.window;
        tool.uId = 1;
        tool.lpszText = text;
        SendMessageA(chart.SampleTip(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
        return std::string(text);
    };
    auto active = [&]() { return IsWindowVisible(chart.SampleTip()) != FALSE; };
    ShowWindow(parent.window, SW_SHOWNOACTIVATE);

    // Before any paint there is nothing to point at.
    SendMessageA(chart.window, WM_MOUSEMOVE, 0, MAKELPARAM(38, 100));
    EXPECT_FALSE(active());

    Canvas canvas(400, 300);
    RECT area{0, 0, 400, 300};
    chart.PaintContent(canvas.Get(), area);
    const FXRate record = Dated(10, kMillisecondsPerDay);
    const std::size_t parentMoves = parent.received.size();
    // Ten daily samples spread over the 352 pixels of the plot, 39 apart.
    SendMessageA(chart.window, WM_MOUSEMOVE, 0, MAKELPARAM(141, 100));
    EXPECT_EQ(tipText(), ChartSampleText(record, 3));
    EXPECT_TRUE(active());
    EXPECT_GT(parent.received.size(), parentMoves) << "the parent still sees the move (dragging)";
    SendMessageA(chart.window, WM_MOUSEMOVE, 0, MAKELPARAM(370, 100));
    EXPECT_EQ(tipText(), ChartSampleText(record, 9)) << "nearest the right end: the newest";
    SendMessageA(chart.window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 100));
    EXPECT_FALSE(active()) << "in the margin, nothing";
    SendMessageA(chart.window, WM_MOUSEMOVE, 0, MAKELPARAM(68, 100));
    EXPECT_EQ(tipText(), ChartSampleText(record, 1));
    EXPECT_TRUE(active());
    SendMessageA(chart.window, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(active()) << "gone with the pointer";
    ShowWindow(parent.window, SW_HIDE);
}

}  // namespace

TEST(ChartTime, ASeriesOfSeveralDaysSpreadsOverTheWholePlot)
{
    struct Case {
        std::size_t count;
        int64_t spacing;  // between samples
        bool spread;
    } const cases[] = {
        {63, kMillisecondsPerDay, true},                         // a dated source's fixings
        {2, 2 * kMillisecondsPerDay, true}, {63, 12000, false},  // a live feed's minutes
        {2, kMillisecondsPerDay, false},                         // exactly a day: not more
        {1, kMillisecondsPerDay, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " samples " + std::to_string(c.spacing) + " ms apart");
        RateQuote quote;
        quote.code = "EURUSD";
        quote.priceText = "1.08";
        quote.changeText = "+0.00";
        FXRate record(quote);
        record.history.clear();
        for (std::size_t i = 0; i < c.count; ++i)
            record.history.push_back({0.0f, 1700000000000 + static_cast<int64_t>(i) * c.spacing});
        EXPECT_EQ(ChartSpreadsSamples(record), c.spread);
    }
    // 752 pixels wide: 63 spread samples reach from one end to the other,
    // where 5 pixels apart they would cover 310.
    EXPECT_FLOAT_EQ(ChartSampleStep(63, 752.0f, 96, true) * 62, 752.0f);
    EXPECT_FLOAT_EQ(ChartSampleStep(63, 752.0f, 96, false), 5.0f);
    EXPECT_FLOAT_EQ(ChartSampleStep(1000, 752.0f, 96, false), 0.752f);
    EXPECT_FLOAT_EQ(ChartSampleStep(1000, 752.0f, 96, true), 0.752f) << "enough to fill the plot: as always";
    // The tooltip finds the sample under the pointer the same way.
    EXPECT_EQ(NearestChartSample(63, 0, 800, 96, 800 - 24, true), 62u);
    EXPECT_EQ(NearestChartSample(63, 0, 800, 96, 24 + 376, true), 31u);
    EXPECT_EQ(NearestChartSample(63, 0, 800, 96, 800 - 24, false), 62u);
    EXPECT_EQ(NearestChartSample(63, 0, 800, 96, 24 + 155, false), 31u);
}
