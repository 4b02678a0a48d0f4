#include "tools/voxlume/SpeechRequest.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Case {
    const char* name;
    ULONG_PTR tag;
    std::wstring units;  // what is sent, terminators as given
    long byteDelta;      // added to the natural size in bytes
    bool accepted;
    std::wstring words;
};

TEST(ReadSpeechRequest, AcceptsOnlyTheOneRequest)
{
    using namespace std::string_literals;
    const Case cases[] = {
        {"words", 1, L"Speak 1.0850/1.0852\0"s, 0, true, L"1.0850/1.0852"},
        {"nothing to say", 1, L"Speak\0"s, 0, true, L""},
        {"space only", 1, L"Speak \0"s, 0, true, L""},
        {"stops at first terminator", 1, L"Speak a\0junk\0"s, 0, true, L"a"},
        {"other tag", 2, L"Speak a\0"s, 0, false, L""},
        {"no terminator", 1, L"Speak abc"s, 0, false, L""},
        {"terminator cut off", 1, L"Speak abc\0"s, -2, false, L""},
        {"odd size", 1, L"Speak abc\0"s, -1, false, L""},
        {"other command", 1, L"Shout abc\0"s, 0, false, L""},
        {"no space", 1, L"Speaker\0"s, 0, false, L""},
        {"lower case", 1, L"speak a\0"s, 0, false, L""},
        {"empty", 1, L""s, 0, false, L""},
        {"short", 1, L"Spe\0"s, 0, false, L""},
        {"too long", 1, L"Speak "s + std::wstring(40000, L'x') + L'\0', 0, false, L""},
    };
    for (const Case& c : cases) {
        std::wstring units = c.units;
        COPYDATASTRUCT data{};
        data.dwData = c.tag;
        data.cbData = static_cast<DWORD>(static_cast<long>(units.size() * sizeof(wchar_t)) + c.byteDelta);
        data.lpData = units.empty() ? nullptr : units.data();
        std::optional<SpeechRequest> request = ReadSpeechRequest(data);
        EXPECT_EQ(request.has_value(), c.accepted) << c.name;
        if (request && c.accepted) {
            EXPECT_EQ(request->words, c.words) << c.name;
            EXPECT_EQ(request->message.substr(0, 5), L"Speak") << c.name;
        }
    }
}

TEST(ToUtf8, ConvertsTheWholeText)
{
    EXPECT_EQ(ToUtf8(L""), "");
    EXPECT_EQ(ToUtf8(L"Speak 1.08"), "Speak 1.08");
    EXPECT_EQ(ToUtf8(L"Speak \u00e9\u20ac"), "Speak \xc3\xa9\xe2\x82\xac");
}

}  // namespace
