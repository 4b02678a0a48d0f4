#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Waits for a condition with a deadline instead of sleeping a guessed time.
// Where the condition can be signalled, prefer a condition variable; this is
// for conditions owned by another process or thread that cannot signal us
// (a file appearing, a window showing up). It re-checks at a short interval
// that grows, so a slow machine costs time, not flakiness.
template <typename Predicate>
bool WaitUntil(Predicate&& condition, std::chrono::milliseconds deadline)
{
    auto until = std::chrono::steady_clock::now() + deadline;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(20))
            pause *= 2;
    }
}
