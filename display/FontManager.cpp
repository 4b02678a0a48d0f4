#include "display/FontManager.h"

#include "display/GdiObjects.h"

#include <cstring>

namespace {

// The fixed-size name fields of LOGFONTA and ENUMLOGFONTEXA need not be
// terminated; never read past them.
std::string FixedText(const BYTE* field, size_t size)
{
    const char* text = reinterpret_cast<const char*>(field);
    return std::string(text, strnlen(text, size));
}

int CALLBACK CollectFont(const LOGFONTA* logFont, const TEXTMETRICA*, DWORD, LPARAM catalogue)
{
    // For EnumFontFamiliesEx the description is really an ENUMLOGFONTEXA.
    const auto* described = reinterpret_cast<const ENUMLOGFONTEXA*>(logFont);
    auto& fonts = *reinterpret_cast<std::map<std::string, FontData>*>(catalogue);
    std::string script = FixedText(described->elfScript, sizeof described->elfScript);
    fonts[script].logFonts.push_back(described->elfLogFont);
    return 1;  // go on to the end
}

}  // namespace

FontManager::FontManager()
{
    LOGFONTA everything{};
    everything.lfCharSet = DEFAULT_CHARSET;  // every face in every character set
    WindowDC screen(nullptr);
    if (screen.Get() != nullptr)
        EnumFontFamiliesExA(screen.Get(), &everything, CollectFont, reinterpret_cast<LPARAM>(&fonts), 0);
}

FontManager& FontManager::GetInstance()
{
    static FontManager catalogue;
    return catalogue;
}

const LOGFONTA* FontManager::Find(const std::string& face) const
{
    for (const auto& entry : fonts) {
        for (const LOGFONTA& logFont : entry.second.logFonts) {
            const char* name = logFont.lfFaceName;
            size_t length = strnlen(name, LF_FACESIZE);
            if (length == face.size() && std::memcmp(name, face.data(), length) == 0)
                return &logFont;
        }
    }
    return nullptr;
}
