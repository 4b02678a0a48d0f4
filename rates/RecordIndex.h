#pragma once
#include "rates/FXRate.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Where each code's record stands in a record list, found by one lookup
// rather than a walk of the list: a merge of a thousand pairs then costs a
// thousand lookups, not a million comparisons, while the lock is held.
// Codes match without regard to ASCII case, as the pair filter and the
// alerts match them: "eurusd" and "EURUSD" are one pair, and two records of
// it would each be shown, spoken and alerted on. Built from a list whose
// records only ever get added at the end, so positions stay valid as the
// list grows.
class RecordIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Of a list that names a code twice (none made by this program does),
    // the first record counts.
    explicit RecordIndex(const std::vector<FXRate>& records);

    // The position of the code's record, or npos.
    std::size_t Find(const std::string& code) const;
    // A record appended at `position`; false (and nothing changed) when the
    // code has one already.
    bool Add(const std::string& code, std::size_t position);

private:
    std::unordered_map<std::string, std::size_t> positions;
};
