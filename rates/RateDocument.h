#pragma once
#include "rates/RateQuote.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

// What a rates document (a JSON rate object or array, the ECB's reference
// rates) says, once checked: one rate per pair, in document order.
struct DocumentRate {
    std::string code;       // base + quote in capitals, "EURUSD"
    std::string priceText;  // the rate's digits as the document writes them, in plain decimal
    double value = 0.0;     // finite and above zero
};

struct RateDocument {
    std::vector<DocumentRate> rates;
    std::string date;  // the day the document gives, when it gives one
};

// Bounds on a document, whatever its shape: no real source lists more than a
// few hundred currencies, and a body beyond a few megabytes is not a rate
// page (the HTTP client stops at 8 MiB).
inline constexpr std::size_t kMaxDocumentRates = kMostPairs;
inline constexpr std::size_t kMaxDocumentBytes = 4 * 1024 * 1024;
inline constexpr std::size_t kMaxRateTextBytes = 40;

// Collects the rates of one document and applies the rules every shape
// shares: currency codes are three ASCII letters (capitalised here); a quote
// equal to its base is skipped (open.er-api lists the base at 1), so is a
// pair already collected (the first one counts); the rate text reads whole
// as a finite number above zero. The text kept is the document's digits in
// plain decimal (PlainDecimalText): a figure in exponent form would be shown
// as it stands and read by its leading digits alone. The first broken rate
// makes the document fail with its reason.
class RateDocumentBuilder {
public:
    bool Add(const std::string& base, const std::string& quote, const std::string& rateText, double value);
    bool Add(const std::string& base, const std::string& quote, const std::string& rateText);
    void SetDate(const std::string& date);

    // The collected document; fails when it holds no rate at all.
    bool Finish(RateDocument& document);

    // Why the document is not a rate list, once something failed.
    const std::string& Failure() const { return failure; }
    bool Fail(const std::string& reason);

private:
    RateDocument collected;
    std::set<std::string> codes;  // of the collected rates
    std::string failure;
};

// Reads a rate's text as a whole number text (no sign, no white space, no
// hexadecimal, no "inf" or "nan"): false unless all of it is the number.
bool ReadDocumentNumber(const std::string& text, double& value);

// A number text (digits with at most one point, then perhaps an exponent
// "e-05") written out in plain decimal with the same significant digits:
// "6.12e-05" -> "0.0000612", "1.5E+3" -> "1500", ".5" -> "0.5", "1.0850" as
// it stands. Empty for anything else, or when the result would be longer
// than kMaxRateTextBytes.
std::string PlainDecimalText(const std::string& text);

// A text from a document as a failure message shows it: quoted, cut short,
// anything but printable ASCII as '?'.
std::string QuoteForFailure(const std::string& text);

// The failure every decoder reports, with its reason: "not a rate list (...)".
std::string NotARateList(const std::string& reason);
