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

} // namespace

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
    if (!std::isfinite(value) || value <= 0.0 || rateText.empty() || rateText.size() > kMaxRateTextBytes)
        return Fail("rate " + QuoteForFailure(rateText) + " of " + QuoteForFailure(quote) +
                    " is not a positive number");
    const std::string code = Capitals(base) + Capitals(quote);
    if (code.compare(0, 3, code, 3, 3) == 0)
        return true;
    if (codes.count(code) != 0)
        return true;
    if (collected.rates.size() >= kMaxDocumentRates)
        return Fail("more than " + std::to_string(kMaxDocumentRates) + " rates");
    codes.insert(code);
    collected.rates.push_back(DocumentRate{code, rateText, value});
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
