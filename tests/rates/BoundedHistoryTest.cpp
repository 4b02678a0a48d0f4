#include "rates/BoundedHistory.h"
#include "base/UtcTime.h"
#include "rates/FXRate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int64_t kInterval = 10000;  // ms between samples, the shortest update interval
constexpr std::size_t kDay = 8640;    // samples in a day at that interval

// A run of samples: a bounded random walk with one spike and one dip a day,
// far outside the walk, each larger than the one before, so that every day's
// extremes are told apart by value. Times start shortly before 2^32 ms,
// where a 32-bit millisecond clock would wrap, and step by 10 s.
class TakenRun {
public:
    explicit TakenRun(int64_t first = 0xFFFFFFFF - 5 * kInterval) : start(first) {}

    RateSample Next()
    {
        const std::size_t day = count / kDay;
        float value;
        if (count % kDay == 1000)
            value = 10.0f + static_cast<float>(day) * 0.01f;
        else if (count % kDay == 5000)
            value = -10.0f - static_cast<float>(day) * 0.01f;
        else {
            seed = seed * 1103515245u + 12345u;
            walk += static_cast<float>(static_cast<int>((seed >> 16) % 201) - 100) / 10000.0f;
            walk = std::clamp(walk, -1.0f, 1.0f);
            value = count == 0 ? 0.0f : walk;
        }
        const RateSample sample{value, start + static_cast<int64_t>(count) * kInterval};
        values.push_back(value);
        ++count;
        return sample;
    }

    const int64_t start;
    std::size_t count = 0;
    std::vector<float> values;  // every value taken, by index

private:
    uint32_t seed = 12345;
    float walk = 0.0f;
};

// Whether `history` could have come from `run`: every sample an original
// one, unchanged, in the run's order (found back from its time), the first sample the run's first
// and the newest `exact` samples the run's newest. Empty when it could.
std::string CheckAgainstRun(const std::vector<RateSample>& history, const TakenRun& run, std::size_t exact)
{
    if (history.empty() || history.front().time != run.start || history.front().value != run.values[0])
        return "the first sample is not the run's first";
    std::size_t index = 0;
    for (std::size_t i = 1; i < history.size(); ++i) {
        const int64_t step = history[i].time - history[i - 1].time;
        if (step <= 0 || step % kInterval != 0)
            return "times out of order at " + std::to_string(i);
        index += static_cast<std::size_t>(step / kInterval);
        if (index >= run.count || history[i].value != run.values[index])
            return "sample " + std::to_string(i) + " is not an original one";
    }
    if (index != run.count - 1)
        return "the newest sample is not the run's newest";
    const std::size_t tail = std::min(exact, run.count - 1);
    if (history.size() < tail + 1)
        return "fewer samples than the exact part";
    for (std::size_t k = 1; k <= tail; ++k) {
        const RateSample& sample = history[history.size() - k];
        const std::size_t taken = run.count - k;
        if (sample.value != run.values[taken] ||
            sample.time != run.start + static_cast<int64_t>(taken) * kInterval)
            return "newest sample " + std::to_string(k) + " not as taken";
    }
    return {};
}

bool Holds(const std::vector<RateSample>& history, float value)
{
    return std::any_of(history.begin(), history.end(), [&](const RateSample& s) { return s.value == value; });
}

// The run's extremes, and with `everyDay` every day's spike and dip, are
// still there.
std::string CheckExtremes(const std::vector<RateSample>& history, const TakenRun& run, bool everyDay)
{
    std::vector<float> kept;
    for (const RateSample& sample : history)
        kept.push_back(sample.value);
    std::sort(kept.begin(), kept.end());
    auto holds = [&](float value) { return std::binary_search(kept.begin(), kept.end(), value); };
    const auto [low, high] = std::minmax_element(run.values.begin(), run.values.end());
    if (!holds(*low) || !holds(*high))
        return "the run's lowest or highest value is gone";
    for (std::size_t day = 0; everyDay && day * kDay + 5000 < run.count; ++day) {
        if (!holds(run.values[day * kDay + 1000]) || !holds(run.values[day * kDay + 5000]))
            return "day " + std::to_string(day) + " lost its spike or its dip";
    }
    return {};
}

struct BoundCase {
    const char* name;
    HistoryLimits limits;
    std::size_t samples;
    std::size_t checkEvery;  // full checks at this spacing (the bound after every sample)
    bool everyDay;           // room enough for every day's spike and dip
};

TEST(BoundedHistory, KeepsItsBoundTheNewestSamplesTheExtremesAndTheOrder)
{
    const BoundCase cases[] = {
        {"the record's limits, three million samples (347 days at 10 s)", kRecordHistoryLimits, 3'000'000,
         250'000, true},
        {"the record's limits, just past the first consolidation", kRecordHistoryLimits,
         MostHistorySamples(kRecordHistoryLimits) + 5000, 997, true},
        {"small parts, a year", HistoryLimits{kDay, 1024, 4096}, 3'153'600, 400'000, true},
        {"no exact part", HistoryLimits{0, 1024, 2048}, 500'000, 49'999, true},
        {"the smallest consolidated part", HistoryLimits{64, 1, 5}, 200'000, 9'973, false},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t most = MostHistorySamples(c.limits);
        TakenRun run;
        std::vector<RateSample> history;
        HistoryShape shape;
        for (std::size_t i = 0; i < c.samples; ++i) {
            AppendToHistory(history, shape, run.Next(), c.limits);
            ASSERT_LE(history.capacity(), most) << "after " << run.count << " samples";
            if (run.count % c.checkEvery == 0 || run.count == c.samples) {
                ASSERT_EQ(CheckAgainstRun(history, run, c.limits.exact), "") << "after " << run.count;
                ASSERT_EQ(CheckExtremes(history, run, c.everyDay), "") << "after " << run.count;
            }
        }
    }
}

TEST(BoundedHistory, AFullSeriesNoLongerMovesOrGrows)
{
    TakenRun run;
    std::vector<RateSample> history;
    HistoryShape shape;
    // Two consolidated halvings in, the storage has reached its bound.
    while (shape.level < 2)
        AppendToHistory(history, shape, run.Next());
    const RateSample* storage = history.data();
    const std::size_t capacity = history.capacity();
    std::size_t largest = 0;
    for (int i = 0; i < 1'000'000; ++i) {
        AppendToHistory(history, shape, run.Next());
        largest = std::max(largest, history.size());
    }
    EXPECT_EQ(history.data(), storage);
    EXPECT_EQ(history.capacity(), capacity);
    EXPECT_LT(largest, MostHistorySamples(kRecordHistoryLimits));
    EXPECT_GT(largest, MostHistorySamples(kRecordHistoryLimits) - kRecordHistoryLimits.batch)
        << "the consolidated part fills up before it is halved";
    EXPECT_LE(capacity * sizeof(RateSample), std::size_t{1} << 20) << "a record's samples take at most 1 MiB";
}

struct FlatCase {
    const char* name;
    HistoryLimits limits;
    uint32_t samples;
};

TEST(BoundedHistory, AFlatRunIsConsolidatedIntoEvenCells)
{
    // An idle market: the same figure all along. Each cell then keeps the
    // first and the last sample of its group, so the cells show where the
    // groups lie: one after the other from the second sample on, each of
    // 2 << level samples, however the batches fell.
    const FlatCase cases[] = {
        {"the record's limits, 30 days", kRecordHistoryLimits, 30 * kDay},
        {"cells larger than a batch", HistoryLimits{64, 16, 64}, 100'000},
        {"a batch that is no power of two", HistoryLimits{100, 3, 16}, 50'000},
    };
    for (const FlatCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RateSample> history;
        HistoryShape shape;
        for (uint32_t i = 0; i < c.samples; ++i)
            AppendToHistory(history, shape, RateSample{0.25f, i * kInterval}, c.limits);
        ASSERT_GE(shape.level, 1u);
        EXPECT_EQ(history.front().time, 0);
        for (std::size_t k = 1; k <= c.limits.exact; ++k)
            ASSERT_EQ(history[history.size() - k].time, static_cast<int64_t>(c.samples - k) * kInterval) << k;
        const uint32_t group = 2u << shape.level;
        const std::size_t fullCells = (shape.consolidated - std::min<uint32_t>(shape.partial, 2)) / 2;
        ASSERT_GE(fullCells, 2u);
        for (std::size_t cell = 0; cell < fullCells; ++cell) {
            const int64_t first = 1 + static_cast<int64_t>(cell) * group;
            ASSERT_EQ(history[1 + 2 * cell].time, first * kInterval) << "cell " << cell;
            ASSERT_EQ(history[2 + 2 * cell].time, (first + group - 1) * kInterval) << "cell " << cell;
        }
    }
}

TEST(BoundedHistory, ASeriesFilledBehindItsShapeIsBroughtWithinTheBound)
{
    // Filled directly, as a benchmark or a test may do: the next sample
    // brings it back within the limits and keeps its ends.
    TakenRun run;
    std::vector<RateSample> history;
    for (int i = 0; i < 200'000; ++i)
        history.push_back(run.Next());
    HistoryShape shape;
    AppendToHistory(history, shape, run.Next());
    EXPECT_LE(history.size(), MostHistorySamples(kRecordHistoryLimits));
    EXPECT_EQ(CheckAgainstRun(history, run, kRecordHistoryLimits.exact), "");
    EXPECT_EQ(CheckExtremes(history, run, true), "");
}

TEST(BoundedHistory, ARecordKeepsItsSeriesBoundedAndDatedPast49Days)
{
    // Through the record itself, on a wall clock set 10 s on for every
    // update: 40 days of updates, across 2^32 ms, where a 32-bit millisecond
    // clock would have wrapped.
    const int64_t start = 0xFFFFFFFF - 1000;
    SetUtcTimeForTesting(start);
    RateQuote quote{"EURUSD", "1.0850 - 53", "0.10", "1.0890", "1.0810", "1.0840"};
    FXRate record(quote);
    std::vector<float> values{0.0f};
    for (std::size_t i = 1; i < 40 * kDay; ++i) {
        const int step = static_cast<int>(i % 97) - 48;
        quote.changeText = std::to_string(0.10 + step / 1000.0 + (i == 123456 ? 5.0 : 0.0));
        SetUtcTimeForTesting(start + static_cast<int64_t>(i) * kInterval);
        record.ApplyQuote(quote);
        values.push_back(record.history.back().value);
    }
    SetUtcTimeForTesting(kRealUtcClock);
    EXPECT_LE(record.history.capacity(), MostHistorySamples(kRecordHistoryLimits));
    EXPECT_EQ(record.history.front().value, 0.0f);
    EXPECT_TRUE(Holds(record.history, values[123456])) << "the run's spike";
    EXPECT_NEAR(record.highValue - record.baseValue, values[123456], 1e-6);
    for (std::size_t k = 1; k <= kDay; ++k) {
        ASSERT_EQ(record.history[record.history.size() - k].value, values[values.size() - k]) << k;
        ASSERT_EQ(record.history[record.history.size() - k].time,
                  start + static_cast<int64_t>(values.size() - k) * kInterval)
            << k;
    }
    EXPECT_EQ(record.history.front().time, start);
    for (std::size_t i = 1; i < record.history.size(); ++i) {
        const int64_t step = record.history[i].time - record.history[i - 1].time;
        ASSERT_TRUE(step > 0 && step % kInterval == 0) << "times out of order at " << i;
    }
    const FXRate copy = record;
    EXPECT_EQ(copy.historyShape.consolidated, record.historyShape.consolidated);
    EXPECT_EQ(copy.historyShape.level, record.historyShape.level);
}

}  // namespace
