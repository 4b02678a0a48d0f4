// Decoding rate lists and merging them into records, at the size of a
// typical provider list (20 pairs) and of a large one (2,000 pairs).
// One benchmark iteration is one list, so the reported time is per list.
#include "rates/FXRate.h"
#include "rates/RateListDecoder.h"
#include "tests/rates/LiteralRateListDecoder.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {

std::string PairCode(std::size_t index)
{
    static const char* currencies[] = {"USD", "EUR", "JPY", "GBP", "AUD", "CHF", "CAD", "NZD", "ZAR", "HKD"};
    std::string code = std::string(currencies[index % 10]) + currencies[(index / 10 + index + 1) % 10];
    if (index >= 20)
        code += std::to_string(index);
    return code;
}

// A list as the provider sends it: nine fields per pair, the unused ninth
// field empty, a comma behind the last group. `round` moves the change
// figures so that consecutive lists rise and fall.
std::string MakeList(std::size_t pairs, int round)
{
    std::string body;
    for (std::size_t i = 0; i < pairs; ++i) {
        int base = 100 + static_cast<int>(i % 50);
        int change = static_cast<int>((i * 7 + static_cast<std::size_t>(round) * 3) % 41) - 20;
        std::string sign = change < 0 ? "-" : "+";
        int magnitude = change < 0 ? -change : change;
        body += PairCode(i) + "," + std::to_string(base) + ".253," + std::to_string(base) + ".283,1," +
                std::to_string(base) + ".512," + std::to_string(base - 1) + ".876," + sign + "0." +
                std::to_string(100 + magnitude).substr(1) + "%," + std::to_string(base) + ".020,,";
    }
    return body;
}

void BM_DecodeRateList(benchmark::State& state)
{
    std::size_t pairs = static_cast<std::size_t>(state.range(0));
    std::string body = MakeList(pairs, 0);
    for (auto _ : state) {
        std::vector<RateQuote> quotes = DecodeRateList(body);
        benchmark::DoNotOptimize(quotes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pairs));
    state.counters["list_bytes"] = static_cast<double>(body.size());
}
BENCHMARK(BM_DecodeRateList)->Arg(20)->Arg(2000);

// The same lists through copy, ReplaceAll and Split, for comparison.
void BM_LiteralDecodeRateList(benchmark::State& state)
{
    std::string body = MakeList(static_cast<std::size_t>(state.range(0)), 0);
    for (auto _ : state) {
        std::vector<RateQuote> quotes = LiteralDecodeRateList(body);
        benchmark::DoNotOptimize(quotes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_LiteralDecodeRateList)->Arg(20)->Arg(2000);

double HistoryBytesPerSample(const std::vector<FXRate>& records)
{
    std::size_t samples = 0;
    std::size_t capacity = 0;
    for (const FXRate& record : records) {
        samples += record.history.size();
        capacity += record.history.capacity();
    }
    return samples ? static_cast<double>(capacity * sizeof(FXRate::TimeRate)) / static_cast<double>(samples) : 0;
}

// Decode a list and apply every quote to its record, as each update does
// once the records exist (the record lookup by code is left out).
void BM_DecodeAndApply(benchmark::State& state)
{
    std::size_t pairs = static_cast<std::size_t>(state.range(0));
    std::vector<std::string> bodies;
    for (int round = 0; round < 8; ++round)
        bodies.push_back(MakeList(pairs, round));
    std::vector<FXRate> records;
    for (const RateQuote& quote : DecodeRateList(bodies[0]))
        records.emplace_back(quote);
    std::size_t next = 1;
    for (auto _ : state) {
        std::vector<RateQuote> quotes = DecodeRateList(bodies[next]);
        for (std::size_t i = 0; i < quotes.size(); ++i)
            records[i].ApplyQuote(quotes[i]);
        next = (next + 1) % bodies.size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pairs));
    state.counters["bytes_per_sample"] = HistoryBytesPerSample(records);
}
BENCHMARK(BM_DecodeAndApply)->Arg(20)->Arg(2000);

// One record through a day of updates at the shortest interval (8,640
// samples): the storage its history holds per sample at the end of the day.
void BM_RecordDay(benchmark::State& state)
{
    std::size_t updates = static_cast<std::size_t>(state.range(0));
    std::vector<RateQuote> quotes = DecodeRateList(MakeList(20, 0));
    std::vector<RateQuote> later = DecodeRateList(MakeList(20, 1));
    double bytesPerSample = 0;
    for (auto _ : state) {
        std::vector<FXRate> records{FXRate(quotes[0])};
        for (std::size_t i = 1; i < updates; ++i)
            records[0].ApplyQuote(i % 2 ? later[0] : quotes[0]);
        bytesPerSample = HistoryBytesPerSample(records);
        benchmark::DoNotOptimize(records.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * updates));
    state.counters["bytes_per_sample"] = bytesPerSample;
}
BENCHMARK(BM_RecordDay)->Arg(8640)->Unit(benchmark::kMicrosecond);

}  // namespace
