// The worker's cycles and the window thread's reads meeting on the shared
// record list. Run under ThreadSanitizer, any read outside the lock shows.
#include "http/SocketLibrary.h"
#include "update/UpdateRates.h"
#include "tests/rates/RecordChecks.h"
#include "tests/tools/RunningFeed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

TEST(SharedRatesThreads, ReadersSeeWholeRecordsWhileCyclesMerge)
{
    SocketLibrary sockets;
    RunningFeed feed(FeedServer::Limits(), 77, 20);
    ASSERT_TRUE(feed.Listening());
    SharedRates rates;
    const int cycles = 25;
    std::atomic<bool> writing{true};

    std::thread writer([&] {
        for (int i = 0; i < cycles; ++i)
            UpdateRates(rates, feed.Url());
        writing = false;
    });

    struct ReaderResult {
        std::string broken;  // first broken rule seen
        int passes = 0;
        int populatedPasses = 0;
    };
    std::vector<ReaderResult> results(3);
    auto painter = [&](ReaderResult& result) {
        std::vector<std::size_t> lastSizes;
        while (writing || result.passes == 0) {
            ++result.passes;
            std::this_thread::yield();  // let the writer at the lock now and then
            // What the rate pane's painting and the speech read.
            auto access = rates.Lock();
            if (access->empty())
                continue;
            ++result.populatedPasses;
            if (!lastSizes.empty() && lastSizes.size() != access->size())
                result.broken = "record count changed once populated";
            std::size_t textBytes = 0;
            for (std::size_t i = 0; i < access->size(); ++i) {
                const FXRate& rate = (*access)[i];
                textBytes += rate.priceText.size() + rate.changeText.size() + rate.code.size();
                if (lastSizes.size() == access->size() && rate.history.size() < lastSizes[i])
                    result.broken = "history shrank";
                const std::string problem = CheckRecord(rate);
                if (!problem.empty())
                    result.broken = problem;
            }
            if (textBytes == 0)
                result.broken = "records without texts";
            lastSizes.clear();
            for (const FXRate& rate : *access)
                lastSizes.push_back(rate.history.size());
        }
    };
    auto chart = [&](ReaderResult& result) {
        std::size_t selected = 0;
        while (writing || result.passes == 0) {
            ++result.passes;
            std::this_thread::yield();
            // The chart's record: taken afresh under the lock, its samples
            // copied and its texts formatted before the lock goes.
            auto access = rates.Lock();
            const FXRate* shown = selected < access->size() ? &(*access)[selected] : nullptr;
            if (shown == nullptr)
                continue;
            ++result.populatedPasses;
            const std::vector<FXRate::TimeRate> samples = shown->history;
            const std::string line = shown->code + "    +" + std::to_string(shown->rises) + " : -" +
                                     std::to_string(shown->falls) + "   " + shown->firstPriceText;
            if (samples.empty() || line.empty())
                result.broken = "a record without samples";
            selected = (selected + 1) % access->size();  // the arrow keys
        }
    };
    std::thread first(painter, std::ref(results[0]));
    std::thread second(painter, std::ref(results[1]));
    std::thread third(chart, std::ref(results[2]));
    writer.join();
    first.join();
    second.join();
    third.join();

    for (const ReaderResult& result : results) {
        EXPECT_EQ(result.broken, "");
        EXPECT_GT(result.passes, 0);
    }
    const auto access = rates.Lock();
    ASSERT_EQ(access->size(), 20u);
    for (std::size_t i = 0; i < access->size(); ++i) {
        EXPECT_EQ((*access)[i].code, RateFeed::Catalogue()[i].code);
        EXPECT_EQ((*access)[i].history.size(), static_cast<std::size_t>(cycles));
    }
    EXPECT_EQ(feed.service.Downloads(), static_cast<uint64_t>(cycles));
}
