#include "rates/BoundedHistory.h"

#include <algorithm>

namespace {

// The first storage of a series, and the least it grows by.
constexpr std::size_t kMinimumGrowth = 16;

// Beyond this a cell's count would not fit the shape; no uptime gets near
// it (the twenty-ninth halving needs about 2^42 samples).
constexpr uint32_t kDeepestLevel = 29;

// Samples in a cell that stands for `taken` samples.
std::size_t CellSamples(std::size_t taken)
{
    return std::min<std::size_t>(taken, 2);
}

// Thins the group [first, last) to its lowest and highest sample, in their
// order (the first and the last when all are alike), or to its one sample.
// Writes at `out`, which lies at or before `first`: the two are read before
// anything is written. Returns the end of what was written.
std::size_t ThinGroup(std::vector<RateSample>& samples, std::size_t first, std::size_t last, std::size_t out)
{
    std::size_t low = first;
    std::size_t high = first;
    for (std::size_t i = first + 1; i < last; ++i) {
        if (samples[i].value < samples[low].value)
            low = i;
        if (samples[i].value > samples[high].value)
            high = i;
    }
    if (low == high && last - first > 1)
        high = last - 1;
    const RateSample earlier = samples[std::min(low, high)];
    const RateSample later = samples[std::max(low, high)];
    samples[out++] = earlier;
    if (low != high)
        samples[out++] = later;
    return out;
}

// Turns the aged samples [agedBegin, agedEnd) into cells behind the
// consolidated part, filling up its last cell first. Returns the end of the
// consolidated part.
std::size_t AgeOut(std::vector<RateSample>& history, HistoryShape& shape, std::size_t agedBegin,
                   std::size_t agedEnd)
{
    const std::size_t group = std::size_t{2} << shape.level;
    std::size_t taken = shape.partial < group ? shape.partial : 0;
    std::size_t first = agedBegin - std::min(CellSamples(taken), agedBegin - 1);
    std::size_t out = first;
    std::size_t next = agedBegin;
    while (next < agedEnd) {
        const std::size_t take = std::min(group - taken, agedEnd - next);
        out = ThinGroup(history, first, next + take, out);
        next += take;
        taken += take;
        if (taken == group)
            taken = 0;
        first = next;
    }
    shape.partial = static_cast<uint32_t>(taken);
    return out;
}

// Halves the resolution of the consolidated part [1, end): neighbouring
// cells merge pairwise, so every cell keeps standing for as many samples.
// Returns the new end.
std::size_t Halve(std::vector<RateSample>& history, HistoryShape& shape, std::size_t end)
{
    const std::size_t group = std::size_t{2} << shape.level;
    const std::size_t partialSamples = CellSamples(shape.partial);
    const std::size_t fullCells = (end - 1 - std::min(partialSamples, end - 1)) / 2;
    const std::size_t cells = fullCells + (shape.partial > 0 ? 1 : 0);
    if (cells % 2 == 1)
        shape.partial = shape.partial > 0 ? shape.partial : static_cast<uint32_t>(group);
    else if (shape.partial > 0)
        shape.partial += static_cast<uint32_t>(group);
    std::size_t out = 1;
    for (std::size_t first = 1; first < end; first += 4)
        out = ThinGroup(history, first, std::min(first + 4, end), out);
    if (shape.level < kDeepestLevel)
        ++shape.level;
    return out;
}

// Consolidates the samples that aged out of the exact part, halves the
// consolidated part while it is too large, and moves the exact part down
// behind it.
void Consolidate(std::vector<RateSample>& history, HistoryShape& shape, std::size_t agedBegin,
                 const HistoryLimits& limits)
{
    const std::size_t agedEnd = history.size() - limits.exact;
    std::size_t end = AgeOut(history, shape, agedBegin, agedEnd);
    // Fewer than three samples cannot get fewer.
    while (end - 1 > limits.consolidated && end - 1 > 2)
        end = Halve(history, shape, end);
    std::move(history.begin() + static_cast<std::ptrdiff_t>(agedEnd), history.end(),
              history.begin() + static_cast<std::ptrdiff_t>(end));
    history.resize(end + limits.exact);
    shape.consolidated = static_cast<uint32_t>(end - 1);
}

}  // namespace

void AppendToHistory(std::vector<RateSample>& history, HistoryShape& shape, RateSample sample,
                     const HistoryLimits& limits)
{
    if (history.size() == history.capacity()) {
        // Growing by a quarter instead of doubling keeps the unused tail
        // small (at most a fifth of the storage), and never beyond the most
        // the series can hold, so a full series costs exactly its bound.
        const std::size_t most = MostHistorySamples(limits);
        const std::size_t wanted = history.size() + std::max(history.size() / 4, kMinimumGrowth);
        history.reserve(std::max(history.size() + 1, std::min(wanted, most)));
    }
    history.push_back(sample);

    // The first sample is never consolidated: the series starts where the
    // run started.
    const std::size_t agedBegin = std::min<std::size_t>(std::size_t{1} + shape.consolidated, history.size());
    if (history.size() - agedBegin < limits.exact + limits.batch)
        return;
    Consolidate(history, shape, agedBegin, limits);
}
