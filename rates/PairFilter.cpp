#include "rates/PairFilter.h"

#include "base/Text.h"

#include <algorithm>

PairFilter PairFilter::Parse(std::string_view text)
{
    PairFilter filter;
    while (!text.empty() && filter.codes.size() < MostCodes) {
        size_t comma = text.find(',');
        std::string_view entry = TrimSpace(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (entry.empty() || entry.size() > LongestCode)
            continue;
        bool repeat = std::any_of(filter.codes.begin(), filter.codes.end(),
                                  [&](const std::string& code) { return EqualsNoCase(code, entry); });
        if (!repeat)
            filter.codes.emplace_back(entry);
    }
    return filter;
}

std::string PairFilter::Text() const
{
    std::string text;
    for (const std::string& code : codes) {
        if (!text.empty())
            text += ',';
        text += code;
    }
    return text;
}

std::vector<size_t> PairFilter::Select(const std::vector<FXRate>& records) const
{
    std::vector<size_t> rows;
    if (codes.empty()) {
        rows.reserve(records.size());
        for (size_t i = 0; i < records.size(); ++i)
            rows.push_back(i);
        return rows;
    }
    rows.reserve(codes.size());
    for (const std::string& code : codes) {
        // The first record of a code: a list that names a pair twice shows it once.
        for (size_t i = 0; i < records.size(); ++i) {
            if (EqualsNoCase(records[i].code, code)) {
                rows.push_back(i);
                break;
            }
        }
    }
    return rows;
}
