// What the chart is handed of a long history: few enough samples for a
// column each, the ends as they are, and every stretch's extremes.
#include "display/FitHistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// `count` samples a second apart on a bounded walk within +-0.3, with ten
// spikes to +0.9 and ten dips to -0.9 spread over the run.
std::vector<RateSample> Walk(size_t count, std::vector<float>& extremes)
{
    std::vector<RateSample> samples;
    unsigned seed = 99;
    float value = 0;
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        value = std::clamp(value + (static_cast<int>((seed >> 16) % 201) - 100) / 10000.0f, -0.3f, 0.3f);
        float sample = i == 0 ? 0.0f : value;
        if (count >= 40 && i % (count / 10) == count / 20) {
            sample = (i / (count / 10)) % 2 ? -0.9f - i * 1e-7f : 0.9f + i * 1e-7f;
            extremes.push_back(sample);
        }
        samples.push_back({sample, static_cast<uint32_t>(i * 1000)});
    }
    return samples;
}

bool Holds(const std::vector<RateSample>& samples, float value)
{
    return std::any_of(samples.begin(), samples.end(),
                       [value](const RateSample& s) { return s.value == value; });
}

TEST(FitHistory, FewEnoughSamplesForAColumnEachWithTheEndsAndEveryExtreme)
{
    struct Case {
        size_t count;
        int columns;
        bool unchanged;
    } const cases[] = {
        {0, 400, true},      {1, 400, true},      {399, 400, true},     {400, 400, false},
        {27073, 400, false}, {27073, 352, false}, {27073, 1600, false}, {2'000'000, 900, false},
        {60, 40, false},     {50, 4, false},      {50, 0, false},       {3, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " samples, " << c.columns << " columns");
        std::vector<float> extremes;
        const std::vector<RateSample> original = Walk(c.count, extremes);
        std::vector<RateSample> fitted = original;
        const size_t capacity = fitted.capacity();
        FitHistoryToColumns(fitted, c.columns);

        EXPECT_EQ(fitted.capacity(), capacity) << "storage kept for the next paint";
        if (c.unchanged) {
            ASSERT_EQ(fitted.size(), original.size());
            EXPECT_TRUE(std::equal(fitted.begin(), fitted.end(), original.begin(),
                                   [](auto& a, auto& b) { return a.value == b.value && a.time == b.time; }));
            continue;
        }
        EXPECT_LT(fitted.size(), static_cast<size_t>(std::max(c.columns, 4)));
        ASSERT_GE(fitted.size(), 2u);
        EXPECT_EQ(fitted.front().time, original.front().time);
        EXPECT_EQ(fitted.back().time, original.back().time) << "the newest sample ends the line";
        EXPECT_EQ(fitted.back().value, original.back().value);
        // Samples as taken, in time order.
        for (size_t i = 0; i < fitted.size(); ++i) {
            const RateSample& kept = original[fitted[i].time / 1000];
            EXPECT_EQ(fitted[i].value, kept.value) << i;
            if (i > 0) {
                EXPECT_GT(fitted[i].time, fitted[i - 1].time) << i;
            }
        }
        // Room for a group per spike: every one of them is kept.
        if (c.columns >= 48) {
            for (float extreme : extremes)
                EXPECT_TRUE(Holds(fitted, extreme)) << extreme;
        }
    }
}

}  // namespace
