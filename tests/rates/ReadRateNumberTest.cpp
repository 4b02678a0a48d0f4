#include "rates/FXRate.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Inputs()
{
    std::vector<std::string> inputs = {
        "0.25", "-0.10", "+.5", "5.", ".", "-", "+", "", "+-1", "--1", "-+1", " - 1", "abc", "0.25x",
        "1,5", "  \t\n\v\f\r7.5", "\xa0" "5", "1e", "1e+", "1e-2", "2E3", "1.5e+3x", "00000.5", "-0",
        "12345678901234567890123", "0.1", "0.3", "110.253", "-0.0050",
        // Hexadecimal as strtod reads it.
        "0x1p3", "0X1.8P1", "0x.8", "0x", "0xg", "-0x", "0x1p", "0xp1", "0x0x1", "-0x1A",
        // Infinities and not-a-number.
        "inf", "-INF", "Infinity", "infinit", "nan", "-nan", "NaN(123)", "nanx", "nan(",
        // Beyond the float range: narrowing goes to infinity from halfway
        // past the largest float on, and to zero far below the smallest.
        "1e39", "-1e39", "3.4028235e38", "3.40282356e38", "3.4028236e38", "1e-50", "1e-46",
        // Beyond the double range.
        "1e400", "-1e400", "1e-400", "0x1p2000", "-0x1p2000", "0x1p-2000", "1e99999999999999999999",
        "1e-99999999999999999999", "1e-310", "4.9e-324"};
    inputs.push_back("1" + std::string(400, '0'));
    inputs.push_back("0." + std::string(400, '0') + "1");
    inputs.push_back(std::string(400, '0') + "1.5");
    inputs.push_back("0x" + std::string(300, 'f'));
    inputs.push_back("0x0." + std::string(300, '0') + "1");
    return inputs;
}

// The sign of a zero is left out: the runtimes disagree on it where nothing
// was converted ("--1" gives -0 from MinGW's strtod), and no use of a figure
// can tell the two zeros apart.
bool SameFloat(float a, float b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return a == b;
}

// strtod in the "C" locale (the locale every program starts in), narrowed
// to float: what ReadRateNumber promises, wherever the locale stands.
TEST(ReadRateNumber, ReadsAsStrtodInTheCLocale)
{
    ASSERT_STREQ(std::localeconv()->decimal_point, ".");
    for (const std::string& input : Inputs()) {
        float expected = static_cast<float>(std::strtod(input.c_str(), nullptr));
        EXPECT_PRED2(SameFloat, ReadRateNumber(input), expected) << "input '" << input << "'";
    }
}

TEST(ReadRateNumber, NarrowsOutOfRangeFiguresToInfinityOrZero)
{
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* text;
        float expected;
    } const cases[] = {
        {"1e39", inf},
        {"-1e39", -inf},
        {"1e400", inf},
        {"-1e400", -inf},
        {"3.40282356e38", std::numeric_limits<float>::max()},
        {"1e-400", 0.0f},
        {"1e-50", 0.0f},
        {"0.25", 0.25f},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadRateNumber(c.text), c.expected) << c.text;
}

TEST(ReadRateNumber, StopsAtAnEmbeddedNul)
{
    EXPECT_EQ(ReadRateNumber(std::string("1\0" "5", 3)), 1.0f);
}

// A locale with a decimal comma must not change what a list figure means.
TEST(ReadRateNumber, IgnoresACommaDecimalLocale)
{
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "German_Germany.1252", "German",
                           "deu", "French"};
    const char* chosen = nullptr;
    for (const char* name : names) {
        if (std::setlocale(LC_NUMERIC, name) && std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            chosen = name;
            break;
        }
    }
    if (!chosen) {
        std::setlocale(LC_NUMERIC, "C");
        GTEST_SKIP() << "no locale with a decimal comma here; the strtod comparison covers the reading";
    }
    SCOPED_TRACE(chosen);
    // The locale took effect: strtod now stops at the point.
    EXPECT_EQ(std::strtod("0.5", nullptr), 0.0);
    EXPECT_EQ(ReadRateNumber("0.5"), 0.5f);
    EXPECT_EQ(ReadRateNumber("-110.253"), -110.253f);
    EXPECT_EQ(ReadRateNumber("1,5"), 1.0f);
    EXPECT_EQ(ReadRateNumber(" 2.5e1"), 25.0f);
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace
