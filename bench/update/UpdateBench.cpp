// The update cycle: a whole cycle against the local feed on loopback (wall
// time, and the CPU time of the thread that runs it), the time the merge
// holds the record list's lock (also in the cycles that consolidate the
// histories), and the memory that the records hold after a simulated month.
#include "http/SocketLibrary.h"
#include "rates/CrossRates.h"
#include "rates/DocumentQuotes.h"
#include "rates/RateListDecoder.h"
#include "tests/tools/RunningFeed.h"
#include "tools/feed/RateFeed.h"
#include "update/UpdateRates.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
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
std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

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
    const std::size_t samples = static_cast<std::size_t>(state.iterations()) + 1;
    if (access->size() != kPairs ||
        (samples <= kRecordHistoryLimits.exact && access->front().history.size() != samples))
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

// The merges that consolidate: every 2,048th cycle each history thins the
// samples that aged out of its newest day (Arg 1), and now and then that
// also halves its consolidated part (Arg 2). All pairs do it in the same
// cycle, under the lock. The list is brought to the state just before such
// a merge outside the timing.
void BM_MergeUnderTheLockWhileConsolidating(benchmark::State& state)
{
    const bool halving = state.range(0) == 2;
    const std::vector<std::vector<RateQuote>> quotes = FeedQuotes(256);
    std::vector<FXRate> rates;
    std::vector<FXRate> before;
    for (std::size_t cycle = 0; before.empty() && cycle < 200000; ++cycle) {
        const std::vector<RateQuote>& list = quotes[cycle % quotes.size()];
        const FXRate* first = rates.empty() ? nullptr : &rates.front();
        const bool ages = first != nullptr && first->history.size() - first->historyShape.consolidated ==
                                                  kRecordHistoryLimits.exact + kRecordHistoryLimits.batch;
        if (!ages) {
            MergeQuotes(rates, list);
            continue;
        }
        std::vector<FXRate> saved = rates;
        const uint32_t level = first->historyShape.level;
        MergeQuotes(rates, list);
        if ((rates.front().historyShape.level != level) == halving && rates.front().historyShape.level > 0)
            before = std::move(saved);
    }
    if (before.empty()) {
        state.SkipWithError("no consolidating merge found");
        return;
    }
    SharedRates shared;
    for (auto _ : state) {
        state.PauseTiming();
        *shared.Lock() = before;
        state.ResumeTiming();
        auto access = shared.Lock();
        MergeQuotes(*access, quotes[1]);
    }
    state.counters["level"] = static_cast<double>(shared.Lock()->front().historyShape.level);
}
BENCHMARK(BM_MergeUnderTheLockWhileConsolidating)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The largest list a source may send: 1,000 pairs of distinct codes, merged
// into the 1,000 records the first such list made. Arg 0 is the list's
// merge, Arg 1 a document's (its quotes made against the records, then
// merged), both under the lock as the update cycle holds it.
std::string SixLetterCode(std::size_t n)
{
    std::string code(6, 'A');
    for (std::size_t i = 6; i-- > 0; n /= 26)
        code[i] = static_cast<char>('A' + n % 26);
    return code;
}

void BM_MergeThousandPairsUnderTheLock(benchmark::State& state)
{
    constexpr std::size_t kMost = 1000;
    const bool document = state.range(0) == 1;
    std::vector<std::vector<RateQuote>> lists(2);
    RateDocument documents[2];
    for (std::size_t list = 0; list < 2; ++list) {
        for (std::size_t i = 0; i < kMost; ++i) {
            // Distinct codes in another order each time, so no lookup finds
            // its record where the last one stood.
            const std::size_t n = list == 0 ? i : kMost - 1 - i;
            RateQuote quote;
            quote.code = SixLetterCode(n * 7919);
            quote.priceText = list == 0 ? "1.2345 - 67" : "1.2346 - 68";
            quote.changeText = list == 0 ? "0.10%" : "0.20%";
            quote.highText = "1.2400";
            quote.lowText = "1.2300";
            quote.openText = "1.2340";
            lists[list].push_back(quote);
            documents[list].rates.push_back(
                DocumentRate{quote.code, list == 0 ? "1.2345" : "1.2346", list == 0 ? 1.2345 : 1.2346});
        }
    }
    SharedRates rates;
    {
        auto access = rates.Lock();
        MergeQuotes(*access, document ? QuotesFromDocument(documents[0], *access) : lists[0]);
    }
    std::size_t next = 1;
    for (auto _ : state) {
        auto access = rates.Lock();
        if (document)
            MergeQuotes(*access, QuotesFromDocument(documents[next], *access));
        else
            MergeQuotes(*access, lists[next]);
        next = 1 - next;
    }
    const auto access = rates.Lock();
    const std::size_t last = 1 - next;
    const bool updated = std::all_of(access->begin(), access->end(), [&](const FXRate& record) {
        return record.priceText.compare(0, 6, documents[last].rates[0].priceText) == 0;
    });
    if (access->size() != kMost || !updated)
        state.SkipWithError("a merge did not update every pair");
}
BENCHMARK(BM_MergeThousandPairsUnderTheLock)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// An ECB-sized dated page (30 pairs) merged as a cycle does it under the
// lock: Arg 0 without a history, Arg 1 with the 63 working days of the
// 90-day file held (change figures against the previous fixing, the
// fixings' check in each record's price series), Arg 2 with two wanted
// crosses on the page and their days in the history (making those days is
// paid once, when the history or the wanted pairs change, and is not in
// this figure).
void BM_DatedPageUnderTheLock(benchmark::State& state)
{
    constexpr std::size_t kPagePairs = 30;
    constexpr int64_t kDay = 24 * 3600 * 1000;
    const int64_t firstDay = int64_t{20000} * kDay + kFixingMillisecondOfDay;
    RateHistory history;
    RateDocument page;
    page.date = "2024-12-06";  // day 20063, the one after the history's last
    for (std::size_t p = 0; p < kPagePairs; ++p) {
        PairHistory pair{"EUR" + SixLetterCode(p * 31).substr(3), {}};
        for (int64_t day = 0; day < 63; ++day)
            pair.points.push_back({firstDay + day * kDay, 1.0 + 0.001 * static_cast<double>((day + p) % 17)});
        history.pairs.push_back(pair);
        page.rates.push_back(DocumentRate{pair.code, "1.0123", 1.0123});
    }
    if (state.range(0) == 2) {
        const std::vector<std::string> crosses{history.pairs[1].code.substr(3) + history.pairs[2].code.substr(3),
                                               history.pairs[3].code.substr(3) + history.pairs[4].code.substr(3)};
        AddCrossHistories(history, crosses);
        AddCrossRates(page, crosses);
    }
    const bool held = state.range(0) > 0;
    SharedRates rates;
    for (auto _ : state) {
        auto access = rates.Lock();
        if (held) {
            const std::vector<RateQuote> quotes = QuotesFromDocument(page, *access, history);
            MergeQuotes(*access, quotes);
            TakeOpeningTexts(*access, quotes);
            TakeFixingSamples(*access, history);
        } else {
            MergeQuotes(*access, QuotesFromDocument(page, *access));
        }
    }
    const auto access = rates.Lock();
    if (access->size() != page.rates.size() || (held && access->back().history.size() != 64))
        state.SkipWithError("the page did not make a price a day");
}
BENCHMARK(BM_DatedPageUnderTheLock)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// A simulated month: 30 days of cycles at the shortest interval (259,200
// cycles of 20 pairs) merged into one list. Reports what a pair's history
// holds and takes (its storage and the heap as a whole), against the bound.
void BM_MemoryPerPairAfterAMonth(benchmark::State& state)
{
    const std::size_t cycles = static_cast<std::size_t>(state.range(0));
    const std::vector<std::vector<RateQuote>> quotes = FeedQuotes(256);
    double samplesPerPair = 0, capacityPerPair = 0, heapPerPair = 0;
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
        const double pairs = static_cast<double>(rates.size());
        samplesPerPair = static_cast<double>(samples) / pairs;
        capacityPerPair = static_cast<double>(capacity * sizeof(FXRate::TimeRate)) / pairs;
        heapPerPair = static_cast<double>(heapAfter - heapBefore) / pairs;
        if (rates.size() != kPairs)
            state.SkipWithError("not one record per pair");
    }
    state.counters["samples_per_pair"] = samplesPerPair;
    state.counters["history_KiB_per_pair"] = capacityPerPair / 1024;
    state.counters["heap_KiB_per_pair"] = heapPerPair / 1024;
    state.counters["bound_KiB"] =
        static_cast<double>(MostHistorySamples(kRecordHistoryLimits) * sizeof(FXRate::TimeRate)) / 1024;
}
BENCHMARK(BM_MemoryPerPairAfterAMonth)->Arg(30 * 8640)->Unit(benchmark::kMillisecond)->Iterations(1);
}  // namespace
