#pragma once
#include "rates/RateDocument.h"

#include <string>

// Reads a JSON rates document, in either shape that public sources serve:
//  - an object with a "rates" object of currency -> number and its base in
//    "base" or "base_code" (Frankfurter's /v1/latest, open.er-api's
//    /v6/latest/USD), keys in any order;
//  - an array of objects with "base", "quote" and "rate" (Frankfurter's
//    /v2/rates).
// Other members are skipped. Each rate's text is the number as the document
// writes it, in plain decimal (RateDocumentBuilder). On failure returns false with the reason ("not a rate list (...)")
// and leaves `document` as it was. The parse is event-driven: nothing is
// built but the rates, and nesting beyond 32 levels is refused.
bool DecodeJsonRates(const std::string& body, RateDocument& document, std::string& failure);
