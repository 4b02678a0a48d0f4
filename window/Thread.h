#pragma once
#include "window/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

// Owns one operating-system thread that runs the object's Run. Made for a
// controlling thread that also runs a message loop: Stop keeps that thread's
// messages flowing while it waits, and ends the worker by force only after a
// grace period of 10 s.
//
// Run must return soon after stopRequested becomes true. It should wait with
// WaitForStop (or hand StopFlag() to code that blocks), never in fixed sleeps.
//
// A derived class whose Run touches its own members must call Stop() in its
// own destructor: by the time ~Thread runs, those members are gone.
class Thread {
public:
    static constexpr uint32_t StopGraceMilliseconds = 10000;

    Thread();

    virtual uint32_t Run() = 0;
    virtual ~Thread();
    virtual uint32_t Start();
    virtual void Stop();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // For Run: blocks until a stop is requested (true) or `milliseconds` have
    // passed (false), without using the processor meanwhile.
    bool WaitForStop(uint32_t milliseconds);
    // For Run: as WaitForStop, and also wakes when `other` (an event the
    // derived class owns) is signalled. A stop wins over `other`.
    enum class Wake { Stop, Other, TimedOut };
    Wake WaitForStopOr(HANDLE other, uint32_t milliseconds);
    // For Run: the flag to hand to code that blocks on its own (sockets).
    const std::atomic<bool>* StopFlag() const { return &stopRequested; }

    int priority;                      // THREAD_PRIORITY_HIGHEST at construction
    unsigned threadId = 0;             // id of the running thread
    UniqueHandle creationHandle;       // owned: from thread creation; empty when no thread
    UniqueHandle runHandle;            // owned: opened by id; waited on and resumed
    std::atomic<bool> stopRequested{true};

private:
    static unsigned __stdcall Trampoline(void* object);

    UniqueHandle stopEvent;            // owned: manual reset; set by Stop, reset by Start
    bool stopping = false;             // Stop is waiting (messages it pumps may call it again)
};
