#include "window/WindowDpi.h"

#include "base/DpiScale.h"

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

// Looked up once: older systems have no such function.
GetDpiForWindowFunction FindGetDpiForWindow()
{
    static const GetDpiForWindowFunction function = [] {
        HMODULE user = GetModuleHandleA("user32.dll");
        FARPROC found = user != nullptr ? GetProcAddress(user, "GetDpiForWindow") : nullptr;
        return reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(found));
    }();
    return function;
}

}  // namespace

int WindowDpi(HWND window)
{
    if (GetDpiForWindowFunction function = FindGetDpiForWindow(); function != nullptr && window != nullptr) {
        UINT value = function(window);
        if (value != 0)
            return dpi::Checked(static_cast<int>(value));
    }
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return dpi::kBase;
    int value = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi::Checked(value);
}
