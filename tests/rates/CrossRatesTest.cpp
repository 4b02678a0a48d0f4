// Pairs made from two quotes of one document: the price, its precision, and
// what legs that are missing, zero or absurd make of it.
#include "rates/CrossRates.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

RateDocument Document(const std::vector<std::pair<std::string, double>>& rates)
{
    RateDocument document;
    for (const auto& [code, value] : rates)
        document.rates.push_back({code, FiveSignificantDigits(value), value});
    return document;
}

// The ECB's euro rates.
const RateDocument kEuro = Document({{"EURUSD", 1.0855}, {"EURJPY", 161.50}, {"EURGBP", 0.86245}});

TEST(CrossRates, FiveSignificantDigitsInPlainDecimal)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {157.14159, "157.14"},
        {0.854123, "0.85412"},
        {1.0, "1.0000"},
        {9.99996, "10.000"},
        {0.99999, "0.99999"},
        {12345678.0, "12346000"},
        {0.000061234, "0.000061234"},
        {148.7794564, "148.78"},
        {1e-30, "0.0000000000000000000000000000010000"},
        {1e-40, ""} /* too long */,
        {1e50, ""},
        {0.0, ""},
        {-1.5, ""},
        {inf, ""},
        {nan, ""},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(FiveSignificantDigits(value), text) << value;
}

struct CrossCase {
    const char* name;
    RateDocument document;
    std::string code;
    const char* price;  // null: no cross
    double exact;       // the cross the legs make, before rounding
};

TEST(CrossRates, MadeFromTwoQuotesOfTheDocument)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const CrossCase cases[] = {
        {"both quotes against the base", kEuro, "USDJPY", "148.78", 161.50 / 1.0855},
        {"in any case", kEuro, "usdJpy", "148.78", 161.50 / 1.0855},
        {"base and quote the other way round", kEuro, "JPYUSD", "0.0067214", 1.0855 / 161.50},
        {"GBPUSD from EURGBP and EURUSD", kEuro, "GBPUSD", "1.2586", 1.0855 / 0.86245},
        {"one quote turned round", kEuro, "USDEUR", "0.92123", 1 / 1.0855},
        {"legs quoted each way", Document({{"USDJPY", 148.83}, {"EURUSD", 1.0855}}), "EURJPY", "161.55",
         148.83 * 1.0855},
        {"legs both against the quote", Document({{"USDJPY", 148.83}, {"GBPJPY", 190.12}}), "GBPUSD",
         "1.2774", 190.12 / 148.83},
        {"the first currency both are valued in",
         Document({{"GBPUSD", 1.25}, {"GBPCHF", 1.10}, {"EURUSD", 1.0}, {"EURCHF", 2.0}}), "USDCHF",
         "0.88000", 1.10 / 1.25},
        {"quoted by the document: no cross", kEuro, "EURUSD", nullptr, 0},
        {"a missing leg", kEuro, "USDCHF", nullptr, 0},
        {"neither currency quoted", kEuro, "XAUCHF", nullptr, 0},
        {"legs with nothing in common", Document({{"EURUSD", 1.08}, {"GBPJPY", 190.0}}), "USDJPY", nullptr,
         0},
        {"a zero leg", Document({{"EURUSD", 0.0}, {"EURJPY", 161.5}}), "USDJPY", nullptr, 0},
        {"a not-a-number leg", Document({{"EURUSD", nan}, {"EURJPY", 161.5}}), "USDJPY", nullptr, 0},
        {"legs whose cross overflows", Document({{"EURUSD", 1e-300}, {"EURJPY", 1e300}}), "USDJPY", nullptr,
         0},
        {"legs whose cross underflows", Document({{"EURUSD", 1e300}, {"EURJPY", 1e-300}}), "USDJPY", nullptr,
         0},
        {"legs whose cross is too long to show", Document({{"EURUSD", 1e-20}, {"EURJPY", 1e25}}), "USDJPY",
         nullptr, 0},
        {"the same currency twice", kEuro, "USDUSD", nullptr, 0},
        {"not two currency codes", kEuro, "USD/JPY", nullptr, 0},
        {"too short", kEuro, "USDJP", nullptr, 0},
        {"not letters", kEuro, "US1JPY", nullptr, 0},
        {"an empty document", RateDocument(), "USDJPY", nullptr, 0},
    };
    for (const CrossCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DocumentRate> cross = CrossRate(c.document, c.code);
        ASSERT_EQ(cross.has_value(), c.price != nullptr);
        if (!cross)
            continue;
        std::string capitals = c.code;
        for (char& letter : capitals)
            letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
        EXPECT_EQ(cross->code, capitals);
        EXPECT_EQ(cross->priceText, c.price);
        // Five significant digits: within half a unit of the fifth.
        EXPECT_TRUE(std::isfinite(cross->value));
        EXPECT_NEAR(cross->value, c.exact, c.exact * 5e-5);
        double shown = 0.0;
        ASSERT_TRUE(ReadDocumentNumber(cross->priceText, shown));
        EXPECT_EQ(cross->value, shown) << "the value is the text's";
    }
}

TEST(CrossRates, AddedAfterTheDocumentsRatesInTheWantedOrder)
{
    RateDocument document = kEuro;
    AddCrossRates(document,
                  {"gbpusd", "EURUSD", "USDCHF", "bad", "USDJPY", "GBPUSD", "", "JPYGBP", "USDEURO"});
    std::vector<std::string> described;
    for (const DocumentRate& rate : document.rates)
        described.push_back(rate.code + "=" + rate.priceText);
    EXPECT_EQ(described, (std::vector<std::string>{"EURUSD=1.0855", "EURJPY=161.50", "EURGBP=0.86245",
                                                   "GBPUSD=1.2586", "USDJPY=148.78", "JPYGBP=0.0053402"}));
    // Made from the document's own rates: adding again changes nothing new.
    RateDocument again = document;
    AddCrossRates(again, {"USDJPY", "GBPUSD"});
    EXPECT_EQ(again.rates.size(), document.rates.size());
}

}  // namespace

TEST(CrossRates, AHistoryGivesTheWantedCrossesTheirDays)
{
    // Three fixings of the dollar, two of the yen (none on day 2).
    RateHistory history;
    history.pairs.push_back(PairHistory{"EURUSD", {{1000, 1.0800}, {2000, 1.0900}, {3000, 1.1000}}});
    history.pairs.push_back(PairHistory{"EURJPY", {{1000, 162.00}, {3000, 165.00}}});
    AddCrossHistories(history, {"usdjpy", "EURUSD", "GBPUSD", "USDJPY", "JPYEUR"});

    struct Expected {
        const char* code;
        std::vector<HistoryPoint> points;
    } const expected[] = {
        {"EURUSD", {{1000, 1.08}, {2000, 1.09}, {3000, 1.1}}},
        {"EURJPY", {{1000, 162.0}, {3000, 165.0}}},
        {"USDJPY", {{1000, 150.0}, {3000, 150.0}}},           // only the days both legs have
        {"JPYEUR", {{1000, 0.0061728}, {3000, 0.0060606}}},  // the other way round, five digits
    };  // GBPUSD has no legs; a pair held or named twice is not made again
    ASSERT_EQ(history.pairs.size(), std::size(expected));
    for (std::size_t p = 0; p < history.pairs.size(); ++p) {
        SCOPED_TRACE(expected[p].code);
        EXPECT_EQ(history.pairs[p].code, expected[p].code);
        ASSERT_EQ(history.pairs[p].points.size(), expected[p].points.size());
        for (std::size_t i = 0; i < expected[p].points.size(); ++i) {
            EXPECT_EQ(history.pairs[p].points[i].time, expected[p].points[i].time);
            EXPECT_DOUBLE_EQ(history.pairs[p].points[i].value, expected[p].points[i].value);
        }
    }
    RateHistory none;
    AddCrossHistories(none, {"USDJPY"});
    EXPECT_TRUE(none.pairs.empty());
}
