#include "display/HaloText.h"

#include <climits>

void DrawPlainText(HDC dc, int x, int y, const std::string& text)
{
    int length = text.size() > INT_MAX ? INT_MAX : static_cast<int>(text.size());
    TextOutA(dc, x, y, text.data(), length);
}

void DrawHaloText(HDC dc, int x, int y, const std::string& text)
{
    static const POINT outline[] = {{1, 1}, {1, -1}, {-1, -1}, {-1, 1}};
    SetTextColor(dc, haloOutlineColor);
    for (const POINT& offset : outline)
        DrawPlainText(dc, x + offset.x, y + offset.y, text);
    SetTextColor(dc, haloTextColor);
    DrawPlainText(dc, x, y, text);
}
