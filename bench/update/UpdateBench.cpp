// The update cycle: a whole cycle against the local feed on loopback (wall
// time, and the CPU time of the thread that runs it), the time the merge
// holds the record list's lock, and the memory that the records hold per
// stored sample after a long run.
#include "http/SocketLibrary.h"
#include "rates/RateListDecoder.h"
#include "update/UpdateRates.h"
#include "tests/tools/RunningFeed.h"
#include "tools/feed/RateFeed.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {
constexpr std::size_t kPairs = 20;

// Quote lists from the feed's own walk, decoded once: the merge then sees
// the rises, falls and repeats of real traffic.
std::vector<std::vector<RateQuote>> FeedQuotes(std::size_t lists)
{
    RateFeed feed(9, kPairs);
    std::vector<std::vector<RateQuote>> quotes;
    for (std::size_t i = 0; i < lists; ++i)
        quotes.push_back(DecodeRateList(feed.NextList()));
    return quotes;
}

// Heap bytes in use (glibc), to count what the vectors' storage costs
// including the allocator's own overhead.
std::size_t HeapInUse() { return mallinfo2().uordblks; }

// Download (two HEAD probes and a GET, each on its own connection, as the
// client does it), decode and merge. Benchmark's CPU column is the CPU time
// of this thread only: the cycle's own, without the feed's.
void BM_UpdateCycleAgainstLoopbackFeed(benchmark::State& state)
{
    SocketLibrary sockets;
    RunningFeed feed(FeedServer::Limits(), 5, kPairs);
    if (!feed.Listening()) {
        state.SkipWithError("the feed could not listen");
        return;
    }
    const std::string url = feed.Url();
    SharedRates rates;
    UpdateRates(rates, url);  // populate, so every iteration is an update
    for (auto _ : state)
        UpdateRates(rates, url);
    const auto access = rates.Lock();
    if (access->size() != kPairs || access->front().history.size() != static_cast<std::size_t>(state.iterations()) + 1)
        state.SkipWithError("a cycle did not update every pair");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_UpdateCycleAgainstLoopbackFeed)->Unit(benchmark::kMicrosecond)->UseRealTime();

// What readers may have to wait for: one merge of a 20-pair list into a
// populated record list, the only work done under the lock.
void BM_MergeUnderTheLock(benchmark::State& state)
{
    const std::vector<std::vector<RateQuote>> quotes = FeedQuotes(64);
    SharedRates rates;
    MergeQuotes(*rates.Lock(), quotes[0]);
    std::size_t next = 1;
    for (auto _ : state) {
        auto access = rates.Lock();
        MergeQuotes(*access, quotes[next]);
        next = (next + 1) % quotes.size();
    }
}
BENCHMARK(BM_MergeUnderTheLock)->Unit(benchmark::kNanosecond);

// A long run: 100,000 cycles of 20 pairs merged into one list (at a 12 s
// interval that is about two weeks). Reports the bytes per stored sample of
// the histories' storage (capacity) and of the heap as a whole, against the
// 8-byte floor of one sample.
void BM_MemoryPerSampleAfterALongRun(benchmark::State& state)
{
    const std::size_t cycles = static_cast<std::size_t>(state.range(0));
    const std::vector<std::vector<RateQuote>> quotes = FeedQuotes(256);
    double capacityPerSample = 0, heapPerSample = 0;
    for (auto _ : state) {
        const std::size_t heapBefore = HeapInUse();
        std::vector<FXRate> rates;
        for (std::size_t cycle = 0; cycle < cycles; ++cycle)
            MergeQuotes(rates, quotes[cycle % quotes.size()]);
        std::size_t samples = 0, capacity = 0;
        for (const FXRate& rate : rates) {
            samples += rate.history.size();
            capacity += rate.history.capacity();
        }
        const std::size_t heapAfter = HeapInUse();
        capacityPerSample = static_cast<double>(capacity * sizeof(FXRate::TimeRate)) / static_cast<double>(samples);
        heapPerSample = static_cast<double>(heapAfter - heapBefore) / static_cast<double>(samples);
        if (samples != cycles * kPairs)
            state.SkipWithError("not one sample per cycle and pair");
    }
    state.counters["samples"] = static_cast<double>(cycles * kPairs);
    state.counters["capacity_B_per_sample"] = capacityPerSample;
    state.counters["heap_B_per_sample"] = heapPerSample;
    state.counters["floor_B_per_sample"] = static_cast<double>(sizeof(FXRate::TimeRate));
}
BENCHMARK(BM_MemoryPerSampleAfterALongRun)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
}  // namespace
