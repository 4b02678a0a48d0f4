#include "display/RateChart.h"

#include "base/DpiScale.h"
#include "base/UtcTime.h"
#include "display/Font.h"
#include "display/FormatText.h"
#include "display/GdiObjects.h"
#include "display/HaloText.h"

#include <algorithm>
#include <cmath>
#include <optional>

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

int ChartRow(float value, int dpiValue)
{
    int zeroLine = dpi::Scale(chartZeroLine, dpiValue);
    return ChartPixel(static_cast<float>(zeroLine) - value * dpi::Scale(chartPixelsPerUnit, dpiValue),
                      zeroLine);
}

int ChartPlotWidth(int32_t a, int32_t b, int dpiValue)
{
    // In 64 bits, so that any two 32-bit positions work.
    int64_t width = int64_t{b} - a - 2 * int64_t{dpi::Scale(chartMargin, dpiValue)};
    return static_cast<int>(std::clamp<int64_t>(width, 0, INT32_MAX));
}

int64_t LocalMilliseconds(int64_t utc)
{
    // FILETIME counts 100 ns from 1601; beyond year 30827 SYSTEMTIME ends.
    constexpr int64_t kFrom1601 = 11644473600000;
    constexpr int64_t kLatest = int64_t{800000} * 365 * kMillisecondsPerDay / 1000;
    if (utc < -kFrom1601 || utc > kLatest)
        return utc;
    const uint64_t ticks = static_cast<uint64_t>(utc + kFrom1601) * 10000u;
    FILETIME file{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME universal{};
    SYSTEMTIME local{};
    FILETIME localFile{};
    if (!FileTimeToSystemTime(&file, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local) ||
        !SystemTimeToFileTime(&local, &localFile))
        return utc;
    const uint64_t localTicks = (uint64_t{localFile.dwHighDateTime} << 32) | localFile.dwLowDateTime;
    return static_cast<int64_t>(localTicks / 10000u) - kFrom1601;
}

std::string ChartTimeLabel(int64_t time, int64_t span)
{
    const int64_t local = LocalMilliseconds(time);
    return span > kMillisecondsPerDay ? FormatDayMonth(local) : FormatHourMinute(local);
}

void ChartPriceRange(const FXRate& record, float& lowest, float& highest)
{
    lowest = highest = record.history.empty() ? 0.0f : record.history.front().value;
    for (const FXRate::TimeRate& sample : record.history) {
        lowest = std::min(lowest, sample.value);
        highest = std::max(highest, sample.value);
    }
}

std::string ChartPriceText(float price, float lowest, float highest)
{
    // Decimals enough for the range to span some hundred steps of the last
    // one: 1.0712 to 1.0931 in four, 155.20 to 162.80 in two.
    const double range = static_cast<double>(highest) - lowest;
    int decimals = 6;
    if (range > 0 && std::isfinite(range))
        decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(range))) + 2, 2, 6);
    else if (std::isfinite(price) && std::fabs(price) > 0)
        decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(std::fabs(price)))) + 4, 2, 6);
    return FormatText("%.*f", decimals, static_cast<double>(price));
}

std::string ChartSampleText(const FXRate& record, std::size_t index)
{
    if (index >= record.history.size())
        return std::string();
    const FXRate::TimeRate& sample = record.history[index];
    const int64_t local = LocalMilliseconds(sample.time);
    std::string value;
    if (record.priceSeries) {
        float lowest = 0, highest = 0;
        ChartPriceRange(record, lowest, highest);
        value = ChartPriceText(sample.value, lowest, highest);
    } else {
        value = FormatText("%+.2f", static_cast<double>(record.baseValue + sample.value));
    }
    return FormatIsoDate(local) + " " + FormatHourMinute(local) + "   " + value;
}

bool ChartSpreadsSamples(const FXRate& record)
{
    if (record.history.size() < 2)
        return false;
    const int64_t first = record.history.front().time;
    const int64_t last = record.history.back().time;
    return last > first && last - first > kMillisecondsPerDay;
}

float ChartSampleStep(std::size_t count, float width, int dpiValue, bool spread)
{
    if (count < 2)
        return 0.0f;
    const float most = dpi::Scale(chartMaxStep, dpiValue);
    // Samples enough to fill the plot at the widest step are placed as
    // always: a long series looks the same whatever it spans.
    if (spread && static_cast<float>(count) * most < width)
        return width / static_cast<float>(count - 1);
    return std::min(most, width / static_cast<float>(count));
}

std::size_t NearestChartSample(std::size_t count, int32_t a, int32_t b, int dpiValue, int x, bool spread)
{
    const int width = ChartPlotWidth(a, b, dpiValue);
    if (count < 2 || width <= 0)
        return 0;
    // As DrawHistory places them: sample i at left + i * step.
    const float step = ChartSampleStep(count, static_cast<float>(width), dpiValue, spread);
    const float left = static_cast<float>(int64_t{a} + dpi::Scale(chartMargin, dpiValue));
    const float position = std::round((static_cast<float>(x) - left) / step);
    if (!(position > 0.0f))
        return 0;
    return position >= static_cast<float>(count - 1) ? count - 1 : static_cast<std::size_t>(position);
}

namespace {

constexpr int labelLeft = -10;           // value labels start this far left of their point
constexpr float lowLabelDrop = 2.0f;     // below the lowest point
constexpr float highLabelRise = -15.0f;  // above the highest point
constexpr int baseLabelRise = -6;
constexpr int priceLabelInset = 4;  // a price series' scale, from the frame's left
constexpr double extremeTolerance = 0.001;

// The figures above at one DPI.
struct Layout {
    explicit Layout(int dpiValue) : dpi(dpiValue) {}
    int operator()(int figure) const { return dpi::Scale(figure, dpi); }
    float operator()(float figure) const { return dpi::Scale(figure, dpi); }
    float Row(float value) const
    {
        return static_cast<float>((*this)(chartZeroLine)) - value * (*this)(chartPixelsPerUnit);
    }

    int dpi;
};

// How values map to rows: trunc(zero - (value - origin) * perUnit), held
// drawable (a value that is not a number on row `zero`).
struct RowScale {
    float origin;
    float zero;
    float perUnit;
    int Row(float value) const { return ChartPixel(zero - (value - origin) * perUnit, ChartPixel(zero, 0)); }
};

RowScale PriceScale(float lowest, float highest, int dpiValue)
{
    const float top = static_cast<float>(dpi::Scale(chartPriceTop, dpiValue));
    const float bottom = static_cast<float>(dpi::Scale(chartPriceBottom, dpiValue));
    const float range = highest - lowest;
    if (!(range > 0.0f) || !std::isfinite(range))
        return RowScale{lowest, (top + bottom) / 2, 0.0f};
    return RowScale{lowest, bottom, (bottom - top) / range};
}

void DrawSummary(HDC dc, int left, const FXRate& record, const Layout& scaled)
{
    std::string counts =
        FormatText("+%d : -%d   %s", record.rises, record.falls, record.firstPriceText.c_str());
    int outline = scaled(1);
    DrawHaloText(dc, left, scaled(8), FormatText("%s    %s", record.code.c_str(), counts.c_str()), outline);
    DrawHaloText(dc, left, scaled(24), FormatText("High: %s", record.highText.c_str()), outline);
    DrawHaloText(dc, left, scaled(40), FormatText("Open:%s", record.openText.c_str()), outline);
    DrawHaloText(dc, left, scaled(56), FormatText("Low : %s", record.lowText.c_str()), outline);
}

void DrawValueLabel(HDC dc, float x, float row, float value, const Layout& scaled)
{
    DrawPlainText(dc, ChartPixel(x + scaled(labelLeft), 0), ChartPixel(row, scaled(chartZeroLine)),
                  FormatText("%.2f", static_cast<double>(value)));
}

void DrawHistory(HDC dc, float left, float width, const FXRate& record, const Layout& scaled,
                 const RowScale& rows)
{
    const std::vector<FXRate::TimeRate>& samples = record.history;
    size_t count = samples.size();
    float step = ChartSampleStep(count, width, scaled.dpi, ChartSpreadsSamples(record));
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
            MoveToEx(dc, column, rows.Row(value), nullptr);
            LineTo(dc, previousColumn, rows.Row(samples[i - 1].value));
        }
        // A price series has its scale at the left instead.
        if (record.priceSeries)
            continue;

        float row = scaled.Row(value);
        if (!lowDrawn && value - lowest < extremeTolerance) {
            DrawValueLabel(dc, x, row + scaled(lowLabelDrop), record.lowValue, scaled);
            lowDrawn = true;
        }
        if (!highDrawn && highest - value < extremeTolerance) {
            DrawValueLabel(dc, x, row + scaled(highLabelRise), record.highValue, scaled);
            highDrawn = true;
        }
    }
}

// The first sample's time under the frame's left end, the newest one's
// under its right end, right-aligned; one label for a single sample.
void DrawTimeLabels(HDC dc, int left, int right, const FXRate& record, const Layout& scaled)
{
    const int64_t first = record.history.front().time;
    const int64_t last = record.history.back().time;
    // Loaded samples may carry any dates; their distance must not overflow.
    const int64_t span = (first < 0 && last > INT64_MAX + first) ? INT64_MAX : last - first;
    const int top = scaled(chartFrameBottom) + scaled(chartTimeLabelDrop);
    DrawPlainText(dc, left, top, ChartTimeLabel(first, span));
    if (record.history.size() < 2)
        return;
    const std::string newest = ChartTimeLabel(last, span);
    SIZE extent{};
    GetTextExtentPoint32A(dc, newest.c_str(), static_cast<int>(newest.size()), &extent);
    DrawPlainText(dc, std::max(left, right - static_cast<int>(extent.cx)), top, newest);
}

}  // namespace

int ChartPriceRow(float price, float lowest, float highest, int dpiValue)
{
    return PriceScale(lowest, highest, dpiValue).Row(price);
}

int ChartLabelHeight(const FXRate& record, int dpiValue)
{
    return dpi::Scale(record.labelFontSize, dpiValue);
}

void DrawRateChart(const FXRate& record, HDC dc, int32_t a, int32_t b, int dpiValue, COLORREF lineColor,
                   HFONT labelFont)
{
    const Layout scaled(dpiValue);
    // In 64 bits, so that any two 32-bit positions work; once the plot area
    // is known not to be empty, both of its edges lie between a and b.
    int64_t left = int64_t{a} + scaled(chartMargin);
    int64_t right = int64_t{b} - scaled(chartMargin);
    if (right - left < 1)
        return;

    {
        OwnedPen framePen(CreatePen(PS_SOLID, scaled(2), chartFrameColor));
        SelectGuard framePenSelection(dc, framePen.Get());
        Rectangle(dc, static_cast<int>(left), scaled(chartFrameTop), static_cast<int>(right),
                  scaled(chartFrameBottom));
    }

    std::optional<Font> ownFont;
    if (labelFont == nullptr)
        labelFont = ownFont.emplace("", Font::Bold, ChartLabelHeight(record, dpiValue)).GetHandle();
    SelectGuard fontSelection(dc, labelFont);
    DrawSummary(dc, static_cast<int>(left), record, scaled);
    if (record.history.empty())
        return;

    OwnedPen linePen(CreatePen(PS_SOLID, scaled(2), lineColor));
    SelectGuard linePenSelection(dc, linePen.Get());
    SetTextColor(dc, haloTextColor);
    if (record.priceSeries) {
        float lowest = 0, highest = 0;
        ChartPriceRange(record, lowest, highest);
        const RowScale rows = PriceScale(lowest, highest, dpiValue);
        DrawHistory(dc, static_cast<float>(left), static_cast<float>(right - left), record, scaled, rows);
        // Inside the frame, just above the highest point and just below the
        // lowest, where the line never is.
        const int labelX = static_cast<int>(left) + scaled(priceLabelInset);
        DrawPlainText(dc, labelX, rows.Row(highest) + scaled(static_cast<int>(highLabelRise)),
                      ChartPriceText(highest, lowest, highest));
        if (highest > lowest)
            DrawPlainText(dc, labelX, rows.Row(lowest) + scaled(static_cast<int>(lowLabelDrop)),
                          ChartPriceText(lowest, lowest, highest));
    } else {
        const RowScale rows{0.0f, static_cast<float>(scaled(chartZeroLine)), scaled(chartPixelsPerUnit)};
        DrawHistory(dc, static_cast<float>(left), static_cast<float>(right - left), record, scaled, rows);
        DrawPlainText(dc, a, scaled(chartZeroLine) + scaled(baseLabelRise),
                      FormatText("%.2f", static_cast<double>(record.baseValue)));
    }
    DrawTimeLabels(dc, static_cast<int>(left), static_cast<int>(right), record, scaled);
}
