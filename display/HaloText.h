#pragma once
#include <windows.h>

#include <string>

// The outline and the text colour of halo text (light sky blue, blue).
constexpr COLORREF haloOutlineColor = 0xECD790;
constexpr COLORREF haloTextColor = 0xFF2121;

// Draws `text` in haloTextColor with an outline of `outline` pixels (one at
// 96 DPI) in haloOutlineColor: four outline copies at the diagonal offsets,
// then the text itself at (x, y). The background mode is the caller's; the
// context's text colour is left at haloTextColor.
void DrawHaloText(HDC dc, int x, int y, const std::string& text, int outline = 1);

// TextOutA of the whole string, with (x, y) its top-left corner.
void DrawPlainText(HDC dc, int x, int y, const std::string& text);
