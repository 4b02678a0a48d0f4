// Merging decoded lists into the record list: the cases of the merge rules.
#include "update/UpdateRates.h"

#include <gtest/gtest.h>

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
           a.firstPriceText == b.firstPriceText && a.priceText == b.priceText && a.changeText == b.changeText &&
           a.openText == b.openText && a.lowText == b.lowText && a.highText == b.highText && a.rises == b.rises &&
           a.falls == b.falls && a.baseValue == b.baseValue && a.lowValue == b.lowValue && a.highValue == b.highValue;
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
         {{Quote("A", "0.1"), Quote("B", "0.2")}, {Quote("A", "0.11"), Quote("N", "0.5"), Quote("B", "0.22")}},
         {{"A", 2, "0.11"}, {"B", 2, "0.22"}}},
        {"a missing pair",
         {{Quote("A", "0.1"), Quote("B", "0.2"), Quote("C", "0.3")}, {Quote("A", "0.11"), Quote("C", "0.33")}},
         {{"A", 2, "0.11"}, {"B", 1, "0.2"}, {"C", 2, "0.33"}}},
        {"an empty list later", {{Quote("A", "0.1"), Quote("B", "0.2")}, {}}, {{"A", 1, "0.1"}, {"B", 1, "0.2"}}},
        {"only unknown codes later", {{Quote("A", "0.1")}, {Quote("X", "0.9"), Quote("Y", "0.8")}}, {{"A", 1, "0.1"}}},
        {"a repeated code in the first list, repeated again later",
         {{Quote("A", "0.1"), Quote("B", "0.2"), Quote("A", "0.7")},
          {Quote("A", "0.11"), Quote("B", "0.22"), Quote("A", "0.12")}},
         {{"A", 3, "0.12"}, {"B", 2, "0.22"}, {"A", 1, "0.7"}}},
        {"codes match byte for byte only",
         {{Quote("EURUSD", "0.1")}, {Quote("eurusd", "0.5"), Quote("EURUSD ", "0.6"), Quote("EURUS", "0.7")}},
         {{"EURUSD", 1, "0.1"}}},
        {"many cycles",
         {{Quote("A", "0.1"), Quote("B", "0.2")}, {Quote("A", "0.2")}, {Quote("B", "0.1"), Quote("A", "0.3")}, {}},
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
                    // A record that no quote of this list names, or a
                    // duplicate behind the first of its code, is untouched.
                    bool shadowed = false;
                    for (std::size_t j = 0; j < i; ++j)
                        shadowed = shadowed || rates[j].code == rates[i].code;
                    if (!quoted || shadowed) {
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
