#include "display/PaneFont.h"

HFONT PaneFont::Get(int32_t height)
{
    if (!font || madeHeight != height) {
        font.reset();
        font.emplace("", style, height);
        madeHeight = height;
    }
    return font->GetHandle();
}
