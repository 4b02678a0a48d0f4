#include "display/FitHistory.h"

#include <cstddef>

void FitHistoryToColumns(std::vector<RateSample>& samples, int columns)
{
    // Fewer samples than columns, so that the step between two samples stays
    // above one pixel with room for float rounding.
    const size_t most = columns > 4 ? static_cast<size_t>(columns) - 1 : 3;
    const size_t count = samples.size();
    if (count <= most)
        return;
    const size_t inner = count - 2;        // all but the first and the newest
    const size_t groups = (most - 2) / 2;  // two samples each
    const RateSample newest = samples.back();
    size_t written = 1;
    // Group g covers inner samples [g * inner / groups, (g + 1) * inner / groups);
    // each group is at least two samples long, so what is written never
    // overtakes what is still to be read.
    for (size_t g = 0; g < groups; ++g) {
        const size_t begin = 1 + g * inner / groups;
        const size_t end = 1 + (g + 1) * inner / groups;
        size_t low = begin, high = begin;
        for (size_t i = begin + 1; i < end; ++i) {
            if (samples[i].value < samples[low].value)
                low = i;
            if (samples[i].value > samples[high].value)
                high = i;
        }
        const RateSample first = samples[low < high ? low : high];
        const RateSample second = samples[low < high ? high : low];
        samples[written++] = first;
        if (low != high)
            samples[written++] = second;
    }
    samples[written++] = newest;
    samples.resize(written);
}
