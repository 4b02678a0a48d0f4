// Measures the processor time that the controlling thread spends in
// Thread::Stop while a worker takes 2 s to finish, with and without a stream
// of messages arriving meanwhile. Prints one line per case, and for
// comparison the same wait done by polling (peek, test, repeat).
#include "window/BaseWindow.h"
#include "window/Thread.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

class SlowWorker : public Thread {
public:
    ~SlowWorker() override { Stop(); }
    uint32_t Run() override
    {
        // Ignores the stop request for 2 s, as a worker stuck in a download would.
        Sleep(2000);
        return 0;
    }
};

double Milliseconds(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 10000.0;
}

double ThreadCpuMilliseconds()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return Milliseconds(kernel) + Milliseconds(user);
}

// The polling wait, for comparison only: dispatch one message, test the
// thread, again and again until it ends.
void PollingStop(SlowWorker& worker)
{
    worker.stopRequested = true;
    HANDLE thread = worker.runHandle.Get();
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && GetMessageA(&msg, nullptr, 0, 0)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (WaitForSingleObject(thread, 0) != WAIT_TIMEOUT)
            break;
    }
    worker.Stop();
}

void Measure(const char* label, HWND target, int messagesPerSecond, bool polling = false)
{
    SlowWorker worker;
    worker.Start();
    std::atomic<bool> done{false};
    std::thread poster([&] {
        if (messagesPerSecond == 0)
            return;
        while (!done) {
            PostMessageA(target, WM_NULL, 0, 0);
            Sleep(1000 / messagesPerSecond);
        }
    });
    double cpuBefore = ThreadCpuMilliseconds();
    DWORD wallBefore = GetTickCount();
    if (polling)
        PollingStop(worker);
    else
        worker.Stop();
    DWORD wall = GetTickCount() - wallBefore;
    double cpu = ThreadCpuMilliseconds() - cpuBefore;
    done = true;
    poster.join();
    std::printf("%-38s wall %5lu ms   controlling-thread CPU %7.2f ms\n", label, static_cast<unsigned long>(wall), cpu);
}

}  // namespace

int main()
{
    BaseWindow window;
    window.RegisterWindowClass("QbMeasureWindow", nullptr, 0);
    window.Create();
    Measure("Stop, idle queue", window.window, 0);
    Measure("Stop, 100 posted messages/s", window.window, 100);
    Measure("Stop, 1000 posted messages/s", window.window, 1000);
    Measure("polling wait (reference), idle queue", window.window, 0, true);
    return 0;
}
