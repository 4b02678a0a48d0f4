#include "window/Thread.h"

#include <mmsystem.h>
#include <process.h>

namespace {

// Messages handled per wake-up before the worker's handle is looked at
// again, so that a flood of posted messages cannot stretch the grace period.
constexpr int MessagesPerWake = 64;
// TerminateThread only starts the end of the thread; this long we wait for it.
constexpr DWORD TerminationWaitMilliseconds = 1000;

// Milliseconds since `start` on the system's millisecond clock; the unsigned
// difference stays right across the clock's wrap.
uint32_t ElapsedSince(uint32_t start) { return timeGetTime() - start; }

}  // namespace

Thread::Thread() : priority(THREAD_PRIORITY_HIGHEST), stopEvent(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {}

Thread::~Thread() { Stop(); }

unsigned __stdcall Thread::Trampoline(void* object) { return static_cast<Thread*>(object)->Run(); }

uint32_t Thread::Start()
{
    if (stopping)
        return 0;  // called from a message that Stop is dispatching
    Stop();

    unsigned id = 0;
    uintptr_t created = _beginthreadex(nullptr, 0, Trampoline, this, CREATE_SUSPENDED, &id);
    if (created == 0)
        return 0;
    creationHandle.Reset(reinterpret_cast<HANDLE>(created));
    threadId = id;

    // The new thread is still suspended: Run can only ever see the fresh value.
    stopRequested = false;
    if (stopEvent)
        ResetEvent(stopEvent.Get());

    HANDLE opened = OpenThread(THREAD_ALL_ACCESS, FALSE, threadId);
    if (opened == nullptr)
        DuplicateHandle(GetCurrentProcess(), creationHandle.Get(), GetCurrentProcess(), &opened, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
    runHandle.Reset(opened);
    HANDLE control = runHandle ? runHandle.Get() : creationHandle.Get();
    SetThreadPriority(control, priority);
    return ResumeThread(control);
}

void Thread::Stop()
{
    stopRequested = true;
    if (stopEvent)
        SetEvent(stopEvent.Get());
    // A Stop from the worker itself, or from a message that an outer Stop is
    // dispatching, only asks: the outer call (or the controller) waits.
    if (stopping || (creationHandle && GetCurrentThreadId() == threadId))
        return;

    HANDLE control = runHandle ? runHandle.Get() : creationHandle.Get();
    if (control != nullptr) {
        stopping = true;
        bool quitSeen = false;
        WPARAM quitCode = 0;
        uint32_t start = timeGetTime();
        for (;;) {
            uint32_t elapsed = ElapsedSince(start);
            if (elapsed >= StopGraceMilliseconds) {
                // The last resort: the worker ignored its stop flag for the
                // whole grace period.
                TerminateThread(control, 1);
                WaitForSingleObject(control, TerminationWaitMilliseconds);
                break;
            }
            // Sleeps until the worker ends, a message arrives or the grace
            // period is over; input already waiting wakes it at once.
            DWORD woken = MsgWaitForMultipleObjectsEx(1, &control, StopGraceMilliseconds - elapsed, QS_ALLINPUT,
                                                      MWMO_INPUTAVAILABLE);
            if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
                break;
            if (woken != WAIT_OBJECT_0 + 1)
                continue;  // time is up: the test at the top ends it

            MSG msg;
            for (int handled = 0; handled < MessagesPerWake && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
                 ++handled) {
                if (msg.message == WM_QUIT) {
                    // Keep it for the owner's message loop, which would
                    // otherwise never end.
                    quitSeen = true;
                    quitCode = msg.wParam;
                    continue;
                }
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        stopping = false;
        if (quitSeen)
            PostQuitMessage(static_cast<int>(quitCode));
    }
    runHandle.Reset();
    creationHandle.Reset();
}

bool Thread::WaitForStop(uint32_t milliseconds)
{
    if (stopRequested)
        return true;
    if (stopEvent)
        return WaitForSingleObject(stopEvent.Get(), milliseconds) == WAIT_OBJECT_0 || stopRequested;

    // Without an event (the system refused one) wait in coarse steps.
    uint32_t start = timeGetTime();
    while (!stopRequested) {
        uint32_t elapsed = ElapsedSince(start);
        if (elapsed >= milliseconds)
            return false;
        uint32_t remaining = milliseconds - elapsed;
        Sleep(remaining < 50 ? remaining : 50);
    }
    return true;
}

Thread::Wake Thread::WaitForStopOr(HANDLE other, uint32_t milliseconds)
{
    if (stopRequested)
        return Wake::Stop;
    if (!stopEvent || other == nullptr)
        return WaitForStop(milliseconds) ? Wake::Stop : Wake::TimedOut;
    HANDLE events[2] = {stopEvent.Get(), other};
    DWORD woken = WaitForMultipleObjects(2, events, FALSE, milliseconds);
    if (woken == WAIT_OBJECT_0 || stopRequested)
        return Wake::Stop;
    if (woken == WAIT_OBJECT_0 + 1)
        return Wake::Other;
    if (woken == WAIT_FAILED)
        return WaitForStop(milliseconds) ? Wake::Stop : Wake::TimedOut;
    return Wake::TimedOut;
}
