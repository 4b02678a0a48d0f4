#include "tools/feed/RateFeed.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ratio>
#include <stdexcept>

namespace {
// One step of the walk in percent of the price, before the pair's own
// volatility; and how strongly the figure is pulled back towards the
// opening. Together they give a figure that wanders by a few hundredths per
// download and settles around +-0.2 %, as a quiet trading day does.
constexpr double kStepPercent = 0.03;
constexpr double kReversion = 0.01;
constexpr double kFirstOffsetPercent = 0.3;

int64_t PowerOfTen(int exponent)
{
    int64_t value = 1;
    while (exponent-- > 0)
        value *= 10;
    return value;
}

// `units` / 10^decimals as fixed-point text with a point, whatever the
// process locale says, and never "-0.00".
std::string FormatScaled(int64_t units, int decimals)
{
    std::string text;
    if (units < 0) {
        text += '-';
        units = -units;
    }
    const int64_t scale = PowerOfTen(decimals);
    text += std::to_string(units / scale);
    if (decimals > 0) {
        std::string fraction = std::to_string(units % scale);
        text += '.';
        text.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
        text += fraction;
    }
    return text;
}

// A rate as the ECB writes it: four decimals below 10, two above.
std::string RateText(double rate)
{
    const int decimals = rate < 10.0 ? 4 : 2;
    return FormatScaled(std::llround(rate * static_cast<double>(PowerOfTen(decimals))), decimals);
}

// Today's date in UTC as YYYY-MM-DD, from the days since 1970 (the civil
// calendar worked out by hand: gmtime is neither thread-safe nor the same
// call on both platforms).
std::string Today()
{
    using Days = std::chrono::duration<int64_t, std::ratio<86400>>;
    const int64_t days =
        std::chrono::duration_cast<Days>(std::chrono::system_clock::now().time_since_epoch()).count();
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[48];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d", static_cast<int>(year), static_cast<int>(month),
                  static_cast<int>(day));
    return text;
}

int64_t ToPipettes(double price, int digits) { return std::llround(price * static_cast<double>(PowerOfTen(digits + 1))); }
}  // namespace

const std::vector<RateFeed::Pair>& RateFeed::Catalogue()
{
    static const std::vector<Pair> pairs = {
        {"EURUSD", 1.0850, 4, 1.0, 1.0}, {"USDJPY", 149.50, 2, 1.2, 1.0}, {"GBPUSD", 1.2650, 4, 1.4, 1.1},
        {"USDCHF", 0.8810, 4, 1.6, 1.0}, {"AUDUSD", 0.6550, 4, 1.3, 1.2}, {"USDCAD", 1.3620, 4, 1.8, 0.9},
        {"NZDUSD", 0.6080, 4, 1.9, 1.2}, {"EURJPY", 162.20, 2, 2.0, 1.1}, {"GBPJPY", 189.10, 2, 2.8, 1.3},
        {"EURGBP", 0.8575, 4, 1.5, 0.8}, {"EURCHF", 0.9560, 4, 2.0, 0.8}, {"AUDJPY", 97.90, 2, 2.2, 1.3},
        {"EURAUD", 1.6560, 4, 2.6, 1.1}, {"CHFJPY", 169.70, 2, 2.9, 1.1}, {"EURCAD", 1.4770, 4, 2.7, 1.0},
        {"GBPCHF", 1.1140, 4, 3.1, 1.1}, {"AUDNZD", 1.0770, 4, 3.0, 0.9}, {"CADJPY", 109.80, 2, 2.6, 1.2},
        {"NZDJPY", 90.90, 2, 3.2, 1.3}, {"GBPAUD", 1.9310, 4, 3.8, 1.2},
    };
    return pairs;
}

RateFeed::RateFeed(uint64_t seed, std::size_t pairs) : randomState(seed)
{
    const std::vector<Pair>& catalogue = Catalogue();
    if (pairs < 1 || pairs > catalogue.size())
        throw std::invalid_argument("pair count out of range");
    states.reserve(pairs);
    for (std::size_t i = 0; i < pairs; ++i) {
        const Pair& pair = catalogue[i];
        // The first list already stands away from the opening, so that the
        // change figures do not all start at zero.
        const double offset = (Uniform() * 2.0 - 1.0) * kFirstOffsetPercent;
        const double price = pair.open * (1.0 + offset / 100.0);
        states.push_back({&pair, price, std::max(price, pair.open), std::min(price, pair.open)});
    }
}

double RateFeed::Uniform()
{
    // SplitMix64: small, fast, and the same sequence on every compiler, so a
    // seed replays the same walk natively and under Windows.
    randomState += 0x9E3779B97F4A7C15ull;
    uint64_t z = randomState;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
}

double RateFeed::Gaussian()
{
    // Box-Muller; 1 - Uniform() is in (0, 1], so the logarithm is finite.
    const double radius = std::sqrt(-2.0 * std::log(1.0 - Uniform()));
    return radius * std::cos(6.283185307179586 * Uniform());
}

void RateFeed::Step(PairState& state)
{
    const Pair& pair = *state.pair;
    double change = (state.price / pair.open - 1.0) * 100.0;
    change += -kReversion * change + kStepPercent * pair.volatility * Gaussian();
    // Reflect at the limits rather than clamp, so the walk does not stick.
    if (change > kChangeLimitPercent)
        change = std::max(2.0 * kChangeLimitPercent - change, -kChangeLimitPercent);
    if (change < -kChangeLimitPercent)
        change = std::min(-2.0 * kChangeLimitPercent - change, kChangeLimitPercent);
    state.price = pair.open * (1.0 + change / 100.0);
    state.high = std::max(state.high, state.price);
    state.low = std::min(state.low, state.price);
}

void RateFeed::AppendGroup(std::string& out, const PairState& state, uint64_t serial)
{
    const Pair& pair = *state.pair;
    const int64_t bid = ToPipettes(state.price, pair.digits);
    const int64_t spread = std::llround(pair.spread * 10.0);  // in pipettes
    const int64_t open = ToPipettes(pair.open, pair.digits);
    // Quoted figures drop the pipette the way the price text does (by
    // truncation), so low <= shown price <= high holds in the texts too.
    const int64_t high = ToPipettes(state.high, pair.digits) / 10;
    const int64_t low = ToPipettes(state.low, pair.digits) / 10;
    // The change figure is taken from the quoted bid, so it agrees with the
    // price that the list shows; in hundredths of a percent.
    const double bidValue = static_cast<double>(bid) / static_cast<double>(PowerOfTen(pair.digits + 1));
    const int64_t change = std::llround((bidValue / pair.open - 1.0) * 10000.0);

    out += pair.code;
    out += ',';
    out += FormatScaled(bid, pair.digits + 1);
    out += ',';
    out += FormatScaled(bid + spread, pair.digits + 1);
    out += ',';
    out += FormatScaled(spread, 1);
    out += ',';
    out += FormatScaled(high, pair.digits);
    out += ',';
    out += FormatScaled(low, pair.digits);
    out += ',';
    out += FormatScaled(change, 2);
    out += "%,";
    out += FormatScaled(open / 10, pair.digits);
    out += ',';
    out += std::to_string(serial);
    out += ',';
}

std::string RateFeed::CurrentList() const
{
    std::string out;
    out.reserve(states.size() * 64);
    for (const PairState& state : states)
        AppendGroup(out, state, serial);
    return out;
}

std::string RateFeed::NextList()
{
    for (PairState& state : states)
        Step(state);
    ++serial;
    return CurrentList();
}

std::vector<std::pair<std::string, double>> RateFeed::EuroRates() const
{
    // Every currency of the served pairs but the euro, in order of first
    // appearance. EUR/USD is the catalogue's first pair, so it is always
    // served, and every other currency's pair with the dollar comes before
    // any cross that uses it.
    std::vector<std::string> currencies;
    for (const PairState& state : states) {
        for (int side = 0; side < 2; ++side) {
            const std::string currency(state.pair->code + side * 3, 3);
            const bool known = std::find(currencies.begin(), currencies.end(), currency) != currencies.end();
            if (currency != "EUR" && !known)
                currencies.push_back(currency);
        }
    }
    const double euroInDollars = states.front().price;
    std::vector<std::pair<std::string, double>> rates;
    for (const std::string& currency : currencies) {
        if (currency == "USD") {
            rates.emplace_back(currency, euroInDollars);
            continue;
        }
        for (const PairState& state : states) {
            const std::string code = state.pair->code;
            if (code == "USD" + currency) {
                rates.emplace_back(currency, euroInDollars * state.price);
                break;
            }
            if (code == currency + "USD") {
                rates.emplace_back(currency, euroInDollars / state.price);
                break;
            }
        }
    }
    return rates;
}

std::string RateFeed::JsonDocument() const
{
    std::string out = "{\"amount\":1.0,\"base\":\"EUR\",\"date\":\"" + Today() + "\",\"rates\":{";
    bool first = true;
    for (const auto& [currency, rate] : EuroRates()) {
        out += first ? "\"" : ",\"";
        out += currency + "\":" + RateText(rate);
        first = false;
    }
    return out + "}}";
}

std::string RateFeed::EcbDocument() const
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<gesmes:Envelope xmlns:gesmes=\"http://www.gesmes.org/xml/2002-08-01\" "
                      "xmlns=\"http://www.ecb.int/vocabulary/2002-08-01/eurofxref\">\n"
                      "\t<gesmes:subject>Reference rates</gesmes:subject>\n"
                      "\t<gesmes:Sender>\n"
                      "\t\t<gesmes:name>European Central Bank</gesmes:name>\n"
                      "\t</gesmes:Sender>\n"
                      "\t<Cube>\n\t\t<Cube time='" +
                      Today() + "'>\n";
    for (const auto& [currency, rate] : EuroRates())
        out += "\t\t\t<Cube currency='" + currency + "' rate='" + RateText(rate) + "'/>\n";
    return out + "\t\t</Cube>\n\t</Cube>\n</gesmes:Envelope>\n";
}

std::string RateFeed::Current(Format format) const
{
    switch (format) {
    case Format::Json:
        return JsonDocument();
    case Format::Ecb:
        return EcbDocument();
    default:
        return CurrentList();
    }
}

std::string RateFeed::Next(Format format)
{
    for (PairState& state : states)
        Step(state);
    ++serial;
    return Current(format);
}
