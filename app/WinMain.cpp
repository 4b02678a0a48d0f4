#include "app/OneWidget.h"
#include "app/Quillbrae.h"
#include "http/SocketLibrary.h"
#include "window/App.h"

#include <commctrl.h>
#include <objbase.h>

#include <memory>

namespace {

// How long a second start waits for a first that is itself still starting.
constexpr DWORD OneWidgetWaitMilliseconds = 5000;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // A widget already runs on these settings: it comes forward, this start
    // ends, and nothing was changed.
    OneWidget one(SettingsFilePath());
    if (!one.First()) {
        one.ShowFirst(OneWidgetWaitMilliseconds);
        return 0;
    }

    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);

    int exitCode = 1;
    {
        SocketLibrary sockets;
        auto widget = std::make_unique<Quillbrae>();
        widget->Create();
        HWND window = widget->GetHandle(0);
        if (window != nullptr) {
            HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(Quillbrae::IconResource));
            SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            ShowWindow(window, SW_SHOW);
            one.Publish(window);

            // Alt+Home is taken and does nothing (command 0 has no handler).
            ACCEL home{FVIRTKEY | FALT, VK_HOME, 0};
            HACCEL table = CreateAcceleratorTableA(&home, 1);
            MSG msg{};
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                // The settings dialog is modeless: its keys (Tab, Enter,
                // Escape, mnemonics) work only when its messages go through here.
                HWND settings = widget->SettingsWindow();
                if (settings != nullptr && IsDialogMessageA(settings, &msg))
                    continue;
                if (TranslateAcceleratorA(window, table, &msg) == 0) {
                    TranslateMessage(&msg);
                    DispatchMessageA(&msg);
                }
            }
            exitCode = static_cast<int>(msg.wParam);
            widget.reset();
            DestroyAcceleratorTable(table);
        }
        // No window, no program: without it nothing could ever end the loop.
    }
    CoUninitialize();
    return exitCode;
}
