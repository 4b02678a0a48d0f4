#pragma once
#include "display/Font.h"

#include <windows.h>

#include <cstdint>
#include <optional>

// A pane's font, made once and kept from one paint to the next. Its height
// follows the pane's DPI, so it is made again only when the DPI (and with it
// the height asked for) changes. Window thread only.
class PaneFont {
public:
    explicit PaneFont(int32_t fontStyle) : style(fontStyle) {}
    PaneFont(const PaneFont&) = delete;
    PaneFont& operator=(const PaneFont&) = delete;

    // The default GUI face in the pane's style, `height` pixels high; owned
    // here, so select the previous font back before the pane goes.
    HFONT Get(int32_t height);

private:
    int32_t style;
    std::optional<Font> font;
    int32_t madeHeight = 0;
};
