#include "display/WrapText.h"

namespace {

// The longest prefix of `text` (at least one character) that fits `width`.
size_t FittingPrefix(const std::string& text, int width,
                     const std::function<int(const std::string&)>& measure)
{
    size_t length = 1;
    while (length < text.size() && measure(text.substr(0, length + 1)) <= width)
        ++length;
    return length;
}

// `line` with "..." at its end, shortened until the whole fits `width`.
std::string Ellipsis(std::string line, int width, const std::function<int(const std::string&)>& measure)
{
    while (!line.empty() && measure(line + "...") > width)
        line.pop_back();
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line + "...";
}

} // namespace

std::vector<std::string> WrapText(const std::string& text, int width, size_t maxLines,
                                  const std::function<int(const std::string&)>& measure)
{
    std::vector<std::string> lines;
    std::string rest = text;
    while (!rest.empty() && lines.size() < maxLines) {
        if (measure(rest) <= width) {
            lines.push_back(rest);
            return lines;
        }
        if (lines.size() + 1 == maxLines) {
            lines.push_back(Ellipsis(rest, width, measure));
            return lines;
        }
        size_t fits = FittingPrefix(rest, width, measure);
        size_t space = rest.rfind(' ', fits);
        size_t cut = space != std::string::npos && space > 0 ? space : fits;
        lines.push_back(rest.substr(0, cut));
        rest.erase(0, cut);
        while (!rest.empty() && rest.front() == ' ')
            rest.erase(0, 1);
    }
    return lines;
}
