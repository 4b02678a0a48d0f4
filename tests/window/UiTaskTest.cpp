// Handing work to a window's thread: tasks from other threads run on the
// window's thread in order, one message wakes it for a burst, and nothing
// runs once the window is gone.
#include "window/UiTask.h"
#include "tests/support/MessageWait.h"
#include "window/BaseWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Wires the queue in as the widget does.
class TaskWindow : public BaseWindow {
public:
    explicit TaskWindow(UiTask& queue) : tasks(queue) {}
    ~TaskWindow() override { Destroy(); }
    bool Make()
    {
        RegisterWindowClass("UiTaskTestWindow", nullptr, 0);
        return CreateTopLevelWindow();
    }
    bool OnCreate() override
    {
        tasks.Attach(window);
        return true;
    }
    LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (tasks.Handle(message))
            return 0;
        if (message == WM_DESTROY)
            tasks.Close();
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    UiTask& tasks;
};

size_t QueuedTaskMessages(HWND window, UINT message)
{
    // Taken out to be counted, then put back in the same order.
    size_t count = 0;
    MSG msg;
    while (PeekMessageA(&msg, window, message, message, PM_REMOVE))
        ++count;
    for (size_t i = 0; i < count; ++i)
        PostMessageA(window, message, 0, 0);
    return count;
}

TEST(UiTask, TasksFromOtherThreadsRunOnTheWindowsThreadInOrder)
{
    UiTask tasks;
    TaskWindow frame(tasks);
    ASSERT_TRUE(frame.Make());
    const DWORD windowThread = GetCurrentThreadId();
    std::vector<int> ran;
    int elsewhere = 0;
    std::thread worker([&] {
        for (int i = 0; i < 500; ++i) {
            ASSERT_TRUE(tasks.Post([&, i] {
                ran.push_back(i);
                elsewhere += GetCurrentThreadId() != windowThread;
            }));
        }
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return ran.size() == 500; }, 10s));
    EXPECT_EQ(elsewhere, 0);
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(ran[static_cast<size_t>(i)], i);
}

TEST(UiTask, ABurstPostsOneMessageAndTasksBeforeAttachWait)
{
    UiTask tasks;
    int ran = 0;
    for (int i = 0; i < 3; ++i)
        tasks.Post([&] { ++ran; });
    TaskWindow frame(tasks);
    ASSERT_TRUE(frame.Make());
    EXPECT_EQ(ran, 0) << "nothing runs outside the message loop";
    for (int i = 0; i < 100; ++i)
        tasks.Post([&] { ++ran; });
    EXPECT_EQ(QueuedTaskMessages(frame.window, tasks.Message()), 1u);
    ASSERT_TRUE(PumpUntil([&] { return ran == 103; }, 10s));
    // Empty again: the next task wakes the window anew.
    tasks.Post([&] { ++ran; });
    EXPECT_EQ(QueuedTaskMessages(frame.window, tasks.Message()), 1u);
    ASSERT_TRUE(PumpUntil([&] { return ran == 104; }, 10s));
}

TEST(UiTask, NothingRunsOnceTheWindowIsGone)
{
    UiTask tasks;
    auto frame = std::make_unique<TaskWindow>(tasks);
    ASSERT_TRUE(frame->Make());
    int ran = 0;
    // Waiting when the window goes, and posted after: none of them runs.
    std::thread worker([&] { tasks.Post([&] { ++ran; }); });
    worker.join();
    frame->Destroy();
    EXPECT_FALSE(tasks.Post([&] { ++ran; }));
    PumpPending();
    EXPECT_EQ(ran, 0);
    // Closed by a task: the ones behind it are dropped.
    UiTask second;
    TaskWindow other(second);
    ASSERT_TRUE(other.Make());
    second.Post([&] {
        ++ran;
        other.Destroy();
    });
    second.Post([&] { ran += 10; });
    ASSERT_TRUE(PumpUntil([&] { return ran > 0; }, 10s));
    PumpPending();
    EXPECT_EQ(ran, 1);
}

}  // namespace
