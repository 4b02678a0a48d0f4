#pragma once
#include "rates/FXRate.h"
#include "rates/RateQuote.h"

#include <cmath>
#include <string>

// What must hold for a record whatever the list said: returns a description
// of the first broken rule, or an empty text.
inline std::string CheckRecord(const FXRate& record)
{
    if (!(record.lowValue <= record.baseValue && record.baseValue <= record.highValue))
        return "lowValue <= baseValue <= highValue broken";
    if (record.rises < 0 || record.falls < 0)
        return "negative counter";
    if (record.trend != FXRate::Unchanged && record.trend != FXRate::Rose && record.trend != FXRate::Fell)
        return "trend out of range";
    if (record.labelFontSize != 10)
        return "labelFontSize changed";
    for (const FXRate::TimeRate& sample : record.history) {
        if (!std::isfinite(sample.value))
            return "sample value not finite";
    }
    return {};
}

// Applies `quote` and checks what an update may change and what it may not.
inline std::string ApplyAndCheck(FXRate& record, const RateQuote& quote)
{
    const FXRate before = record;
    record.ApplyQuote(quote);
    if (record.history.size() != before.history.size() + 1)
        return "not exactly one sample per update";
    if (record.rises < before.rises || record.falls < before.falls)
        return "a counter went down";
    if ((record.rises - before.rises) + (record.falls - before.falls) > 1)
        return "more than one rise or fall counted";
    if (record.lowValue > before.lowValue || record.highValue < before.highValue)
        return "an extreme moved the wrong way";
    if (record.code != before.code || record.firstPriceText != before.firstPriceText ||
        record.openText != before.openText || record.baseValue != before.baseValue)
        return "a fixed member changed";
    if (record.priceText != quote.priceText || record.changeText != quote.changeText ||
        record.lowText != quote.lowText || record.highText != quote.highText)
        return "texts not taken from the quote";
    return CheckRecord(record);
}
