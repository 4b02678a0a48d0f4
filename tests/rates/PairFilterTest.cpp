#include "rates/PairFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<FXRate> Records(const std::vector<std::string>& codes)
{
    std::vector<FXRate> records;
    for (const std::string& code : codes) {
        RateQuote quote;
        quote.code = code;
        quote.priceText = "1.0000 - 01";
        records.emplace_back(quote);
    }
    return records;
}

struct ParseCase {
    const char* text;
    std::vector<std::string> codes;
    const char* written;
};

TEST(PairFilter, ParsesCommaSeparatedCodesAndDropsWhatCannotBeOne)
{
    const ParseCase cases[] = {
        {"", {}, ""},
        {" , ,, ", {}, ""},
        {"EURUSD", {"EURUSD"}, "EURUSD"},
        {"EURUSD,USDJPY", {"EURUSD", "USDJPY"}, "EURUSD,USDJPY"},
        {" USDJPY ,\tEURUSD ", {"USDJPY", "EURUSD"}, "USDJPY,EURUSD"},
        {"EURUSD,,GBPUSD,", {"EURUSD", "GBPUSD"}, "EURUSD,GBPUSD"},
        {"EURUSD,eurusd,EURUSD", {"EURUSD"}, "EURUSD"},                 // repeats, in any case
        {"ABCDEFGHIJKLMNOPQ,GBPUSD", {"GBPUSD"}, "GBPUSD"},             // 17 characters is no code
        {"ABCDEFGHIJKLMNOP", {"ABCDEFGHIJKLMNOP"}, "ABCDEFGHIJKLMNOP"},  // 16 is
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.text);
        PairFilter filter = PairFilter::Parse(c.text);
        EXPECT_EQ(filter.Codes(), c.codes);
        EXPECT_EQ(filter.Text(), c.written);
        EXPECT_EQ(filter.Empty(), c.codes.empty());
        // What is written back reads as the same filter.
        EXPECT_EQ(PairFilter::Parse(filter.Text()).Codes(), c.codes);
    }
}

TEST(PairFilter, KeepsAtMostSixtyFourCodes)
{
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "P" + std::to_string(i) + ",";
    PairFilter filter = PairFilter::Parse(text);
    ASSERT_EQ(filter.Codes().size(), PairFilter::MostCodes);
    EXPECT_EQ(filter.Codes().front(), "P0");
    EXPECT_EQ(filter.Codes().back(), "P63");
}

struct SelectCase {
    const char* filter;
    std::vector<std::string> list;
    std::vector<size_t> rows;
};

TEST(PairFilter, SelectsTheListedPairsInTheListedOrder)
{
    const std::vector<std::string> source = {"EURUSD", "USDJPY", "GBPUSD", "AUDUSD"};
    const SelectCase cases[] = {
        {"", source, {0, 1, 2, 3}},  // no filter: all, in the source's order
        {"", {}, {}},
        {"GBPUSD,EURUSD", source, {2, 0}},  // the filter's order
        {"usdjpy", source, {1}},           // any case
        {"NZDUSD,AUDUSD", source, {3}},    // not (yet) in the source: skipped
        {"NZDUSD", source, {}},
        {"NZDUSD,AUDUSD", {"NZDUSD", "AUDUSD"}, {0, 1}},  // ...until it appears
        {"EURUSD", {"USDJPY", "EURUSD", "EURUSD"}, {1}},  // a repeated record shows once
    };
    for (const SelectCase& c : cases) {
        SCOPED_TRACE(c.filter);
        EXPECT_EQ(PairFilter::Parse(c.filter).Select(Records(c.list)), c.rows);
    }
}

}  // namespace
