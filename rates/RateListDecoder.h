#pragma once
#include "rates/RateQuote.h"

#include <string>
#include <vector>

// Turns a downloaded rate list (one text, comma-separated, nine fields per
// currency pair) into one quote per pair, in list order. Fields are texts
// and stay as they were, except that a field starting with "0" right after
// an empty field (one that is not the first of the text) loses that zero,
// judged by the text as downloaded. A group is decoded only when at least
// one more field follows its ninth, and only the first kMostPairs groups
// are. Anything that is not a rate list yields whatever its fields say, or
// nothing; no input makes it fail.
std::vector<RateQuote> DecodeRateList(const std::string& body);
