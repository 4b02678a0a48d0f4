// The smallest window program: one top-level window that closes on WM_CLOSE.
// The end-to-end tests time its exit next to the widget's, because under Wine
// every process takes a while to end after its last window closes and only
// the difference says anything about the widget.
#include "base/Names.h"

#include <windows.h>

static LRESULT CALLBACK TrivialProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == names::kExitCommand) {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TrivialProc;
    wc.hInstance = instance;
    wc.lpszClassName = "TrivialFrame";
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, "TrivialFrame", "", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
