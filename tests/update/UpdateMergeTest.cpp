// Merging decoded lists into the record list: the cases of the merge rules.
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
        {"an additional pair",
         {{Quote("A", "0.1"), Quote("B", "0.2")},
          {Quote("A", "0.11"), Quote("N", "0.5"), Quote("B", "0.22")}},
         {{"A", 2, "0.11"}, {"B", 2, "0.22"}}},
        {"a missing pair",
         {{Quote("A", "0.1"), Quote("B", "0.2"), Quote("C", "0.3")},
          {Quote("A", "0.11"), Quote("C", "0.33")}},
         {{"A", 2, "0.11"}, {"B", 1, "0.2"}, {"C", 2, "0.33"}}},
        {"an empty list later",
         {{Quote("A", "0.1"), Quote("B", "0.2")}, {}},
         {{"A", 1, "0.1"}, {"B", 1, "0.2"}}},
        {"only unknown codes later",
         {{Quote("A", "0.1")}, {Quote("X", "0.9"), Quote("Y", "0.8")}},
         {{"A", 1, "0.1"}}},
        {"a code named twice: one record, the first quote of each list counts",
         {{Quote("A", "0.1"), Quote("B", "0.2"), Quote("A", "0.7")},
          {Quote("A", "0.11"), Quote("B", "0.22"), Quote("A", "0.12")},
          {Quote("B", "0.23"), Quote("A", "0.13"), Quote("A", "0.14"), Quote("A", "0.15")}},
         {{"A", 3, "0.13"}, {"B", 3, "0.23"}}},
        {"a code named in another case is the same pair",
         {{Quote("EURUSD", "0.1"), Quote("eurusd", "0.2")},
          {Quote("eurusd", "0.5"), Quote("EURUSD", "0.6"), Quote("EURUSD ", "0.7"), Quote("EURUS", "0.8")}},
         {{"EURUSD", 2, "0.5"}}},
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
                // Once populated, records stay where they are: the chart's
                // record and the selection remain valid.
                ASSERT_EQ(rates.size(), before.size());
                ASSERT_EQ(rates.data(), first);
                for (std::size_t i = 0; i < rates.size(); ++i) {
                    bool quoted = false;
                    for (const RateQuote& quote : list)
                        quoted = quoted || quote.code == rates[i].code;
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
