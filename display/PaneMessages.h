#pragma once
#include "display/GdiObjects.h"

#include <windows.h>

// The painting messages of a pane that paints its whole client area itself
// with PaintContent(dc, area): WM_PAINT and WM_PRINTCLIENT both go through
// that one routine (so a test or a capture can paint into any context), and
// background erasing is suppressed, as the paint covers everything. True,
// with `result` set, when `message` was one of them.
template <typename Pane>
bool HandlePaintMessage(Pane& pane, HWND hwnd, UINT message, WPARAM wParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT: {
        PaintSession paint(hwnd);
        pane.PaintContent(paint.Get(), paint.Area());
        result = 0;
        return true;
    }
    case WM_PRINTCLIENT: {
        RECT client{};
        GetClientRect(hwnd, &client);
        pane.PaintContent(reinterpret_cast<HDC>(wParam), client);
        result = 0;
        return true;
    }
    case WM_ERASEBKGND:
        result = 1;
        return true;
    default:
        return false;
    }
}
