// Settings text read as the profile functions read it, and changed one key
// at a time with every other byte kept; the window's figures in it.
#include "base/IniText.h"
#include "base/StoredPlacement.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(IniText, ReadsValuesByTheProfileRules)
{
    const std::string file = "\xEF\xBB\xBF"
                             "Before=no section\r\n"
                             "[ quillbrae ]\r\n"
                             "; RateUrl=commented out\r\n"
                             "  RATEURL =  http://a/  \r\n"
                             "RateUrl=second\r\n"
                             "Quoted=\"  padded  \"\r\n"
                             "Single='x'\r\n"
                             "Lonely=\"\r\n"
                             "Equals=a=b=c\r\n"
                             "Bare\r\n"
                             "Empty=\r\n"
                             "[Quillbrae]\r\n"
                             "Later=the second section of a name is not read\r\n"
                             "[Window]\n"
                             "MainLeft=40";
    const IniText text(file);
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    } const cases[] = {
        {"Quillbrae", "RateUrl", "http://a/"},  // names in any case, blanks trimmed, first one counts
        {"QUILLBRAE", "rateurl", "http://a/"},
        {"Quillbrae", "Quoted", "  padded  "},
        {"Quillbrae", "Single", "x"},
        {"Quillbrae", "Lonely", "\""},
        {"Quillbrae", "Equals", "a=b=c"},
        {"Quillbrae", "Bare", std::nullopt},
        {"Quillbrae", "Empty", ""},
        {"Quillbrae", "Later", std::nullopt},
        {"Quillbrae", "Before", std::nullopt},
        {"Quillbrae", "; RateUrl", "commented out"},  // as the profile functions have it
        {"Window", "MainLeft", "40"},                 // LF ends a line too; the last needs no end
        {"Nowhere", "MainLeft", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(text.Value(c.section, c.key), c.value);
    }
    EXPECT_EQ(text.Bytes(), file) << "reading changes nothing";
}

TEST(IniText, HandsOverASectionsEntriesAsTheProfileDoes)
{
    const IniText text("[Alerts]\r\n"
                       "; my levels\r\n"
                       "  EURUSD = above 1.09 ; below 1.08 \r\n"
                       "\r\n"
                       "bare\r\n"
                       "[alerts]\r\n"
                       "USDJPY=above 150\r\n"
                       "[Empty]\r\n");
    EXPECT_EQ(text.Section("ALERTS"), (std::vector<std::string>{"EURUSD=above 1.09 ; below 1.08", "bare"}));
    EXPECT_EQ(text.Section("Empty"), std::vector<std::string>());
    EXPECT_EQ(text.Section("Missing"), std::nullopt);
}

TEST(IniText, ChangesOneKeyAndKeepsEveryOtherByte)
{
    struct Case {
        const char* name;
        std::string before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    } const cases[] = {
        {"replaced in place", "[A]\r\nk=1\r\n; note\r\n[B]\r\nk=2\r\n", "A", "k", "3",
         "[A]\r\nk=3\r\n; note\r\n[B]\r\nk=2\r\n"},
        {"the key's spelling kept", "[a]\r\n  KEY = old \r\nz=1\r\n", "A", "key", "new",
         "[a]\r\nKEY=new\r\nz=1\r\n"},
        {"added before the blank lines", "[A]\r\nx=1\r\n\r\n[B]\r\n", "A", "k", "v",
         "[A]\r\nx=1\r\nk=v\r\n\r\n[B]\r\n"},
        {"section added", "[A]\r\nx=1", "Q", "k", "v", "[A]\r\nx=1\r\n\r\n[Q]\r\nk=v\r\n"},
        {"empty file", "", "Q", "k", "v", "[Q]\r\nk=v\r\n"},
        {"LF kept", "[A]\nx=1\n", "A", "k", "v", "[A]\nx=1\nk=v\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[A]\r\n", "A", "k", "v", "\xEF\xBB\xBF[A]\r\nk=v\r\n"},
        {"first of two sections", "[A]\r\n[A]\r\nk=1\r\n", "A", "k", "2", "[A]\r\nk=2\r\n[A]\r\nk=1\r\n"},
        {"blanks kept by quotes", "[A]\r\n", "A", "k", " x ", "[A]\r\nk=\" x \"\r\n"},
        {"quotes kept by quotes", "[A]\r\n", "A", "k", "'q'", "[A]\r\nk=\"'q'\"\r\n"},
        {"a lone quote needs none", "[A]\r\n", "A", "k", "\"q", "[A]\r\nk=\"q\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IniText text(c.before);
        text.Set(c.section, c.key, c.value);
        EXPECT_EQ(text.Bytes(), c.after);
        EXPECT_EQ(IniText(text.Bytes()).Value(c.section, c.key), std::string(c.value))
            << "reads back as written";
    }
}

TEST(IniText, ReplacesASectionsEntriesOnly)
{
    IniText text("[Alerts]\r\n; old\r\nEURUSD=above 1\r\n\r\n[Window]\r\nMainLeft=4\r\n");
    text.SetSection("alerts", {"USDJPY=below 140", "GBPUSD=above 1.3"});
    EXPECT_EQ(text.Bytes(),
              "[Alerts]\r\nUSDJPY=below 140\r\nGBPUSD=above 1.3\r\n\r\n[Window]\r\nMainLeft=4\r\n");
    text.SetSection("Extra", {"a=1"});
    EXPECT_EQ(IniText(text.Bytes()).Section("Extra"), std::vector<std::string>{"a=1"});
    text.SetSection("Alerts", {});
    EXPECT_EQ(IniText(text.Bytes()).Section("Alerts"), std::vector<std::string>());
    EXPECT_EQ(IniText(text.Bytes()).Value("Window", "MainLeft"), "4");
}

TEST(IniText, ReadsLeadingWholeNumbersLikeStrtoll)
{
    struct Case {
        const char* text;
        std::optional<long long> value;
    } const cases[] = {
        {"12000", 12000},
        {"  -5", -5},
        {"+7x", 7},
        {"60000ms", 60000},
        {"text", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"99999999999999999999999999", IniIntegerLimit},
        {"-99999999999999999999999999", -IniIntegerLimit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IniInteger(c.text), c.value);
    }
}

TEST(StoredPlacement, FiguresAreBoundedOrUnknown)
{
    struct Case {
        const char* file;
        StoredPlacement expected;
    };
    const long limit = StoredPlacement::CoordinateLimit;
    const Case cases[] = {
        {"[Window]\r\nMainLeft=40\r\nMainTop=-30\r\nMainWidth=560\r\nMainHeight=290\r\nZoomed=1\r\n",
         {40, -30, 560, 290, true}},
        {"[Window]\r\nMainLeft=abc\r\nMainTop=\r\nMainWidth=wide\r\nMainHeight=-5\r\n", {}},
        {"[Window]\r\nMainLeft=99999999999999999999\r\nMainWidth=0\r\nMainHeight=99999999999\r\n",
         {limit, std::nullopt, std::nullopt, StoredPlacement::SizeLimit, false}},
        {"[Window]\r\nMainLeft=-99999999999999999999\r\nZoomed=0\r\n", {-limit, {}, {}, {}, false}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_TRUE(ReadPlacement(IniText(c.file)) == c.expected);
    }

    // Known figures are written; unknown ones stay as the file has them.
    IniText text("[Window]\r\nMainTop=keep\r\n");
    WritePlacement(text, StoredPlacement{-40, std::nullopt, 350, 250, false});
    EXPECT_EQ(text.Bytes(),
              "[Window]\r\nMainTop=keep\r\nMainLeft=-40\r\nMainWidth=350\r\nMainHeight=250\r\nZoomed=0\r\n");
}

}  // namespace
