// The hand-off queue: order, wake-ups that are never lost, the bound, and
// nothing run after Close. Run under the thread sanitizer too.
#include "base/TaskQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(TaskQueue, RunsInOrderAndSaysWhenTheRunnerNeedsWaking)
{
    TaskQueue queue;
    std::string ran;
    EXPECT_EQ(queue.Push([&] { ran += 'a'; }), TaskQueue::Pushed::First);
    EXPECT_EQ(queue.Push([&] { ran += 'b'; }), TaskQueue::Pushed::Behind);
    EXPECT_EQ(queue.Push(TaskQueue::Task()), TaskQueue::Pushed::Refused) << "an empty task";
    EXPECT_EQ(queue.RunAll(), 2u);
    EXPECT_EQ(ran, "ab");
    EXPECT_EQ(queue.RunAll(), 0u);
    EXPECT_EQ(queue.Push([&] { ran += 'c'; }), TaskQueue::Pushed::First) << "empty again";
}

TEST(TaskQueue, ATaskThatPushesHasItsTaskRunInTheSameRun)
{
    TaskQueue queue;
    std::string ran;
    TaskQueue::Pushed inner = TaskQueue::Pushed::Refused;
    queue.Push([&] {
        ran += 'a';
        inner = queue.Push([&] { ran += 'c'; });
    });
    queue.Push([&] { ran += 'b'; });
    EXPECT_EQ(queue.RunAll(), 3u);
    EXPECT_EQ(ran, "abc");
    EXPECT_EQ(inner, TaskQueue::Pushed::Behind);
}

TEST(TaskQueue, NothingRunsAfterClose)
{
    TaskQueue queue;
    std::string ran;
    // Closed by a task, as a window that goes while its tasks run.
    queue.Push([&] { ran += 'a'; });
    queue.Push([&] {
        ran += 'b';
        queue.Close();
    });
    queue.Push([&] { ran += 'c'; });
    EXPECT_EQ(queue.RunAll(), 2u);
    EXPECT_EQ(ran, "ab");
    EXPECT_TRUE(queue.Closed());
    EXPECT_EQ(queue.Waiting(), 0u) << "the rest dropped";
    EXPECT_EQ(queue.Push([&] { ran += 'd'; }), TaskQueue::Pushed::Refused);
    EXPECT_EQ(queue.RunAll(), 0u);
    EXPECT_EQ(ran, "ab");
}

TEST(TaskQueue, AStuckRunnerDoesNotGrowTheQueueWithoutBound)
{
    TaskQueue queue;
    size_t accepted = 0;
    for (size_t i = 0; i < TaskQueue::MostWaiting + 10; ++i)
        accepted += queue.Push([] {}) != TaskQueue::Pushed::Refused;
    EXPECT_EQ(accepted, TaskQueue::MostWaiting);
    EXPECT_EQ(queue.RunAll(), TaskQueue::MostWaiting);
    EXPECT_NE(queue.Push([] {}), TaskQueue::Pushed::Refused) << "room again once run";
}

// Several givers, one runner woken only when Push says First: every task
// runs exactly once, each giver's in its own order, and no wake-up is lost
// (the runner would otherwise sleep with tasks waiting).
TEST(TaskQueue, ManyGiversOneRunnerLoseNothing)
{
    constexpr int givers = 4;
    // Fewer than the queue holds, so no giver is ever refused.
    constexpr int perGiver = 1000;
    static_assert(givers * perGiver < static_cast<int>(TaskQueue::MostWaiting), "room for all");
    TaskQueue queue;
    std::mutex wakeLock;
    std::condition_variable wake;
    int wakes = 0;
    bool done = false;
    std::vector<int> next(givers, 0);  // the runner's alone
    int outOfOrder = 0;
    int ran = 0;
    std::atomic<int> refused{0};

    std::thread runner([&] {
        for (;;) {
            {
                std::unique_lock<std::mutex> hold(wakeLock);
                wake.wait(hold, [&] { return wakes > 0 || done; });
                if (wakes == 0 && done)
                    break;
                wakes = 0;
            }
            queue.RunAll();
        }
        // No last RunAll: a task left now would be a lost wake-up.
    });
    std::vector<std::thread> threads;
    for (int g = 0; g < givers; ++g) {
        threads.emplace_back([&, g] {
            for (int i = 0; i < perGiver; ++i) {
                TaskQueue::Pushed pushed = queue.Push([&, g, i] {
                    outOfOrder += next[g] != i;
                    next[g] = i + 1;
                    ++ran;
                });
                refused += pushed == TaskQueue::Pushed::Refused;
                if (pushed == TaskQueue::Pushed::First) {
                    std::lock_guard<std::mutex> hold(wakeLock);
                    ++wakes;
                    wake.notify_one();
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    // Every task is either run or waiting with a wake-up on its way.
    {
        std::unique_lock<std::mutex> hold(wakeLock);
        done = true;
        wake.notify_one();
    }
    runner.join();
    EXPECT_EQ(refused.load(), 0);
    EXPECT_EQ(ran, givers * perGiver);
    EXPECT_EQ(queue.Waiting(), 0u);
    EXPECT_EQ(outOfOrder, 0);
    for (int g = 0; g < givers; ++g)
        EXPECT_EQ(next[g], perGiver) << "giver " << g;
}

}  // namespace
