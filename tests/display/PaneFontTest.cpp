// Fonts are made once per pane and DPI: painting again makes none.
#include "display/PaneFont.h"
#include "display/ChartPane.h"
#include "display/FXRatePane.h"
#include "display/RateChart.h"
#include "tests/display/DisplayTestSupport.h"

#include <gtest/gtest.h>

namespace {

int HeightOf(HFONT font)
{
    LOGFONTA described{};
    GetObjectA(font, sizeof described, &described);
    return described.lfHeight;
}

TEST(PaneFont, MadeOnceForAHeightAndAgainOnlyWhenTheHeightChanges)
{
    PaneFont font(Font::Bold);
    const size_t before = Font::MadeCount();
    HFONT first = font.Get(16);  // 12 at 96 DPI, scaled to 128 DPI
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(font.Get(16), first);
    EXPECT_EQ(Font::MadeCount(), before + 1);
    EXPECT_EQ(HeightOf(first), 16);

    HFONT larger = font.Get(18);  // the window moved to a 144-DPI monitor
    EXPECT_EQ(Font::MadeCount(), before + 2);
    EXPECT_EQ(HeightOf(larger), 18);
    font.Get(18);
    font.Get(18);
    EXPECT_EQ(Font::MadeCount(), before + 2);
}

TEST(PaneFont, PaintingBothPanesAgainAndAgainMakesNoFont)
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
        records->emplace_back(Quote("EURUSD", "1.0850", "0.00"));
        for (const char* change : {"0.50", "0.20", "-0.30"})
            records->front().ApplyQuote(Quote("EURUSD", "1.0860", change));
        records->emplace_back(Quote("USDJPY", "150.10", "0.00"));
    }
    ratePane.SetStatus("updated 12:34:56", false, false);
    chart.ShowSelectedRate(ratePane);
    Canvas rateCanvas(200, 300), chartCanvas(400, 300);

    const size_t before = Font::MadeCount();
    ratePane.PaintContent(rateCanvas.Get(), rateCanvas.Bounds());
    chart.PaintContent(chartCanvas.Get(), chartCanvas.Bounds());
    const size_t firstPaints = Font::MadeCount();
    EXPECT_LE(firstPaints - before, 2u) << "one font a pane";
    ASSERT_GT(chartCanvas.CountColor(chartCanvas.Bounds(), chartLineColor), 0) << "the chart drew";

    for (int i = 0; i < 20; ++i) {
        ratePane.SetStatus(i % 2 ? "no rates yet: HTTP 503" : "updated 12:34:56", i % 2 == 1, i % 3 == 0);
        chart.SetStale(i % 3 == 0);
        SendMessageA(ratePane.window, WM_KEYDOWN, VK_DOWN, 0);
        chart.ShowSelectedRate(ratePane);
        ratePane.PaintContent(rateCanvas.Get(), rateCanvas.Bounds());
        chart.PaintContent(chartCanvas.Get(), chartCanvas.Bounds());
        SendMessageA(ratePane.window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(rateCanvas.Get()), PRF_CLIENT);
    }
    EXPECT_EQ(Font::MadeCount(), firstPaints);
}

}  // namespace
