#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The one reader of HTTP header lines, for the client's responses and the
// local feed's requests alike: where each line ends, its name and value,
// the case-insensitive lookup, and the bound on the number of lines.

// RFC 9110's token: one or more of the letters, digits and "!#$%&'*+-.^_`|~"
// (field names and methods).
bool IsToken(std::string_view text);

// One header line taken apart.
struct HeaderField {
    std::string_view name;   // before the first colon, as sent; empty when the line has no colon
    std::string_view value;  // after it, without the spaces and tabs at either end
    bool hasColon = false;
    bool folded = false;  // starts with a space or tab: an obsolete continuation line
    // RFC 9110: the name a token, right before the colon; no continuation;
    // a value of visible characters, blanks and bytes from 0x80 up. A line
    // that is not well formed would be read differently by different parsers.
    bool WellFormed() const;
    // The name is `wanted`, in any letter case.
    bool Is(std::string_view wanted) const;
};

HeaderField SplitHeaderLine(std::string_view line);

// Walks the header lines of a head, from the first header line (the
// request or status line already taken) to the empty line.
class HeaderLineReader {
public:
    enum class Step {
        Field,       // one header line in `field`
        End,         // the empty line; Offset is past it
        Incomplete,  // no line end in what is left; `field` holds the rest, if any
        TooMany,     // a line past `lineLimit`
    };
    explicit HeaderLineReader(std::string_view head, std::size_t lineLimit = static_cast<std::size_t>(-1))
        : text(head), maxLines(lineLimit)
    {
    }
    Step Next(HeaderField& field);
    // Bytes taken so far, line ends included.
    std::size_t Offset() const { return at; }

private:
    std::string_view text;
    std::size_t maxLines;
    std::size_t at = 0;
    std::size_t lines = 0;
};

// The next line of `text` from `at`: up to its LF, without an optional CR
// before it. False (and `at` unchanged) when no LF is left.
bool NextLine(std::string_view text, std::size_t& at, std::string_view& line);

// The values of every header line of `block` (a status or request line,
// then header lines) whose name is `name` in any letter case. A last line
// without its line end counts too, so that a cut block still reads.
std::vector<std::string> HeaderValues(std::string_view block, std::string_view name);

// The elements of a comma-separated list value, each without surrounding
// blanks (empty elements kept).
std::vector<std::string_view> ListElements(std::string_view value);

// Whether the list `value` names `option` in any letter case ("close" in
// "Connection: keep-alive, Close").
bool ListHas(std::string_view value, std::string_view option);
