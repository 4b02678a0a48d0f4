#include "base/TaskQueue.h"

#include <utility>

TaskQueue::Pushed TaskQueue::Push(Task task)
{
    std::lock_guard<std::mutex> guard(lock);
    if (closed || !task || tasks.size() >= MostWaiting)
        return Pushed::Refused;
    tasks.push_back(std::move(task));
    return tasks.size() == 1 ? Pushed::First : Pushed::Behind;
}

size_t TaskQueue::RunAll()
{
    size_t ran = 0;
    for (;;) {
        Task task;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (closed || tasks.empty())
                return ran;
            task = std::move(tasks.front());
            tasks.pop_front();
        }
        task();
        ++ran;
    }
}

void TaskQueue::Close()
{
    std::deque<Task> dropped;
    {
        std::lock_guard<std::mutex> guard(lock);
        closed = true;
        dropped.swap(tasks);
    }
    // Destroyed with the lock let go: a task's captures may push or close.
}

bool TaskQueue::Closed() const
{
    std::lock_guard<std::mutex> guard(lock);
    return closed;
}

size_t TaskQueue::Waiting() const
{
    std::lock_guard<std::mutex> guard(lock);
    return tasks.size();
}
