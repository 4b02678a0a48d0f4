// Merging decoded lists into the record list: the cases of the merge rules.
#include "base/Text.h"
#include "rates/PairFilter.h"
#include "rates/PriceAlerts.h"
#include "update/UpdateRates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {
RateQuote Quote(const std::string& code, const std::string& change, const std::string& price = "1.00 - 00")
{
    RateQuote quote;
    quote.code = code;
    quote.priceText = price;
    quote.changeText = change;
    quote.highText = "high " + change;
    quote.lowText = "low " + change;
    quote.openText = "open " + code;
    return quote;
}

bool SameRecord(const FXRate& a, const FXRate& b)
{
    if (a.history.size() != b.history.size())
        return false;
    for (std::size_t i = 0; i < a.history.size(); ++i) {
        if (a.history[i].value != b.history[i].value || a.history[i].time != b.history[i].time)
            return false;
    }
    return a.trend == b.trend && a.labelFontSize == b.labelFontSize && a.code == b.code &&
           a.firstPriceText == b.firstPriceText && a.priceText == b.priceText &&
           a.changeText == b.changeText && a.openText == b.openText && a.lowText == b.lowText &&
           a.highText == b.highText && a.rises == b.rises && a.falls == b.falls &&
           a.baseValue == b.baseValue && a.lowValue == b.lowValue && a.highValue == b.highValue;
}

struct Expected {
    std::string code;
    std::size_t samples;
    std::string changeText;  // of the last quote the record took
};

struct MergeCase {
    const char* name;
    std::vector<std::vector<RateQuote>> lists;  // merged in turn into an empty list
    std::vector<Expected> records;
};

std::vector<MergeCase> MergeCases()
{
    return {
        {"empty list first, then a list",
         {{}, {Quote("EURUSD", "0.10"), Quote("USDJPY", "-0.20")}},
         {{"EURUSD", 1, "0.10"}, {"USDJPY", 1, "-0.20"}}},
        {"groups in another order",
         {{Quote("A", "0.1"), Quote("B", "0.2"), Quote("C", "0.3")},
          {Quote("C", "0.33"), Quote("A", "0.11"), Quote("B", "0.22")}},
         {{"A", 2, "0.11"}, {"B", 2, "0.22"}, {"C", 2, "0.33"}}},
        {"a pair that appears later goes at the end",
         {{Quote("A", "0.1"), Quote("B", "0.2")},
          {Quote("A", "0.11"), Quote("N", "0.5"), Quote("B", "0.22")}},
         {{"A", 2, "0.11"}, {"B", 2, "0.22"}, {"N", 1, "0.5"}}},
        {"pairs appearing over several lists, in the order they appear",
         {{Quote("B", "0.2")},
          {Quote("C", "0.3"), Quote("A", "0.1")},
          {},
          {Quote("A", "0.11"), Quote("D", "0.4"), Quote("B", "0.22")}},
         {{"B", 2, "0.22"}, {"C", 1, "0.3"}, {"A", 2, "0.11"}, {"D", 1, "0.4"}}},
        {"a missing pair",
         {{Quote("A", "0.1"), Quote("B", "0.2"), Quote("C", "0.3")},
          {Quote("A", "0.11"), Quote("C", "0.33")}},
         {{"A", 2, "0.11"}, {"B", 1, "0.2"}, {"C", 2, "0.33"}}},
        {"an empty list later",
         {{Quote("A", "0.1"), Quote("B", "0.2")}, {}},
         {{"A", 1, "0.1"}, {"B", 1, "0.2"}}},
        {"only new codes later: added, the old record kept",
         {{Quote("A", "0.1")}, {Quote("X", "0.9"), Quote("Y", "0.8")}},
         {{"A", 1, "0.1"}, {"X", 1, "0.9"}, {"Y", 1, "0.8"}}},
        {"a code named twice: one record, the first quote of each list counts",
         {{Quote("A", "0.1"), Quote("B", "0.2"), Quote("A", "0.7")},
          {Quote("A", "0.11"), Quote("B", "0.22"), Quote("A", "0.12")},
          {Quote("B", "0.23"), Quote("A", "0.13"), Quote("A", "0.14"), Quote("A", "0.15")}},
         {{"A", 3, "0.13"}, {"B", 3, "0.23"}}},
        {"a code named in another case is the same pair; other bytes are other codes",
         {{Quote("EURUSD", "0.1"), Quote("eurusd", "0.2")},
          {Quote("eurusd", "0.5"), Quote("EURUSD", "0.6"), Quote("EURUSD ", "0.7"), Quote("EURUS", "0.8")}},
         {{"EURUSD", 2, "0.5"}, {"EURUSD ", 1, "0.7"}, {"EURUS", 1, "0.8"}}},
        {"many cycles",
         {{Quote("A", "0.1"), Quote("B", "0.2")},
          {Quote("A", "0.2")},
          {Quote("B", "0.1"), Quote("A", "0.3")},
          {}},
         {{"A", 3, "0.3"}, {"B", 2, "0.1"}}},
    };
}
}  // namespace

TEST(MergeQuotes, FollowsTheMergeRules)
{
    for (const MergeCase& test : MergeCases()) {
        SCOPED_TRACE(test.name);
        std::vector<FXRate> rates;
        std::vector<FXRate> before;
        const FXRate* first = nullptr;
        for (const std::vector<RateQuote>& list : test.lists) {
            before = rates;
            MergeQuotes(rates, list);
            if (!before.empty()) {
                // Records made before keep their places, so the selection
                // stays valid; new ones only ever follow them.
                ASSERT_GE(rates.size(), before.size());
                if (rates.size() == before.size()) {
                    ASSERT_EQ(rates.data(), first) << "a merge that adds nothing moves nothing";
                }
                for (std::size_t i = 0; i < before.size(); ++i) {
                    ASSERT_EQ(rates[i].code, before[i].code);
                    bool quoted = false;
                    for (const RateQuote& quote : list)
                        quoted = quoted || EqualsNoCase(quote.code, rates[i].code);
                    // A record that no quote of this list names is untouched.
                    if (!quoted) {
                        EXPECT_TRUE(SameRecord(rates[i], before[i])) << "record " << i << " changed";
                    }
                }
            }
            first = rates.data();
        }
        ASSERT_EQ(rates.size(), test.records.size());
        for (std::size_t i = 0; i < rates.size(); ++i) {
            EXPECT_EQ(rates[i].code, test.records[i].code) << "record " << i;
            EXPECT_EQ(rates[i].history.size(), test.records[i].samples) << "record " << i;
            EXPECT_EQ(rates[i].changeText, test.records[i].changeText) << "record " << i;
        }
    }
}

namespace {
std::vector<RateQuote> DistinctCodes(std::size_t count, const std::string& change)
{
    std::vector<RateQuote> list;
    for (std::size_t i = 0; i < count; ++i)
        list.push_back(Quote("P" + std::to_string(i), change));
    return list;
}
}  // namespace

TEST(MergeQuotes, HoldsOneRecordPerCodeAndAtMostTheMostPairs)
{
    std::vector<FXRate> rates;
    MergeQuotes(rates, DistinctCodes(kMostPairs + 500, "0.1"));
    ASSERT_EQ(rates.size(), kMostPairs) << "a list beyond the bound makes no more records";
    EXPECT_EQ(rates.back().code, "P" + std::to_string(kMostPairs - 1));

    // Pairs that appear later stop at the bound too, whatever the lists hold.
    std::vector<FXRate> growing;
    for (std::size_t cycle = 0; cycle < 30; ++cycle) {
        std::vector<RateQuote> list;
        for (std::size_t i = 0; i < 100; ++i)
            list.push_back(Quote("C" + std::to_string(cycle) + "-" + std::to_string(i), "0.1"));
        MergeQuotes(growing, list);
        ASSERT_EQ(growing.size(), std::min((cycle + 1) * 100, kMostPairs));
    }
    EXPECT_EQ(growing.front().code, "C0-0");
    EXPECT_EQ(growing.back().code, "C9-99");

    // Every record is found by its code, in whatever order the list comes.
    std::vector<RateQuote> reversed = DistinctCodes(kMostPairs, "0.2");
    std::reverse(reversed.begin(), reversed.end());
    MergeQuotes(rates, reversed);
    ASSERT_EQ(rates.size(), kMostPairs);
    for (std::size_t i = 0; i < rates.size(); ++i) {
        ASSERT_EQ(rates[i].code, "P" + std::to_string(i));
        ASSERT_EQ(rates[i].history.size(), 2u) << rates[i].code;
        ASSERT_EQ(rates[i].changeText, "0.2") << rates[i].code;
    }
}

// A code named twice made two records, one frozen at its first price: an
// alert then fired at every update, the live record crossing the level and
// the frozen one re-arming it. With one record it speaks once per crossing.
TEST(MergeQuotes, APairNamedTwiceAlertsOncePerCrossing)
{
    PriceAlerts alerts;
    ASSERT_EQ(alerts.Add("EURUSD", "above 1.0900"), 1u);
    const char* const prices[] = {"1.0850 - 53", "1.0950 - 53", "1.0960 - 63", "1.0955 - 58", "1.0970 - 73"};
    std::vector<FXRate> rates;
    std::size_t spoken = 0;
    for (const char* price : prices) {
        MergeQuotes(rates,
                    {Quote("EURUSD", "0.1", price), Quote("USDJPY", "0.2"), Quote("EURUSD", "0.1", price)});
        // As the widget checks after each update: every record its alerts watch.
        for (const FXRate& rate : rates)
            spoken += alerts.Check(rate.code, rate.priceText).size();
    }
    EXPECT_EQ(rates.size(), 2u);
    EXPECT_EQ(spoken, 1u);
}

// With Pairs set, a listed code is skipped until its pair appears, then takes
// its listed place; the records already shown stay where they were.
TEST(MergeQuotes, AListedPairTakesItsListedPlaceWhenItAppears)
{
    const PairFilter filter = PairFilter::Parse("GBPUSD, EURUSD, usdchf");
    struct Step {
        std::vector<RateQuote> list;
        std::vector<std::string> shown;  // in showing order
    } const steps[] = {
        {{Quote("EURUSD", "0.1"), Quote("EURJPY", "0.2")}, {"EURUSD"}},
        {{Quote("EURUSD", "0.1"), Quote("GBPUSD", "0.3"), Quote("EURJPY", "0.2")}, {"GBPUSD", "EURUSD"}},
        {{Quote("USDCHF", "0.4")}, {"GBPUSD", "EURUSD", "USDCHF"}},
        {{}, {"GBPUSD", "EURUSD", "USDCHF"}},
    };
    std::vector<FXRate> rates;
    for (const Step& step : steps) {
        MergeQuotes(rates, step.list);
        std::vector<std::string> shown;
        for (std::size_t row : filter.Select(rates))
            shown.push_back(rates[row].code);
        EXPECT_EQ(shown, step.shown);
        ASSERT_GE(rates.size(), 2u);
        EXPECT_EQ(rates[1].code, "EURJPY") << "a record keeps its place as others appear";
    }
}
