#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// One sample of a record's series (FXRate::TimeRate).
struct RateSample {
    float value;   // change figure at that update minus the record's base value
    int64_t time;  // when it was taken: UTC milliseconds since 1970 (base/UtcTime.h)
};

// How a series is kept within a fixed size whatever the uptime. The first
// sample (the record's birth, on the base value) is kept as taken, so the
// series always spans the whole run; the newest `exact` samples are kept as
// taken; the samples between them are consolidated. Once `batch` samples
// have aged out of the exact part they are thinned to the resolution of
// the consolidated part and joined to it; when that part outgrows
// `consolidated` samples, its resolution is halved.
//
// Thinning keeps, of every group of neighbours, the lowest and the highest
// in their own order (the first and the last where all are alike). Keeping
// only the one further from the base would lose the run's highest value to
// a deeper dip beside it; keeping both extremes keeps the run's high and
// low, and every day's spike and dip, while the survivors stay samples as
// they were taken, in the order they were taken.
//
// The parts are counted in samples, never measured by the clock: a wall
// clock that is set back or forward cannot make the wrong samples old.
struct HistoryLimits {
    std::size_t exact;         // newest samples kept as taken
    std::size_t batch;         // samples aged out at once (the work is amortised over it)
    std::size_t consolidated;  // at most this many older samples; at least batch + 4
};

// A day at the shortest update interval (10 s) stays exact. 16,384 older
// samples draw any uptime far finer than a chart has pixel columns, and
// leave the newest day a third to a half of the chart's width.
inline constexpr HistoryLimits kRecordHistoryLimits{8640, 2048, 16384};

// The most samples a series ever holds under `limits`.
constexpr std::size_t MostHistorySamples(const HistoryLimits& limits)
{
    return 1 + limits.consolidated + limits.exact + limits.batch;
}

// Where a series stands: a plain value kept beside it in its record. The
// consolidated part is a row of cells, each the lowest and the highest
// sample (two distinct ones, in their order) of a group of 2 << level
// samples taken; the last cell may stand for fewer (`partial` of them) and
// is filled up by the next batch.
struct HistoryShape {
    uint32_t consolidated = 0;  // samples after the first that are consolidated
    uint32_t level = 0;         // halvings so far
    uint32_t partial = 0;       // samples taken that the last cell stands for, if it is not full
};

// Appends `sample` and, when a batch has aged, consolidates. Amortised O(1)
// per sample; the most one call does is to thin a batch, halve the
// consolidated part and move the exact part down once, all in place. The storage never
// grows beyond MostHistorySamples(limits). A series changed behind the
// shape's back (filled directly, say) is brought within the limits by the
// next call.
void AppendToHistory(std::vector<RateSample>& history, HistoryShape& shape, RateSample sample,
                     const HistoryLimits& limits = kRecordHistoryLimits);
