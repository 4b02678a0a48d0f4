#pragma once
#include "rates/RateQuote.h"
#include "tests/support/TextHelpers.h"

#include <string>
#include <vector>

// The rate list decoding written the slow, obvious way: copy the body,
// ReplaceAll(",,0" -> ",,"), Split at ",", take every group that has a field
// after its ninth. DecodeRateList must give exactly what this gives; tests
// and the fuzzer compare the two.
inline std::vector<RateQuote> LiteralDecodeRateList(const std::string& body)
{
    std::string text = body;
    ReplaceAll(text, ",,0", ",,");
    std::vector<std::string> fields = Split(text, ",");
    auto withoutLast = [](const std::string& s) { return s.empty() ? s : s.substr(0, s.size() - 1); };
    std::vector<RateQuote> quotes;
    for (std::size_t pos = 0; pos + 9 < fields.size() && quotes.size() < kMostPairs; pos += 9) {
        const std::string& second = fields[pos + 2];
        std::string tail;
        if (second.size() >= 3)
            tail = second.substr(second.size() - 3, 2);
        else if (second.size() == 2)
            tail = second.substr(0, 1);
        RateQuote quote;
        quote.code = fields[pos];
        quote.priceText = withoutLast(fields[pos + 1]) + " - " + tail;
        quote.highText = fields[pos + 4];
        quote.lowText = fields[pos + 5];
        quote.changeText = withoutLast(fields[pos + 6]);
        quote.openText = fields[pos + 7];
        quotes.push_back(quote);
    }
    return quotes;
}

inline bool SameQuote(const RateQuote& a, const RateQuote& b)
{
    return a.code == b.code && a.priceText == b.priceText && a.changeText == b.changeText &&
           a.highText == b.highText && a.lowText == b.lowText && a.openText == b.openText;
}
