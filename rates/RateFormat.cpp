#include "rates/RateFormat.h"

#include "base/Text.h"

namespace {
struct NamedFormat {
    RateFormat format;
    const char* name;
};
constexpr NamedFormat kFormats[] = {{RateFormat::Auto, "auto"},
                                    {RateFormat::List, "list"},
                                    {RateFormat::Json, "json"},
                                    {RateFormat::Ecb, "ecb"}};
} // namespace

bool ParseRateFormat(const std::string& text, RateFormat& format)
{
    for (const NamedFormat& named : kFormats) {
        if (EqualsNoCase(text, named.name)) {
            format = named.format;
            return true;
        }
    }
    return false;
}

const char* RateFormatName(RateFormat format)
{
    for (const NamedFormat& named : kFormats) {
        if (named.format == format)
            return named.name;
    }
    return "auto";
}

RateFormat DetectRateFormat(const std::string& body)
{
    std::size_t start = body.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const std::size_t first = body.find_first_not_of(" \t\r\n", start);
    if (first == std::string::npos)
        return RateFormat::List;
    switch (body[first]) {
    case '{':
    case '[':
        return RateFormat::Json;
    case '<':
        return RateFormat::Ecb;
    default:
        return RateFormat::List;
    }
}
