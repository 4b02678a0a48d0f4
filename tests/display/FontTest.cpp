#include "display/Font.h"
#include "display/FontManager.h"
#include "display/HaloText.h"
#include "tests/display/DisplayTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

LOGFONTA DefaultGuiFont()
{
    LOGFONTA description{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof description, &description);
    return description;
}

// An installed face with at least one letter, taken from the catalogue.
std::string SomeInstalledFace()
{
    for (const auto& entry : FontManager::GetInstance().fonts)
        for (const LOGFONTA& logFont : entry.second.logFonts)
            for (const char* c = logFont.lfFaceName; *c != '\0'; ++c)
                if (std::isalpha(static_cast<unsigned char>(*c)) && logFont.lfFaceName[0] != '@')
                    return logFont.lfFaceName;
    return std::string();
}

TEST(FontManager, EnumeratesOnceAndFindsFacesExactly)
{
    FontManager& catalogue = FontManager::GetInstance();
    EXPECT_EQ(&catalogue, &FontManager::GetInstance());
    ASSERT_FALSE(catalogue.fonts.empty()) << "no fonts reported by the system";
    EXPECT_EQ(catalogue.Find(""), nullptr);
    EXPECT_EQ(catalogue.Find("No Such Face Anywhere"), nullptr);

    std::string face = SomeInstalledFace();
    ASSERT_FALSE(face.empty());
    const LOGFONTA* found = catalogue.Find(face);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->lfFaceName, face.c_str());
}

TEST(FontManager, TakesAFaceFromTheScriptThatSortsFirst)
{
    const auto& fonts = FontManager::GetInstance().fonts;
    for (const auto& entry : fonts) {
        for (const LOGFONTA& logFont : entry.second.logFonts) {
            const LOGFONTA* found = FontManager::GetInstance().Find(logFont.lfFaceName);
            ASSERT_NE(found, nullptr);
            // The first script (in key order) that has the face owns the result.
            for (const auto& earlier : fonts) {
                const auto& list = earlier.second.logFonts;
                bool hasFace = false;
                for (const LOGFONTA& candidate : list)
                    hasFace = hasFace || std::strcmp(candidate.lfFaceName, logFont.lfFaceName) == 0;
                if (hasFace) {
                    EXPECT_TRUE(found >= list.data() && found < list.data() + list.size()) << logFont.lfFaceName;
                    break;
                }
            }
        }
    }
}

TEST(Font, EmptyFaceIsTheDefaultGuiFontInBold)
{
    LOGFONTA gui = DefaultGuiFont();
    Font font("", Font::Bold, 12);
    EXPECT_STREQ(font.logFont.lfFaceName, gui.lfFaceName);
    EXPECT_EQ(font.logFont.lfHeight, 12);
    EXPECT_EQ(font.logFont.lfWeight, 700);
    EXPECT_EQ(font.logFont.lfPitchAndFamily, 1);
    EXPECT_EQ(font.logFont.lfQuality, ANTIALIASED_QUALITY);
    EXPECT_EQ(font.logFont.lfCharSet, gui.lfCharSet);
    EXPECT_FALSE(font.Set("", Font::Bold, 12));
}

TEST(Font, StyleBitsSetWeightItalicAndStrikeOut)
{
    struct Case {
        int32_t style;
        LONG weight;
        BYTE italic;
        BYTE strikeOut;
    } cases[] = {
        {0, 400, 0, 0}, {1, 700, 0, 0}, {2, 400, 1, 0}, {4, 400, 0, 1}, {7, 700, 1, 1}, {8, 400, 0, 0},
    };
    std::string face = SomeInstalledFace();
    for (const std::string& name : {std::string(), face}) {
        for (const Case& c : cases) {
            Font font(name, c.style, 10);
            EXPECT_EQ(font.logFont.lfWeight, c.weight) << name << " style " << c.style;
            EXPECT_EQ(font.logFont.lfItalic, c.italic) << name << " style " << c.style;
            EXPECT_EQ(font.logFont.lfStrikeOut, c.strikeOut) << name << " style " << c.style;
            EXPECT_EQ(font.logFont.lfUnderline, 0);
            EXPECT_EQ(font.logFont.lfHeight, 10);
        }
    }
}

TEST(Font, InstalledFaceKeepsWhatTheSystemReported)
{
    std::string face = SomeInstalledFace();
    const LOGFONTA* installed = FontManager::GetInstance().Find(face);
    ASSERT_NE(installed, nullptr);
    Font font(face, 0, 10);
    EXPECT_TRUE(font.Set(face, 0, 10));
    EXPECT_STREQ(font.logFont.lfFaceName, face.c_str());
    EXPECT_EQ(font.logFont.lfCharSet, installed->lfCharSet);
    EXPECT_EQ(font.logFont.lfPitchAndFamily, installed->lfPitchAndFamily);
    EXPECT_EQ(font.logFont.lfQuality, installed->lfQuality);
    EXPECT_EQ(font.logFont.lfEscapement, 0);
    EXPECT_EQ(font.logFont.lfOrientation, 0);
}

TEST(Font, FaceInOtherLetterCaseIsNotFoundButItsNameIsPassedOn)
{
    std::string face = SomeInstalledFace();
    std::string changed = face;
    for (char& c : changed)
        c = std::isupper(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
                                                         : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_EQ(FontManager::GetInstance().Find(changed), nullptr);

    LOGFONTA gui = DefaultGuiFont();
    Font font(changed, Font::Bold, 12);
    EXPECT_FALSE(font.Set(changed, Font::Bold, 12));
    EXPECT_STREQ(font.logFont.lfFaceName, changed.c_str());
    EXPECT_EQ(font.logFont.lfCharSet, gui.lfCharSet);
    EXPECT_EQ(font.logFont.lfPitchAndFamily, 1);
    EXPECT_EQ(font.logFont.lfQuality, ANTIALIASED_QUALITY);
}

TEST(Font, OverlongFaceNameIsCutToTheField)
{
    std::string longName(80, 'Q');
    Font font(longName, 0, 10);
    EXPECT_EQ(std::string(font.logFont.lfFaceName), std::string(LF_FACESIZE - 1, 'Q'));
}

TEST(Font, HandleIsMadeOnceAndDeletedWithTheFont)
{
    HFONT handle;
    {
        Font font("", Font::Bold, 12);
        handle = font.GetHandle();
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(font.GetHandle(), handle);
        EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_FONT));
    }
    EXPECT_EQ(GetObjectType(handle), 0u);
}

TEST(HaloText, OutlineInLightBlueTextInBlue)
{
    Canvas canvas(120, 40);
    RECT all = canvas.Bounds();
    FillRect(canvas.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(canvas.Get(), TRANSPARENT);
    // The context's own font: not anti-aliased, so both colours stay pure.
    DrawHaloText(canvas.Get(), 10, 10, "MWHM");
    EXPECT_EQ(GetTextColor(canvas.Get()), haloTextColor);
    int outline = canvas.CountColor(all, haloOutlineColor);
    int text = canvas.CountColor(all, haloTextColor);
    EXPECT_GT(outline, 0);
    EXPECT_GT(text, 0);
    // The outline surrounds the text: it reaches one pixel further out on
    // every side.
    auto extent = [&canvas](COLORREF colour) {
        RECT box{1000, 1000, -1, -1};
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 120; ++x)
                if (canvas.Pixel(x, y) == colour) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x);
                    box.bottom = std::max<LONG>(box.bottom, y);
                }
        return box;
    };
    RECT inner = extent(haloTextColor), outer = extent(haloOutlineColor);
    EXPECT_EQ(outer.left, inner.left - 1);
    EXPECT_EQ(outer.top, inner.top - 1);
    EXPECT_EQ(outer.right, inner.right + 1);
    EXPECT_EQ(outer.bottom, inner.bottom + 1);
}

}  // namespace
