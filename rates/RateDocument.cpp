#include "rates/RateDocument.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {
bool IsCurrencyCode(const std::string& text)
{
    if (text.size() != 3)
        return false;
    for (char c : text) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

std::string Capitals(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string ShortestText(double value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace

std::string PlainDecimalText(const std::string& text)
{
    // Far beyond any exponent whose result could fit the bound.
    constexpr long kExponentBound = 1000;
    // A text this long holds more digits than are ever shown.
    if (text.size() > 2 * kMaxRateTextBytes)
        return std::string();
    std::string digits;
    long point = 0;  // digits before the point, once the exponent is applied
    bool seenPoint = false;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits += c;
            if (!seenPoint)
                ++point;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (digits.empty())
        return std::string();
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E')
            return std::string();
        ++i;
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        if (i == text.size())
            return std::string();
        long exponent = 0;
        for (; i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9')
                return std::string();
            if (exponent < kExponentBound)
                exponent = exponent * 10 + (text[i] - '0');
        }
        point += negative ? -exponent : exponent;
    }
    // Leading zeros carry no digit of the figure.
    std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return "0";
    digits.erase(0, first);
    point -= static_cast<long>(first);
    std::string plain;
    const long count = static_cast<long>(digits.size());
    if (point <= 0) {
        if (-point > static_cast<long>(kMaxRateTextBytes))
            return std::string();
        plain = "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    } else if (point >= count) {
        if (point > static_cast<long>(kMaxRateTextBytes))
            return std::string();
        plain = digits + std::string(static_cast<std::size_t>(point - count), '0');
    } else {
        plain = digits.substr(0, static_cast<std::size_t>(point)) + "." +
                digits.substr(static_cast<std::size_t>(point));
    }
    if (plain.size() > kMaxRateTextBytes)
        return std::string();
    return plain;
}

std::string QuoteForFailure(const std::string& text)
{
    constexpr std::size_t kShown = 24;
    std::string shown = "'";
    for (std::size_t i = 0; i < text.size() && i < kShown; ++i) {
        const char c = text[i];
        shown += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    if (text.size() > kShown)
        shown += "...";
    return shown + "'";
}

std::string NotARateList(const std::string& reason)
{
    return "not a rate list (" + reason + ")";
}

bool ReadDocumentNumber(const std::string& text, double& value)
{
    if (text.empty() || text.size() > kMaxRateTextBytes)
        return false;
    // from_chars would take "inf", "nan" and a leading minus; a rate is digits.
    if (!(text[0] >= '0' && text[0] <= '9') && text[0] != '.')
        return false;
    const char* end = text.data() + text.size();
    double parsed = 0.0;
    const auto [last, error] = std::from_chars(text.data(), end, parsed, std::chars_format::general);
    if (error != std::errc() || last != end || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool RateDocumentBuilder::Fail(const std::string& reason)
{
    if (failure.empty())
        failure = NotARateList(reason);
    return false;
}

bool RateDocumentBuilder::Add(const std::string& base, const std::string& quote, const std::string& rateText)
{
    double value = 0.0;
    if (!ReadDocumentNumber(rateText, value))
        return Fail("rate " + QuoteForFailure(rateText) + " of " + QuoteForFailure(quote) +
                    " is not a number");
    return Add(base, quote, rateText, value);
}

bool RateDocumentBuilder::Add(const std::string& base, const std::string& quote, const std::string& rateText,
                              double value)
{
    if (!IsCurrencyCode(base))
        return Fail("base " + QuoteForFailure(base) + " is not a currency code");
    if (!IsCurrencyCode(quote))
        return Fail(QuoteForFailure(quote) + " is not a currency code");
    if (!std::isfinite(value) || value <= 0.0 || rateText.empty())
        return Fail("rate " + QuoteForFailure(rateText) + " of " + QuoteForFailure(quote) +
                    " is not a positive number");
    // The document's own digits when they fit; a text too long to show
    // gives way to the value's shortest form, in plain decimal too.
    std::string shown = PlainDecimalText(rateText);
    if (shown.empty())
        shown = PlainDecimalText(ShortestText(value));
    if (shown.empty())
        return Fail("rate " + QuoteForFailure(rateText) + " of " + QuoteForFailure(quote) +
                    " has too many digits to show");
    const std::string code = Capitals(base) + Capitals(quote);
    if (code.compare(0, 3, code, 3, 3) == 0)
        return true;
    if (codes.count(code) != 0)
        return true;
    if (collected.rates.size() >= kMaxDocumentRates)
        return Fail("more than " + std::to_string(kMaxDocumentRates) + " rates");
    codes.insert(code);
    collected.rates.push_back(DocumentRate{code, std::move(shown), value});
    return true;
}

void RateDocumentBuilder::SetDate(const std::string& date)
{
    if (collected.date.empty())
        collected.date = date.substr(0, 32);
}

bool RateDocumentBuilder::Finish(RateDocument& document)
{
    if (!failure.empty())
        return false;
    if (collected.rates.empty())
        return Fail("no rates");
    document = std::move(collected);
    return true;
}
