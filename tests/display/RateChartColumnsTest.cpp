// The history line of a long history draws exactly what the chart's rule
// draws when the pen is moved to every sample: skipping the samples that
// share a pixel column changes no pixel.
#include "display/GdiObjects.h"
#include "display/RateChart.h"
#include "rates/BoundedHistory.h"
#include "tests/display/DisplayTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

// The rule as written: the pen goes to every sample; a segment back to the
// previous sample only where the pixel column changes.
void DrawLineAsTheRuleSays(HDC dc, const FXRate& record, int a, int b)
{
    OwnedPen pen(CreatePen(PS_SOLID, 2, chartLineColor));
    SelectGuard selection(dc, pen.Get());
    const float left = static_cast<float>(a + chartMargin);
    const float width = static_cast<float>(b - chartMargin) - left;
    const std::vector<FXRate::TimeRate>& samples = record.history;
    const float step = std::min(chartMaxStep, width / static_cast<float>(samples.size()));
    const int leftColumn = ChartPixel(left, 0);
    float x = left;
    for (size_t i = 1; i < samples.size(); ++i) {
        x += step;
        const int column = ChartPixel(x, leftColumn);
        const int previousColumn = ChartPixel(x - step, leftColumn);
        MoveToEx(dc, column, ChartRow(samples[i].value), nullptr);
        if (column - previousColumn >= 1)
            LineTo(dc, previousColumn, ChartRow(samples[i - 1].value));
    }
}

void Clear(Canvas& canvas)
{
    RECT all = canvas.Bounds();
    FillRect(canvas.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(canvas.Get(), TRANSPARENT);
}

// A record of `count` samples whose values come from `value(i)`, kept as
// taken or, with `bounded`, as the record keeps them.
FXRate Record(size_t count, const std::function<float(size_t)>& value, bool bounded)
{
    FXRate record(Quote("EURUSD", "1.0850", "0.00"));
    record.history.clear();
    for (size_t i = 0; i < count; ++i) {
        const FXRate::TimeRate sample{value(i), static_cast<uint32_t>(i * 10000)};
        if (bounded)
            AppendToHistory(record.history, record.historyShape, sample);
        else
            record.history.push_back(sample);
        record.lowValue = std::min(record.lowValue, sample.value + record.baseValue);
        record.highValue = std::max(record.highValue, sample.value + record.baseValue);
    }
    return record;
}

float Walk(size_t i)
{
    uint32_t seed = static_cast<uint32_t>(i) * 2654435761u;
    seed ^= seed >> 15;
    return static_cast<float>(static_cast<int>(seed % 201) - 100) / 100.0f + std::sin(i / 700.0f) * 0.2f;
}

struct ColumnCase {
    const char* name;
    size_t count;
    std::function<float(size_t)> value;
    bool bounded;
    int a;
    int b;
};

TEST(DrawRateChart, ALongHistoryDrawsWhatTheRuleDrawsPixelForPixel)
{
    const ColumnCase cases[] = {
        {"fewer samples than columns", 60, Walk, false, 0, kWidth},
        {"a few samples a column", 1500, Walk, false, 0, kWidth},
        {"a day", 8640, Walk, false, 0, kWidth},
        {"a month, bounded", 30 * 8640, Walk, true, 0, kWidth},
        {"a week as taken", 60480, [](size_t i) { return i % 2 ? 1.0f : -1.0f; }, false, 0, kWidth},
        {"a day in a narrow chart moved left", 8640, Walk, false, -37, 180},
    };
    for (const ColumnCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FXRate record = Record(c.count, c.value, c.bounded);
        Canvas chart(kWidth, kHeight), rule(kWidth, kHeight), both(kWidth, kHeight);
        Clear(chart);
        Clear(rule);
        Clear(both);
        DrawRateChart(record, chart.Get(), c.a, c.b);
        DrawLineAsTheRuleSays(rule.Get(), record, c.a, c.b);
        DrawRateChart(record, both.Get(), c.a, c.b);
        DrawLineAsTheRuleSays(both.Get(), record, c.a, c.b);

        int ruleLine = 0, missing = 0, extra = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool inRule = rule.Pixel(x, y) == chartLineColor;
                ruleLine += inRule;
                // The rule's line drawn again over the chart adds nothing...
                missing += both.Pixel(x, y) != chart.Pixel(x, y);
                // ...and the chart's line has no pixel the rule's lacks (the
                // labels may cover some of the line, never add to it).
                extra += chart.Pixel(x, y) == chartLineColor && !inRule;
            }
        }
        EXPECT_GT(ruleLine, 100) << "the rule draws a line";
        EXPECT_EQ(missing, 0) << "pixels of the rule's line the chart did not draw";
        EXPECT_EQ(extra, 0) << "pixels of the chart's line the rule does not draw";
    }
}

}  // namespace
