#include "display/ChartPane.h"
#include "display/FXRatePane.h"
#include "display/RateChart.h"
#include "tests/display/DisplayTestSupport.h"
#include "tests/support/MessageWait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct ChartFixture : ::testing::Test {
    TestParent parent;
    ChartPane chart;
    SharedRates list;
    Canvas canvas{400, 300};

    void SetUp() override
    {
        ASSERT_TRUE(chart.CreateChild(parent.window));
        chart.SetBounds(200, 0, 400, 300);
        chart.rateList = &list;
    }

    void AddRecords()
    {
        auto records = list.Lock();
        records->emplace_back(Quote("USDJPY", "150.10", "0.00"));
        records->emplace_back(Quote("EURUSD", "1.0850", "0.00"));
        FXRate& second = (*records)[1];
        for (const char* change : {"0.50", "0.50", "0.50", "0.50"})
            second.ApplyQuote(Quote("EURUSD", "1.0860", change));
    }

    void Show(size_t index)
    {
        std::string code = list.Lock()->at(index).code;
        chart.ShowCode(code);
    }

    void Paint(int width = 400)
    {
        chart.SetBounds(200, 0, width, 300);
        RECT area{0, 0, width, 300};
        chart.PaintContent(canvas.Get(), area);
    }
};

TEST_F(ChartFixture, WindowClassIsRatePane)
{
    char name[64] = {};
    GetClassNameA(chart.window, name, sizeof name);
    EXPECT_STREQ(name, "RatePane");
    EXPECT_EQ(GetParent(chart.window), parent.window);
}

TEST_F(ChartFixture, WhiteWithoutARecord)
{
    AddRecords();
    Paint();
    EXPECT_TRUE(canvas.AllColor(canvas.Bounds(), 0xFFFFFF));
}

TEST_F(ChartFixture, WhiteWhenNoWiderThanTheMargins)
{
    AddRecords();
    Show(1);
    for (int width : {48, 30}) {
        Paint(width);
        EXPECT_TRUE(canvas.AllColor({0, 0, width, 300}, 0xFFFFFF)) << width;
    }
    Paint(49);
    EXPECT_GT(canvas.CountColor({0, 0, 49, 300}, chartFrameColor), 0);
}

TEST_F(ChartFixture, DrawsTheShownRecordThroughPrintClient)
{
    AddRecords();
    Show(1);
    SendMessageA(chart.window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Get()), PRF_CLIENT);
    EXPECT_GT(canvas.CountColor({22, 150, 27, 250}, chartFrameColor), 0);
    // Samples 1-4 at +0.5: row 78 from x 29 to 44.
    EXPECT_EQ(canvas.Pixel(35, 78), chartLineColor);
    EXPECT_EQ(canvas.CountColor({0, 0, 400, 300}, Canvas::sentinel), 0);  // every pixel painted
}

TEST_F(ChartFixture, AMonthOfSamplesDrawsEverySpikeAndDip)
{
    // A full bounded history, 77 samples to a pixel column: flat but for
    // five spikes and five dips, each a single sample, whichever column
    // edge it falls near.
    AddRecords();
    const float peaks[] = {0.5f, 0.6f, 0.7f, 0.8f, 0.9f};
    {
        auto records = list.Lock();
        FXRate& record = (*records)[1];
        record.history.assign(27073, FXRate::TimeRate{0.0f, 0});
        for (size_t i = 0; i < record.history.size(); ++i)
            record.history[i].time = static_cast<uint32_t>(i * 10000);
        for (size_t k = 0; k < 5; ++k) {
            record.history[2000 + 5003 * k].value = peaks[k];
            record.history[4500 + 5003 * k].value = -peaks[k];
        }
    }
    Show(1);
    Paint();
    auto drawnOnRow = [&](int row) {
        return canvas.CountColor({24, row - 1, 376, row + 2}, chartLineColor) > 0;
    };
    for (float peak : peaks) {
        EXPECT_TRUE(drawnOnRow(ChartRow(peak))) << "spike to " << peak;
        EXPECT_TRUE(drawnOnRow(ChartRow(-peak))) << "dip to " << -peak;
    }
    // The record itself keeps every sample.
    EXPECT_EQ(list.Lock()->at(1).history.size(), 27073u);
}

TEST_F(ChartFixture, FollowsTheRatePaneSelection)
{
    FXRatePane ratePane;
    {
        auto records = ratePane.rates.Lock();
        records->emplace_back(Quote("USDJPY", "150.10", "0.00"));
        records->emplace_back(Quote("EURUSD", "1.0850", "0.00"));
    }
    chart.ShowSelectedRate(ratePane);
    EXPECT_EQ(chart.rateList.load(), &ratePane.rates);
    EXPECT_EQ(chart.ShownCode(), "USDJPY");
    ratePane.selected = 1;
    chart.ShowSelectedRate(ratePane);
    EXPECT_EQ(chart.ShownCode(), "EURUSD");
}

TEST_F(ChartFixture, ACodeTheListDoesNotHoldDrawsNothingUntilItAppears)
{
    AddRecords();
    chart.ShowCode("GBPUSD");
    Paint();
    EXPECT_TRUE(canvas.AllColor(canvas.Bounds(), 0xFFFFFF));
    {
        auto records = list.Lock();
        records->emplace_back(Quote("GBPUSD", "1.2700", "0.00"));
    }
    Paint();
    EXPECT_GT(canvas.CountColor(canvas.Bounds(), chartFrameColor), 0);
}

// Records added before the shown one (a listed pair taking its place, the
// vector growing and moving its records): the chart keeps its pair.
TEST_F(ChartFixture, ThePairStaysShownWhileRecordsAreAddedAroundIt)
{
    AddRecords();
    Show(1);  // EURUSD, a line at +0.5 from x 29 to 44
    Paint();
    ASSERT_EQ(canvas.Pixel(35, 78), chartLineColor);
    {
        auto records = list.Lock();
        records->reserve(records->size() + 1);
        records->insert(records->begin(), FXRate(Quote("GBPUSD", "1.2700", "0.00")));
        for (int i = 0; i < 40; ++i)
            records->emplace_back(Quote("PAIR" + std::to_string(i), "1.0000", "0.00"));
    }
    Paint();
    EXPECT_EQ(canvas.Pixel(35, 78), chartLineColor) << "still EURUSD's line";
    EXPECT_EQ(chart.ShownCode(), "EURUSD");
}

TEST_F(ChartFixture, MouseMessagesReachTheParentUnchanged)
{
    const UINT forwarded[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP,  WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,
                              WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MOUSEWHEEL, WM_XBUTTONDOWN,   WM_XBUTTONUP};
    for (UINT message : forwarded) {
        parent.received.clear();
        LPARAM where = MAKELPARAM(31, 47);
        EXPECT_EQ(SendMessageA(chart.window, message, MK_LBUTTON, where), 0);
        ASSERT_EQ(parent.received.size(), 1u) << std::hex << message;
        EXPECT_EQ(parent.received[0].message, message);
        EXPECT_EQ(parent.received[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
        EXPECT_EQ(parent.received[0].lParam, where);  // relative to the chart
    }
    parent.received.clear();
    SendMessageA(chart.window, WM_MOUSEHWHEEL, 0, 0);  // outside the forwarded range
    EXPECT_TRUE(parent.received.empty());
}

// The worker merges, refreshes and re-points the chart while the window
// thread paints both panes and moves the selection: every merge lands, and
// every paint sees whole records.
TEST(PanesWithAWorker, PaintAndInputWhileTheListIsMerged)
{
    TestParent parent;
    FXRatePane ratePane;
    ChartPane chart;
    ASSERT_TRUE(ratePane.CreateChild(parent.window));
    ASSERT_TRUE(chart.CreateChild(parent.window));
    ratePane.SetBounds(0, 0, 200, 300);
    chart.SetBounds(200, 0, 400, 300);
    {
        auto records = ratePane.rates.Lock();
        for (const char* code : {"EURUSD", "USDJPY", "GBPUSD", "AUDUSD"})
            records->emplace_back(Quote(code, "1.0000", "0.00"));
    }

    std::atomic<bool> stop{false};
    std::atomic<int> merges{0};
    std::thread worker([&] {
        while (!stop) {
            {
                auto records = ratePane.rates.Lock();
                for (FXRate& record : *records) {
                    int step = merges % 40;
                    record.ApplyQuote(
                        Quote(record.code, "1.00" + std::to_string(step), "0." + std::to_string(step)));
                }
            }
            ++merges;
            ratePane.Refresh();
            chart.ShowSelectedRate(ratePane);
            chart.Refresh();
        }
    });

    Canvas rateCanvas(200, 300), chartCanvas(400, 300);
    for (int i = 0; i < 200; ++i) {
        ratePane.PaintContent(rateCanvas.Get(), rateCanvas.Bounds());
        chart.PaintContent(chartCanvas.Get(), chartCanvas.Bounds());
        SendMessageA(ratePane.window, WM_KEYDOWN, i % 3 == 0 ? VK_UP : VK_DOWN, 0);
        PumpPending();
    }
    stop = true;
    worker.join();

    {
        auto records = ratePane.rates.Lock();
        for (FXRate& record : *records) {
            // One sample a merge, until the oldest are consolidated.
            const size_t taken = static_cast<size_t>(merges.load()) + 1;
            if (taken <= kRecordHistoryLimits.exact + kRecordHistoryLimits.batch)
                EXPECT_EQ(record.history.size(), taken) << record.code;
            else
                EXPECT_LE(record.history.size(), MostHistorySamples(kRecordHistoryLimits)) << record.code;
            // Above every figure the worker sent ("0.9" at most): the last
            // change of every pair is a rise, whatever the worker's last step.
            record.ApplyQuote(Quote(record.code, "1.0100", "0.95"));
        }
        EXPECT_NE(ratePane.GetSelectedRate(*records), nullptr);
    }
    chart.ShowSelectedRate(ratePane);
    ratePane.PaintContent(rateCanvas.Get(), rateCanvas.Bounds());
    chart.PaintContent(chartCanvas.Get(), chartCanvas.Bounds());
    EXPECT_GT(rateCanvas.Count({4, 0, 76, 70}, IsReddish), 0);  // rises shown
    EXPECT_GT(chartCanvas.CountColor(chartCanvas.Bounds(), chartLineColor), 0);
}

}  // namespace
