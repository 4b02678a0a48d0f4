#include "rates/CrossRates.h"

#include <charconv>
#include <cmath>
#include <map>
#include <set>
#include <system_error>

namespace {

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The code in capitals when it is two three-letter currency codes; empty otherwise.
std::string PairCode(const std::string& code)
{
    if (code.size() != 6)
        return std::string();
    std::string capitals = code;
    for (char& c : capitals) {
        if (!IsLetter(c))
            return std::string();
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return capitals.compare(0, 3, capitals, 3, 3) == 0 ? std::string() : capitals;
}

}  // namespace

std::string FiveSignificantDigits(double value)
{
    if (!std::isfinite(value) || value <= 0.0)
        return std::string();
    // Rounded once, in scientific form, then written out: a carry (9.99996
    // to 1.0000e+01) lands in the exponent, never in a sixth digit.
    char buffer[32];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 4);
    if (error != std::errc())
        return std::string();
    return PlainDecimalText(std::string(buffer, end));
}

std::optional<DocumentRate> CrossRate(const RateDocument& document, const std::string& code)
{
    const std::string pair = PairCode(code);
    if (pair.empty())
        return std::nullopt;
    const std::string base = pair.substr(0, 3);
    const std::string quote = pair.substr(3);
    // How many units of each currency one unit of the pair's base, and one of
    // its quote, is worth by the document's own rates (the first rate of a
    // currency counts). A rate "ABC" + "DEF" of v says one ABC is v DEF.
    std::map<std::string, double> baseIn{{base, 1.0}};
    std::map<std::string, double> quoteIn{{quote, 1.0}};
    std::vector<std::string> order;  // currencies in document order, each once
    std::set<std::string> seen;
    for (const DocumentRate& rate : document.rates) {
        if (rate.code == pair)
            return std::nullopt;  // quoted: no cross needed
        if (rate.code.size() != 6 || !(rate.value > 0.0))
            continue;
        const std::string from = rate.code.substr(0, 3);
        const std::string to = rate.code.substr(3);
        if (from == base)
            baseIn.emplace(to, rate.value);
        if (to == base)
            baseIn.emplace(from, 1.0 / rate.value);
        if (from == quote)
            quoteIn.emplace(to, rate.value);
        if (to == quote)
            quoteIn.emplace(from, 1.0 / rate.value);
        for (const std::string& currency : {from, to}) {
            if (seen.insert(currency).second)
                order.push_back(currency);
        }
    }
    // Through the first currency of the document that both are valued in.
    for (const std::string& through : order) {
        const auto inBase = baseIn.find(through);
        const auto inQuote = quoteIn.find(through);
        if (inBase == baseIn.end() || inQuote == quoteIn.end())
            continue;
        const std::string text = FiveSignificantDigits(inBase->second / inQuote->second);
        double value = 0.0;
        if (text.empty() || !ReadDocumentNumber(text, value) || !(value > 0.0))
            return std::nullopt;  // legs that make no price to show
        return DocumentRate{pair, text, value};
    }
    return std::nullopt;
}

void AddCrossRates(RateDocument& document, const std::vector<std::string>& wanted)
{
    // Made from the document's own rates only, never from a cross added before.
    std::vector<DocumentRate> crosses;
    std::set<std::string> made;
    for (const std::string& code : wanted) {
        const std::string pair = PairCode(code);
        if (pair.empty() || !made.insert(pair).second)
            continue;
        if (std::optional<DocumentRate> cross = CrossRate(document, pair))
            crosses.push_back(std::move(*cross));
    }
    for (DocumentRate& cross : crosses)
        document.rates.push_back(std::move(cross));
}

void AddCrossHistories(RateHistory& history, const std::vector<std::string>& wanted)
{
    if (wanted.empty())
        return;
    // Each day as the page it was: its pairs' fixings of that moment.
    std::map<int64_t, RateDocument> days;
    std::set<std::string> held;
    for (const PairHistory& pair : history.pairs) {
        held.insert(pair.code);
        for (const HistoryPoint& point : pair.points)
            days[point.time].rates.push_back(DocumentRate{pair.code, std::string(), point.value});
    }
    std::vector<PairHistory> crosses;
    for (const std::string& code : wanted) {
        const std::string pair = PairCode(code);
        if (pair.empty() || !held.insert(pair).second)
            continue;
        PairHistory cross{pair, {}};
        for (const auto& [time, page] : days) {
            if (std::optional<DocumentRate> rate = CrossRate(page, pair))
                cross.points.push_back(HistoryPoint{time, rate->value});
        }
        if (!cross.points.empty())
            crosses.push_back(std::move(cross));
    }
    for (PairHistory& cross : crosses)
        history.pairs.push_back(std::move(cross));
}
