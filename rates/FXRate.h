#pragma once
#include "rates/BoundedHistory.h"
#include "rates/RateQuote.h"

#include <cstdint>
#include <string>
#include <vector>

// One currency pair: the texts of its latest quote, the change figure as a
// number with the extremes seen by this program, rise and fall counts, and
// one sample per update: the newest day as taken, the whole run before it
// consolidated within a fixed size (rates/BoundedHistory.h). A plain value
// type: copies are deep.
class FXRate {
public:
    using TimeRate = RateSample;

    enum Trend : int32_t { Unchanged = 0, Rose = 1, Fell = 2 };

    // A new record takes one sample and always shows as unchanged; a first
    // figure above zero counts as one rise, below zero as one fall.
    explicit FXRate(const RateQuote& quote);

    // Brings the record up to date with a newer quote of the same code and
    // takes one sample. A fixed quote's sample is its price at its fixing,
    // replacing one of the same fixing and never placed before a newer one;
    // a quote of the other kind than the series holds starts the series
    // again, since prices and change figures share no scale.
    void ApplyQuote(const RateQuote& quote);

    int32_t trend = Unchanged;
    // A dated source's record keeps one price a fixing, at the fixing's
    // time, so that its chart shows the price over the days; any other
    // record keeps its change figure minus baseValue at every update.
    bool priceSeries = false;
    std::vector<TimeRate> history;  // oldest first
    HistoryShape historyShape;      // how much of history's front is consolidated
    int32_t labelFontSize = 10;
    std::string code;
    std::string firstPriceText;  // priceText at creation; never changes
    std::string priceText;
    std::string changeText;
    std::string openText;  // as the first list gave it; never changes
    std::string lowText;
    std::string highText;
    int32_t rises = 0;
    int32_t falls = 0;
    float baseValue = 0.0f;
    float lowValue = 0.0f;
    float highValue = 0.0f;

private:
    void Classify(float value, float previous);
    void TakeSample(float value, const RateQuote& quote);
};

// Reads a number as strtod does in the "C" locale (leading white space
// skipped, longest numeric prefix, 0.0 when there is none), narrowed to float.
// Independent of the process locale: the decimal separator is always a point.
float ReadRateNumber(const std::string& text);
