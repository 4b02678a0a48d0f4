#include "rates/FXRate.h"

#include "base/UtcTime.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace {

// White space as isspace sees it in the "C" locale, whatever locale the
// process runs in.
bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c, bool hex)
{
    if (c >= '0' && c <= '9')
        return true;
    return hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

// from_chars leaves the value alone when the number does not fit a double,
// where strtod gives +-HUGE_VAL on overflow and 0 on underflow. Which one it
// was follows from the sign of the number's order of magnitude: an overflow
// is at least 1e308 and an underflow below 1e-323, so no rounding question
// arises. Only called on text that from_chars has just accepted.
bool ExceedsDouble(const char* first, const char* last, bool hex)
{
    constexpr int64_t kLimit = int64_t{1} << 40;  // far beyond any exponent that matters
    int64_t order = 0;                            // in mantissa digits
    bool seenNonZero = false;
    bool afterPoint = false;
    const char* p = first;
    for (; p != last && (IsDigit(*p, hex) || *p == '.'); ++p) {
        if (*p == '.') {
            afterPoint = true;
        } else if (!seenNonZero) {
            if (*p != '0') {
                seenNonZero = true;
                if (!afterPoint)
                    order = 1;
            } else if (afterPoint && order > -kLimit) {
                --order;
            }
        } else if (!afterPoint && order < kLimit) {
            ++order;
        }
    }
    int64_t exponent = 0;
    if (p != last && (*p == (hex ? 'p' : 'e') || *p == (hex ? 'P' : 'E'))) {
        ++p;
        bool negative = p != last && *p == '-';
        if (p != last && (*p == '-' || *p == '+'))
            ++p;
        for (; p != last && *p >= '0' && *p <= '9'; ++p) {
            if (exponent < kLimit)
                exponent = exponent * 10 + (*p - '0');
        }
        if (negative)
            exponent = -exponent;
    }
    // A hex mantissa digit is four binary places; its exponent counts in binary.
    return (hex ? order * 4 : order) + exponent > 0;
}

// Narrowing as the hardware does it (round to nearest), spelt out for the
// range beyond FLT_MAX so that no conversion leaves the float range: from
// halfway between FLT_MAX and the next power of two on, the result is
// infinite.
float NarrowToFloat(double value)
{
    constexpr double kRoundsToInfinity = 0x1.ffffffp+127;
    if (std::fabs(value) >= kRoundsToInfinity)
        return value > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

// The change figure as the record keeps it. The list may say "nan", "inf"
// or a figure beyond the float range; such a value would poison baseValue
// and every later sample, so it counts as no number at all, like any other
// text that is not a figure.
float ReadChangeFigure(const std::string& text)
{
    float value = ReadRateNumber(text);
    return std::isfinite(value) ? value : 0.0f;
}

}  // namespace

float ReadRateNumber(const std::string& text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p != end && IsCSpace(*p))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // from_chars would accept a minus here, strtod stops at a second sign.
    if (p == end || *p == '+' || *p == '-')
        return 0.0f;

    bool hex = end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    const char* digits = hex ? p + 2 : p;
    double magnitude = 0.0;
    auto [last, error] =
        std::from_chars(digits, end, magnitude, hex ? std::chars_format::hex : std::chars_format::general);
    if (error == std::errc::invalid_argument) {
        // Nothing numeric: no conversion at all, except that "0x" without a
        // hex digit is the number 0 (with its sign) as strtod reads it.
        if (!hex)
            return 0.0f;
        magnitude = 0.0;
    } else if (error == std::errc::result_out_of_range) {
        magnitude = ExceedsDouble(digits, last, hex) ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return NarrowToFloat(negative ? -magnitude : magnitude);
}

FXRate::FXRate(const RateQuote& quote)
    : code(quote.code), firstPriceText(quote.priceText), priceText(quote.priceText), openText(quote.openText),
      lowText(quote.lowText), highText(quote.highText)
{
    float value = ReadChangeFigure(quote.changeText);
    baseValue = value;
    lowValue = value;
    highValue = value;
    // changeText is still empty and reads as 0.0: a first figure above zero
    // counts as a rise, one below zero as a fall.
    Classify(value, ReadChangeFigure(changeText));
    changeText = quote.changeText;
    priceSeries = quote.fixedAt != 0;
    TakeSample(value, quote);
    trend = Unchanged;
}

void FXRate::ApplyQuote(const RateQuote& quote)
{
    lowText = quote.lowText;
    highText = quote.highText;
    priceText = quote.priceText;
    float value = ReadChangeFigure(quote.changeText);
    // The previous figure is read again from its text, as it was shown.
    float previous = ReadChangeFigure(changeText);
    Classify(value, previous);
    changeText = quote.changeText;
    if (priceSeries != (quote.fixedAt != 0)) {
        priceSeries = quote.fixedAt != 0;
        history.clear();
        historyShape = HistoryShape{};
    }
    TakeSample(value, quote);
}

void FXRate::Classify(float value, float previous)
{
    // The counters saturate rather than wrap, so they only ever grow.
    constexpr int32_t kMaxCount = std::numeric_limits<int32_t>::max();
    if (value < previous) {
        if (value < lowValue)
            lowValue = value;
        trend = Fell;
        if (falls < kMaxCount)
            ++falls;
    } else if (value > previous) {
        if (value > highValue)
            highValue = value;
        trend = Rose;
        if (rises < kMaxCount)
            ++rises;
    } else {
        trend = Unchanged;
    }
}

void FXRate::TakeSample(float value, const RateQuote& quote)
{
    if (priceSeries) {
        const float price = ReadRateNumber(quote.priceText);
        if (!(std::isfinite(price) && price > 0.0f))
            return;
        if (!history.empty() && history.back().time == quote.fixedAt)
            history.back().value = price;
        else if (history.empty() || history.back().time < quote.fixedAt)
            AppendToHistory(history, historyShape, TimeRate{price, quote.fixedAt});
        return;
    }
    // Two finite figures far apart can differ by more than a float holds.
    constexpr float kMax = std::numeric_limits<float>::max();
    float distance = value - baseValue;
    if (!std::isfinite(distance))
        distance = distance > 0 ? kMax : -kMax;
    AppendToHistory(history, historyShape, TimeRate{distance, UtcMilliseconds()});
}
