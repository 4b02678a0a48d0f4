#pragma once
// Layout figures are written for 96 dots per inch, the Windows default, and
// scaled to the DPI of the window they are drawn in.

namespace dpi {

inline constexpr int kBase = 96;
// Beyond these a reported DPI is a broken setting: treated as the base.
inline constexpr int kLowest = 48;
inline constexpr int kHighest = 960;

// A reported DPI held to what the widget trusts.
constexpr int Checked(int value)
{
    return value < kLowest || value > kHighest ? kBase : value;
}

// value × dpi ÷ 96, rounded to the nearest whole pixel (halves away from
// zero, as MulDiv does), with the DPI checked first.
constexpr int Scale(int value, int dpiValue)
{
    long long product = static_cast<long long>(value) * Checked(dpiValue);
    long long half = kBase / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kBase : -((-product + half) / kBase));
}

constexpr float Scale(float value, int dpiValue)
{
    return value * static_cast<float>(Checked(dpiValue)) / kBase;
}

}  // namespace dpi
