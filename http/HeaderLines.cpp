#include "http/HeaderLines.h"

#include "base/Text.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsTokenChar(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return true;
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')
        return true;
    return c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

bool IsToken(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return IsTokenChar(static_cast<unsigned char>(c)); });
}

bool HeaderField::WellFormed() const
{
    if (!hasColon || folded || !IsToken(name))
        return false;
    return std::none_of(value.begin(), value.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7F;
    });
}

bool HeaderField::Is(std::string_view wanted) const
{
    return hasColon && !wanted.empty() && EqualsNoCase(name, wanted);
}

HeaderField SplitHeaderLine(std::string_view line)
{
    HeaderField field;
    field.folded = !line.empty() && IsBlank(line.front());
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        field.value = TrimBlanks(line);
        return field;
    }
    field.hasColon = true;
    field.name = line.substr(0, colon);
    field.value = TrimBlanks(line.substr(colon + 1));
    return field;
}

bool NextLine(std::string_view text, std::size_t& at, std::string_view& line)
{
    const std::size_t lf = text.find('\n', at);
    if (lf == std::string_view::npos)
        return false;
    std::size_t end = lf;
    if (end > at && text[end - 1] == '\r')
        --end;
    line = text.substr(at, end - at);
    at = lf + 1;
    return true;
}

HeaderLineReader::Step HeaderLineReader::Next(HeaderField& field)
{
    std::string_view line;
    if (!NextLine(text, at, line)) {
        field = at < text.size() ? SplitHeaderLine(text.substr(at)) : HeaderField{};
        return Step::Incomplete;
    }
    if (line.empty())
        return Step::End;
    if (++lines > maxLines)
        return Step::TooMany;
    field = SplitHeaderLine(line);
    return Step::Field;
}

std::vector<std::string> HeaderValues(std::string_view block, std::string_view name)
{
    std::vector<std::string> values;
    std::size_t first = block.find('\n');
    if (first == std::string_view::npos)
        return values;
    HeaderLineReader reader(block.substr(first + 1));
    for (HeaderField field;;) {
        const HeaderLineReader::Step step = reader.Next(field);
        if (step == HeaderLineReader::Step::End || step == HeaderLineReader::Step::TooMany)
            break;
        if (field.Is(name))
            values.emplace_back(field.value);
        if (step == HeaderLineReader::Step::Incomplete)
            break;
    }
    return values;
}

std::vector<std::string_view> ListElements(std::string_view value)
{
    std::vector<std::string_view> elements;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = value.find(',', begin);
        const std::size_t end = comma == std::string_view::npos ? value.size() : comma;
        elements.push_back(TrimBlanks(value.substr(begin, end - begin)));
        if (comma == std::string_view::npos)
            return elements;
        begin = comma + 1;
    }
}

bool ListHas(std::string_view value, std::string_view option)
{
    const std::vector<std::string_view> elements = ListElements(value);
    return std::any_of(elements.begin(), elements.end(),
                       [&](std::string_view element) { return EqualsNoCase(element, option); });
}
