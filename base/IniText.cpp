#include "base/IniText.h"

#include "base/Text.h"

namespace {

constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

// The name of a "[name]" line, blanks trimmed; none for any other line.
std::optional<std::string_view> HeaderName(std::string_view text)
{
    text = TrimSpace(text);
    if (text.empty() || text.front() != '[')
        return std::nullopt;
    size_t close = text.find_last_of(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return TrimSpace(text.substr(1, close - 1));
}

bool IsComment(std::string_view text)
{
    text = TrimSpace(text);
    return !text.empty() && text.front() == ';';
}

// The entry's name: the line before its "=" (or all of it), trimmed.
std::string_view EntryName(std::string_view text)
{
    return TrimSpace(text.substr(0, text.find('=')));
}

std::string_view Unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

IniText::IniText(std::string_view bytes)
{
    if (bytes.substr(0, Utf8ByteOrderMark.size()) == Utf8ByteOrderMark) {
        byteOrderMark = std::string(Utf8ByteOrderMark);
        bytes.remove_prefix(Utf8ByteOrderMark.size());
    }
    while (!bytes.empty()) {
        size_t newline = bytes.find('\n');
        Line line;
        if (newline == std::string_view::npos) {
            line.text = std::string(bytes);
            bytes = std::string_view();
        } else {
            std::string_view text = bytes.substr(0, newline);
            bool crlf = !text.empty() && text.back() == '\r';
            line.text = std::string(crlf ? text.substr(0, text.size() - 1) : text);
            line.end = crlf ? "\r\n" : "\n";
            bytes.remove_prefix(newline + 1);
        }
        lines.push_back(std::move(line));
    }
}

std::optional<size_t> IniText::FindSection(std::string_view section) const
{
    for (size_t i = 0; i < lines.size(); ++i) {
        std::optional<std::string_view> name = HeaderName(lines[i].text);
        if (name && EqualsNoCase(*name, TrimSpace(section)))
            return i;
    }
    return std::nullopt;
}

size_t IniText::SectionEnd(size_t header) const
{
    size_t end = header + 1;
    while (end < lines.size() && !HeaderName(lines[end].text))
        ++end;
    return end;
}

size_t IniText::InsertionPoint(size_t header) const
{
    size_t end = SectionEnd(header);
    while (end > header + 1 && TrimSpace(lines[end - 1].text).empty())
        --end;
    return end;
}

std::optional<std::string> IniText::Value(std::string_view section, std::string_view key) const
{
    std::optional<size_t> header = FindSection(section);
    if (!header)
        return std::nullopt;
    for (size_t i = *header + 1, end = SectionEnd(*header); i < end; ++i) {
        const std::string& text = lines[i].text;
        if (!EqualsNoCase(EntryName(text), TrimSpace(key)))
            continue;
        size_t equals = text.find('=');
        if (equals == std::string::npos)
            return std::nullopt;
        return std::string(Unquoted(TrimSpace(std::string_view(text).substr(equals + 1))));
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> IniText::Section(std::string_view section) const
{
    std::optional<size_t> header = FindSection(section);
    if (!header)
        return std::nullopt;
    std::vector<std::string> entries;
    for (size_t i = *header + 1, end = SectionEnd(*header); i < end; ++i) {
        std::string_view text = lines[i].text;
        if (TrimSpace(text).empty() || IsComment(text))
            continue;
        size_t equals = text.find('=');
        std::string entry(EntryName(text));
        if (equals != std::string_view::npos)
            entry += "=" + std::string(TrimSpace(text.substr(equals + 1)));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string IniText::NewLineEnd() const
{
    return !lines.empty() && lines.front().end == "\n" ? "\n" : "\r\n";
}

size_t IniText::AppendSection(std::string_view section)
{
    const std::string end = NewLineEnd();
    if (!lines.empty()) {
        if (lines.back().end.empty())
            lines.back().end = end;
        if (!TrimSpace(lines.back().text).empty())
            lines.push_back(Line{std::string(), end});
    }
    lines.push_back(Line{"[" + std::string(TrimSpace(section)) + "]", end});
    return lines.size() - 1;
}

void IniText::Set(std::string_view section, std::string_view key, std::string_view text)
{
    // Quotes keep what reading would take away: blanks at the ends, or
    // quotes of the value's own around it.
    std::string value(text);
    if (!value.empty() &&
        (IsAsciiSpace(value.front()) || IsAsciiSpace(value.back()) || Unquoted(value) != text))
        value = '"' + value + '"';
    std::optional<size_t> found = FindSection(section);
    size_t header = found ? *found : AppendSection(section);
    for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
        Line& line = lines[i];
        if (EqualsNoCase(EntryName(line.text), TrimSpace(key))) {
            line.text = std::string(EntryName(line.text)) + "=" + value;
            return;
        }
    }
    size_t at = InsertionPoint(header);
    const std::string end = NewLineEnd();
    if (lines[at - 1].end.empty())
        lines[at - 1].end = end;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                 Line{std::string(TrimSpace(key)) + "=" + value, end});
}

void IniText::SetSection(std::string_view section, const std::vector<std::string>& entries)
{
    std::optional<size_t> found = FindSection(section);
    size_t header = found ? *found : AppendSection(section);
    size_t at = InsertionPoint(header);
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header + 1),
                lines.begin() + static_cast<std::ptrdiff_t>(at));
    const std::string end = NewLineEnd();
    if (lines[header].end.empty())
        lines[header].end = end;
    std::vector<Line> added;
    for (const std::string& entry : entries)
        added.push_back(Line{entry, end});
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(header + 1), added.begin(), added.end());
}

std::string IniText::Bytes() const
{
    std::string bytes = byteOrderMark;
    for (const Line& line : lines)
        bytes += line.text + line.end;
    return bytes;
}

std::optional<long long> IniInteger(std::string_view value)
{
    size_t at = 0;
    while (at < value.size() && IsAsciiSpace(value[at]))
        ++at;
    bool negative = false;
    if (at < value.size() && (value[at] == '+' || value[at] == '-'))
        negative = value[at++] == '-';
    size_t digits = at;
    long long number = 0;
    for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at) {
        if (number > IniIntegerLimit / 10)
            number = IniIntegerLimit + 1;  // saturated: more digits change nothing
        else
            number = number * 10 + (value[at] - '0');
    }
    if (at == digits)
        return std::nullopt;
    if (number > IniIntegerLimit)
        number = IniIntegerLimit;
    return negative ? -number : number;
}
