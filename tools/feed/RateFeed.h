#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The rate list that the local feed serves: a fixed catalogue of currency
// pairs whose prices move by a seeded random walk, one step per download.
//
// Each pair is one group of nine comma-separated fields, in the layout that
// the widget's decoder reads:
//   0 code            EURUSD
//   1 bid, one extra digit (the pipette), e.g. 1.08504
//   2 ask, one extra digit; its third- and second-last characters are the
//     last two quoted digits of the ask, e.g. 1.08534 -> "53"
//   3 spread in points, e.g. 3.0
//   4 session high, quoted digits
//   5 session low, quoted digits
//   6 change from the opening figure in percent, with a trailing "%": a
//     minus sign for a fall and no sign otherwise (the rate pane puts a "+"
//     before texts without a "-")
//   7 opening figure, quoted digits
//   8 serial number of the list
// The body ends with a comma, so the last group is followed by one (empty)
// field: the decoder takes a group only when a field follows its ninth.
// No field is ever empty before that, so the decoder's ",,0" pass (which
// strips a leading zero after an empty field) never touches a figure.
//
// The change figure stays within +-kChangeLimitPercent, so that the widget's
// chart (one pixel per 0.01 around the first figure it saw, about +-1.27 in
// view) keeps the whole walk in its frame.
class RateFeed {
public:
    struct Pair {
        const char* code;
        double open;      // opening figure
        int digits;       // quoted decimals (2 for yen pairs, 4 otherwise)
        double spread;    // in points of the last quoted digit
        double volatility;  // scale of one step, 1.0 for an ordinary pair
    };

    static constexpr double kChangeLimitPercent = 0.6;

    // The shapes the feed serves the walk in. A rates document (JSON in
    // Frankfurter's /v1/latest shape, or the ECB's eurofxref-daily.xml)
    // quotes the euro against every other currency of the served pairs,
    // each rate derived from the walk: EUR/USD directly, the others through
    // their pair with the dollar. Rates have four decimals below 10 and two
    // above, as the ECB writes them.
    enum class Format { List, Json, Ecb };

    // The catalogue: majors first, then crosses.
    static const std::vector<Pair>& Catalogue();

    // Serves the first `pairs` pairs of the catalogue (1 to its size).
    RateFeed(uint64_t seed, std::size_t pairs);

    // The list as it stands, without moving the prices (a HEAD answer).
    std::string CurrentList() const;

    // Moves every price one step of the walk, then returns the new list.
    std::string NextList();

    // The same in any shape; CurrentList and NextList are Format::List.
    std::string Current(Format format) const;
    std::string Next(Format format);

    // The euro's rate against each currency of the served pairs, in order of
    // first appearance: {"USD", 1.0855}, ...
    std::vector<std::pair<std::string, double>> EuroRates() const;

    std::size_t PairCount() const { return states.size(); }
    uint64_t Serial() const { return serial; }

private:
    struct PairState {
        const Pair* pair;
        double price;  // bid, full precision
        double high;   // highest bid, full precision
        double low;    // lowest bid, full precision
    };

    double Uniform();  // [0, 1)
    double Gaussian();  // about N(0, 1)
    void Step(PairState& state);
    static void AppendGroup(std::string& out, const PairState& state, uint64_t serial);
    std::string JsonDocument() const;
    std::string EcbDocument() const;

    uint64_t randomState;
    uint64_t serial = 0;
    std::vector<PairState> states;
};
