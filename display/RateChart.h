#pragma once
#include "rates/FXRate.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The chart's vertical layout at 96 DPI: the frame runs from y 1 to y 264,
// the base value sits on y 128 and one pixel stands for 0.01. At another DPI
// every figure (these, the margins, offsets, fonts and pens) is scaled by
// DPI / 96.
constexpr int chartMargin = 24;
constexpr int chartFrameTop = 1;
constexpr int chartFrameBottom = 264;
constexpr int chartZeroLine = 128;
constexpr float chartPixelsPerUnit = 100.0f;
constexpr float chartMaxStep = 5.0f;  // pixels per sample at most
constexpr COLORREF chartFrameColor = 0xECD790;
constexpr COLORREF chartLineColor = 0x5D52EB;
// The line of rates that have gone stale.
constexpr COLORREF chartStaleLineColor = 0xA0A0A0;

// A price series (FXRate::priceSeries) is fitted to its own range instead:
// its highest price on row chartPriceTop, its lowest on chartPriceBottom
// (a series of one level midway), the two prices written inside the
// frame's left end, above and below the line, as its scale.
constexpr int chartPriceTop = 96;
constexpr int chartPriceBottom = 232;

// The lowest and highest sample of a price series (0 and 0 for none).
void ChartPriceRange(const FXRate& record, float& lowest, float& highest);

// A price as the chart writes it: with as many decimals (2 to 6) as its
// series' range needs for its top and bottom to differ by a few steps.
std::string ChartPriceText(float price, float lowest, float highest);

// The row of a price between `lowest` and `highest` at `dpi`, as above.
int ChartPriceRow(float price, float lowest, float highest, int dpi = 96);

// The row of a sample's point: trunc(128 - value * 100) in single precision,
// held within a range that every GDI call takes. Values from the network may
// be huge, infinite or not a number; none reaches a float-to-int conversion
// unclamped (not a number sits on the zero line).
int ChartRow(float value);
// The same at `dpi`: trunc(scaled 128 - value * scaled 100).
int ChartRow(float value, int dpi);

// trunc(position) held within [-chartPixelLimit, chartPixelLimit];
// `ifNotANumber` for NaN.
constexpr int chartPixelLimit = 30000;
int ChartPixel(float position, int ifNotANumber);

// The width of the plot area between the horizontal positions a and b at
// `dpi`: b - a less both margins; 0 when there is none.
int ChartPlotWidth(int32_t a, int32_t b, int dpi);

// Draws one pair between the horizontal positions a and b of `dc`: frame,
// four summary lines, the history line, the low, high and base labels and,
// under the frame's two ends, when the first and the newest sample were
// taken (ChartTimeLabel).
// Draws nothing when the plot area (b - a - 48 pixels, scaled) is empty.
// Reads only `record`; hand it a copy taken under the list's lock. The
// labels are drawn in `labelFont`, which a pane keeps from paint to paint
// (ChartLabelHeight high); without one, a font is made for this call.
void DrawRateChart(const FXRate& record, HDC dc, int32_t a, int32_t b, int dpi = 96,
                   COLORREF lineColor = chartLineColor, HFONT labelFont = nullptr);

// The labels' font height for `record` at `dpi`.
int ChartLabelHeight(const FXRate& record, int dpi);

// Where the time labels stand at 96 DPI: their top this far below the frame.
constexpr int chartTimeLabelDrop = 4;

// A sample's time as the chart writes it under its ends, in local time: the
// day ("01 Sep") when the samples span more than a day, the time of day
// ("15:00") otherwise.
std::string ChartTimeLabel(int64_t time, int64_t span);

// A sample's time and change figure as pointing at it shows them:
// "2026-09-01 15:00   +0.25" (local time); a price series' sample shows
// its price: "2026-09-01 16:00   1.0850".
std::string ChartSampleText(const FXRate& record, std::size_t index);

// UTC milliseconds as the local clock reads them then (unchanged where the
// conversion does not apply).
int64_t LocalMilliseconds(int64_t utc);

// Of `count` samples (at least one) drawn between a and b at `dpi`, the one
// drawn nearest to the horizontal position x.
std::size_t NearestChartSample(std::size_t count, int32_t a, int32_t b, int dpi, int x, bool spread = false);

// Whether the chart spreads `record`'s samples over the whole plot width
// (ChartSampleStep): a series that spans more than a day, as a dated
// source's fixings do. A live feed's series of that length holds far more
// samples than columns, so it is drawn as before.
bool ChartSpreadsSamples(const FXRate& record);

// The distance between two samples' points: at most chartMaxStep (scaled)
// and at most width / count; spread, when that would leave part of the
// plot empty, width / (count - 1), so that the line runs from one end of
// the plot to the other.
float ChartSampleStep(std::size_t count, float width, int dpi, bool spread);
