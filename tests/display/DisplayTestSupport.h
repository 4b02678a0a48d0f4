#pragma once
#include "rates/FXRate.h"
#include "rates/RateQuote.h"
#include "tests/support/Picture.h"

#include <windows.h>

#include <string>
#include <vector>

// A 32-bit top-down DIB section in a memory device context: something to
// paint into and read back pixel by pixel. Starts filled with `sentinel`, a
// colour no pane paints, so untouched pixels can be told apart.
class Canvas {
public:
    static constexpr COLORREF sentinel = 0x123456;

    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Get() const { return dc; }
    RECT Bounds() const { return RECT{0, 0, width, height}; }
    COLORREF Pixel(int x, int y) const { return GetPixel(dc, x, y); }

    // How many pixels of `area` satisfy `test`.
    template <typename Test>
    int Count(const RECT& area, Test test) const
    {
        int found = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (test(Pixel(x, y)))
                    ++found;
        return found;
    }
    int CountColor(const RECT& area, COLORREF colour) const
    {
        return Count(area, [colour](COLORREF pixel) { return pixel == colour; });
    }
    bool AllColor(const RECT& area, COLORREF colour) const
    {
        return CountColor(area, colour) == (area.right - area.left) * (area.bottom - area.top);
    }

private:
    int width;
    int height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
};

// Text is anti-aliased and fonts differ between systems, so text is checked
// by hue (IsReddish, IsBluish of tests/support/Picture.h), not by exact
// pixels, or as dark: no channel above 100.
bool IsDark(COLORREF pixel);

// A plain top-level window to hold the panes, which records what the panes
// send to their parent: WM_NOTIFY codes (with the sender) and mouse messages.
class TestParent {
public:
    struct Received {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        HWND from;  // WM_NOTIFY: NMHDR::hwndFrom
        int code;   // WM_NOTIFY: NMHDR::code
    };

    TestParent(int width = 640, int height = 300);
    ~TestParent();
    TestParent(const TestParent&) = delete;
    TestParent& operator=(const TestParent&) = delete;

    HWND window = nullptr;
    std::vector<Received> received;

    std::vector<int> NotifyCodes() const;

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

RateQuote Quote(const std::string& code, const std::string& price, const std::string& change);
