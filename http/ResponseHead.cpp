#include "http/ResponseHead.h"

#include "base/Text.h"

#include <cctype>

namespace {

// Every "Content-Length" value, commas included, must name one and the same
// decimal number; anything else is no length at all. `tooLarge` when that
// number passes `maxBody`.
bool AgreedLength(const std::vector<std::string>& values, size_t maxBody, size_t& length, bool& tooLarge)
{
    bool found = false;
    tooLarge = false;
    for (const std::string& value : values) {
        for (std::string_view element : ListElements(value)) {
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
        for (std::string_view element : ListElements(value))
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
