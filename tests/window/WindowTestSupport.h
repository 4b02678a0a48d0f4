#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// Dispatches this thread's messages until `condition` holds or `deadline`
// milliseconds have passed; returns whether it held. Between messages it
// blocks in MsgWaitForMultipleObjects, waking at least every 20 ms to look
// at conditions that other threads change.
template <typename Predicate>
bool PumpUntil(Predicate&& condition, DWORD deadline = 10000)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (condition())
            return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= deadline)
            return false;
        DWORD wait = deadline - elapsed;
        MsgWaitForMultipleObjectsEx(0, nullptr, wait < 20 ? wait : 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// Dispatches whatever is queued now (sent and posted messages).
inline void PumpPending()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The running test executable's full path.
inline std::string ExecutablePath()
{
    char path[MAX_PATH * 4] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    return path;
}

// Screen rectangle of a window.
inline RECT WindowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}
