#include "base/Text.h"

#include <gtest/gtest.h>

TEST(Text, CaseFoldingTouchesOnlyAsciiLetters)
{
    EXPECT_EQ(LowerAscii("Content-LENGTH: 9 \xC4\xB0"), "content-length: 9 \xC4\xB0");
    EXPECT_EQ(LowerAscii('@'), '@');  // just before 'A'
    EXPECT_EQ(LowerAscii('['), '[');  // just after 'Z'
}

TEST(Text, ComparesIgnoringCase)
{
    struct Case {
        const char* a;
        const char* b;
        bool equal;
        bool prefix;  // b begins a
    };
    const Case cases[] = {
        {"Transfer-Encoding", "transfer-encoding", true, true},
        {"HTTP://host", "http://", false, true},
        {"HTTPS://host", "http://", false, false},
        {"http", "http://", false, false},  // shorter than the prefix
        {"", "", true, true},
        {"keep-alive", "keep-alivE", true, true},
        {"k\xE9y", "K\xC9Y", false, false},  // Latin-1 letters are not folded
        {"[", "{", false, false},  // '[' + 32 is '{', but '[' is no letter
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EqualsNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(EqualsNoCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
        EXPECT_EQ(StartsWithNoCase(c.a, c.b), c.prefix) << c.a << " / " << c.b;
    }
}

TEST(Text, TrimsSpaceOrOnlyBlanks)
{
    struct Case {
        const char* text;
        const char* space;   // TrimSpace
        const char* blanks;  // TrimBlanks
    };
    const Case cases[] = {
        {"", "", ""},
        {" \t\r\n", "", "\r\n"},
        {"\t 25 \t", "25", "25"},
        {"\r\nEURUSD\r\n", "EURUSD", "\r\nEURUSD\r\n"},
        {" a b ", "a b", "a b"},
        {"\v1\f", "\v1\f", "\v1\f"},  // only these four count as space
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrimSpace(c.text), c.space) << '[' << c.text << ']';
        EXPECT_EQ(TrimBlanks(c.text), c.blanks) << '[' << c.text << ']';
    }
    EXPECT_TRUE(IsAsciiSpace('\n'));
    EXPECT_FALSE(IsAsciiSpace('\0'));
}
