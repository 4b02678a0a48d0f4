#include "rates/FXRate.h"
#include "base/UtcTime.h"
#include "tests/rates/RecordChecks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

RateQuote Quote(const std::string& change, const std::string& price = "110.25 - 28")
{
    RateQuote quote;
    quote.code = "USDJPY";
    quote.priceText = price;
    quote.changeText = change;
    quote.highText = "110.51";
    quote.lowText = "109.87";
    quote.openText = "110.02";
    return quote;
}

struct NewRecordCase {
    std::string change;
    float value;  // base, low and high
    int32_t rises;
    int32_t falls;
};

TEST(FXRate, NewRecordCountsItsFirstFigureFromZero)
{
    const NewRecordCase cases[] = {
        {"0.25", 0.25f, 1, 0},
        {"-0.10", -0.10f, 0, 1},
        {"0", 0.0f, 0, 0},
        {"0.00", 0.0f, 0, 0},
        {"", 0.0f, 0, 0},
        {"-", 0.0f, 0, 0},
        {"abc", 0.0f, 0, 0},
        {"0.25x", 0.25f, 1, 0},
        {" \t0.25", 0.25f, 1, 0},
        {"+1.5", 1.5f, 1, 0},
        // Figures a record cannot keep count as no figure at all.
        {"nan", 0.0f, 0, 0},
        {"-inf", 0.0f, 0, 0},
        {"1e39", 0.0f, 0, 0},
    };
    for (const NewRecordCase& c : cases) {
        SCOPED_TRACE("change text '" + c.change + "'");
        FXRate record(Quote(c.change));
        EXPECT_EQ(record.baseValue, c.value);
        EXPECT_EQ(record.lowValue, c.value);
        EXPECT_EQ(record.highValue, c.value);
        EXPECT_EQ(record.rises, c.rises);
        EXPECT_EQ(record.falls, c.falls);
        EXPECT_EQ(record.trend, FXRate::Unchanged) << "a new record always shows as unchanged";
        ASSERT_EQ(record.history.size(), 1u);
        EXPECT_EQ(record.history[0].value, 0.0f);
        EXPECT_EQ(record.changeText, c.change);
        EXPECT_EQ(CheckRecord(record), "");
    }
}

struct Step {
    std::string change;
    int32_t trend;
    int32_t rises;
    int32_t falls;
    float low;
    float high;
    float sample;  // expected distance from baseValue
};

struct SequenceCase {
    const char* name;
    std::string first;
    std::vector<Step> steps;
};

TEST(FXRate, ApplyQuoteClassifiesEveryChange)
{
    const SequenceCase cases[] = {
        {"rise then fall",
         "0.25",
         {{"0.30", FXRate::Rose, 2, 0, 0.25f, 0.30f, 0.30f - 0.25f},
          {"0.20", FXRate::Fell, 2, 1, 0.20f, 0.30f, 0.20f - 0.25f}}},
        {"equal figures",
         "0.25",
         {{"0.25", FXRate::Unchanged, 1, 0, 0.25f, 0.25f, 0.0f},
          {"0.250", FXRate::Unchanged, 1, 0, 0.25f, 0.25f, 0.0f}}},
        // A fall above the low and a rise below the high leave both extremes.
        {"extremes only widen",
         "-0.10",
         {{"0.50", FXRate::Rose, 1, 1, -0.10f, 0.50f, 0.60f},
          {"-0.30", FXRate::Fell, 1, 2, -0.30f, 0.50f, -0.20f},
          {"0.20", FXRate::Rose, 2, 2, -0.30f, 0.50f, 0.30f},
          {"0.10", FXRate::Fell, 2, 3, -0.30f, 0.50f, 0.20f},
          {"-0.20", FXRate::Fell, 2, 4, -0.30f, 0.50f, -0.10f}}},
        {"rise from no figure",
         "",
         {{"0.10", FXRate::Rose, 1, 0, 0.0f, 0.10f, 0.10f}, {"x", FXRate::Fell, 1, 1, 0.0f, 0.10f, 0.0f}}},
        // The previous figure is read again from the stored text.
        {"previous read from its text",
         "0.25abc",
         {{"0.25", FXRate::Unchanged, 1, 0, 0.25f, 0.25f, 0.0f},
          {"nan", FXRate::Fell, 1, 1, 0.0f, 0.25f, -0.25f},
          {"0", FXRate::Unchanged, 1, 1, 0.0f, 0.25f, -0.25f}}},
    };
    for (const SequenceCase& c : cases) {
        SCOPED_TRACE(c.name);
        FXRate record(Quote(c.first));
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE("step " + std::to_string(i) + " '" + step.change + "'");
            ASSERT_EQ(ApplyAndCheck(record, Quote(step.change)), "");
            EXPECT_EQ(record.trend, step.trend);
            EXPECT_EQ(record.rises, step.rises);
            EXPECT_EQ(record.falls, step.falls);
            EXPECT_FLOAT_EQ(record.lowValue, step.low);
            EXPECT_FLOAT_EQ(record.highValue, step.high);
            EXPECT_NEAR(record.history.back().value, step.sample, 1e-6);
        }
        EXPECT_EQ(record.history.size(), c.steps.size() + 1);
    }
}

TEST(FXRate, ApplyQuoteKeepsWhatTheFirstListSaid)
{
    FXRate record(Quote("0.25", "110.25 - 28"));
    EXPECT_EQ(record.code, "USDJPY");
    EXPECT_EQ(record.firstPriceText, "110.25 - 28");
    EXPECT_EQ(record.labelFontSize, 10);
    EXPECT_EQ(record.highText + " " + record.lowText, "110.51 109.87");
    RateQuote later = Quote("0.30", "111.00 - 05");
    later.openText = "999";
    later.highText = "112";
    later.lowText = "108";
    record.ApplyQuote(later);
    EXPECT_EQ(record.priceText, "111.00 - 05");
    EXPECT_EQ(record.highText, "112");
    EXPECT_EQ(record.lowText, "108");
    EXPECT_EQ(record.changeText, "0.30");
    EXPECT_EQ(record.firstPriceText, "110.25 - 28");
    EXPECT_EQ(record.openText, "110.02");
    EXPECT_EQ(record.code, "USDJPY");
    EXPECT_FLOAT_EQ(record.baseValue, 0.25f);
}

TEST(FXRate, CopiesAreIndependentOfTheirSource)
{
    FXRate source(Quote("0.25"));
    source.ApplyQuote(Quote("0.30"));

    FXRate copy(source);
    FXRate assigned(Quote("-1"));
    assigned = source;
    for (FXRate* target : {&copy, &assigned}) {
        ASSERT_EQ(target->history.size(), 2u);
        EXPECT_NE(target->history.data(), source.history.data());
        EXPECT_EQ(target->rises, source.rises);
        EXPECT_EQ(target->priceText, source.priceText);
        target->ApplyQuote(Quote("0.10", "changed"));
        target->code += "!";
        target->history.front().value = 42.0f;
    }
    EXPECT_EQ(source.history.size(), 2u);
    EXPECT_EQ(source.history.front().value, 0.0f);
    EXPECT_EQ(source.priceText, "110.25 - 28");
    EXPECT_EQ(source.code, "USDJPY");
    EXPECT_EQ(source.falls, 0);
    EXPECT_EQ(copy.falls, 1);
}

TEST(FXRate, SamplesCarryTheWallClockInUtc)
{
    struct UtcReset {
        ~UtcReset() { SetUtcTimeForTesting(kRealUtcClock); }
    } reset;
    // Past 2^32 ms, where a 32-bit millisecond clock would have wrapped: the
    // samples carry the wall clock's own readings, in order.
    const int64_t start = (int64_t{1} << 32) - 100;
    SetUtcTimeForTesting(start);
    FXRate record(Quote("0.25"));
    for (int i = 1; i <= 200; ++i) {
        SetUtcTimeForTesting(start + i);
        record.ApplyQuote(Quote(i % 2 ? "0.30" : "0.20"));
    }
    ASSERT_EQ(record.history.size(), 201u);
    for (size_t i = 0; i < record.history.size(); ++i)
        EXPECT_EQ(record.history[i].time, start + static_cast<int64_t>(i)) << i;
    // Unfixed, a sample is dated now.
    SetUtcTimeForTesting(kRealUtcClock);
    const int64_t before = UtcMilliseconds();
    record.ApplyQuote(Quote("0.40"));
    EXPECT_GE(record.history.back().time, before);
    EXPECT_LE(record.history.back().time, UtcMilliseconds());
}

TEST(FXRate, CountersStopAtTheirLimitInsteadOfWrapping)
{
    FXRate record(Quote("0"));
    record.rises = std::numeric_limits<int32_t>::max();
    record.falls = std::numeric_limits<int32_t>::max();
    ASSERT_EQ(ApplyAndCheck(record, Quote("1")), "");
    ASSERT_EQ(ApplyAndCheck(record, Quote("-1")), "");
    EXPECT_EQ(record.rises, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(record.falls, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(record.trend, FXRate::Fell);
}

TEST(FXRate, SampleDistanceStaysFinite)
{
    FXRate record(Quote("-3e38"));
    ASSERT_EQ(ApplyAndCheck(record, Quote("3e38")), "");
    EXPECT_EQ(record.history.back().value, std::numeric_limits<float>::max());
    EXPECT_EQ(record.highValue, 3e38f);
}

TEST(FXRate, HistoryKeepsEverySampleWithLittleSpareStorage)
{
    FXRate record(Quote("0"));
    const int updates = 9000;  // a day at the shortest interval, and then some
    for (int i = 1; i <= updates; ++i)
        record.ApplyQuote(Quote(std::to_string(i % 100)));
    ASSERT_EQ(record.history.size(), static_cast<size_t>(updates + 1));
    for (int i = 1; i <= updates; ++i)
        ASSERT_EQ(record.history[i].value, static_cast<float>(i % 100));
    EXPECT_LE(record.history.capacity(), record.history.size() + record.history.size() / 4 + 16);
}

}  // namespace
