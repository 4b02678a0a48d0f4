#pragma once
#include <windows.h>

#include <utility>

// Small owners and guards for GDI handles. Every paint builds its pens,
// brushes, fonts, bitmaps and memory device contexts afresh and must give
// each one back exactly once, also on the early-return paths; these make
// that automatic.

// Owns one GDI drawing object (pen, brush, font, bitmap) and deletes it once.
// Whoever selects it into a device context must select the previous object
// back before this owner goes away (SelectGuard does that).
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle owned) : handle(owned) {}
    ~GdiObject() { Reset(); }

    GdiObject(GdiObject&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle = std::exchange(other.handle, nullptr);
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }

    // Deletes the held object (if any) and takes `replacement` instead.
    void Reset(Handle replacement = nullptr)
    {
        if (handle != nullptr)
            DeleteObject(handle);
        handle = replacement;
    }

private:
    Handle handle = nullptr;  // owned
};

using OwnedPen = GdiObject<HPEN>;
using OwnedBrush = GdiObject<HBRUSH>;
using OwnedFont = GdiObject<HFONT>;
using OwnedBitmap = GdiObject<HBITMAP>;

// Selects an object into a device context and puts the previous one back
// when it goes out of scope. Selecting nothing (a null object, as from a
// failed creation) leaves the context unchanged and restores nothing.
class SelectGuard {
public:
    SelectGuard(HDC target, HGDIOBJ object)
        : dc(target), previous(target != nullptr && object != nullptr ? SelectObject(target, object) : nullptr)
    {
    }
    ~SelectGuard()
    {
        if (previous != nullptr && previous != HGDI_ERROR)
            SelectObject(dc, previous);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

    HGDIOBJ Previous() const { return previous; }

private:
    HDC dc;            // borrowed
    HGDIOBJ previous;  // borrowed: belonged to the context before us
};

// A memory device context of our own, deleted with DeleteDC.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) : dc(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC()
    {
        if (dc != nullptr)
            DeleteDC(dc);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;

    HDC Get() const { return dc; }

private:
    HDC dc;  // owned
};

// A window's (or, for a null window, the screen's) device context, released
// with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND owner) : window(owner), dc(GetDC(owner)) {}
    ~WindowDC()
    {
        if (dc != nullptr)
            ReleaseDC(window, dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return dc; }

private:
    HWND window;  // borrowed
    HDC dc;       // owned until ReleaseDC
};

// One WM_PAINT: BeginPaint on construction, EndPaint on destruction.
class PaintSession {
public:
    explicit PaintSession(HWND target) : window(target), paint{}, dc(BeginPaint(target, &paint)) {}
    ~PaintSession() { EndPaint(window, &paint); }
    PaintSession(const PaintSession&) = delete;
    PaintSession& operator=(const PaintSession&) = delete;

    HDC Get() const { return dc; }
    const RECT& Area() const { return paint.rcPaint; }

private:
    HWND window;  // borrowed
    PAINTSTRUCT paint;
    HDC dc;  // valid until EndPaint
};
