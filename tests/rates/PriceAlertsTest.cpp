#include "rates/PriceAlerts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Side = PriceAlerts::Side;

struct LevelsCase {
    const char* value;
    std::vector<std::pair<Side, std::string>> levels;
};

TEST(PriceAlerts, ParsesLevelsAndLeavesOutBadParts)
{
    const LevelsCase cases[] = {
        {"above 1.0900", {{Side::Above, "1.0900"}}},
        {"below 1.0800", {{Side::Below, "1.0800"}}},
        {"above 1.0900; below 1.0800", {{Side::Above, "1.0900"}, {Side::Below, "1.0800"}}},
        {"  ABOVE\t150.25 ;;Below 149  ", {{Side::Above, "150.25"}, {Side::Below, "149"}}},
        {"above .5", {{Side::Above, ".5"}}},
        {"", {}},
        {"above", {}},
        {"above ", {}},
        {"over 1.09", {}},
        {"above1.09", {}},
        {"above 1.09x; below 1.08", {{Side::Below, "1.08"}}},  // a typo spoils its own part only
        {"above -1.09", {}},
        {"above 0", {}},
        {"above 0.000", {}},
        {"above 1.0.9", {}},
        {"above 1e3", {}},
        {"above 1,09", {}},
        {"above 1 09", {}},
        {"above 1234567890123456789012345", {}},  // 25 characters: no figure
        {"below 123456789012345678901234", {{Side::Below, "123456789012345678901234"}}},
    };
    for (const LevelsCase& c : cases) {
        SCOPED_TRACE(c.value);
        std::vector<PriceAlerts::Level> levels = PriceAlerts::ParseLevels(c.value);
        ASSERT_EQ(levels.size(), c.levels.size());
        for (size_t i = 0; i < levels.size(); ++i) {
            EXPECT_EQ(levels[i].side, c.levels[i].first);
            EXPECT_EQ(levels[i].text, c.levels[i].second);
        }
    }
}

struct FigureCase {
    const char* text;
    const char* figure;  // null: none
    double value;
};

TEST(PriceAlerts, ReadsTheLeadingFigureOfAPriceText)
{
    const FigureCase cases[] = {
        {"1.0912 - 15", "1.0912", 1.0912},
        {"  149.50 - 62", "149.50", 149.50},
        {"0.00012", "0.00012", 0.00012},
        {"12", "12", 12.0},
        {"1.", "1.", 1.0},
        // Read whole or not at all: a prefix of a figure is not the figure.
        {"1.2.3", nullptr, 0},
        {"6.12e-05", nullptr, 0},
        {"6.12E+2 - 00", nullptr, 0},
        {"1.0912-15", nullptr, 0},
        {"1.09x", nullptr, 0},
        {"0.0000612", "0.0000612", 0.0000612},
        {"0.0000612\t- 12", "0.0000612", 0.0000612},
        {"", nullptr, 0},
        {" - 15", nullptr, 0},
        {".", nullptr, 0},
        {"-1.09", nullptr, 0},
        {"1234567890.12345678901234", nullptr, 0},
        {"1234567890.1234567890123", "1234567890.1234567890123", 1234567890.1234567890123},
    };
    for (const FigureCase& c : cases) {
        SCOPED_TRACE(c.text);
        std::optional<PriceFigure> figure = ReadPriceFigure(c.text);
        ASSERT_EQ(figure.has_value(), c.figure != nullptr);
        if (figure) {
            EXPECT_EQ(figure->text, c.figure);
            EXPECT_DOUBLE_EQ(figure->value, c.value);
        }
    }
}

TEST(PriceAlerts, ReadsASectionAndBoundsWhatItKeeps)
{
    static const char lines[] = "EURUSD=above 1.0900; below 1.0800\0"
                                "USDJPY=rubbish\0"
                                "no equals sign\0"
                                "=above 1\0"
                                " GBPUSD = below 1.2500\0"
                                "ABCDEFGHIJKLMNOPQ=above 1\0"
                                "eurusd=above 1.1000\0";
    std::string block(lines, sizeof lines - 1);
    PriceAlerts alerts = PriceAlerts::ParseSection(block);
    EXPECT_TRUE(alerts.Watches("EURUSD"));
    EXPECT_TRUE(alerts.Watches("gbpusd"));
    EXPECT_FALSE(alerts.Watches("USDJPY"));
    EXPECT_FALSE(alerts.Watches(""));
    EXPECT_EQ(alerts.LevelCount(), 4u);  // EURUSD's three, GBPUSD's one

    PriceAlerts many;
    for (int i = 0; i < 100; ++i)
        many.Add("P" + std::to_string(i),
                 "above 1; above 2; above 3; above 4; above 5; above 6; above 7; above 8; "
                 "above 9; above 10");
    EXPECT_EQ(many.LevelCount(), PriceAlerts::MostPairs * PriceAlerts::MostLevelsPerPair);
    EXPECT_FALSE(many.Watches("P64"));
    EXPECT_EQ(PriceAlerts().LevelCount(), 0u);
    EXPECT_TRUE(PriceAlerts().Empty());
}

struct Step {
    const char* price;
    std::vector<std::string> said;
};

struct HysteresisCase {
    const char* name;
    const char* levels;
    std::vector<Step> steps;
};

TEST(PriceAlerts, SpeaksOncePerCrossingAndReArmsOnlyPastTheMargin)
{
    // For 1.0900 the margin is 0.00109: back at 1.08891 or lower re-arms "above".
    const HysteresisCase cases[] = {
        {"above: once, then again after re-arming",
         "above 1.0900",
         {{"1.0850 - 53", {}},
          {"1.0900 - 03", {}},  // at the level is not above it
          {"1.0912 - 15", {"EURUSD above 1.0900: 1.0912"}},
          {"1.0950 - 53", {}},
          {"1.0895 - 98", {}},  // back below, but not by the margin
          {"1.0901 - 04", {}},
          {"1.0889 - 92", {}},  // past the margin: armed again
          {"1.0901 - 04", {"EURUSD above 1.0900: 1.0901"}}}},
        {"below, mirrored",
         "below 1.0800",
         {{"1.0810 - 13", {}},
          {"1.0799 - 02", {"EURUSD below 1.0800: 1.0799"}},
          {"1.0808 - 11", {}},  // 1.0808 < 1.08108
          {"1.0790 - 93", {}},
          {"1.0811 - 14", {}},  // re-armed
          {"1.0750 - 53", {"EURUSD below 1.0800: 1.0750"}}}},
        {"already beyond when the watch begins",
         "above 1.0900",
         {{"1.0950 - 53", {"EURUSD above 1.0900: 1.0950"}}, {"1.0950 - 53", {}}}},
        {"both levels, one jump across the band",
         "above 1.0900; below 1.0800",
         {{"1.0850 - 53", {}},
          {"1.0950 - 53", {"EURUSD above 1.0900: 1.0950"}},
          {"1.0750 - 53", {"EURUSD below 1.0800: 1.0750"}},  // re-arms above on the way
          {"1.0950 - 53", {"EURUSD above 1.0900: 1.0950"}}}},
        {"a weak currency's price: read whole, never as its leading digits",
         "above 0.0001; below 0.00005",
         {{"0.0000612", {}},
          {"6.12e-05", {}},  // not 6.12, so not above 0.0001
          {"0.0000412", {"EURUSD below 0.00005: 0.0000412"}},
          {"4.12e-05", {}},
          {"0.000102", {"EURUSD above 0.0001: 0.000102"}}}},
        {"a text without a figure changes nothing",
         "above 1.0900",
         {{"1.0950 - 53", {"EURUSD above 1.0900: 1.0950"}}, {"", {}}, {"--- - --", {}}, {"1.0950 - 53", {}}}},
    };
    for (const HysteresisCase& c : cases) {
        SCOPED_TRACE(c.name);
        PriceAlerts alerts;
        ASSERT_GT(alerts.Add("EURUSD", c.levels), 0u);
        for (const Step& step : c.steps) {
            EXPECT_EQ(alerts.Check("EURUSD", step.price), step.said) << step.price;
            EXPECT_TRUE(alerts.Check("USDJPY", step.price).empty());
        }
    }
}

}  // namespace
