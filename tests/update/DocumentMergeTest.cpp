// Records from rates documents: quotes made against the records, merged by
// the ordinary merge, so colours, counters and the chart follow the percent
// change from the first price this run saw.
#include "rates/DocumentQuotes.h"
#include "update/UpdateRates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

RateDocument Document(const std::vector<std::pair<std::string, std::string>>& rates)
{
    RateDocument document;
    for (const auto& [code, text] : rates)
        document.rates.push_back({code, text, std::stod(text)});
    return document;
}

void Merge(std::vector<FXRate>& records, const RateDocument& document)
{
    MergeQuotes(records, QuotesFromDocument(document, records));
}

TEST(DocumentQuotes, PercentChangeHasTwoDecimalsAndASign)
{
    struct Case {
        double price, open;
        const char* text;
    } const cases[] = {
        {1.0012, 1.0, "+0.12"},     {0.9995, 1.0, "-0.05"},
        {1.0, 1.0, "+0.00"},        {0.99999, 1.0, "+0.00"},
        {1.00004, 1.0, "+0.00"},    {1.00005001, 1.0, "+0.01"},
        {162.2, 161.5, "+0.43"},    {2.0, 1.0, "+100.00"},
        {0.5, 1.0, "-50.00"},       {1e300, 1e-300, "+10000000000000.00"},
        {1e-300, 1e300, "-100.00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PercentChangeText(c.price, c.open), c.text) << c.price << " from " << c.open;
}

TEST(DocumentQuotes, FirstDocumentOpensEveryPairAtItsPrice)
{
    std::vector<FXRate> records;
    Merge(records, Document({{"EURUSD", "1.0855"}, {"EURJPY", "161.50"}}));
    ASSERT_EQ(records.size(), 2u);
    for (const FXRate& record : records) {
        SCOPED_TRACE(record.code);
        EXPECT_EQ(record.openText, record.priceText);
        EXPECT_EQ(record.highText, record.priceText);
        EXPECT_EQ(record.lowText, record.priceText);
        EXPECT_EQ(record.changeText, "+0.00");
        EXPECT_EQ(record.rises + record.falls, 0);
    }
    EXPECT_EQ(records[0].code, "EURUSD");
    EXPECT_EQ(records[1].priceText, "161.50") << "the rate as the document writes it";
}

TEST(DocumentQuotes, LaterDocumentsMoveFromTheOpenAndKeepTheExtremes)
{
    struct Step {
        const char* price;
        const char* change;
        const char* high;
        const char* low;
        int trend;
    } const steps[] = {
        {"1.0000", "+0.00", "1.0000", "1.0000", FXRate::Unchanged},
        {"1.0120", "+1.20", "1.0120", "1.0000", FXRate::Rose},
        {"0.9950", "-0.50", "1.0120", "0.9950", FXRate::Fell},
        {"1.0050", "+0.50", "1.0120", "0.9950", FXRate::Rose},
        {"1.0050", "+0.50", "1.0120", "0.9950", FXRate::Unchanged},
        {"0.99", "-1.00", "1.0120", "0.99", FXRate::Fell},
    };
    std::vector<FXRate> records;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.price);
        Merge(records, Document({{"EURUSD", step.price}}));
        ASSERT_EQ(records.size(), 1u);
        const FXRate& record = records[0];
        EXPECT_EQ(record.priceText, step.price);
        EXPECT_EQ(record.openText, "1.0000");
        EXPECT_EQ(record.changeText, step.change);
        EXPECT_EQ(record.highText, step.high);
        EXPECT_EQ(record.lowText, step.low);
        EXPECT_EQ(record.trend, step.trend);
    }
    const FXRate& record = records[0];
    EXPECT_EQ(record.history.size(), std::size(steps));
    EXPECT_EQ(record.rises, 2);
    EXPECT_EQ(record.falls, 2);
    EXPECT_FLOAT_EQ(record.highValue, 1.20f);
    EXPECT_FLOAT_EQ(record.lowValue, -1.00f);
    EXPECT_FLOAT_EQ(record.history[1].value, 1.20f)
        << "the chart's sample is the change from the first figure";
}

TEST(DocumentQuotes, PairsFollowTheMergeRules)
{
    std::vector<FXRate> records;
    Merge(records, Document({{"EURUSD", "1.10"}, {"EURGBP", "0.80"}}));
    // Another order, a new pair and a missing one.
    Merge(records, Document({{"EURCHF", "0.95"}, {"EURGBP", "0.88"}}));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].code, "EURUSD");
    EXPECT_EQ(records[0].history.size(), 1u) << "a pair that drops out keeps its state";
    EXPECT_EQ(records[1].changeText, "+10.00");
    EXPECT_EQ(records[1].history.size(), 2u);
    EXPECT_EQ(records[2].code, "EURCHF") << "a pair that appears later goes at the end";
    EXPECT_EQ(records[2].openText, "0.95") << "and opens at its first price";
    EXPECT_EQ(records[2].changeText, "+0.00");
}

TEST(DocumentQuotes, ARecordWhoseTextsAreNoNumbersOpensAtThisPrice)
{
    // A record from the comma list (auto detection, the source changed its
    // shape): its texts may be anything.
    RateQuote listQuote;
    listQuote.code = "EURUSD";
    listQuote.priceText = "1.08 - 45";
    listQuote.openText = "n/a";
    listQuote.highText = "";
    listQuote.lowText = "1.0700";
    listQuote.changeText = "0.10";
    std::vector<FXRate> records{FXRate(listQuote)};
    const std::vector<RateQuote> quotes = QuotesFromDocument(Document({{"EURUSD", "1.0855"}}), records);
    ASSERT_EQ(quotes.size(), 1u);
    EXPECT_EQ(quotes[0].openText, "n/a") << "the record keeps its opening text";
    EXPECT_EQ(quotes[0].changeText, "+0.00");
    EXPECT_EQ(quotes[0].highText, "1.0855");
    EXPECT_EQ(quotes[0].lowText, "1.0700");
}

} // namespace
