#include "rates/HistoryFile.h"
#include "rates/HistoryStore.h"

#include "base/UtcTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

struct UtcClockReset {
    ~UtcClockReset() { SetUtcTimeForTesting(kRealUtcClock); }
};

// Records as a run makes them: `updates` quotes each, 10 s apart from a
// day in 2026, so that long series are consolidated.
std::vector<FXRate> Records(std::size_t updates, std::size_t pairs = 2)
{
    UtcClockReset reset;
    const int64_t start = DaysFromCivil(2026, 9, 1) * kMillisecondsPerDay;
    std::vector<FXRate> records;
    for (std::size_t p = 0; p < pairs; ++p) {
        SetUtcTimeForTesting(start);
        RateQuote quote{p % 2 ? "USDJPY" : "EURUSD", "1.0850 - 53", "0.10", "1.0890", "1.0810", "1.0840"};
        records.emplace_back(quote);
        for (std::size_t i = 1; i < updates; ++i) {
            SetUtcTimeForTesting(start + static_cast<int64_t>(i) * 10000);
            quote.changeText =
                std::to_string(0.10 + static_cast<double>(static_cast<int>(i * 7919 % 201) - 100) / 1000);
            quote.priceText = "1.08" + std::to_string(i % 100);
            records.back().ApplyQuote(quote);
        }
    }
    return records;
}

std::string Difference(const FXRate& a, const FXRate& b)
{
    if (a.code != b.code || a.firstPriceText != b.firstPriceText || a.priceText != b.priceText ||
        a.changeText != b.changeText || a.openText != b.openText || a.lowText != b.lowText ||
        a.highText != b.highText)
        return "texts";
    if (a.trend != b.trend || a.rises != b.rises || a.falls != b.falls)
        return "counts";
    if (a.baseValue != b.baseValue || a.lowValue != b.lowValue || a.highValue != b.highValue)
        return "figures";
    if (a.historyShape.consolidated != b.historyShape.consolidated ||
        a.historyShape.level != b.historyShape.level || a.historyShape.partial != b.historyShape.partial)
        return "shape";
    if (a.history.size() != b.history.size())
        return "sample count";
    for (std::size_t i = 0; i < a.history.size(); ++i) {
        if (a.history[i].value != b.history[i].value || a.history[i].time != b.history[i].time)
            return "sample " + std::to_string(i);
    }
    return {};
}

const std::vector<FXRate>& Held()
{
    static const std::vector<FXRate> held{FXRate(RateQuote{"HELDHELD", "1", "0", "1", "1", "1"})};
    return held;
}

TEST(HistoryFile, RoundTripKeepsEveryRecordWhole)
{
    for (std::size_t updates : {std::size_t{1}, std::size_t{500}, std::size_t{40000}}) {
        SCOPED_TRACE(updates);
        const std::vector<FXRate> records = Records(updates, 3);
        const std::string bytes = EncodeHistoryFile(records);
        EXPECT_LE(bytes.size(), kMaxHistoryFileBytes);
        std::vector<FXRate> read = Held();
        std::string failure;
        ASSERT_TRUE(DecodeHistoryFile(bytes, read, failure)) << failure;
        ASSERT_EQ(read.size(), records.size());
        for (std::size_t i = 0; i < records.size(); ++i)
            EXPECT_EQ(Difference(read[i], records[i]), "") << i;
        // A loaded record goes on as if it had never been saved.
        UtcClockReset reset;
        SetUtcTimeForTesting(DaysFromCivil(2026, 12, 1) * kMillisecondsPerDay);
        FXRate continued = records[0];
        RateQuote next{"EURUSD", "1.09", "0.5", "1.1", "1.0", "1.0840"};
        continued.ApplyQuote(next);
        read[0].ApplyQuote(next);
        EXPECT_EQ(Difference(read[0], continued), "");
    }
    // A full series of the record's bound, and beyond the bound of records.
    const std::vector<FXRate> many = Records(1, kMaxSavedRecords + 5);
    std::vector<FXRate> read;
    std::string failure;
    ASSERT_TRUE(DecodeHistoryFile(EncodeHistoryFile(many), read, failure)) << failure;
    EXPECT_EQ(read.size(), kMaxSavedRecords) << "the first records, as many as allowed";
}

TEST(HistoryFile, AFileCutAtAnyByteIsRefused)
{
    const std::string bytes = EncodeHistoryFile(Records(60));
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        std::vector<FXRate> read = Held();
        std::string failure;
        ASSERT_FALSE(DecodeHistoryFile(bytes.substr(0, cut), read, failure)) << "cut at " << cut;
        ASSERT_EQ(failure.rfind("not a history file (", 0), 0u) << failure;
        ASSERT_EQ(read.size(), 1u);
        ASSERT_EQ(read[0].code, "HELDHELD") << "left as it was";
    }
    std::string failure;
    std::vector<FXRate> read;
    EXPECT_FALSE(DecodeHistoryFile(bytes + '\0', read, failure)) << "one byte too many";
}

TEST(HistoryFile, EveryFlippedBitIsCaught)
{
    const std::string bytes = EncodeHistoryFile(Records(40));
    for (std::size_t bit = 0; bit < bytes.size() * 8; ++bit) {
        std::string damaged = bytes;
        damaged[bit / 8] = static_cast<char>(damaged[bit / 8] ^ (1 << (bit % 8)));
        std::vector<FXRate> read = Held();
        std::string failure;
        ASSERT_FALSE(DecodeHistoryFile(damaged, read, failure)) << "bit " << bit;
        if (bit / 8 >= kHistoryFileHeaderBytes) {
            ASSERT_NE(failure.find("checksum"), std::string::npos) << bit << ": " << failure;
        }
        ASSERT_EQ(read[0].code, "HELDHELD");
    }
}

// The bytes of a file whose payload is `payload`, its header made to fit.
std::string WithHeader(const std::string& payload, uint32_t version = kHistoryFileVersion)
{
    std::string file = "QBHISTRY";
    for (uint32_t v : {version, static_cast<uint32_t>(payload.size()), Crc32(payload.data(), payload.size())})
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return file + payload;
}

TEST(HistoryFile, RefusesOtherVersionsSizesAndBrokenRecordsWhoseChecksumHolds)
{
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u) << "the CRC-32 check value";
    const std::string good = EncodeHistoryFile(Records(3));
    const std::string payload = good.substr(kHistoryFileHeaderBytes);
    ASSERT_EQ(WithHeader(payload), good);

    std::vector<FXRate> broken = Records(3);
    broken[0].baseValue = std::numeric_limits<float>::quiet_NaN();
    std::vector<FXRate> lowAboveBase = Records(3);
    lowAboveBase[1].lowValue = lowAboveBase[1].baseValue + 1.0f;
    std::vector<FXRate> backwards = Records(3);
    backwards[0].history[1].time = backwards[0].history[0].time - 1;
    std::vector<FXRate> badShape = Records(3);
    badShape[0].historyShape.consolidated = 3;
    std::vector<FXRate> noSamples = Records(3);
    noSamples[1].history.clear();
    std::vector<FXRate> freePrice = Records(3);
    freePrice[0].priceSeries = true;
    for (FXRate::TimeRate& sample : freePrice[0].history)
        sample.value = 1.0f;
    freePrice[0].history[1].value = 0.0f;
    // The first record's kind: just before its sample count and samples.
    std::string unknownKind = payload;
    unknownKind[EncodeHistoryFile(Records(3, 1)).size() - kHistoryFileHeaderBytes - 3 * kSavedSampleBytes -
                8] = 2;
    std::string manyRecords = payload;
    manyRecords[0] = static_cast<char>(0xFF);  // a record count beyond the bound
    std::string longSeries = EncodeHistoryFile(Records(1, 1)).substr(kHistoryFileHeaderBytes);
    const std::size_t countAt = longSeries.size() - kSavedSampleBytes - 4;
    longSeries[countAt + 3] = 0x01;  // 2^24 samples announced

    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"another version", WithHeader(payload, 3), "version 3"},
        {"a series of unknown kind", WithHeader(unknownKind), "unknown kind"},
        {"a price not above zero", EncodeHistoryFile(freePrice), "not above zero"},
        {"no header", "QBHIST", "header"},
        {"another magic", "XB" + good.substr(2), "header"},
        {"too large", std::string(kMaxHistoryFileBytes + 1, 'Q'), "larger"},
        {"a figure not finite", EncodeHistoryFile(broken), "not finite"},
        {"low above base", EncodeHistoryFile(lowAboveBase), "out of order"},
        {"samples back in time", EncodeHistoryFile(backwards), "time order"},
        {"a shape beyond its series", EncodeHistoryFile(badShape), "shape"},
        {"a record without samples", EncodeHistoryFile(noSamples), "shape"},
        {"records beyond the bound", WithHeader(manyRecords), "records"},
        {"a series beyond its bound", WithHeader(longSeries), "bound"},
        {"trailing bytes", WithHeader(payload + "x"), "after the last"},
    };
    for (const Case& c : cases) {
        std::vector<FXRate> read = Held();
        std::string failure;
        EXPECT_FALSE(DecodeHistoryFile(c.bytes, read, failure)) << c.name;
        EXPECT_NE(failure.find(c.reason), std::string::npos) << c.name << ": " << failure;
        EXPECT_EQ(read[0].code, "HELDHELD") << c.name;
    }
}

TEST(HistoryFile, KeepsPriceSeriesAndStillReadsTheFirstVersion)
{
    std::vector<FXRate> records = Records(5);
    records[1].priceSeries = true;
    for (FXRate::TimeRate& sample : records[1].history)
        sample.value += 2.0f;  // prices, above zero
    std::vector<FXRate> read;
    std::string failure;
    ASSERT_TRUE(DecodeHistoryFile(EncodeHistoryFile(records), read, failure)) << failure;
    ASSERT_EQ(read.size(), 2u);
    EXPECT_FALSE(read[0].priceSeries);
    EXPECT_TRUE(read[1].priceSeries);
    EXPECT_EQ(Difference(read[1], records[1]), "");

    // The first version had no kind: each record's four bytes before its
    // sample count are left out, and every series is one of change figures.
    const std::vector<FXRate> changes = Records(5, 1);
    std::string payload = EncodeHistoryFile(changes).substr(kHistoryFileHeaderBytes);
    payload.erase(payload.size() - 5 * kSavedSampleBytes - 8, 4);
    read.clear();
    ASSERT_TRUE(DecodeHistoryFile(WithHeader(payload, kFirstHistoryFileVersion), read, failure)) << failure;
    ASSERT_EQ(read.size(), 1u);
    EXPECT_FALSE(read[0].priceSeries);
    EXPECT_EQ(Difference(read[0], changes[0]), "");
}

// A fresh folder under the test's working folder.
std::string Folder(const char* name)
{
    const std::filesystem::path folder = std::filesystem::current_path() / "history-store" / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.string();
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(HistoryStore, LivesBesideTheSettings)
{
    EXPECT_EQ(HistoryPathBeside("C:\\Apps\\quillbrae.ini"), "C:\\Apps\\quillbrae.history");
    EXPECT_EQ(HistoryPathBeside("/home/me/quillbrae.ini"), "/home/me/quillbrae.history");
    EXPECT_EQ(HistoryPathBeside("C:\\my.apps\\quillbrae"), "C:\\my.apps\\quillbrae.history");
    EXPECT_EQ(HistoryPathBeside("quillbrae.ini"), "quillbrae.history");
}

TEST(HistoryStore, SavesByReplacingAndLoadsBack)
{
    const std::string path = Folder("round-trip") + "/quillbrae.history";
    std::vector<FXRate> read = Held();
    EXPECT_EQ(LoadHistoryFile(path, read), "") << "no file yet: nothing to say";
    EXPECT_EQ(read[0].code, "HELDHELD");

    const std::vector<FXRate> first = Records(300);
    ASSERT_TRUE(SaveHistoryFile(path, first));
    const std::vector<FXRate> second = Records(900, 3);
    ASSERT_TRUE(SaveHistoryFile(path, second)) << "an existing file is replaced";
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp")) << "nothing left aside";
    EXPECT_EQ(ReadAll(path), EncodeHistoryFile(second));

    SharedRates shared;
    EXPECT_EQ(LoadHistories(path, shared), "");
    {
        auto records = shared.Lock();
        ASSERT_EQ(records->size(), 3u);
        EXPECT_EQ(Difference((*records)[2], second[2]), "");
    }
    // A list already filled is newer than the file.
    SharedRates filled;
    filled.Lock()->push_back(Held()[0]);
    EXPECT_EQ(LoadHistories(path, filled), "");
    EXPECT_EQ(filled.Lock()->size(), 1u);

    SharedRates saved;
    *saved.Lock() = first;
    ASSERT_TRUE(SaveHistories(path, saved));
    EXPECT_EQ(ReadAll(path), EncodeHistoryFile(first));
    // Missing folders are made on the way; a file where a folder should be
    // cannot be, and the save says so.
    EXPECT_TRUE(SaveHistoryFile(path + ".d/new folder/quillbrae.history", first));
    EXPECT_FALSE(SaveHistoryFile(path + "/quillbrae.history", first));
    EXPECT_EQ(ReadAll(path), EncodeHistoryFile(first));
}

TEST(HistoryStore, ADamagedFileIsSetAsideOnceWithANote)
{
    const std::string folder = Folder("damaged");
    const std::string path = folder + "/quillbrae.history";
    std::string bytes = EncodeHistoryFile(Records(100));
    bytes[bytes.size() / 2] ^= 0x10;
    {
        std::ofstream out(path, std::ios::binary);
        out << "an older .bad file";
    }
    std::filesystem::rename(path, path + ".bad");
    {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    std::vector<FXRate> read;
    const std::string note = LoadHistoryFile(path, read);
    EXPECT_NE(note.find("checksum"), std::string::npos) << note;
    EXPECT_NE(note.find("kept as quillbrae.history.bad"), std::string::npos) << note;
    EXPECT_TRUE(read.empty()) << "starting without history";
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(ReadAll(path + ".bad"), bytes) << "the damaged file kept as it was, over the older one";
    EXPECT_EQ(LoadHistoryFile(path, read), "") << "said once: the next start finds no file";

    // Cut short, of another version: the same.
    for (const std::string& other :
         {EncodeHistoryFile(Records(10)).substr(0, 40),
          WithHeader(EncodeHistoryFile(Records(10)).substr(kHistoryFileHeaderBytes), 9)}) {
        {
            std::ofstream out(path, std::ios::binary);
            out << other;
        }
        EXPECT_NE(LoadHistoryFile(path, read), "");
        EXPECT_TRUE(read.empty());
        EXPECT_EQ(ReadAll(path + ".bad"), other);
    }
}

}  // namespace
