#include "rates/HistoryFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr char kMagic[8] = {'Q', 'B', 'H', 'I', 'S', 'T', 'R', 'Y'};

// A series' kind as the file writes it.
constexpr uint32_t kChangeSeries = 0;
constexpr uint32_t kPriceSeries = 1;

constexpr std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

class Writer {
public:
    explicit Writer(std::string& target) : out(target) {}
    void U16(uint16_t v)
    {
        for (int i = 0; i < 2; ++i)
            out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void U64(uint64_t v)
    {
        for (int i = 0; i < 8; ++i)
            out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void F32(float v)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        U32(bits);
    }
    void Text(const std::string& text)
    {
        const std::size_t size = std::min(text.size(), kMaxSavedTextBytes);
        U16(static_cast<uint16_t>(size));
        out.append(text, 0, size);
    }

private:
    std::string& out;
};

// Reads within [at, end) of the bytes; every read past the end fails and
// leaves the reader failed.
class Reader {
public:
    Reader(const std::string& bytes, std::size_t first, std::size_t last) : data(bytes), at(first), end(last)
    {
    }
    bool Take(std::size_t count, uint64_t& value)
    {
        if (!ok || end - at < count)
            return ok = false;
        value = 0;
        for (std::size_t i = 0; i < count; ++i)
            value |= uint64_t{static_cast<unsigned char>(data[at + i])} << (8 * i);
        at += count;
        return true;
    }
    uint32_t U32()
    {
        uint64_t v = 0;
        Take(4, v);
        return static_cast<uint32_t>(v);
    }
    int64_t I64()
    {
        uint64_t v = 0;
        Take(8, v);
        return static_cast<int64_t>(v);
    }
    float F32()
    {
        const uint32_t bits = U32();
        float v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    bool Text(std::string& text)
    {
        uint64_t size = 0;
        if (!Take(2, size) || size > kMaxSavedTextBytes || end - at < size)
            return ok = false;
        text.assign(data, at, static_cast<std::size_t>(size));
        at += static_cast<std::size_t>(size);
        return true;
    }
    std::size_t Left() const { return end - at; }
    bool ok = true;

private:
    const std::string& data;
    std::size_t at;
    std::size_t end;
};

// The rules a loaded record must keep, as a record of this program always
// does; the reason it does not, or empty.
std::string Broken(const FXRate& record)
{
    if (!std::isfinite(record.baseValue) || !std::isfinite(record.lowValue) ||
        !std::isfinite(record.highValue))
        return "a figure that is not finite";
    if (!(record.lowValue <= record.baseValue && record.baseValue <= record.highValue))
        return "low, base and high out of order";
    if (record.trend != FXRate::Unchanged && record.trend != FXRate::Rose && record.trend != FXRate::Fell)
        return "an unknown trend";
    if (record.rises < 0 || record.falls < 0)
        return "a negative count";
    const HistoryShape& shape = record.historyShape;
    // As AppendToHistory leaves every series: fewer aged samples than make
    // a batch beyond the exact part, a consolidated part within its limit.
    const HistoryLimits& limits = kRecordHistoryLimits;
    if (record.history.empty() || shape.consolidated >= record.history.size() ||
        record.history.size() - 1 - shape.consolidated >= limits.exact + limits.batch ||
        shape.consolidated > std::max<std::size_t>(limits.consolidated, 2) || shape.level > 29 ||
        shape.partial > (uint32_t{2} << shape.level) * 2)
        return "a series that does not fit its shape";
    for (std::size_t i = 0; i < record.history.size(); ++i) {
        if (!std::isfinite(record.history[i].value))
            return "a sample that is not finite";
        if (record.priceSeries && !(record.history[i].value > 0.0f))
            return "a price that is not above zero";
        if (i > 0 && record.history[i].time < record.history[i - 1].time)
            return "samples out of time order";
    }
    return {};
}

bool Fail(std::string& failure, const std::string& reason)
{
    failure = "not a history file (" + reason + ")";
    return false;
}

}  // namespace

uint32_t Crc32(const void* data, std::size_t size)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        c = kCrcTable[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string EncodeHistoryFile(const std::vector<FXRate>& records)
{
    std::string payload;
    Writer w(payload);
    const std::size_t count = std::min(records.size(), kMaxSavedRecords);
    w.U32(static_cast<uint32_t>(count));
    for (std::size_t r = 0; r < count; ++r) {
        const FXRate& record = records[r];
        for (const std::string* text :
             {&record.code, &record.firstPriceText, &record.priceText, &record.changeText, &record.openText,
              &record.lowText, &record.highText})
            w.Text(*text);
        w.U32(static_cast<uint32_t>(record.trend));
        w.U32(static_cast<uint32_t>(record.rises));
        w.U32(static_cast<uint32_t>(record.falls));
        w.F32(record.baseValue);
        w.F32(record.lowValue);
        w.F32(record.highValue);
        w.U32(record.historyShape.consolidated);
        w.U32(record.historyShape.level);
        w.U32(record.historyShape.partial);
        w.U32(record.priceSeries ? kPriceSeries : kChangeSeries);
        // A series is never longer than its bound; should one be, its
        // newest samples are the ones kept.
        const std::size_t most = MostHistorySamples(kRecordHistoryLimits);
        const std::size_t first = record.history.size() > most ? record.history.size() - most : 0;
        w.U32(static_cast<uint32_t>(record.history.size() - first));
        for (std::size_t i = first; i < record.history.size(); ++i) {
            w.F32(record.history[i].value);
            w.U64(static_cast<uint64_t>(record.history[i].time));
        }
    }
    std::string file(kMagic, sizeof kMagic);
    Writer h(file);
    h.U32(kHistoryFileVersion);
    h.U32(static_cast<uint32_t>(payload.size()));
    h.U32(Crc32(payload.data(), payload.size()));
    return file + payload;
}

bool DecodeHistoryFile(const std::string& bytes, std::vector<FXRate>& records, std::string& failure)
{
    if (bytes.size() > kMaxHistoryFileBytes)
        return Fail(failure, "larger than " + std::to_string(kMaxHistoryFileBytes) + " bytes");
    if (bytes.size() < kHistoryFileHeaderBytes || bytes.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0)
        return Fail(failure, "no history file header");
    Reader header(bytes, sizeof kMagic, kHistoryFileHeaderBytes);
    const uint32_t version = header.U32();
    const uint32_t length = header.U32();
    const uint32_t checksum = header.U32();
    if (version != kHistoryFileVersion && version != kFirstHistoryFileVersion)
        return Fail(failure, "format version " + std::to_string(version) + ", not " +
                                 std::to_string(kHistoryFileVersion));
    if (length != bytes.size() - kHistoryFileHeaderBytes)
        return Fail(failure,
                    "cut short or run on: " + std::to_string(bytes.size() - kHistoryFileHeaderBytes) +
                        " bytes of a " + std::to_string(length) + "-byte payload");
    if (Crc32(bytes.data() + kHistoryFileHeaderBytes, length) != checksum)
        return Fail(failure, "the checksum does not hold");

    Reader r(bytes, kHistoryFileHeaderBytes, bytes.size());
    const uint32_t count = r.U32();
    if (count > kMaxSavedRecords)
        return Fail(failure, "more than " + std::to_string(kMaxSavedRecords) + " records");
    std::vector<FXRate> read;
    read.reserve(count);
    for (uint32_t n = 0; n < count && r.ok; ++n) {
        FXRate record{RateQuote{}};
        for (std::string* text : {&record.code, &record.firstPriceText, &record.priceText, &record.changeText,
                                  &record.openText, &record.lowText, &record.highText})
            r.Text(*text);
        record.trend = static_cast<int32_t>(r.U32());
        record.rises = static_cast<int32_t>(r.U32());
        record.falls = static_cast<int32_t>(r.U32());
        record.baseValue = r.F32();
        record.lowValue = r.F32();
        record.highValue = r.F32();
        record.historyShape.consolidated = r.U32();
        record.historyShape.level = r.U32();
        record.historyShape.partial = r.U32();
        // The first version knew change series only.
        const uint32_t kind = version == kFirstHistoryFileVersion ? kChangeSeries : r.U32();
        if (r.ok && kind != kChangeSeries && kind != kPriceSeries)
            return Fail(failure, "record " + std::to_string(n + 1) + ": a series of unknown kind");
        record.priceSeries = kind == kPriceSeries;
        const uint32_t samples = r.U32();
        if (!r.ok)
            break;
        if (samples > MostHistorySamples(kRecordHistoryLimits) || samples > r.Left() / kSavedSampleBytes)
            return Fail(failure, "a series beyond its bound");
        record.history.clear();
        record.history.reserve(samples);
        for (uint32_t i = 0; i < samples; ++i) {
            const float value = r.F32();
            const int64_t time = r.I64();
            record.history.push_back(RateSample{value, time});
        }
        const std::string broken = Broken(record);
        if (!broken.empty())
            return Fail(failure, "record " + std::to_string(n + 1) + ": " + broken);
        read.push_back(std::move(record));
    }
    if (!r.ok)
        return Fail(failure, "a record cut short");
    if (r.Left() != 0)
        return Fail(failure, "bytes after the last record");
    records = std::move(read);
    return true;
}
