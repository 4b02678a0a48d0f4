#include "rates/DocumentQuotes.h"

#include "rates/RecordIndex.h"

#include <cmath>
#include <cstdint>

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
