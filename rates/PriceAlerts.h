#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Price levels a person wants to hear about, one settings entry per pair:
//   EURUSD=above 1.0900; below 1.0800
// A level speaks up when the price crosses it and then keeps quiet until the
// price has gone back past it by ReArmFraction of the level, so a price that
// wavers around a level does not repeat itself every update. A level starts
// armed: one already passed when the watch begins is reported at once.
class PriceAlerts {
public:
    enum class Side { Above, Below };
    struct Level {
        Side side;
        double value;
        std::string text;  // the figure as the settings gave it, for the message
    };

    // Bounds on what the settings file can make the widget hold.
    static constexpr size_t MostPairs = 64;
    static constexpr size_t MostLevelsPerPair = 8;
    static constexpr size_t LongestCode = 16;
    static constexpr size_t LongestFigure = 24;
    static constexpr double ReArmFraction = 0.001;

    // The levels of one entry's value ("above X", "below X", separated by
    // ";"). Parts that are not one of those, or whose figure is not a plain
    // positive decimal number, are left out; the rest are kept.
    static std::vector<Level> ParseLevels(std::string_view value);

    // The section's entries as the profile reader hands them over: lines
    // "CODE=value", each ended by a NUL. Lines without "=" or with a code
    // that cannot be one are left out.
    static PriceAlerts ParseSection(std::string_view block);

    // Adds the levels of one entry; a code seen before gets its new levels
    // added to the old ones. Returns how many levels were taken.
    size_t Add(std::string_view code, std::string_view value);

    bool Empty() const { return pairs.empty(); }
    size_t LevelCount() const;
    bool Watches(std::string_view code) const;

    // Takes the pair's latest price text ("1.0912 - 15") and returns one
    // message per level crossed by it, "EURUSD above 1.0900: 1.0912". A text
    // without a leading figure read whole (ReadPriceFigure) changes nothing.
    std::vector<std::string> Check(std::string_view code, std::string_view priceText);

private:
    struct Watch {
        Level level;
        bool armed = true;
    };
    struct Pair {
        std::string code;
        std::vector<Watch> watches;
    };

    Pair* Find(std::string_view code);
    std::vector<Pair> pairs;
};

// The leading decimal figure of a text ("1.0912" of "1.0912 - 15"), blanks
// before it skipped: its text and value. Digits with at most one point, at
// least one digit, no sign, no exponent, at most PriceAlerts::LongestFigure
// characters, and the whole word: the end of the text or a blank follows it
// ("6.12e-05", "1.09x" and "1.0912-15" hold none). None otherwise.
// Independent of the process locale.
struct PriceFigure {
    std::string text;
    double value;
};
std::optional<PriceFigure> ReadPriceFigure(std::string_view text);
