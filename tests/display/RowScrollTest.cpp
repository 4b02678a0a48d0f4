// The list's scrolling and the status lines' wrapping, as plain arithmetic.
#include "display/RowScroll.h"
#include "display/WrapText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(RowScroll, TheSelectedRowIsAlwaysInView)
{
    struct Case {
        int32_t first, selected, count, visible, expected;
    } cases[] = {
        {0, 0, 20, 14, 0},  {0, 13, 20, 14, 0},        {0, 14, 20, 14, 1}, {0, 19, 20, 14, 6},
        {6, 10, 20, 14, 6}, {6, 5, 20, 14, 5},         {6, 0, 20, 14, 0},  {10, 19, 20, 14, 6},
        {0, 5, 3, 14, 0},   {4, 2, 3, 14, 0},          {0, 7, 20, 1, 7},   {0, 7, 20, 0, 7},
        {0, 0, 0, 14, 0},   {0, 19, 20, INT32_MAX, 0},
    };
    for (const Case& c : cases) {
        int32_t first = FirstRowInView(c.first, c.selected, c.count, c.visible);
        EXPECT_EQ(first, c.expected) << c.first << " " << c.selected << " " << c.count << " " << c.visible;
    }
}

TEST(RowScroll, KeysAndTheWheelMoveTheSelection)
{
    struct Case {
        WPARAM key;
        int32_t selected, count, expected;
    } cases[] = {
        {VK_DOWN, 0, 20, 1},  {VK_DOWN, 19, 20, 0},  {VK_UP, 0, 20, 19},    {VK_UP, 5, 20, 4},
        {VK_NEXT, 0, 20, 9},  {VK_NEXT, 15, 20, 19}, {VK_PRIOR, 15, 20, 6}, {VK_PRIOR, 3, 20, 0},
        {VK_HOME, 12, 20, 0}, {VK_END, 2, 20, 19},   {VK_LEFT, 7, 20, 7},   {'A', 7, 20, 7},
        {VK_DOWN, 0, 0, 0},   {VK_END, 0, 0, 0},     {VK_UP, 0, 1, 0},      {VK_NEXT, 30, 20, 19},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SelectionAfterKey(c.key, c.selected, c.count, 10), c.expected)
            << c.key << " from " << c.selected;
    EXPECT_EQ(SelectionAfterKey(VK_NEXT, 0, 20, 1), 1) << "a page is never less than a row";
    EXPECT_EQ(SelectionAfterKey(VK_NEXT, 0, 20, INT32_MAX), 19);

    struct Wheel {
        int delta;
        int32_t selected, expected;
    } wheels[] = {{-120, 0, 1},   {-360, 0, 3}, {120, 5, 4},    {120, 0, 0},
                  {-120, 19, 19}, {60, 5, 5},   {-1200, 15, 19}};
    for (const Wheel& w : wheels)
        EXPECT_EQ(SelectionAfterWheel(w.delta, w.selected, 20), w.expected)
            << w.delta << " from " << w.selected;
    EXPECT_EQ(SelectionAfterWheel(-120, 0, 0), 0);
}

TEST(WrapText, BreaksAtSpacesAndCutsWhatDoesNotFit)
{
    // One unit a character: widths are lengths.
    auto measure = [](const std::string& text) { return static_cast<int>(text.size()); };
    struct Case {
        const char* text;
        int width;
        size_t lines;
        std::vector<std::string> expected;
    } cases[] = {
        {"updated 12:34:56", 30, 2, {"updated 12:34:56"}},
        {"", 30, 2, {}},
        {"no update since 12:34:56: connection refused",
         30,
         2,
         {"no update since 12:34:56:", "connection refused"}},
        {"no update since 12:34:56: connection refused", 30, 1, {"no update since 12:34:56: c..."}},
        {"no rates yet: certificate for another name", 20, 2, {"no rates yet:", "certificate for a..."}},
        {"abcdefghijklmnop", 6, 3, {"abcdef", "ghijkl", "mnop"}},
        {"abcdefghijklmnopqrstuvwxyz", 6, 2, {"abcdef", "ghi..."}},
        {"a b", 1, 3, {"a", "b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WrapText(c.text, c.width, c.lines, measure), c.expected) << c.text << " / " << c.width;
    // Too narrow for anything: still bounded, still marked.
    EXPECT_EQ(WrapText("abc", 0, 1, measure), std::vector<std::string>{"..."});
    EXPECT_TRUE(WrapText("abc", 5, 0, measure).empty());
}

} // namespace
