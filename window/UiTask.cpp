#include "window/UiTask.h"

#include <utility>

namespace {

// Registered rather than taken from WM_APP: no other use of the window can
// clash with it, whatever ids its owner picks.
const char* const TaskMessageName = "Quillbrae.UiTask";

}  // namespace

UiTask::UiTask() : message(RegisterWindowMessageA(TaskMessageName)) {}

void UiTask::Attach(HWND window)
{
    target = window;
    if (tasks.Waiting() > 0)
        Wake();
}

bool UiTask::Handle(UINT received)
{
    if (received != message || message == 0)
        return false;
    tasks.RunAll();
    return true;
}

void UiTask::Close()
{
    tasks.Close();
}

bool UiTask::Post(std::function<void()> task)
{
    TaskQueue::Pushed pushed = tasks.Push(std::move(task));
    if (pushed == TaskQueue::Pushed::Refused)
        return false;
    if (pushed == TaskQueue::Pushed::First)
        Wake();
    return true;
}

void UiTask::Wake()
{
    HWND window = target.load();
    if (window != nullptr)
        PostMessageA(window, message, 0, 0);
}
