#include "http/HeaderLines.h"

#include <gtest/gtest.h>

#include <string>

TEST(HeaderLines, SplitsNameAndValueAndJudgesTheLine)
{
    struct Case {
        const char* line;
        const char* name;
        const char* value;
        bool hasColon;
        bool wellFormed;
    };
    const Case cases[] = {
        {"Content-Length: 12", "Content-Length", "12", true, true},
        {"content-length:12", "content-length", "12", true, true},
        {"X:  \t padded \t ", "X", "padded", true, true},
        {"Empty:", "Empty", "", true, true},
        {"Time: 12:30:00", "Time", "12:30:00", true, true},
        {"Bytes: caf\xc3\xa9", "Bytes", "caf\xc3\xa9", true, true},
        {"Name : spaced", "Name ", "spaced", true, false},
        {" Folded: x", " Folded", "x", true, false},
        {"\tFolded: x", "\tFolded", "x", true, false},
        {"No colon here", "", "No colon here", false, false},
        {": no name", "", "no name", true, false},
        {"Bad(name): x", "Bad(name)", "x", true, false},
        {"Nul: a\0b", "Nul", "a", true, true},  // the literal ends at the NUL
        {"Ctl: a\x01"
         "b",
         "Ctl",
         "a\x01"
         "b",
         true, false},
        {"Del: a\x7f", "Del", "a\x7f", true, false},
        {"Tab: a\tb", "Tab", "a\tb", true, true},
    };
    for (const Case& c : cases) {
        HeaderField field = SplitHeaderLine(c.line);
        EXPECT_EQ(field.name, c.name) << c.line;
        EXPECT_EQ(field.value, c.value) << c.line;
        EXPECT_EQ(field.hasColon, c.hasColon) << c.line;
        EXPECT_EQ(field.WellFormed(), c.wellFormed) << c.line;
    }
}

TEST(HeaderLines, LooksNamesUpInAnyLetterCase)
{
    const struct {
        const char* line;
        const char* wanted;
        bool matches;
    } cases[] = {
        {"Connection: close", "connection", true},
        {"CONNECTION: close", "Connection", true},
        {"connection: close", "CONNECTION", true},
        {"Connections: close", "Connection", false},
        {"Connection: close", "Connectio", false},
        {"Connection close", "Connection close", false},  // no colon, no name
        {": x", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitHeaderLine(c.line).Is(c.wanted), c.matches) << c.line << " / " << c.wanted;
}

TEST(HeaderLines, WalksToTheEmptyLineWithinTheLineLimit)
{
    struct Case {
        const char* name;
        std::string lines;
        std::size_t maxLines;
        int fields;
        HeaderLineReader::Step last;
        std::size_t offset;  // after the last step
    };
    const Case cases[] = {
        {"crlf", "A: 1\r\nB: 2\r\n\r\nbody", 10, 2, HeaderLineReader::Step::End, 14},
        {"bare lf", "A: 1\nB: 2\n\nbody", 10, 2, HeaderLineReader::Step::End, 11},
        {"no header lines", "\r\nbody", 10, 0, HeaderLineReader::Step::End, 2},
        {"at the limit", "A: 1\r\nB: 2\r\n\r\n", 2, 2, HeaderLineReader::Step::End, 14},
        {"past the limit", "A: 1\r\nB: 2\r\nC: 3\r\n\r\n", 2, 2, HeaderLineReader::Step::TooMany, 18},
        {"cut inside a line", "A: 1\r\nB: ", 10, 1, HeaderLineReader::Step::Incomplete, 6},
        {"cut before the empty line", "A: 1\r\n", 10, 1, HeaderLineReader::Step::Incomplete, 6},
        {"nothing", "", 10, 0, HeaderLineReader::Step::Incomplete, 0},
    };
    for (const Case& c : cases) {
        HeaderLineReader reader(c.lines, c.maxLines);
        HeaderField field;
        int fields = 0;
        HeaderLineReader::Step step;
        while ((step = reader.Next(field)) == HeaderLineReader::Step::Field)
            ++fields;
        EXPECT_EQ(fields, c.fields) << c.name;
        EXPECT_EQ(step, c.last) << c.name;
        EXPECT_EQ(reader.Offset(), c.offset) << c.name;
    }
}

TEST(HeaderLines, FindsValuesInABlockAndInACutOne)
{
    const std::string block =
        "HTTP/1.1 200 OK\r\nkeep-alive: timeout=5\nX: 1\r\n\r\nKeep-Alive: after the head\r\n";
    EXPECT_EQ(HeaderValues(block, "Keep-Alive"), std::vector<std::string>{"timeout=5"});
    EXPECT_EQ(HeaderValues("HTTP/1.1 200 OK\r\nX: 1\r\nLocation: /a", "location"),
              std::vector<std::string>{"/a"});
    EXPECT_TRUE(HeaderValues("Location: /a", "Location").empty());  // the first line is never a header line
}

TEST(HeaderLines, ReadsListsElementByElement)
{
    EXPECT_EQ(ListElements(" a ,b,, c\t"), (std::vector<std::string_view>{"a", "b", "", "c"}));
    EXPECT_TRUE(ListHas("keep-alive, Close", "close"));
    EXPECT_TRUE(ListHas("CLOSE", "close"));
    EXPECT_FALSE(ListHas("closed, unclose", "close"));
    EXPECT_FALSE(ListHas("", "close"));
    EXPECT_TRUE(IsToken("GET"));
    EXPECT_FALSE(IsToken(""));
    EXPECT_FALSE(IsToken("G T"));
}
