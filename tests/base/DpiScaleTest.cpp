#include "base/DpiScale.h"

#include <gtest/gtest.h>

namespace {

TEST(DpiScale, ScalesFiguresToTheNearestPixel)
{
    struct Case {
        int value;
        int dpi;
        int scaled;
    } cases[] = {
        {16, 96, 16},    {16, 144, 24},   {200, 144, 300},
        {640, 120, 800}, {480, 192, 960}, {1, 144, 2},
        {1, 120, 1},     {2, 144, 3},     {-10, 144, -15},
        {-1, 144, -2},   {0, 144, 0},     {12, 168, 21},
        {264, 144, 396}, {24, 72, 18},    {16, 0, 16},
        {16, -96, 16},   {16, 47, 16},    {16, 961, 16},  // broken DPIs read as 96
        {16, 48, 8},     {16, 960, 160},  {1000000000, 192, 2000000000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dpi::Scale(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
    EXPECT_FLOAT_EQ(dpi::Scale(100.0f, 144), 150.0f);
    EXPECT_FLOAT_EQ(dpi::Scale(5.0f, 0), 5.0f);
    static_assert(dpi::Scale(16, 144) == 24, "usable in constant expressions");
}

}  // namespace
