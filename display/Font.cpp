#include "display/Font.h"

#include "display/FontManager.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

std::atomic<size_t> fontsMade{0};

}  // namespace

Font::Font(const std::string& face, int32_t fontStyle, int32_t height) : style(fontStyle)
{
    Set(face, fontStyle, height);
}

bool Font::Set(const std::string& face, int32_t fontStyle, int32_t height)
{
    style = fontStyle;
    const LOGFONTA* installed = FontManager::GetInstance().Find(face);
    if (installed != nullptr) {
        logFont = *installed;
        logFont.lfEscapement = 0;
        logFont.lfOrientation = 0;
        logFont.lfWeight = FW_NORMAL;
        logFont.lfItalic = 0;
        logFont.lfUnderline = 0;
        logFont.lfStrikeOut = 0;
    } else {
        logFont = LOGFONTA{};
        GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof logFont, &logFont);
        logFont.lfPitchAndFamily = FIXED_PITCH;  // a hint only: the face name decides
        logFont.lfQuality = ANTIALIASED_QUALITY;
    }
    logFont.lfHeight = height;
    if (!face.empty()) {
        // The field holds 31 characters and the terminator; a longer name is
        // cut rather than allowed to run past it.
        size_t length = std::min(face.size(), sizeof logFont.lfFaceName - 1);
        std::memcpy(logFont.lfFaceName, face.data(), length);
        logFont.lfFaceName[length] = '\0';
    }
    if (style & Bold)
        logFont.lfWeight = FW_BOLD;
    if (style & Italic)
        logFont.lfItalic = 1;
    if (style & StrikeOut)
        logFont.lfStrikeOut = 1;
    return installed != nullptr;
}

HFONT Font::GetHandle()
{
    if (!handle) {
        LOGFONTA description = logFont;
        handle.Reset(CreateFontIndirectA(&description));
        ++fontsMade;
    }
    return handle.Get();
}

size_t Font::MadeCount()
{
    return fontsMade.load();
}
