#include "tests/support/TextHelpers.h"

std::string& ReplaceAll(std::string& text, const std::string& pattern, const std::string& replacement)
{
    if (pattern.empty())
        return text;
    std::string::size_type found = text.find(pattern);
    if (found == std::string::npos)
        return text;

    // Replacing in place would move the tail once per match. Building the
    // result once gives the same text: after each replacement the scan goes
    // on right behind it, where the rest is still the original text.
    std::string result;
    result.reserve(text.size());
    std::string::size_type copied = 0;
    while (found != std::string::npos) {
        result.append(text, copied, found - copied);
        result.append(replacement);
        copied = found + pattern.size();
        found = text.find(pattern, copied);
    }
    result.append(text, copied, std::string::npos);
    text.swap(result);
    return text;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> fields;
    if (separator.empty()) {
        // find("") matches everywhere and would never advance.
        fields.push_back(text);
        return fields;
    }
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type found = text.find(separator, start);
        if (found == std::string::npos)
            break;
        fields.emplace_back(text, start, found - start);
        start = found + separator.size();
    }
    fields.emplace_back(text, start, std::string::npos);
    return fields;
}
