#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A window's pixels, read back: from the screen where the window is (the
// widget is topmost, so what is there is what it painted), or as the window
// paints itself into memory (WM_PRINTCLIENT), shown or not. Windows only
// (qb_test_windows).
class Picture {
public:
    static Picture OfScreen(HWND window);
    static Picture OfScreen(const RECT& area);  // screen coordinates
    static Picture Printed(HWND window);

    // Writes the pixels as a 32-bit BMP file, for a screenshot a test takes
    // on the way; false when the file could not be written.
    bool SaveBitmap(const std::string& path) const;

    COLORREF At(int x, int y) const
    {
        uint32_t quad = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
        return RGB((quad >> 16) & 0xFF, (quad >> 8) & 0xFF, quad & 0xFF);
    }

    // How many pixels between rows `top` and `bottom` and columns `left`
    // and `right` (-1: the last) pass `test`.
    template <typename Test>
    int Count(Test test, int top = 0, int bottom = -1, int left = 0, int right = -1) const
    {
        int found = 0;
        int endY = bottom < 0 || bottom > height ? height : bottom;
        int endX = right < 0 || right > width ? width : right;
        for (int y = top < 0 ? 0 : top; y < endY; ++y)
            for (int x = left < 0 ? 0 : left; x < endX; ++x)
                found += test(At(x, y)) ? 1 : 0;
        return found;
    }

    // The first and last rows of pixels holding a pixel that passes `test`
    // between columns `left` and `right` (-1: the last); {-1, -1} when none.
    template <typename Test>
    std::pair<int, int> Band(Test test, int left = 0, int right = -1) const
    {
        int top = -1, bottom = -1;
        int end = right < 0 || right > width ? width : right;
        for (int y = 0; y < height; ++y)
            for (int x = left; x < end; ++x)
                if (test(At(x, y))) {
                    top = top < 0 ? y : top;
                    bottom = y;
                    break;
                }
        return {top, bottom};
    }

    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
};

// Text is anti-aliased and fonts differ, so colours are judged by hue.
bool IsReddish(COLORREF pixel);
bool IsBluish(COLORREF pixel);
inline bool IsRedOrBlue(COLORREF pixel) { return IsReddish(pixel) || IsBluish(pixel); }
// The grey of stale rows' text: no hue, neither dark nor light.
bool IsGreyText(COLORREF pixel);
inline bool IsSelectionBar(COLORREF pixel) { return pixel == RGB(0xCC, 0xCC, 0xCC); }
// Text drawn in black or near it.
inline bool IsNearBlack(COLORREF pixel)
{
    return GetRValue(pixel) + GetGValue(pixel) + GetBValue(pixel) < 3 * 0x60;
}
