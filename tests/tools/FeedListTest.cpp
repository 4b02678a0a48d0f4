// The generated rate list, read back through the widget's own decoder.
#include "rates/DecodeRates.h"
#include "rates/DocumentQuotes.h"
#include "rates/EcbRateDecoder.h"
#include "rates/FXRate.h"
#include "rates/JsonRateDecoder.h"
#include "rates/RateListDecoder.h"
#include "tests/support/TextHelpers.h"
#include "tools/feed/RateFeed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {
std::vector<std::string> Fields(const std::string& list) { return Split(list, ","); }

// The price text that the decoder builds, spelled out from the bid and ask
// figures: the bid without its pipette, " - ", the ask's last two quoted
// digits.
std::string ExpectedPriceText(const std::string& bid, const std::string& ask)
{
    return bid.substr(0, bid.size() - 1) + " - " + ask.substr(ask.size() - 3, 2);
}

int DecimalsOf(const std::string& figure)
{
    const std::size_t point = figure.find('.');
    return point == std::string::npos ? 0 : static_cast<int>(figure.size() - point - 1);
}
}  // namespace

TEST(FeedList, EveryPairDecodesToOneQuoteInCatalogueOrder)
{
    for (std::size_t pairs : {std::size_t{1}, std::size_t{7}, RateFeed::Catalogue().size()}) {
        RateFeed feed(42, pairs);
        for (const std::string& list : {feed.CurrentList(), feed.NextList(), feed.NextList()}) {
            const std::vector<std::string> fields = Fields(list);
            ASSERT_EQ(fields.size(), pairs * 9 + 1) << list;
            EXPECT_EQ(fields.back(), "") << "the list ends with a comma";
            const std::vector<RateQuote> quotes = DecodeRateList(list);
            ASSERT_EQ(quotes.size(), pairs);
            for (std::size_t i = 0; i < pairs; ++i) {
                const RateFeed::Pair& pair = RateFeed::Catalogue()[i];
                const std::string* group = &fields[i * 9];
                SCOPED_TRACE(pair.code);
                EXPECT_EQ(quotes[i].code, pair.code);
                EXPECT_EQ(quotes[i].priceText, ExpectedPriceText(group[1], group[2]));
                EXPECT_EQ(quotes[i].highText, group[4]);
                EXPECT_EQ(quotes[i].lowText, group[5]);
                EXPECT_EQ(quotes[i].changeText + "%", group[6]);
                EXPECT_EQ(quotes[i].openText, group[7]);
                // Figures carry the pair's quoted decimals; bid and ask one more.
                EXPECT_EQ(DecimalsOf(group[1]), pair.digits + 1);
                EXPECT_EQ(DecimalsOf(group[2]), pair.digits + 1);
                EXPECT_EQ(DecimalsOf(group[4]), pair.digits);
                EXPECT_EQ(DecimalsOf(group[5]), pair.digits);
                EXPECT_EQ(DecimalsOf(group[7]), pair.digits);
                EXPECT_EQ(DecimalsOf(quotes[i].changeText), 2);
            }
        }
    }
}

TEST(FeedList, NoFieldIsEmptySoTheZeroStrippingPassNeverApplies)
{
    RateFeed feed(7, RateFeed::Catalogue().size());
    for (int i = 0; i < 300; ++i) {
        const std::string list = feed.NextList();
        const std::vector<std::string> fields = Fields(list);
        for (std::size_t f = 0; f + 1 < fields.size(); ++f)
            ASSERT_FALSE(fields[f].empty()) << "field " << f << " of " << list;
        ASSERT_EQ(list.find(",,"), std::string::npos);
        ASSERT_EQ(list.find_first_of("\r\n \t"), std::string::npos);
    }
}

TEST(FeedList, TheWalkRisesAndFallsWithinTheChartAndKeepsHighAndLowAroundThePrice)
{
    const std::size_t pairs = RateFeed::Catalogue().size();
    RateFeed feed(2024, pairs);
    std::vector<FXRate> records;
    for (const RateQuote& quote : DecodeRateList(feed.CurrentList()))
        records.emplace_back(quote);
    std::vector<std::string> firstOpen(pairs);
    for (std::size_t i = 0; i < pairs; ++i)
        firstOpen[i] = records[i].openText;

    const int downloads = 2000;
    for (int n = 0; n < downloads; ++n) {
        const std::vector<RateQuote> quotes = DecodeRateList(feed.NextList());
        ASSERT_EQ(quotes.size(), pairs);
        for (std::size_t i = 0; i < pairs; ++i) {
            const RateQuote& quote = quotes[i];
            const std::string bid = quote.priceText.substr(0, quote.priceText.find(" - "));
            const double price = ReadRateNumber(bid);
            // Texts: the session's low and high enclose the price shown.
            ASSERT_LE(ReadRateNumber(quote.lowText), price) << quote.code << " " << quote.lowText << " " << bid;
            ASSERT_GE(ReadRateNumber(quote.highText), price) << quote.code << " " << quote.highText << " " << bid;
            ASSERT_LE(ReadRateNumber(quote.lowText), ReadRateNumber(quote.openText));
            ASSERT_GE(ReadRateNumber(quote.highText), ReadRateNumber(quote.openText));
            ASSERT_EQ(quote.openText, firstOpen[i]);
            // The change figure agrees with price and opening, in percent.
            const double open = ReadRateNumber(quote.openText);
            const double change = ReadRateNumber(quote.changeText);
            ASSERT_NEAR(change, (price / open - 1.0) * 100.0, 0.02) << quote.code;
            ASSERT_LE(std::abs(change), RateFeed::kChangeLimitPercent + 0.005) << quote.code;
            // A fall is written with a minus sign, anything else unsigned
            // (the rate pane adds the "+" itself).
            ASSERT_NE(quote.changeText[0], '+');
            ASSERT_EQ(quote.changeText[0] == '-', change < 0) << quote.changeText;
            ASSERT_NE(quote.changeText, "-0.00");
            records[i].ApplyQuote(quote);
        }
    }
    for (const FXRate& record : records) {
        SCOPED_TRACE(record.code);
        // Both directions happen, and the step is small enough that many
        // downloads show a change at all.
        EXPECT_GT(record.rises, downloads / 10);
        EXPECT_GT(record.falls, downloads / 10);
        // On the chart: one pixel per 0.01 around the first figure; the
        // frame shows about 1.27 above it and 1.36 below it.
        for (const FXRate::TimeRate& sample : record.history) {
            ASSERT_LE(sample.value, 1.27f);
            ASSERT_GE(sample.value, -1.27f);
        }
        EXPECT_GT(record.highValue - record.lowValue, 0.1f) << "the walk hardly moved";
    }
}

TEST(FeedList, ASeedReplaysTheSameWalkAndHeadDoesNotMoveIt)
{
    RateFeed first(99, 20), second(99, 20), other(100, 20);
    EXPECT_EQ(first.CurrentList(), second.CurrentList());
    EXPECT_EQ(first.CurrentList(), first.CurrentList());
    EXPECT_NE(first.CurrentList(), other.CurrentList());
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string list = first.NextList();
        EXPECT_EQ(list, second.NextList());
        EXPECT_EQ(list, first.CurrentList());
        seen.insert(list);
    }
    EXPECT_EQ(seen.size(), 50u) << "every download is a new list (its serial at least)";
    EXPECT_EQ(first.Serial(), 50u);
}

TEST(FeedList, PairCountOutsideTheCatalogueIsRefused)
{
    EXPECT_THROW(RateFeed(1, 0), std::invalid_argument);
    EXPECT_THROW(RateFeed(1, RateFeed::Catalogue().size() + 1), std::invalid_argument);
    std::set<std::string> codes;
    for (const RateFeed::Pair& pair : RateFeed::Catalogue()) {
        EXPECT_EQ(std::string(pair.code).size(), 6u);
        EXPECT_GE(pair.digits, 2) << "the ask's last two quoted digits must be digits";
        codes.insert(pair.code);
    }
    EXPECT_EQ(codes.size(), RateFeed::Catalogue().size()) << "codes are unique";
}

// The rates documents: the same walk, quoted as the euro's rates.
TEST(FeedDocuments, JsonAndEcbCarryTheEurosRatesOfTheWalk)
{
    struct Served {
        std::size_t pairs;
        std::vector<std::string> codes;
    } const served[] = {
        {1, {"EURUSD"}},
        {3, {"EURUSD", "EURJPY", "EURGBP"}},
        {20, {"EURUSD", "EURJPY", "EURGBP", "EURCHF", "EURAUD", "EURCAD", "EURNZD"}},
    };
    for (const Served& s : served) {
        SCOPED_TRACE(std::to_string(s.pairs) + " pairs");
        RateFeed feed(11, s.pairs);
        for (int step = 0; step < 3; ++step) {
            const std::string json = feed.Current(RateFeed::Format::Json);
            const std::string ecb = feed.Current(RateFeed::Format::Ecb);
            EXPECT_EQ(json.rfind("{\"amount\":1.0,\"base\":\"EUR\",\"date\":\"", 0), 0u) << json;
            EXPECT_NE(ecb.find("<gesmes:Envelope"), std::string::npos);
            EXPECT_NE(ecb.find("<Cube time='"), std::string::npos);
            RateDocument fromJson, fromEcb;
            std::string failure;
            ASSERT_TRUE(DecodeJsonRates(json, fromJson, failure)) << failure << "\n" << json;
            ASSERT_TRUE(DecodeEcbRates(ecb, fromEcb, failure)) << failure << "\n" << ecb;
            EXPECT_EQ(fromJson.date, fromEcb.date);
            EXPECT_EQ(fromJson.date.size(), 10u);
            ASSERT_EQ(fromJson.rates.size(), s.codes.size());
            ASSERT_EQ(fromEcb.rates.size(), s.codes.size());
            const std::vector<std::pair<std::string, double>> euro = feed.EuroRates();
            for (std::size_t i = 0; i < s.codes.size(); ++i) {
                SCOPED_TRACE(s.codes[i]);
                EXPECT_EQ(fromJson.rates[i].code, s.codes[i]);
                EXPECT_EQ(fromEcb.rates[i].code, s.codes[i]);
                EXPECT_EQ(fromJson.rates[i].value, fromEcb.rates[i].value);
                // Four decimals below 10, two above, as the ECB writes them.
                const std::string& text = fromEcb.rates[i].priceText;
                EXPECT_EQ(text.size() - text.find('.') - 1, fromEcb.rates[i].value < 10 ? 4u : 2u) << text;
                EXPECT_NEAR(fromEcb.rates[i].value, euro[i].second,
                            fromEcb.rates[i].value < 10 ? 0.00005 : 0.005);
            }
            // EUR/USD is the list's own first price (its bid).
            const std::vector<RateQuote> list = DecodeRateList(feed.CurrentList());
            EXPECT_NEAR(fromJson.rates[0].value, ReadRateNumber(list[0].priceText.substr(0, 6)), 0.00016);
            feed.Next(RateFeed::Format::Json);
        }
    }
}

TEST(FeedDocuments, TheDocumentWalkMovesBothWaysWithinItsLimits)
{
    RateFeed feed(2025, RateFeed::Catalogue().size());
    std::vector<FXRate> records;
    int moved = 0;
    std::string previous;
    for (int n = 0; n < 500; ++n) {
        const std::string body = feed.Next(n % 2 ? RateFeed::Format::Json : RateFeed::Format::Ecb);
        const DecodedRates decoded = DecodeRates(body, RateFormat::Auto);
        ASSERT_TRUE(decoded.failure.empty()) << decoded.failure;
        const std::vector<RateQuote> quotes = QuotesFromDocument(decoded.document, records);
        if (records.empty()) {
            for (const RateQuote& quote : quotes)
                records.emplace_back(quote);
        } else {
            ASSERT_EQ(quotes.size(), records.size());
            for (std::size_t i = 0; i < quotes.size(); ++i)
                records[i].ApplyQuote(quotes[i]);
        }
        moved += records[0].priceText != previous;
        previous = records[0].priceText;
    }
    EXPECT_GT(moved, 250) << "most downloads move EUR/USD";
    for (const FXRate& record : records) {
        SCOPED_TRACE(record.code);
        EXPECT_GT(record.rises, 20);
        EXPECT_GT(record.falls, 20);
        // From the first price seen: each of the two pairs behind a rate
        // moves at most twice its limit from there.
        for (const FXRate::TimeRate& sample : record.history)
            ASSERT_LE(std::abs(sample.value), 4 * RateFeed::kChangeLimitPercent + 0.1);
    }
}
