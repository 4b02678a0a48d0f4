#include "display/RateChart.h"

#include "display/Font.h"
#include "display/FormatText.h"
#include "display/GdiObjects.h"
#include "display/HaloText.h"

#include <algorithm>
#include <cmath>

int ChartPixel(float position, int ifNotANumber)
{
    if (std::isnan(position))
        return ifNotANumber;
    float limit = static_cast<float>(chartPixelLimit);
    return static_cast<int>(std::trunc(std::clamp(position, -limit, limit)));
}

int ChartRow(float value)
{
    return ChartPixel(chartZeroLine - value * chartPixelsPerUnit, chartZeroLine);
}

namespace {

constexpr int labelLeft = -10;   // value labels start this far left of their point
constexpr float lowLabelDrop = 2.0f;     // below the lowest point
constexpr float highLabelRise = -15.0f;  // above the highest point
constexpr int baseLabelRise = -6;
constexpr double extremeTolerance = 0.001;

void DrawSummary(HDC dc, int left, const FXRate& record)
{
    std::string counts = FormatText("+%d : -%d   %s", record.rises, record.falls, record.firstPriceText.c_str());
    DrawHaloText(dc, left, 8, FormatText("%s    %s", record.code.c_str(), counts.c_str()));
    DrawHaloText(dc, left, 24, FormatText("High: %s", record.highText.c_str()));
    DrawHaloText(dc, left, 40, FormatText("Open:%s", record.openText.c_str()));
    DrawHaloText(dc, left, 56, FormatText("Low : %s", record.lowText.c_str()));
}

void DrawValueLabel(HDC dc, float x, float row, float value)
{
    DrawPlainText(dc, ChartPixel(x + labelLeft, 0), ChartPixel(row, chartZeroLine),
                  FormatText("%.2f", static_cast<double>(value)));
}

void DrawHistory(HDC dc, float left, float width, const FXRate& record)
{
    const std::vector<FXRate::TimeRate>& samples = record.history;
    size_t count = samples.size();
    float step = std::min(chartMaxStep, width / static_cast<float>(count));
    float x = left;
    int leftColumn = ChartPixel(left, 0);
    float lowest = record.lowValue - record.baseValue;
    float highest = record.highValue - record.baseValue;
    bool lowDrawn = false;
    bool highDrawn = false;

    for (size_t i = 1; i < count; ++i) {
        float value = samples[i].value;
        x += step;
        int column = ChartPixel(x, leftColumn);
        int previousColumn = ChartPixel(x - step, leftColumn);
        // Samples that share a pixel column draw nothing after the first.
        // Only a segment needs the pen moved: a history holds many samples
        // per column, and a call into GDI for each would cost more than
        // everything drawn.
        if (column - previousColumn >= 1) {
            MoveToEx(dc, column, ChartRow(value), nullptr);
            LineTo(dc, previousColumn, ChartRow(samples[i - 1].value));
        }

        float row = chartZeroLine - value * chartPixelsPerUnit;
        if (!lowDrawn && value - lowest < extremeTolerance) {
            DrawValueLabel(dc, x, row + lowLabelDrop, record.lowValue);
            lowDrawn = true;
        }
        if (!highDrawn && highest - value < extremeTolerance) {
            DrawValueLabel(dc, x, row + highLabelRise, record.highValue);
            highDrawn = true;
        }
    }
}

}  // namespace

void DrawRateChart(const FXRate& record, HDC dc, int32_t a, int32_t b)
{
    // In 64 bits, so that any two 32-bit positions work; once the plot area
    // is known not to be empty, both of its edges lie between a and b.
    int64_t left = int64_t{a} + chartMargin;
    int64_t right = int64_t{b} - chartMargin;
    if (right - left < 1)
        return;

    {
        OwnedPen framePen(CreatePen(PS_SOLID, 2, chartFrameColor));
        SelectGuard framePenSelection(dc, framePen.Get());
        Rectangle(dc, static_cast<int>(left), chartFrameTop, static_cast<int>(right), chartFrameBottom);
    }

    Font font("", Font::Bold, record.labelFontSize);
    SelectGuard fontSelection(dc, font.GetHandle());
    DrawSummary(dc, static_cast<int>(left), record);
    if (record.history.empty())
        return;

    OwnedPen linePen(CreatePen(PS_SOLID, 2, chartLineColor));
    SelectGuard linePenSelection(dc, linePen.Get());
    SetTextColor(dc, haloTextColor);
    DrawHistory(dc, static_cast<float>(left), static_cast<float>(right - left), record);
    DrawPlainText(dc, a, chartZeroLine + baseLabelRise, FormatText("%.2f", static_cast<double>(record.baseValue)));
}
