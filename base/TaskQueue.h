#pragma once
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

// Small tasks handed from any thread to the one thread that runs them, in
// the order they were given. The queue does not wake that thread itself:
// Push says when the queue was empty, and only then does the giver need to
// wake it (one message, one event), since a runner that is awake or woken
// already runs everything up to an empty queue.
//
// After Close nothing runs any more: waiting tasks are dropped, new ones
// refused, and a RunAll under way stops before its next task.
//
// Portable: no platform calls, so it is tested natively under the thread
// sanitizer.
class TaskQueue {
public:
    using Task = std::function<void()>;

    // Far more than any giver queues between two runs; beyond it the runner
    // is stuck, and piling up more would only grow memory.
    static constexpr size_t MostWaiting = 4096;

    enum class Pushed { First, Behind, Refused };

    TaskQueue() = default;
    TaskQueue(const TaskQueue&) = delete;
    TaskQueue& operator=(const TaskQueue&) = delete;

    // Any thread. First: the queue was empty, wake the runner. Refused:
    // closed or full, and the task is dropped.
    Pushed Push(Task task);

    // The runner: runs the waiting tasks one by one, with the lock let go
    // while each runs (a task may push more; they run in this call too),
    // until the queue is empty or closed. Returns how many ran.
    size_t RunAll();

    // Any thread; cannot be undone.
    void Close();
    bool Closed() const;
    size_t Waiting() const;

private:
    mutable std::mutex lock;
    std::deque<Task> tasks;  // guarded by lock
    bool closed = false;     // guarded by lock
};
