#pragma once
#include <windows.h>

// The DPI a window is drawn at: its monitor's where the system tells each
// window its own (Windows 10 1607 and later), else the screen's. 96 for a
// process that has not declared itself DPI-aware, as the system then
// stretches its windows itself; a reported value beyond reason is read as 96.
int WindowDpi(HWND window);
