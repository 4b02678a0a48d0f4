#include "tools/feed/StopSignal.h"

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#else
#include <signal.h>
#endif

namespace {
// Lock-free, so a signal handler may store into it.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

#ifdef _WIN32
std::mutex stoppedMutex;
std::condition_variable stoppedSignal;
bool stopped = false;  // guarded by stoppedMutex

BOOL WINAPI OnConsoleControl(DWORD event)
{
    stopRequested.store(true);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return TRUE;
    // Console close, log-off and shut-down end the process as soon as this
    // handler returns (and after about five seconds anyway): give the server
    // the time to close its connections first.
    std::unique_lock<std::mutex> hold(stoppedMutex);
    stoppedSignal.wait_for(hold, std::chrono::seconds(4), [] { return stopped; });
    return TRUE;
}
#else
extern "C" void OnStopSignal(int) { stopRequested.store(true); }
#endif
}  // namespace

const std::atomic<bool>& StopSignal::Install()
{
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A client that goes away mid-answer must not end the feed.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
#endif
    return stopRequested;
}

void StopSignal::Stopped()
{
#ifdef _WIN32
    std::lock_guard<std::mutex> hold(stoppedMutex);
    stopped = true;
    stoppedSignal.notify_all();
#endif
}
