#include "display/RateChart.h"
#include "tests/display/DisplayTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

constexpr float infinity = std::numeric_limits<float>::infinity();
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();

TEST(ChartRow, OnePixelPerHundredthAroundTheZeroLineAndAlwaysDrawable)
{
    struct Case {
        float value;
        int row;
    } cases[] = {
        {0.0f, 128},     {0.5f, 78},        {-0.5f, 178},        {1.27f, 1},
        {0.05f, 123},  // single precision: 0.05f * 100 is exactly 5
        {1e30f, -chartPixelLimit}, {infinity, -chartPixelLimit}, {-1e30f, chartPixelLimit},
        {-infinity, chartPixelLimit}, {notANumber, 128},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChartRow(c.value), c.row) << c.value;
}

// A record whose samples are `values` (the first is the base's own 0.0).
FXRate RecordWith(const std::vector<float>& values)
{
    FXRate record(Quote("USDJPY", "150.10", "0.00"));
    record.history.clear();
    for (float value : values) {
        record.history.push_back({value, 0});
        record.lowValue = std::min(record.lowValue, value + record.baseValue);
        record.highValue = std::max(record.highValue, value + record.baseValue);
    }
    return record;
}

struct Chart {
    Canvas canvas{400, 300};
    explicit Chart(const FXRate& record, int a = 0, int b = 400)
    {
        RECT all = canvas.Bounds();
        FillRect(canvas.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetBkMode(canvas.Get(), TRANSPARENT);
        DrawRateChart(record, canvas.Get(), a, b);
    }
    int Line(const RECT& area) const { return canvas.CountColor(area, chartLineColor); }
};

TEST(DrawRateChart, FrameInLightBlueAroundThePlotArea)
{
    Chart chart(RecordWith({0.0f}));
    // 2-pixel pen around x 24 to 376, y 1 to 264; looked for in thin strips.
    EXPECT_GT(chart.canvas.CountColor({22, 150, 27, 250}, chartFrameColor), 0);   // left edge
    EXPECT_GT(chart.canvas.CountColor({373, 150, 378, 250}, chartFrameColor), 0); // right edge
    EXPECT_GT(chart.canvas.CountColor({100, 0, 300, 3}, chartFrameColor), 0);     // top edge
    EXPECT_GT(chart.canvas.CountColor({100, 261, 300, 266}, chartFrameColor), 0); // bottom edge
    EXPECT_EQ(chart.canvas.CountColor({30, 150, 370, 250}, chartFrameColor), 0);  // not inside
    // Below it only the time of its one sample, under its left end.
    EXPECT_TRUE(chart.canvas.AllColor({0, 266, 22, 300}, 0xFFFFFF));
    EXPECT_TRUE(chart.canvas.AllColor({200, 266, 400, 300}, 0xFFFFFF));
    EXPECT_GT(chart.canvas.Count({24, 266, 200, 300}, IsBluish), 0);
}

TEST(DrawRateChart, HistoryLineAtTheRowsOfTheScale)
{
    // Five pixels per sample from x 24: samples 1-10 at +0.5 (row 78),
    // 11-20 at -0.5 (row 178).
    std::vector<float> values{0.0f};
    values.insert(values.end(), 10, 0.5f);
    values.insert(values.end(), 10, -0.5f);
    Chart chart(RecordWith(values));
    EXPECT_EQ(chart.canvas.Pixel(50, 78), chartLineColor);
    EXPECT_EQ(chart.canvas.Pixel(70, 78), chartLineColor);
    EXPECT_EQ(chart.canvas.Pixel(100, 178), chartLineColor);
    EXPECT_EQ(chart.canvas.Pixel(120, 178), chartLineColor);
    // Nothing of the line beyond the last sample (x 124) or on the zero line
    // between the two levels.
    EXPECT_EQ(chart.Line({130, 0, 400, 300}), 0);
    EXPECT_EQ(chart.Line({40, 100, 70, 160}), 0);
    // High label above the first high point, low label below the first low
    // point, base label at the left end of the zero line: blue text.
    EXPECT_GT(chart.canvas.Count({10, 58, 60, 77}, IsBluish), 0);
    EXPECT_GT(chart.canvas.Count({60, 180, 120, 200}, IsBluish), 0);
    EXPECT_GT(chart.canvas.Count({0, 122, 23, 136}, IsBluish), 0);
}

TEST(DrawRateChart, OneSampleDrawsNoSegmentAndOnlyTheBaseLabel)
{
    Chart chart(RecordWith({0.0f}));
    EXPECT_EQ(chart.Line(chart.canvas.Bounds()), 0);
    EXPECT_GT(chart.canvas.Count({0, 122, 23, 136}, IsBluish), 0);
    // The summary lines are there (halo text at y 8 to about 70).
    EXPECT_GT(chart.canvas.Count({24, 6, 200, 72}, IsBluish), 0);
    EXPECT_EQ(chart.canvas.Count({30, 100, 370, 260}, IsBluish), 0);
}

TEST(DrawRateChart, NoSamplesDrawsFrameAndSummaryOnly)
{
    FXRate record = RecordWith({});
    Chart chart(record);
    EXPECT_GT(chart.canvas.CountColor({22, 150, 27, 250}, chartFrameColor), 0);
    EXPECT_GT(chart.canvas.Count({24, 6, 200, 72}, IsBluish), 0);
    EXPECT_EQ(chart.canvas.Count({0, 110, 23, 140}, IsBluish), 0);  // no base label
}

TEST(DrawRateChart, ManySamplesShrinkTheStepToFitAndShareColumns)
{
    // 10,000 samples over 352 pixels: the line must end inside the frame.
    std::vector<float> values(10000, 0.3f);
    values[0] = 0.0f;
    Chart chart(RecordWith(values));
    EXPECT_GT(chart.Line({30, 97, 370, 100}), 300);  // row 98, nearly the whole width
    EXPECT_EQ(chart.Line({378, 0, 400, 300}), 0);
}

TEST(DrawRateChart, NarrowAreasDrawNothing)
{
    for (int width : {48, 10, 0, -100}) {
        Chart chart(RecordWith({0.0f, 0.5f}), 0, width);
        EXPECT_TRUE(chart.canvas.AllColor(chart.canvas.Bounds(), 0xFFFFFF)) << width;
    }
    Chart narrowest(RecordWith({0.0f, 0.5f}), 0, 49);  // a plot area of one pixel
    EXPECT_GT(narrowest.canvas.CountColor({20, 0, 30, 300}, chartFrameColor), 0);
}

TEST(DrawRateChart, ExtremeAndNonNumericValuesStayOnDrawableRows)
{
    // Infinite and huge values are held at the limit (the line leaves the
    // top or bottom of the window), not a number sits on the zero line.
    Chart up(RecordWith({0.0f, infinity, 0.0f}));
    EXPECT_GT(up.Line({20, 5, 40, 15}), 0);   // steep segments through the top
    Chart down(RecordWith({0.0f, -1e35f, 0.0f}));
    EXPECT_GT(down.Line({20, 280, 40, 295}), 0);
    Chart flat(RecordWith({0.0f, notANumber, 0.0f}));
    EXPECT_GT(flat.Line({25, 127, 33, 130}), 0);
    EXPECT_EQ(flat.Line({20, 0, 400, 120}), 0);

    FXRate wild = RecordWith({0.0f, -infinity, infinity, notANumber, 3e38f, -3e38f});
    wild.lowValue = -infinity;
    wild.highValue = notANumber;
    wild.baseValue = 3e38f;
    struct Case {
        int32_t a, b;
        bool frameAcrossTop;  // else nothing at all
    } cases[] = {
        {0, 400, true}, {-1000000, 1000000, true}, {INT_MIN, INT_MAX, true}, {INT_MAX - 10, INT_MAX, false},
    };
    for (const Case& c : cases) {
        Chart chart(wild, c.a, c.b);
        if (c.frameAcrossTop)
            EXPECT_GT(chart.canvas.CountColor({100, 0, 300, 3}, chartFrameColor), 0) << c.a << " " << c.b;
        else
            EXPECT_TRUE(chart.canvas.AllColor(chart.canvas.Bounds(), 0xFFFFFF)) << c.a << " " << c.b;
    }
}

TEST(PriceChart, ASeriesOfPricesFillsItsOwnScale)
{
    struct Row {
        float price, lowest, highest;
        int dpi, row;
    } const rows[] = {
        {1.0931f, 1.0712f, 1.0931f, 96, 96}, {1.0712f, 1.0712f, 1.0931f, 96, 232},
        {162.8f, 155.2f, 162.8f, 144, 144},  {155.2f, 155.2f, 162.8f, 144, 348},
        {1.085f, 1.085f, 1.085f, 96, 164},  // one level: midway
        {159.0f, 155.2f, 162.8f, 96, 164},  // halfway up the range
    };
    for (const Row& r : rows)
        EXPECT_EQ(ChartPriceRow(r.price, r.lowest, r.highest, r.dpi), r.row) << r.price << " at " << r.dpi;

    struct Text {
        float price, lowest, highest;
        const char* text;
    } const texts[] = {
        {1.0712f, 1.0712f, 1.0931f, "1.0712"},
        {155.2f, 155.2f, 162.8f, "155.20"},
        {1.085f, 1.085f, 1.085f, "1.0850"},
        {161.5f, 161.5f, 161.5f, "161.50"},
        {0.0000612f, 0.0000612f, 0.0000613f, "0.000061"},  // no more than six decimals
        {20000.0f, 19000.0f, 21000.0f, "20000.00"},
    };
    for (const Text& t : texts)
        EXPECT_EQ(ChartPriceText(t.price, t.lowest, t.highest), t.text);

    // Drawn: from 1.0712 to 1.0931 and back, five pixels a sample (a span
    // within a day), the scale above and below the line.
    FXRate record = RecordWith({});
    record.priceSeries = true;
    for (float price : {1.0712f, 1.08f, 1.0931f, 1.0931f, 1.08f, 1.0712f})
        record.history.push_back({price, 1700000000000});
    Chart chart(record);
    EXPECT_EQ(chart.canvas.Pixel(36, 96), chartLineColor) << "the highest on the top row";
    EXPECT_EQ(chart.canvas.Pixel(48, 232), chartLineColor) << "the lowest on the bottom row";
    EXPECT_EQ(chart.Line({20, 0, 400, 94}), 0);
    EXPECT_EQ(chart.Line({20, 235, 400, 300}), 0);
    EXPECT_GT(chart.canvas.Count({26, 80, 80, 95}, IsBluish), 0) << "1.0931 above the line";
    EXPECT_GT(chart.canvas.Count({26, 234, 80, 250}, IsBluish), 0) << "1.0712 below it";
    EXPECT_EQ(chart.canvas.Count({0, 100, 23, 160}, IsBluish), 0) << "no base figure at the left";
    EXPECT_NE(ChartSampleText(record, 2).find("   1.0931"), std::string::npos) << ChartSampleText(record, 2);
}

}  // namespace
