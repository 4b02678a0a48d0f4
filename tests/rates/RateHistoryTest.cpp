#include "rates/RateHistory.h"

#include "rates/DocumentQuotes.h"

#include "base/UtcTime.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Day {
    std::string date;
    std::vector<std::pair<std::string, std::string>> rates;  // currency, rate text
};

std::string EcbBody(const std::vector<Day>& days)
{
    std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<gesmes:Envelope xmlns:gesmes=\"http://www.gesmes.org/xml/2002-08-01\" "
                       "xmlns=\"http://www.ecb.int/vocabulary/2002-08-01/eurofxref\">\n"
                       "<gesmes:subject>Reference rates</gesmes:subject>\n<Cube>\n";
    for (const Day& day : days) {
        body += "<Cube time=\"" + day.date + "\">";
        for (const auto& [currency, rate] : day.rates)
            body += "<Cube currency=\"" + currency + "\" rate=\"" + rate + "\"/>";
        body += "</Cube>\n";
    }
    return body + "</Cube>\n</gesmes:Envelope>\n";
}

std::string RangeBody(const std::vector<Day>& days)
{
    std::string body = "{\"amount\":1.0,\"base\":\"EUR\",\"start_date\":\"" + days.back().date +
                       "\",\"end_date\":\"" + days.front().date + "\",\"rates\":{";
    for (std::size_t d = 0; d < days.size(); ++d) {
        body += (d ? ",\"" : "\"") + days[d].date + "\":{";
        for (std::size_t r = 0; r < days[d].rates.size(); ++r)
            body += (r ? ",\"" : "\"") + days[d].rates[r].first + "\":" + days[d].rates[r].second;
        body += "}";
    }
    return body + "}}";
}

// Three working days, not in date order, as a history may give them.
const std::vector<Day> kShuffled = {
    {"2026-09-02", {{"USD", "1.1002"}, {"JPY", "160.5"}}},
    {"2026-08-31", {{"USD", "1.0950"}, {"JPY", "159.25"}}},
    {"2026-09-01", {{"JPY", "160"}, {"USD", "1.0975"}, {"GBP", "0.8431"}}},
};

int64_t Fixing(const char* date)
{
    int64_t midnight = 0;
    EXPECT_TRUE(ReadIsoDate(date, midnight)) << date;
    return midnight + 15 * 3600 * 1000;
}

using Decoder = bool (*)(const std::string&, RateHistory&, std::string&);

struct Shape {
    const char* name;
    Decoder decode;
    std::string (*body)(const std::vector<Day>&);
};

const Shape kShapes[] = {
    {"ECB", DecodeEcbHistory, EcbBody},
    {"range", DecodeRangeHistory, RangeBody},
    {"ECB, told apart", DecodeRateHistory, EcbBody},
    {"range, told apart", DecodeRateHistory, RangeBody},
};

RateHistory Held()
{
    RateHistory held;
    held.pairs.push_back(PairHistory{"HELDHELD", {{1, 1.0}}});
    return held;
}

bool IsHeld(const RateHistory& history)
{
    return history.pairs.size() == 1 && history.pairs[0].code == "HELDHELD";
}

TEST(RateHistory, EachFixingIsOneSampleAtItsDateInDateOrder)
{
    for (const Shape& shape : kShapes) {
        SCOPED_TRACE(shape.name);
        RateHistory history;
        std::string failure;
        ASSERT_TRUE(shape.decode(shape.body(kShuffled), history, failure)) << failure;
        EXPECT_EQ(failure, "");
        ASSERT_EQ(history.pairs.size(), 3u);
        EXPECT_EQ(history.pairs[0].code, "EURUSD");
        EXPECT_EQ(history.pairs[1].code, "EURJPY");
        EXPECT_EQ(history.pairs[2].code, "EURGBP");
        const std::vector<HistoryPoint>& usd = history.pairs[0].points;
        ASSERT_EQ(usd.size(), 3u);
        EXPECT_EQ(usd[0].time, Fixing("2026-08-31"));
        EXPECT_EQ(usd[1].time, Fixing("2026-09-01"));
        EXPECT_EQ(usd[2].time, Fixing("2026-09-02"));
        EXPECT_EQ(FormatHourMinute(usd[0].time), "15:00") << "16:00 CET";
        EXPECT_DOUBLE_EQ(usd[0].value, 1.0950);
        EXPECT_DOUBLE_EQ(usd[1].value, 1.0975);
        EXPECT_DOUBLE_EQ(usd[2].value, 1.1002);
        const std::vector<HistoryPoint>& jpy = history.pairs[1].points;
        ASSERT_EQ(jpy.size(), 3u);
        EXPECT_DOUBLE_EQ(jpy[1].value, 160.0);
        ASSERT_EQ(history.pairs[2].points.size(), 1u) << "a pair fixed on one day only";
        EXPECT_EQ(history.pairs[2].points[0].time, Fixing("2026-09-01"));
    }
}

TEST(RateHistory, ABodyCutShortAnywhereFailsAndLeavesTheHistory)
{
    for (const Shape& shape : kShapes) {
        SCOPED_TRACE(shape.name);
        const std::string body = shape.body(kShuffled);
        // The XML's last bytes after the root are white space; cut before them.
        const std::size_t end = body.find_last_not_of(" \n") + 1;
        for (std::size_t cut = 0; cut < end; ++cut) {
            RateHistory history = Held();
            std::string failure;
            ASSERT_FALSE(shape.decode(body.substr(0, cut), history, failure)) << "cut at " << cut;
            ASSERT_EQ(failure.rfind("not a rate history (", 0), 0u) << failure;
            ASSERT_TRUE(IsHeld(history)) << "cut at " << cut;
        }
    }
}

std::vector<Day> ManyDays(std::size_t days, std::size_t currencies)
{
    std::vector<Day> made;
    const int64_t first = DaysFromCivil(2025, 1, 1);
    for (std::size_t d = 0; d < days; ++d) {
        Day day{FormatIsoDate((first + static_cast<int64_t>(d)) * kMillisecondsPerDay), {}};
        for (std::size_t c = 0; c < currencies; ++c) {
            const std::string currency{static_cast<char>('A' + c / 676), static_cast<char>('A' + c / 26 % 26),
                                       static_cast<char>('A' + c % 26)};
            day.rates.emplace_back(currency == "EUR" ? "ZZZ" : currency, "1.5");
        }
        made.push_back(day);
    }
    return made;
}

TEST(RateHistory, RefusesWhatNoHistoryLooksLike)
{
    const std::string bigDay = EcbBody({{"2026-09-01", {{"USD", "1.1" + std::string(5 << 20, '0')}}}});
    struct Case {
        const char* name;
        std::string body;
        const char* reason;  // part of the failure
    };
    const Case cases[] = {
        {"a day twice", EcbBody({{"2026-09-01", {{"USD", "1.1"}}}, {"2026-09-01", {{"USD", "1.2"}}}}),
         "twice"},
        {"a day twice, JSON",
         "{\"base\":\"EUR\",\"rates\":{\"2026-09-01\":{\"USD\":1},\"2026-09-01\":{\"USD\":2}}}", "twice"},
        {"no such day", EcbBody({{"2026-02-30", {{"USD", "1.1"}}}}), "dated"},
        {"no date", RangeBody({{"yesterday", {{"USD", "1.1"}}}}), "dated"},
        {"a day without rates", EcbBody({{"2026-09-01", {}}, {"2026-09-02", {{"USD", "1.1"}}}}), "no rates"},
        {"a rate that is no number", RangeBody({{"2026-09-01", {{"USD", "\"1.1\""}}}}), "not a number"},
        {"a negative rate", EcbBody({{"2026-09-01", {{"USD", "-1.1"}}}}), ""},
        {"no base", "{\"rates\":{\"2026-09-01\":{\"USD\":1.1}}}", "no 'base'"},
        {"no rates", "{\"base\":\"EUR\"}", "no 'rates'"},
        {"a list", "[{\"base\":\"EUR\"}]", ""},
        {"plain text", "EURUSD 1.1", "neither"},
        {"too many days, XML", EcbBody(ManyDays(kMaxHistoryDays + 1, 1)), "days"},
        {"too many days, JSON", RangeBody(ManyDays(kMaxHistoryDays + 1, 1)), "days"},
        {"too many pairs", RangeBody(ManyDays(2, kMaxHistoryPairs + 1)), "pairs"},
        {"too many rates in a day", RangeBody(ManyDays(1, kMaxDocumentRates + 1)), "rates"},
        {"deeper than allowed",
         "{\"base\":\"EUR\",\"x\":" + std::string(40, '[') + std::string(40, ']') + "}", "nested"},
        {"larger than a document", bigDay, "MiB"},
    };
    for (const Case& c : cases) {
        RateHistory history = Held();
        std::string failure;
        EXPECT_FALSE(DecodeRateHistory(c.body, history, failure)) << c.name;
        EXPECT_EQ(failure.rfind("not a rate history (", 0), 0u) << c.name << ": " << failure;
        EXPECT_NE(failure.find(c.reason), std::string::npos) << c.name << ": " << failure;
        EXPECT_TRUE(IsHeld(history)) << c.name;
    }
}

TEST(RateHistory, TakesTheMostItAllows)
{
    for (const Shape& shape : kShapes) {
        SCOPED_TRACE(shape.name);
        RateHistory history;
        std::string failure;
        ASSERT_TRUE(shape.decode(shape.body(ManyDays(kMaxHistoryDays, 3)), history, failure)) << failure;
        ASSERT_EQ(history.pairs.size(), 3u);
        ASSERT_EQ(history.pairs[0].points.size(), kMaxHistoryDays);
        for (std::size_t i = 1; i < kMaxHistoryDays; ++i)
            ASSERT_EQ(history.pairs[0].points[i].time - history.pairs[0].points[i - 1].time,
                      kMillisecondsPerDay);
    }
    RateHistory history;
    std::string failure;
    ASSERT_TRUE(DecodeRangeHistory(RangeBody(ManyDays(1, kMaxHistoryPairs)), history, failure)) << failure;
    EXPECT_EQ(history.pairs.size(), kMaxHistoryPairs);
}

RateDocument Dated(const std::string& date, const std::vector<std::pair<std::string, std::string>>& rates)
{
    RateDocument document;
    document.date = date;
    for (const auto& [code, text] : rates)
        document.rates.push_back({code, text, std::stod(text)});
    return document;
}

TEST(PreviousFixing, TheChangeIsTheMoveFromThePreviousFixing)
{
    RateHistory history;
    std::string failure;
    ASSERT_TRUE(DecodeEcbHistory(EcbBody(kShuffled), history, failure)) << failure;
    struct Case {
        const char* name;
        std::string date;
        const char* usdOpen;
        const char* usdChange;
    };
    const Case cases[] = {
        {"the held day's own fixing", "2026-09-02", "1.0975", "+0.25"},
        {"the day after the history", "2026-09-03", "1.1002", "+0.00"},
        {"a day after a gap", "2026-09-07", "1.1002", "+0.00"},
        {"the first held day: nothing before", "2026-08-31", "1.1002", "+0.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RateDocument document = Dated(c.date, {{"EURUSD", "1.1002"}, {"EURCHF", "0.9400"}});
        const std::vector<RateQuote> quotes = QuotesFromDocument(document, {}, history);
        ASSERT_EQ(quotes.size(), 2u);
        EXPECT_EQ(quotes[0].openText, c.usdOpen);
        EXPECT_EQ(quotes[0].changeText, c.usdChange);
        EXPECT_EQ(quotes[0].priceText, "1.1002");
        EXPECT_EQ(quotes[1].openText, "0.9400") << "a pair not held opens at its own price";
        EXPECT_EQ(quotes[1].changeText, "+0.00");
    }
    // Against a held yen fixing: 160.5 from 160 is +0.31 %.
    const std::vector<RateQuote> yen =
        QuotesFromDocument(Dated("2026-09-02", {{"EURJPY", "160.5"}}), {}, history);
    EXPECT_EQ(yen[0].openText, "160");
    EXPECT_EQ(yen[0].changeText, "+0.31");
}

TEST(PreviousFixing, WithoutADateTheDayIsTodays)
{
    struct UtcReset {
        ~UtcReset() { SetUtcTimeForTesting(kRealUtcClock); }
    } reset;
    RateHistory history;
    std::string failure;
    ASSERT_TRUE(DecodeRangeHistory(RangeBody(kShuffled), history, failure)) << failure;
    SetUtcTimeForTesting(DaysFromCivil(2026, 9, 2) * kMillisecondsPerDay + 3600000);
    const std::vector<RateQuote> quotes = QuotesFromDocument(Dated("", {{"EURUSD", "1.0975"}}), {}, history);
    EXPECT_EQ(quotes[0].openText, "1.0975") << "the fixing of the day before";
    EXPECT_EQ(quotes[0].changeText, "+0.00");
}

TEST(PreviousFixing, TheOpeningMovesWithEachDay)
{
    RateHistory history;
    std::string failure;
    ASSERT_TRUE(DecodeEcbHistory(EcbBody(kShuffled), history, failure)) << failure;
    std::vector<FXRate> records;
    for (const RateQuote& quote :
         QuotesFromDocument(Dated("2026-09-01", {{"EURUSD", "1.0975"}}), records, history))
        records.emplace_back(quote);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].openText, "1.095");
    EXPECT_EQ(records[0].changeText, "+0.23");
    const std::vector<RateQuote> next =
        QuotesFromDocument(Dated("2026-09-02", {{"EURUSD", "1.1002"}}), records, history);
    records[0].ApplyQuote(next[0]);
    EXPECT_EQ(records[0].openText, "1.095") << "a record keeps its first opening by itself";
    TakeOpeningTexts(records, next);
    EXPECT_EQ(records[0].openText, "1.0975");
    EXPECT_EQ(records[0].changeText, "+0.25");
}

// EURUSD's fixings on 63 days from 2026-06-01, stepping 0.01 from 1.00 to
// 1.06 and back to 1.00 each week.
RateHistory SixtyThreeFixings()
{
    const int64_t firstDay = DaysFromCivil(2026, 6, 1) * kMillisecondsPerDay + kFixingMillisecondOfDay;
    RateHistory history;
    PairHistory pair{"EURUSD", {}};
    for (int day = 0; day < 63; ++day)
        pair.points.push_back({firstDay + day * kMillisecondsPerDay, 1.0 + 0.01 * (day % 7)});
    history.pairs.push_back(pair);
    return history;
}

}  // namespace

TEST(FixingSamples, EachFixingBecomesOneSampleBeforeTheRecordsOwn)
{
    struct UtcReset {
        ~UtcReset() { SetUtcTimeForTesting(kRealUtcClock); }
    } reset;
    const RateHistory history = SixtyThreeFixings();
    const PairHistory& pair = history.pairs[0];
    const int64_t afterLast = pair.points.back().time + 3600000;
    SetUtcTimeForTesting(afterLast);
    RateQuote quote;
    quote.code = "EURUSD";
    quote.priceText = "1.06";
    quote.changeText = "+0.50";
    RateQuote other = quote;
    other.code = "EURJPY";
    std::vector<FXRate> records{FXRate(quote), FXRate(other)};

    TakeFixingSamples(records, history);
    const std::vector<RateSample>& series = records[0].history;
    ASSERT_EQ(series.size(), 63u) << "62 changes between 63 fixings, then the record's own";
    EXPECT_EQ(series.front().time, pair.points[1].time);
    EXPECT_EQ(series[61].time, pair.points.back().time);
    EXPECT_EQ(series.back().time, afterLast);
    for (std::size_t i = 1; i < series.size(); ++i)
        EXPECT_LT(series[i - 1].time, series[i].time) << i;
    // 1.00 to 1.01: +1.00 %, drawn against the record's base figure.
    EXPECT_FLOAT_EQ(series[0].value + records[0].baseValue, 1.0f);
    EXPECT_EQ(records[1].history.size(), 1u) << "a pair the history does not hold keeps its series";

    // Given again (the next day's read, a saved series): nothing doubles.
    TakeFixingSamples(records, history);
    EXPECT_EQ(records[0].history.size(), 63u);

    // A history of one fixing has no change to give.
    RateHistory single;
    single.pairs.push_back(PairHistory{"EURJPY", {pair.points.front()}});
    TakeFixingSamples(records, single);
    EXPECT_EQ(records[1].history.size(), 1u);
}

TEST(FixingSamples, ADatedSourceKeepsOnePriceAFixing)
{
    const RateHistory history = SixtyThreeFixings();
    const PairHistory& pair = history.pairs[0];
    const std::string today = FormatIsoDate(pair.points.back().time + kMillisecondsPerDay);
    const std::vector<RateQuote> quotes =
        QuotesFromDocument(Dated(today, {{"EURUSD", "1.0850"}}), {}, history);
    ASSERT_EQ(quotes.size(), 1u);
    EXPECT_EQ(quotes[0].fixedAt, Fixing(today.c_str()));
    EXPECT_EQ(QuotesFromDocument(Dated("", {{"EURUSD", "1.0850"}}), {}, history)[0].fixedAt, 0) << "no day";
    EXPECT_EQ(QuotesFromDocument(Dated(today, {{"EURUSD", "1.0850"}}), {})[0].fixedAt, 0)
        << "no history: the source's updates are charted as they come";

    std::vector<FXRate> records{FXRate(quotes[0])};
    ASSERT_TRUE(records[0].priceSeries);
    TakeFixingSamples(records, history);
    const std::vector<RateSample>& series = records[0].history;
    ASSERT_EQ(series.size(), 64u) << "every fixing as its price, then today's";
    for (std::size_t i = 0; i < 63; ++i) {
        EXPECT_EQ(series[i].time, pair.points[i].time) << i;
        EXPECT_FLOAT_EQ(series[i].value, static_cast<float>(pair.points[i].value)) << i;
    }
    EXPECT_FLOAT_EQ(series.back().value, 1.085f);
    TakeFixingSamples(records, history);
    EXPECT_EQ(records[0].history.size(), 64u) << "given again: nothing doubles";
    // The history unread next time: the days held stay, today's is corrected.
    records[0].ApplyQuote(QuotesFromDocument(Dated(today, {{"EURUSD", "1.0851"}}), records)[0]);
    EXPECT_TRUE(records[0].priceSeries);
    ASSERT_EQ(records[0].history.size(), 64u);
    EXPECT_FLOAT_EQ(records[0].history.back().value, 1.0851f);

    // A series saved before a week away lacks days in the middle: they are filled.
    records[0].history.erase(records[0].history.begin() + 40, records[0].history.begin() + 47);
    TakeFixingSamples(records, history);
    ASSERT_EQ(records[0].history.size(), 64u);
    EXPECT_EQ(records[0].history[43].time, pair.points[43].time);

    // What each later quote does to the series, in turn.
    RateQuote next = quotes[0];
    struct Step {
        const char* what;
        int64_t fixedAt;
        const char* price;
        std::size_t samples;
        float newest;
        bool prices;
    };
    const Step steps[] = {
        {"the same fixing again, corrected", next.fixedAt, "1.0852", 64, 1.0852f, true},
        {"an older fixing", next.fixedAt - kMillisecondsPerDay, "1.2", 64, 1.0852f, true},
        {"the next day's", next.fixedAt + kMillisecondsPerDay, "1.0901", 65, 1.0901f, true},
        {"a quote of no fixing: a series of change figures anew", 0, "1.0905", 1, 0.10f, false},
        {"a fixing again: prices anew", next.fixedAt + 2 * kMillisecondsPerDay, "1.0911", 1, 1.0911f, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        next.fixedAt = step.fixedAt;
        next.priceText = step.price;
        next.changeText = "+0.10";
        records[0].ApplyQuote(next);
        EXPECT_EQ(records[0].priceSeries, step.prices);
        ASSERT_EQ(records[0].history.size(), step.samples);
        // A change series keeps its figures less the record's base.
        const float base = records[0].priceSeries ? 0.0f : records[0].baseValue;
        EXPECT_NEAR(records[0].history.back().value + base, step.newest, 1e-6);
    }
}
