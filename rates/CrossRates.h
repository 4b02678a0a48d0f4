#pragma once
#include "rates/RateDocument.h"
#include "rates/RateHistory.h"

#include <optional>
#include <string>
#include <vector>

// Pairs a document does not quote, made from two of its own quotes: the
// public sources quote every currency against one base, so USDJPY comes
// from EURUSD and EURJPY (157.14 = 161.50 / 1.0277), GBPUSD from EURGBP and
// EURUSD, and a pair the document quotes the other way round (USDEUR from
// EURUSD) from that one quote. Only ever within one document: never across
// sources or times, so both legs are of the same moment.

// The price of `code` (six ASCII letters, base then quote, any case) as the
// document's quotes make it, with five significant digits in plain decimal;
// the value is that of the text. None when the document quotes the pair
// itself, when it holds no legs for it, or when the legs make no price that
// can be shown (not finite, zero, or beyond what a rate text may hold).
std::optional<DocumentRate> CrossRate(const RateDocument& document, const std::string& code);

// Adds to the document, after its own rates and in the order of `wanted`,
// each wanted pair that CrossRate can make. Codes that are not two currency
// codes, repeats and pairs the document quotes are left alone.
void AddCrossRates(RateDocument& document, const std::vector<std::string>& wanted);

// Adds to a source's history, in the order of `wanted`, each wanted pair it
// does not hold that its days make as crosses: each day's cross from that
// day's own fixings, as CrossRate makes it from the day's page, so that a
// cross has the days and the previous fixing its legs have.
void AddCrossHistories(RateHistory& history, const std::vector<std::string>& wanted);

// `value` with five significant digits, in plain decimal ("157.14",
// "0.85412", "1.0000", "12346000"); empty unless finite, above zero and
// within kMaxRateTextBytes.
std::string FiveSignificantDigits(double value);
