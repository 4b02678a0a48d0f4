#pragma once
#include "rates/RateDocument.h"
#include "rates/RateFormat.h"
#include "rates/RateQuote.h"

#include <string>
#include <vector>

// A downloaded body read in the chosen format, or in the one it shows
// (DetectRateFormat) when the choice is `Auto`.
struct DecodedRates {
    RateFormat format = RateFormat::List; // what the body was read as; never Auto
    std::vector<RateQuote> quotes;        // the list's quotes
    RateDocument document;                // a document's rates (JSON, ECB)
    std::string failure;                  // empty unless the body held no rates: then why
};

// Decodes `body` as `format` says. A body that holds no rates of that
// format fails with a reason that starts "not a rate list".
DecodedRates DecodeRates(const std::string& body, RateFormat format);
