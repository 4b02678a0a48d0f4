#include "http/ResponseHead.h"

#include "base/Text.h"

#include <cctype>

namespace {

std::string Trim(const std::string& text, size_t begin, size_t end)
{
    return std::string(TrimBlanks(std::string_view(text).substr(begin, end - begin)));
}

bool SameLetters(const std::string& text, size_t at, const std::string& name)
{
    return text.size() - at >= name.size() && EqualsNoCase(std::string_view(text).substr(at, name.size()), name);
}

// Splits a comma-separated list into its trimmed elements.
std::vector<std::string> ListElements(const std::string& value)
{
    std::vector<std::string> elements;
    size_t begin = 0;
    for (;;) {
        size_t comma = value.find(',', begin);
        size_t end = comma == std::string::npos ? value.size() : comma;
        elements.push_back(Trim(value, begin, end));
        if (comma == std::string::npos)
            return elements;
        begin = comma + 1;
    }
}

// Every "Content-Length" value, commas included, must name one and the same
// decimal number; anything else is no length at all. `tooLarge` when that
// number passes `maxBody`.
bool AgreedLength(const std::vector<std::string>& values, size_t maxBody, size_t& length, bool& tooLarge)
{
    bool found = false;
    tooLarge = false;
    for (const std::string& value : values) {
        for (const std::string& element : ListElements(value)) {
            if (element.empty())
                return false;
            size_t number = 0;
            bool over = false;
            for (char c : element) {
                if (c < '0' || c > '9')
                    return false;
                size_t digit = static_cast<size_t>(c - '0');
                // Past the cap the exact figure no longer matters: any such
                // value stands for "one byte more than the cap".
                if (digit > maxBody || number > (maxBody - digit) / 10)
                    over = true;
                else
                    number = number * 10 + digit;
            }
            if (over) {
                tooLarge = true;
                number = maxBody + 1;
            }
            if (found && number != length)
                return false;
            found = true;
            length = number;
        }
    }
    return found;
}

}  // namespace

std::vector<std::string> HeaderValues(const std::string& block, const std::string& name)
{
    std::vector<std::string> values;
    size_t lineStart = block.find('\n');
    while (lineStart != std::string::npos && lineStart + 1 < block.size()) {
        ++lineStart;
        size_t lineEnd = block.find('\n', lineStart);
        size_t end = lineEnd == std::string::npos ? block.size() : lineEnd;
        if (end > lineStart && block[end - 1] == '\r')
            --end;
        size_t colon = lineStart + name.size();
        if (!name.empty() && colon < end && block[colon] == ':' && SameLetters(block, lineStart, name))
            values.push_back(Trim(block, colon + 1, end));
        lineStart = lineEnd;
    }
    return values;
}

int ParseStatusCode(const std::string& block)
{
    auto digit = [&](size_t at) { return at < block.size() && block[at] >= '0' && block[at] <= '9'; };
    if (block.compare(0, 5, "HTTP/") != 0 || !digit(5) || block.size() < 13 || block[6] != '.' || !digit(7) ||
        block[8] != ' ' || !digit(9) || !digit(10) || !digit(11))
        return 0;
    // Three digits, the first not 0, then the reason phrase or the end of
    // the line.
    if (block[9] == '0' || (block[12] != ' ' && block[12] != '\r' && block[12] != '\n'))
        return 0;
    return (block[9] - '0') * 100 + (block[10] - '0') * 10 + (block[11] - '0');
}

BodyFraming DecideFraming(const std::string& block, int status, const std::string& method, size_t maxBody)
{
    BodyFraming framing;
    if (status < 100 || status > 999)
        return framing;
    if (method == "HEAD" || status < 200 || status == 204 || status == 304) {
        framing.kind = BodyFraming::Kind::None;
        return framing;
    }
    std::vector<std::string> codings;
    for (const std::string& value : HeaderValues(block, "Transfer-Encoding")) {
        for (const std::string& element : ListElements(value))
            codings.push_back(LowerAscii(element));
    }
    if (!codings.empty()) {
        // Only plain chunked coding can be undone here; a body under any
        // other coding would reach the caller as something it is not.
        framing.kind = codings.size() == 1 && codings[0] == "chunked" ? BodyFraming::Kind::Chunked
                                                                       : BodyFraming::Kind::Malformed;
        return framing;
    }
    std::vector<std::string> lengths = HeaderValues(block, "Content-Length");
    if (lengths.empty()) {
        framing.kind = BodyFraming::Kind::UntilClose;
        return framing;
    }
    bool tooLarge = false;
    if (!AgreedLength(lengths, maxBody, framing.length, tooLarge))
        return framing;
    framing.kind = tooLarge ? BodyFraming::Kind::TooLarge : BodyFraming::Kind::Length;
    return framing;
}
