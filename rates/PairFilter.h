#pragma once
#include "rates/FXRate.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The pairs a person chose to watch, in their order: the settings value
// "EURUSD, USDJPY" as a list of codes. An empty filter lets every record
// through in the list's own order. Codes match without regard to ASCII case.
// A code the list does not hold simply selects nothing until it appears.
class PairFilter {
public:
    // More codes than this, or a longer code, come from a mangled file: the
    // rest are dropped, an overlong code is left out.
    static constexpr size_t MostCodes = 64;
    static constexpr size_t LongestCode = 16;

    PairFilter() = default;
    // Comma-separated codes; blanks around each are dropped, as are empty
    // entries, overlong codes and repeats of an earlier code.
    static PairFilter Parse(std::string_view text);

    bool Empty() const { return codes.empty(); }
    const std::vector<std::string>& Codes() const { return codes; }
    // The codes joined by "," (empty for an empty filter): what is written
    // back to the settings file.
    std::string Text() const;

    // The positions in `records` of the rows to show, in showing order.
    std::vector<size_t> Select(const std::vector<FXRate>& records) const;

private:
    std::vector<std::string> codes;
};
