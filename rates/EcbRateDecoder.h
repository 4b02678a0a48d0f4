#pragma once
#include "rates/RateDocument.h"

#include <string>

// Reads the ECB's euro reference rates (eurofxref-daily.xml): every
// `<Cube currency='USD' rate='1.0855'/>` is one rate of the euro, and the
// `time` of the enclosing `<Cube time='...'>` is the document's day. In the
// longer history files, whose days stand newest first, only the first day
// is taken. The scanner reads elements, attributes, comments, processing
// instructions and CDATA sections, and checks that the elements nest and
// close; it refuses declarations (DOCTYPE), so no entity is ever expanded.
// On failure returns false with the reason ("not a rate list (...)") and
// leaves `document` as it was.
bool DecodeEcbRates(const std::string& body, RateDocument& document, std::string& failure);
