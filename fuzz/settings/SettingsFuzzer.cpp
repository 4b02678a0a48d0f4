// Arbitrary bytes as the settings a person may have typed: the first line
// as a "Pairs" value, the rest as the "Alerts" section (NUL-separated lines)
// followed by price texts to check. Whatever comes in, what is kept stays
// within its bounds, and every message names a level that was crossed.
#include "rates/PairFilter.h"
#include "rates/PriceAlerts.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t newline = input.find('\n');
    std::string_view pairs = input.substr(0, newline);
    std::string_view rest =
        newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

    PairFilter filter = PairFilter::Parse(pairs);
    Require(filter.Codes().size() <= PairFilter::MostCodes, "code count");
    for (const std::string& code : filter.Codes())
        Require(!code.empty() && code.size() <= PairFilter::LongestCode, "code length");
    Require(PairFilter::Parse(filter.Text()).Codes() == filter.Codes(), "written back reads the same");

    // The section runs to the first "\n\n"; price texts follow, one a line.
    size_t end = rest.find("\n\n");
    std::string_view section = rest.substr(0, end);
    std::string_view prices = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    PriceAlerts alerts = PriceAlerts::ParseSection(section);
    Require(alerts.LevelCount() <= PriceAlerts::MostPairs * PriceAlerts::MostLevelsPerPair, "level count");

    std::vector<FXRate> records;
    while (!prices.empty()) {
        size_t lineEnd = prices.find('\n');
        std::string_view line = prices.substr(0, lineEnd);
        prices = lineEnd == std::string_view::npos ? std::string_view() : prices.substr(lineEnd + 1);
        size_t space = line.find(' ');
        std::string code(line.substr(0, space));
        std::string price(space == std::string_view::npos ? std::string_view() : line.substr(space + 1));
        for (const std::string& message : alerts.Check(code, price)) {
            Require(message.compare(0, code.size(), code) == 0, "message names the pair");
            Require(message.find(" above ") != std::string::npos ||
                        message.find(" below ") != std::string::npos,
                    "message names the side");
        }
        RateQuote quote;
        quote.code = code;
        quote.priceText = price;
        if (records.size() < 100)
            records.emplace_back(quote);
    }
    std::vector<size_t> rows = filter.Select(records);
    Require(filter.Empty() ? rows.size() == records.size() : rows.size() <= filter.Codes().size(),
            "row count");
    for (size_t row : rows)
        Require(row < records.size(), "row in range");
    return 0;
}
