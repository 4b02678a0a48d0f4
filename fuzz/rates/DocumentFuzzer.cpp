// Arbitrary bytes as a JSON or ECB rates document (QB_DOCUMENT_DECODER picks
// the decoder): it succeeds with rates that keep every rule of a document, or
// fails with its reason and leaves the document alone; records made and
// updated from what it yields keep their rules.
#include "rates/DocumentQuotes.h"
#include "rates/EcbRateDecoder.h"
#include "rates/FXRate.h"
#include "rates/JsonRateDecoder.h"
#include "tests/rates/RecordChecks.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

void Require(bool holds, const char* rule)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", rule);
        std::abort();
    }
}

bool IsCode(const std::string& code)
{
    if (code.size() != 6 || code.compare(0, 3, code, 3, 3) == 0)
        return false;
    for (char c : code) {
        if (c < 'A' || c > 'Z')
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    RateDocument document;
    document.rates.push_back({"HELDHELD", "held", 1.0});
    std::string failure;
    if (!QB_DOCUMENT_DECODER(body, document, failure)) {
        Require(failure.rfind("not a rate list (", 0) == 0, "a failure names itself");
        Require(document.rates.size() == 1 && document.rates[0].code == "HELDHELD", "a failure keeps the document");
        return 0;
    }
    Require(failure.empty(), "success gives no failure");
    Require(!document.rates.empty() && document.rates.size() <= kMaxDocumentRates, "rate count within bounds");
    std::set<std::string> codes;
    for (const DocumentRate& rate : document.rates) {
        Require(IsCode(rate.code), "codes are two different currencies in capitals");
        Require(codes.insert(rate.code).second, "each pair once");
        Require(std::isfinite(rate.value) && rate.value > 0.0, "rates are finite and positive");
        Require(!rate.priceText.empty() && rate.priceText.size() <= kMaxRateTextBytes, "rate text bounded");
        Require(rate.priceText.find_first_not_of("0123456789.") == std::string::npos,
                "rate text in plain decimal");
        double again = 0.0;
        Require(ReadDocumentNumber(rate.priceText, again) && again == rate.value, "the text reads as the value");
    }

    // Two cycles of the same document: records made, then updated; the
    // second cycle's change figures are all "+0.00".
    std::vector<FXRate> records;
    for (const RateQuote& quote : QuotesFromDocument(document, records)) {
        Require(quote.changeText == "+0.00", "a first price opens its pair");
        records.emplace_back(quote);
        Require(CheckRecord(records.back()).empty(), "a new record keeps its rules");
    }
    const std::vector<RateQuote> quotes = QuotesFromDocument(document, records);
    for (std::size_t i = 0; i < quotes.size(); ++i) {
        Require(quotes[i].changeText == "+0.00" && quotes[i].openText == records[i].openText,
                "the same price again is no change");
        Require(ApplyAndCheck(records[i], quotes[i]).empty(), "an update keeps the record's rules");
    }
    return 0;
}
