#include "tests/support/TextHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ReplaceCase {
    std::string text;
    std::string pattern;
    std::string replacement;
    std::string expected;
};

TEST(ReplaceAll, ScansLeftToRightWithoutBackingUp)
{
    const ReplaceCase cases[] = {
        {"a,,0b", ",,0", ",,", "a,,b"},
        {",,0,,0", ",,0", ",,", ",,,,"},
        // The scan resumes behind the inserted ",,": the zero left over is
        // not searched with the commas in front of it.
        {",,00", ",,0", ",,", ",,0"},
        {",,0,0", ",,0", ",,", ",,,0"},
        {",,,0", ",,0", ",,", ",,,"},
        {"abc", ",,0", ",,", "abc"},
        {"", ",,0", ",,", ""},
        {"abc", "", "x", "abc"},
        // A replacement containing its pattern is not searched again.
        {"aaa", "a", "aa", "aaaaaa"},
        {"abab", "ab", "", ""},
        {"xabyabz", "ab", "--", "x--y--z"},
        {"ab", "abc", "x", "ab"},
        {std::string("a\0b", 3), std::string("\0", 1), "-", "a-b"},
    };
    for (const ReplaceCase& c : cases) {
        std::string text = c.text;
        std::string& result = ReplaceAll(text, c.pattern, c.replacement);
        EXPECT_EQ(&result, &text) << "must return the text it changed";
        EXPECT_EQ(text, c.expected) << "text '" << c.text << "' pattern '" << c.pattern << "'";
    }
}

struct SplitCase {
    std::string text;
    std::string separator;
    std::vector<std::string> expected;
};

TEST(Split, KeepsEveryFieldIncludingEmptyOnes)
{
    const SplitCase cases[] = {
        {"a,b,,c", ",", {"a", "b", "", "c"}},
        {"a,b,", ",", {"a", "b", ""}},
        {",a", ",", {"", "a"}},
        {",", ",", {"", ""}},
        {",,,", ",", {"", "", "", ""}},
        {"", ",", {""}},
        {"abc", ",", {"abc"}},
        {"a - b", " - ", {"a", "b"}},
        {"a-b - c", " - ", {"a-b", "c"}},
        {"a -b", " - ", {"a -b"}},
        // Matches do not overlap: the second comma of ",,," starts the next.
        {"a,,,b", ",,", {"a", ",b"}},
        {"\r\n1\n,2", ",", {"\r\n1\n", "2"}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(Split(c.text, c.separator), c.expected) << "text '" << c.text << "'";
}

TEST(Split, EmptySeparatorGivesTheTextAsItsOnlyField)
{
    EXPECT_EQ(Split("a,b", ""), std::vector<std::string>{"a,b"});
    EXPECT_EQ(Split("", ""), std::vector<std::string>{""});
}

}  // namespace
