#pragma once
#include <windows.h>

#include <string>

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
