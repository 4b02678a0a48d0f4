#pragma once
#include "display/GdiObjects.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// A font described by face name, style bits and cell height, made into a GDI
// font on first use. An unknown face falls back to the default GUI font's
// description, but keeps the requested name so the font mapper still sees it.
class Font {
public:
    enum Style : int32_t { Bold = 1, Italic = 2, StrikeOut = 4 };

    Font(const std::string& face, int32_t style, int32_t height);
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Fills logFont from the description; true when the face is installed.
    bool Set(const std::string& face, int32_t style, int32_t height);

    // The GDI font, made on the first call and owned by this object: select
    // the previous font back before the Font goes away, never delete it.
    HFONT GetHandle();

    // How many GDI fonts every Font of the process has made so far: the
    // tests count the fonts that painting makes.
    static size_t MadeCount();

    LOGFONTA logFont{};

private:
    OwnedFont handle;  // made by GetHandle, deleted once here
    int32_t style = 0;
};
