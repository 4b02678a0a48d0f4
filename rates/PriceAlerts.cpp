#include "rates/PriceAlerts.h"

#include "base/Text.h"

#include <algorithm>
#include <cstdint>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The length of the figure at the start of `text`, 0 when there is none.
size_t FigureLength(std::string_view text)
{
    size_t length = 0;
    size_t digits = 0;
    bool point = false;
    for (char c : text) {
        if (IsDigit(c))
            ++digits;
        else if (c == '.' && !point)
            point = true;
        else
            break;
        ++length;
    }
    return digits > 0 ? length : 0;
}

// The value of a figure FigureLength accepted; significant digits beyond
// what a double holds are dropped, not rounded.
double FigureValue(std::string_view figure)
{
    uint64_t mantissa = 0;
    int significant = 0;
    int scale = 0;  // powers of ten to divide by
    bool fraction = false;
    for (char c : figure) {
        if (c == '.') {
            fraction = true;
            continue;
        }
        if (significant < 18) {
            mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
            if (mantissa != 0)
                ++significant;
            if (fraction)
                ++scale;
        } else if (!fraction) {
            --scale;  // an integer digit past the mantissa's reach
        }
    }
    double value = static_cast<double>(mantissa);
    for (; scale > 0; --scale)
        value /= 10.0;
    for (; scale < 0; ++scale)
        value *= 10.0;
    return value;
}

}  // namespace

std::optional<PriceFigure> ReadPriceFigure(std::string_view text)
{
    while (!text.empty() && IsAsciiSpace(text.front()))
        text.remove_prefix(1);
    size_t length = FigureLength(text);
    if (length == 0 || length > PriceAlerts::LongestFigure)
        return std::nullopt;
    // A figure is read whole or not at all: "6.12e-05" is not 6.12.
    if (length < text.size() && !IsAsciiSpace(text[length]))
        return std::nullopt;
    std::string_view figure = text.substr(0, length);
    return PriceFigure{std::string(figure), FigureValue(figure)};
}

std::vector<PriceAlerts::Level> PriceAlerts::ParseLevels(std::string_view value)
{
    std::vector<Level> levels;
    while (!value.empty()) {
        size_t end = value.find(';');
        std::string_view part = TrimSpace(value.substr(0, end));
        value = end == std::string_view::npos ? std::string_view() : value.substr(end + 1);

        size_t blank = 0;
        while (blank < part.size() && !IsAsciiSpace(part[blank]))
            ++blank;
        std::string_view word = part.substr(0, blank);
        std::string_view figure = TrimSpace(part.substr(blank));
        Side side;
        if (EqualsNoCase(word, "above"))
            side = Side::Above;
        else if (EqualsNoCase(word, "below"))
            side = Side::Below;
        else
            continue;
        // The whole rest must be the figure: "above 1.09x" is a typo, not 1.09.
        std::optional<PriceFigure> read = ReadPriceFigure(figure);
        if (!read || read->text.size() != figure.size() || !(read->value > 0.0))
            continue;
        levels.push_back(Level{side, read->value, read->text});
    }
    return levels;
}

PriceAlerts PriceAlerts::ParseSection(std::string_view block)
{
    PriceAlerts alerts;
    while (!block.empty()) {
        size_t end = block.find('\0');
        std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? std::string_view() : block.substr(end + 1);
        size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        alerts.Add(TrimSpace(line.substr(0, equals)), line.substr(equals + 1));
    }
    return alerts;
}

PriceAlerts::Pair* PriceAlerts::Find(std::string_view code)
{
    for (Pair& pair : pairs) {
        if (EqualsNoCase(pair.code, code))
            return &pair;
    }
    return nullptr;
}

size_t PriceAlerts::Add(std::string_view code, std::string_view value)
{
    code = TrimSpace(code);
    if (code.empty() || code.size() > LongestCode)
        return 0;
    std::vector<Level> levels = ParseLevels(value);
    if (levels.empty())
        return 0;
    Pair* pair = Find(code);
    if (pair == nullptr) {
        if (pairs.size() >= MostPairs)
            return 0;
        pairs.push_back(Pair{std::string(code), {}});
        pair = &pairs.back();
    }
    size_t taken = 0;
    for (Level& level : levels) {
        if (pair->watches.size() >= MostLevelsPerPair)
            break;
        pair->watches.push_back(Watch{std::move(level), true});
        ++taken;
    }
    return taken;
}

size_t PriceAlerts::LevelCount() const
{
    size_t count = 0;
    for (const Pair& pair : pairs)
        count += pair.watches.size();
    return count;
}

bool PriceAlerts::Watches(std::string_view code) const
{
    return std::any_of(pairs.begin(), pairs.end(),
                       [&](const Pair& pair) { return EqualsNoCase(pair.code, code); });
}

std::vector<std::string> PriceAlerts::Check(std::string_view code, std::string_view priceText)
{
    std::vector<std::string> messages;
    Pair* pair = Find(code);
    if (pair == nullptr)
        return messages;
    std::optional<PriceFigure> price = ReadPriceFigure(priceText);
    if (!price)
        return messages;
    for (Watch& watch : pair->watches) {
        const Level& level = watch.level;
        double margin = level.value * ReArmFraction;
        bool above = level.side == Side::Above;
        bool beyond = above ? price->value > level.value : price->value < level.value;
        bool backPast = above ? price->value <= level.value - margin : price->value >= level.value + margin;
        if (watch.armed && beyond) {
            watch.armed = false;
            messages.push_back(std::string(code) + (above ? " above " : " below ") + level.text + ": " +
                               price->text);
        } else if (!watch.armed && backPast) {
            watch.armed = true;
        }
    }
    return messages;
}
