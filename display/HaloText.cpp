#include "display/HaloText.h"

#include <climits>

void DrawPlainText(HDC dc, int x, int y, const std::string& text)
{
    int length = text.size() > INT_MAX ? INT_MAX : static_cast<int>(text.size());
    TextOutA(dc, x, y, text.data(), length);
}

void DrawHaloText(HDC dc, int x, int y, const std::string& text, int outline)
{
    const POINT offsets[] = {
        {outline, outline}, {outline, -outline}, {-outline, -outline}, {-outline, outline}};
    SetTextColor(dc, haloOutlineColor);
    for (const POINT& offset : offsets)
        DrawPlainText(dc, x + offset.x, y + offset.y, text);
    SetTextColor(dc, haloTextColor);
    DrawPlainText(dc, x, y, text);
}
