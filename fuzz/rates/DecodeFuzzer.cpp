// Arbitrary bytes as a downloaded rate list: the decoder must agree with
// the literal decoding, and records made and updated from whatever it
// yields must keep their rules.
#include "rates/FXRate.h"
#include "rates/RateListDecoder.h"
#include "tests/rates/LiteralRateListDecoder.h"
#include "tests/rates/RecordChecks.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Require(const std::string& broken, const char* where)
{
    if (!broken.empty()) {
        std::fprintf(stderr, "%s: %s\n", where, broken.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string body(reinterpret_cast<const char*>(data), size);
    std::vector<RateQuote> quotes = DecodeRateList(body);
    std::vector<RateQuote> expected = LiteralDecodeRateList(body);
    if (quotes.size() != expected.size())
        Require("quote count differs from the literal decoding", "decode");
    for (size_t k = 0; k < quotes.size(); ++k) {
        if (!SameQuote(quotes[k], expected[k]))
            Require("quote differs from the literal decoding", "decode");
    }

    // Merge as an update cycle would: the first quote of a code makes its
    // record, every later one updates it.
    std::vector<FXRate> records;
    for (const RateQuote& quote : quotes) {
        FXRate* found = nullptr;
        for (FXRate& record : records) {
            if (record.code == quote.code) {
                found = &record;
                break;
            }
        }
        if (found) {
            Require(ApplyAndCheck(*found, quote), "apply");
        } else {
            records.emplace_back(quote);
            Require(CheckRecord(records.back()), "construct");
            if (records.back().history.size() != 1 || records.back().trend != FXRate::Unchanged)
                Require("a new record must hold one sample and show as unchanged", "construct");
        }
    }
    return 0;
}
