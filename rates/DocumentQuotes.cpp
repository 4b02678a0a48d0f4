#include "rates/DocumentQuotes.h"

#include "base/UtcTime.h"
#include "rates/RecordIndex.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace {

// The held extreme's text, or this price's when it goes beyond it. A held
// text that does not read as a number (a record from some other list) gives
// way to the price.
const std::string& Extreme(const std::string& heldText, const DocumentRate& rate, bool highest)
{
    double held = 0.0;
    if (!ReadDocumentNumber(heldText, held))
        return rate.priceText;
    const bool beyond = highest ? rate.value > held : rate.value < held;
    return beyond ? rate.priceText : heldText;
}

// The moment a dated document's prices were fixed: its day's fixing; 0 for
// a document that gives no day.
int64_t DocumentFixing(const RateDocument& document)
{
    int64_t day = 0;
    return ReadIsoDate(document.date, day) ? day + kFixingMillisecondOfDay : 0;
}

}  // namespace

std::string PercentChangeText(double price, double open)
{
    constexpr double kBound = 1e15;  // in hundredths of a percent
    double hundredths = std::round((price / open - 1.0) * 10000.0);
    if (std::isnan(hundredths))
        hundredths = 0.0;
    hundredths = std::fmax(-kBound, std::fmin(kBound, hundredths));
    const int64_t units = static_cast<int64_t>(hundredths);
    const int64_t magnitude = units < 0 ? -units : units;
    std::string fraction = std::to_string(magnitude % 100);
    if (fraction.size() < 2)
        fraction.insert(0, 1, '0');
    return (units < 0 ? "-" : "+") + std::to_string(magnitude / 100) + "." + fraction;
}

std::vector<RateQuote> QuotesFromDocument(const RateDocument& document, const std::vector<FXRate>& records)
{
    const RecordIndex index(records);
    const int64_t fixedAt = DocumentFixing(document);
    std::vector<RateQuote> quotes;
    quotes.reserve(document.rates.size());
    for (const DocumentRate& rate : document.rates) {
        RateQuote quote;
        quote.code = rate.code;
        quote.priceText = rate.priceText;
        double open = rate.value;
        const std::size_t found = index.Find(rate.code);
        if (found != RecordIndex::npos) {
            const FXRate* record = &records[found];
            quote.openText = record->openText;
            double held = 0.0;
            if (ReadDocumentNumber(record->openText, held) && held > 0.0)
                open = held;
            quote.highText = Extreme(record->highText, rate, true);
            quote.lowText = Extreme(record->lowText, rate, false);
            // Days already held (saved, or from a history read before) are
            // kept while the source's history cannot be read.
            if (record->priceSeries)
                quote.fixedAt = fixedAt;
        } else {
            quote.openText = rate.priceText;
            quote.highText = rate.priceText;
            quote.lowText = rate.priceText;
        }
        quote.changeText = PercentChangeText(rate.value, open);
        quotes.push_back(std::move(quote));
    }
    return quotes;
}

bool PreviousFixing(const PairHistory& pair, int64_t before, double& value)
{
    // The points are in time order: the last one before `before`.
    const auto after =
        std::lower_bound(pair.points.begin(), pair.points.end(), before,
                         [](const HistoryPoint& point, int64_t time) { return point.time < time; });
    if (after == pair.points.begin())
        return false;
    value = std::prev(after)->value;
    return true;
}

std::vector<RateQuote> QuotesFromDocument(const RateDocument& document, const std::vector<FXRate>& records,
                                          const RateHistory& history)
{
    std::vector<RateQuote> quotes = QuotesFromDocument(document, records);
    const int64_t fixedAt = DocumentFixing(document);
    const int64_t day = fixedAt != 0 ? fixedAt - kFixingMillisecondOfDay
                                     : UtcMilliseconds() / kMillisecondsPerDay * kMillisecondsPerDay;
    for (std::size_t i = 0; i < quotes.size(); ++i) {
        const DocumentRate& rate = document.rates[i];
        // A source with a history of its days is charted by its days: each
        // price is its day's fixing.
        quotes[i].fixedAt = fixedAt;
        for (const PairHistory& pair : history.pairs) {
            double previous = 0.0;
            if (pair.code != rate.code || !PreviousFixing(pair, day, previous))
                continue;
            char text[32];
            const auto [end, error] = std::to_chars(text, text + sizeof text, previous);
            if (error != std::errc())
                break;
            quotes[i].openText.assign(text, end);
            quotes[i].changeText = PercentChangeText(rate.value, previous);
            break;
        }
    }
    return quotes;
}

void TakeOpeningTexts(std::vector<FXRate>& records, const std::vector<RateQuote>& quotes)
{
    for (const RateQuote& quote : quotes) {
        for (FXRate& record : records) {
            if (record.code == quote.code) {
                record.openText = quote.openText;
                break;
            }
        }
    }
}

namespace {

bool SampleBefore(const RateSample& sample, int64_t time)
{
    return sample.time < time;
}

// A price series takes every fixing it does not hold yet, wherever it
// falls: the days a widget was closed are filled too. The series' own
// samples stand where a fixing has one already.
void MergeFixingPrices(FXRate& record, const PairHistory& pair)
{
    const std::vector<RateSample>& held = record.history;
    const auto missing = [&](const HistoryPoint& point) {
        const auto at = std::lower_bound(held.begin(), held.end(), point.time, SampleBefore);
        return at == held.end() || at->time != point.time;
    };
    if (std::none_of(pair.points.begin(), pair.points.end(), missing))
        return;
    std::vector<RateSample> merged;
    merged.reserve(held.size() + pair.points.size());
    std::size_t own = 0;
    for (const HistoryPoint& point : pair.points) {
        for (; own < held.size() && held[own].time <= point.time; ++own)
            merged.push_back(held[own]);
        if (merged.empty() || merged.back().time != point.time)
            merged.push_back(RateSample{static_cast<float>(point.value), point.time});
    }
    merged.insert(merged.end(), held.begin() + static_cast<std::ptrdiff_t>(own), held.end());
    std::vector<RateSample> series;
    HistoryShape shape;
    for (const RateSample& sample : merged)
        AppendToHistory(series, shape, sample);
    record.history = std::move(series);
    record.historyShape = shape;
}

}  // namespace

void TakeFixingSamples(std::vector<FXRate>& records, const RateHistory& history)
{
    for (FXRate& record : records) {
        if (record.history.empty())
            continue;
        const PairHistory* pair = nullptr;
        for (const PairHistory& held : history.pairs) {
            if (held.code == record.code) {
                pair = &held;
                break;
            }
        }
        if (pair != nullptr && record.priceSeries) {
            MergeFixingPrices(record, *pair);
            continue;
        }
        if (pair == nullptr || pair->points.size() < 2)
            continue;
        const int64_t firstOwn = record.history.front().time;
        if (firstOwn <= pair->points[pair->points.size() - 2].time)
            continue;  // its series reaches back into the fixings' days already
        std::vector<RateSample> series;
        HistoryShape shape;
        for (std::size_t i = 1; i < pair->points.size() && pair->points[i].time < firstOwn; ++i) {
            const float change =
                ReadRateNumber(PercentChangeText(pair->points[i].value, pair->points[i - 1].value));
            AppendToHistory(series, shape, RateSample{change - record.baseValue, pair->points[i].time});
        }
        if (series.empty())
            continue;
        for (const RateSample& own : record.history)
            AppendToHistory(series, shape, own);
        record.history = std::move(series);
        record.historyShape = shape;
    }
}
