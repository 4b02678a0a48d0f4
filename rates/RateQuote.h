#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The most pairs one rate page gives and the record list holds: no real
// source lists more than a few hundred currencies, and a page of more is cut
// (a list) or refused (a document) rather than grow the records without end.
inline constexpr std::size_t kMostPairs = 1000;

// The texts of one currency pair in one downloaded rate list, exactly as
// they stood in the list (the provider's code page, never converted).
struct RateQuote {
    std::string code;
    std::string priceText;
    std::string changeText;
    std::string highText;
    std::string lowText;
    std::string openText;
    // When a dated source fixed this price (UTC milliseconds); 0 for a
    // quote of no fixed moment, as a list's are.
    int64_t fixedAt = 0;
};
