#pragma once
#include "rates/RateDocument.h"

#include <cstddef>
#include <string>
#include <vector>

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

// Reads every day of an ECB history file (eurofxref-hist-90d.xml, the same
// XML with one `<Cube time='...'>` a day), each day a document with its
// rates and its date, in the file's order, under the same rules; a day
// without a rate fails, so does a file of more than `mostDays` days. On
// failure `days` is left as it was.
bool DecodeEcbDays(const std::string& body, std::vector<RateDocument>& days, std::size_t mostDays,
                   std::string& failure);
