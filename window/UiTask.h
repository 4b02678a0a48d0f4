#pragma once
#include "base/TaskQueue.h"

#include <windows.h>

#include <atomic>
#include <functional>

// The one way work reaches a window's thread from elsewhere: Post a task
// from any thread and the window runs it, in order, on its own thread. One
// registered message wakes the window; it is posted only when the queue was
// empty, so a busy worker never floods the message queue.
//
// The window Attaches at creation, hands every message to Handle in its
// procedure, and Closes on WM_DESTROY: from then on nothing runs, so no
// task reaches a window (or an object) that is gone.
class UiTask {
public:
    UiTask();
    UiTask(const UiTask&) = delete;
    UiTask& operator=(const UiTask&) = delete;

    // Window thread, at creation. Tasks posted before run once it is attached.
    void Attach(HWND window);
    // Window thread: true when `message` was the task message (the waiting
    // tasks have run).
    bool Handle(UINT message);
    // Window thread, on WM_DESTROY (any thread may call it, though).
    void Close();

    // Any thread. False when the task will never run: closed, or so many
    // wait that the window must be stuck.
    bool Post(std::function<void()> task);

    UINT Message() const { return message; }

private:
    void Wake();

    TaskQueue tasks;
    UINT message = 0;                   // registered at construction
    std::atomic<HWND> target{nullptr};  // set by Attach
};
