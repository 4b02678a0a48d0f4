// Arbitrary bytes as a history file. Its checksum would turn nearly every
// input away at the door, so an input whose first byte is even is taken as a
// payload and given a header that fits it (of this version when the byte is
// a multiple of four, of the first version otherwise); an odd one is read
// as a whole file. Either it fails with "not a history file (...)" and
// leaves the records it was given alone, or it gives records within the
// bounds that keep their rules, that encode back to the very same bytes (a
// first-version file: to bytes that read back the same) and that go on
// taking samples within their bound.
#include "rates/BoundedHistory.h"
#include "rates/FXRate.h"
#include "rates/HistoryFile.h"
#include "tests/rates/RecordChecks.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

std::string WithHeader(const std::string& payload, uint32_t version)
{
    std::string file = "QBHISTRY";
    for (uint32_t v : {version, static_cast<uint32_t>(payload.size()),
                       Crc32(payload.data(), payload.size())}) {
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    return file + payload;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string bytes =
        data[0] % 2 == 1 ? rest
                         : WithHeader(rest, data[0] % 4 == 0 ? kHistoryFileVersion : kFirstHistoryFileVersion);
    std::vector<FXRate> records{FXRate(RateQuote{"HELDHELD", "1", "0", "1", "1", "1"})};
    std::string failure;
    if (!DecodeHistoryFile(bytes, records, failure)) {
        Require(failure.rfind("not a history file (", 0) == 0, "a failure names itself");
        Require(records.size() == 1 && records[0].code == "HELDHELD", "a failure keeps the records");
        return 0;
    }
    Require(records.size() <= kMaxSavedRecords, "records within their bound");
    const std::string again = EncodeHistoryFile(records);
    if (bytes[8] == static_cast<char>(kHistoryFileVersion)) {
        Require(again == bytes, "a file read encodes back to itself");
    } else {
        std::vector<FXRate> reread;
        Require(DecodeHistoryFile(again, reread, failure) && EncodeHistoryFile(reread) == again,
                "a first-version file is written again as this version, whole");
    }
    const std::size_t most = MostHistorySamples(kRecordHistoryLimits);
    for (FXRate& record : records) {
        Require(!record.history.empty() && record.history.size() <= most, "series within the bound");
        Require(record.code.size() <= kMaxSavedTextBytes, "texts within the bound");
        // A loaded record takes updates as any other; a few hundred take it
        // through a consolidation when it was loaded near its bound.
        RateQuote quote{record.code, "1.1", "0.25", "1.2", "1.0", record.openText};
        for (int i = 0; i < 300; ++i) {
            quote.changeText = i % 2 ? "0.25" : "-0.5";
            record.ApplyQuote(quote);
            Require(record.history.size() <= most && record.history.capacity() <= most,
                    "a loaded series stays within its bound");
        }
        for (const FXRate::TimeRate& sample : record.history)
            Require(std::isfinite(sample.value), "samples stay finite");
    }
    return 0;
}
