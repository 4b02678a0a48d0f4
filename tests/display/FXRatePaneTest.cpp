#include "display/FXRatePane.h"
#include "tests/display/DisplayTestSupport.h"
#include "tests/support/ClipboardText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <utility>

namespace {

constexpr COLORREF selectionGrey = 0xCCCCCC;

void PutMarkerOnClipboard()
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 7);
    std::memcpy(GlobalLock(memory), "marker", 7);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

// Holds Ctrl down in this thread's key state, as a key press would.
void SetControlKey(bool down)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

struct RatePaneFixture : ::testing::Test {
    TestParent parent;
    FXRatePane pane;
    Canvas canvas{200, 300};

    void SetUp() override
    {
        ASSERT_TRUE(pane.CreateChild(parent.window));
        pane.SetBounds(0, 0, 200, 300);
    }

    // Row 0 rose (change now 0.30), row 1 fell (now -0.20), row 2 unchanged
    // with an empty change text.
    void AddThreeRows()
    {
        auto records = pane.rates.Lock();
        records->emplace_back(Quote("USDJPY", "150.10", "0.25"));
        (*records)[0].ApplyQuote(Quote("USDJPY", "150.20", "0.30"));
        records->emplace_back(Quote("EURUSD", "1.0850", "-0.10"));
        (*records)[1].ApplyQuote(Quote("EURUSD", "1.0840", "-0.20"));
        records->emplace_back(Quote("GBPUSD", "1.2700", ""));
    }

    void AddRows(int count)
    {
        auto records = pane.rates.Lock();
        for (int i = 0; i < count; ++i)
            records->emplace_back(Quote("PAIR" + std::to_string(i), "1.00", "0.00"));
    }

    void Paint() { pane.PaintContent(canvas.Get(), canvas.Bounds()); }

    // Row i's text band and its part in one column.
    static RECT Cell(int row, int left, int right)
    {
        return RECT{left, 4 + 16 * row, right, 4 + 16 * row + 14};
    }
};

TEST_F(RatePaneFixture, StartTimeIsTheLocalTimeOfCreation)
{
    EXPECT_TRUE(std::regex_match(pane.startTime, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)")))
        << pane.startTime;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    EXPECT_EQ(pane.startTime.substr(0, 4), std::to_string(now.wYear));
}

TEST_F(RatePaneFixture, EmptyListPaintsOnlyWhite)
{
    Paint();
    EXPECT_TRUE(canvas.AllColor(canvas.Bounds(), 0xFFFFFF));
    SendMessageA(pane.window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Get()), PRF_CLIENT);
    EXPECT_TRUE(canvas.AllColor(canvas.Bounds(), 0xFFFFFF));
}

TEST_F(RatePaneFixture, SelectionBarSpansThePaneOnTheSelectedRowOnly)
{
    AddThreeRows();
    for (int selected : {0, 2}) {
        pane.selected = selected;
        Paint();
        int top = 16 * selected;  // 4 pixels above the row's text
        for (int row = 0; row < 3; ++row) {
            // Inside row i's text band no other row's bar reaches; at the
            // pane's edges, clear of any text.
            int y = 16 * row + 10;
            bool bar = row == selected;
            EXPECT_EQ(canvas.Pixel(0, y) == selectionGrey, bar) << selected << " row " << row;
            EXPECT_EQ(canvas.Pixel(199, y) == selectionGrey, bar) << selected << " row " << row;
        }
        EXPECT_EQ(canvas.Pixel(199, top), selectionGrey);  // from 4 above the text
        EXPECT_NE(canvas.Pixel(199, top - 1), selectionGrey);
        EXPECT_EQ(canvas.Pixel(199, top + 19), selectionGrey);  // down to y + rowHeight
        EXPECT_NE(canvas.Pixel(199, top + 20), selectionGrey);
    }
}

TEST_F(RatePaneFixture, PriceColumnIsRedOnARiseBlueOnAFallElseBlack)
{
    AddThreeRows();
    pane.selected = 2;  // keep the bar off the rows looked at... mostly
    Paint();
    RECT rose = Cell(0, 4, 76), fell = Cell(1, 4, 76);
    EXPECT_GT(canvas.Count(rose, IsReddish), 0);
    EXPECT_EQ(canvas.Count(rose, IsBluish), 0);
    EXPECT_GT(canvas.Count(fell, IsBluish), 0);
    EXPECT_EQ(canvas.Count(fell, IsReddish), 0);
    RECT unchanged = Cell(2, 4, 76);
    EXPECT_GT(canvas.Count(unchanged, IsDark), 0);
    EXPECT_EQ(canvas.Count(unchanged, IsReddish) + canvas.Count(unchanged, IsBluish), 0);
}

TEST_F(RatePaneFixture, ChangeColumnIsBlueWithAMinusAndRedWithAPlusOtherwise)
{
    AddThreeRows();
    Paint();
    EXPECT_GT(canvas.Count(Cell(0, 76, 122), IsReddish), 0);  // "+0.30"
    EXPECT_EQ(canvas.Count(Cell(0, 76, 122), IsBluish), 0);
    EXPECT_GT(canvas.Count(Cell(1, 76, 122), IsBluish), 0);  // "-0.20"
    EXPECT_EQ(canvas.Count(Cell(1, 76, 122), IsReddish), 0);
    // An empty change text still shows its "+" in red.
    EXPECT_GT(canvas.Count(Cell(2, 76, 122), IsReddish), 0);
    // The code column is black.
    for (int row = 0; row < 3; ++row) {
        EXPECT_GT(canvas.Count(Cell(row, 122, 200), IsDark), 0);
        EXPECT_EQ(canvas.Count(Cell(row, 122, 200), IsReddish), 0);
    }
}

TEST_F(RatePaneFixture, StartTimeInHaloTextRightAlignedAboveLine264)
{
    AddThreeRows();
    Paint();
    RECT startTime{60, 236, 200, 266};
    EXPECT_GT(canvas.Count(startTime, IsBluish), 0);
    EXPECT_EQ(canvas.Count({0, 265, 200, 300}, IsBluish), 0);  // nothing below the line
    EXPECT_EQ(canvas.Count({0, 60, 200, 230}, IsBluish), 0);
    EXPECT_EQ(canvas.CountColor(canvas.Bounds(), Canvas::sentinel), 0);
}

TEST_F(RatePaneFixture, AWideCodeWidensTheLaterBarsAndMovesTheStartTime)
{
    AddThreeRows();
    {
        auto records = pane.rates.Lock();
        (*records)[0].code = std::string(40, 'W');  // ends far beyond the pane
    }
    pane.selected = 1;
    Canvas wide(600, 300);
    pane.PaintContent(wide.Get(), wide.Bounds());
    EXPECT_EQ(wide.Pixel(199, 16 + 10), selectionGrey);
    EXPECT_EQ(wide.Pixel(300, 16 + 10), selectionGrey);  // beyond the 200-pixel pane
    // The start time is pushed right with it, out of the pane's own width.
    EXPECT_EQ(wide.Count({0, 236, 200, 266}, IsBluish), 0);
    EXPECT_GT(wide.Count({200, 236, 600, 266}, IsBluish), 0);
}

TEST_F(RatePaneFixture, ArrowKeysWrapAndEveryKeyNotifies)
{
    struct Case {
        int rows;
        int from;
        WPARAM key;
        int to;
    } cases[] = {
        {3, 0, VK_DOWN, 1}, {3, 2, VK_DOWN, 0}, {3, 0, VK_UP, 2},   {3, 2, VK_UP, 1},
        {1, 0, VK_DOWN, 0}, {1, 0, VK_UP, 0},   {3, 1, VK_LEFT, 1}, {3, 1, 'A', 1},
        {0, 0, VK_DOWN, 0}, {0, 0, VK_UP, 0},  // an empty list stays at 0
    };
    for (const Case& c : cases) {
        {
            auto records = pane.rates.Lock();
            records->clear();
        }
        AddRows(c.rows);
        pane.selected = c.from;
        parent.received.clear();
        EXPECT_EQ(SendMessageA(pane.window, WM_KEYDOWN, c.key, 0), 0);
        EXPECT_EQ(pane.selected.load(), c.to) << c.rows << " rows, from " << c.from << " key " << c.key;
        EXPECT_EQ(parent.NotifyCodes(), std::vector<int>{-101});
        ASSERT_FALSE(parent.received.empty());
        EXPECT_EQ(parent.received[0].from, pane.window);
    }
}

TEST_F(RatePaneFixture, EmptyListThenFilledKeepsAValidSelection)
{
    SendMessageA(pane.window, WM_KEYDOWN, VK_UP, 0);
    AddRows(2);
    auto records = pane.rates.Lock();
    FXRate* selected = pane.GetSelectedRate(*records);
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected, &(*records)[0]);
}

TEST_F(RatePaneFixture, ClicksSelectRowsAndTellTheParent)
{
    AddThreeRows();
    struct Case {
        int from;
        int y;
        int to;
        std::vector<int> codes;
    } cases[] = {
        {0, 20, 1, {-101}},  // another row
        {1, 20, 1, {-2}},    // the selected row: the parent drags the window
        {1, 47, 2, {-101}},  // last pixel of the last row
        {1, 48, 1, {}},      // below the rows: nothing at all
        {1, 250, 1, {}},
    };
    for (const Case& c : cases) {
        pane.selected = c.from;
        parent.received.clear();
        SetFocus(parent.window);
        EXPECT_EQ(SendMessageA(pane.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, c.y)), 0);
        EXPECT_EQ(pane.selected.load(), c.to) << "y " << c.y;
        EXPECT_EQ(parent.NotifyCodes(), c.codes) << "y " << c.y;
        if (!c.codes.empty()) {
            EXPECT_EQ(GetFocus(), pane.window) << "y " << c.y;
        }
    }
}

TEST_F(RatePaneFixture, PairFilterShowsSelectsAndMovesOverItsOwnRowsOnly)
{
    AddThreeRows();  // USDJPY, EURUSD, GBPUSD
    pane.SetPairFilter(PairFilter::Parse("GBPUSD, NZDUSD, USDJPY"));
    struct Case {
        int selected;
        const char* code;  // null: no record
    } cases[] = {{0, "GBPUSD"}, {1, "USDJPY"}, {2, nullptr}, {-1, nullptr}};
    for (const Case& c : cases) {
        pane.selected = c.selected;
        auto records = pane.rates.Lock();
        const FXRate* rate = pane.GetSelectedRate(*records);
        if (c.code == nullptr)
            EXPECT_EQ(rate, nullptr) << c.selected;
        else
            EXPECT_TRUE(rate != nullptr && rate->code == c.code) << c.selected;
    }

    // Two rows: the keys wrap over them and a click on the third row's place does nothing.
    pane.selected = 1;
    SendMessageA(pane.window, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(pane.selected.load(), 0);
    SendMessageA(pane.window, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(pane.selected.load(), 1);
    SendMessageA(pane.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 40));
    EXPECT_EQ(pane.selected.load(), 1);

    // Row 0 shows GBPUSD, unchanged (black price); row 1 USDJPY, which rose (red).
    pane.selected = 1;
    Paint();
    EXPECT_GT(canvas.Count(Cell(0, 4, 76), IsDark), 0);
    EXPECT_EQ(canvas.Count(Cell(0, 4, 76), IsReddish) + canvas.Count(Cell(0, 4, 76), IsBluish), 0);
    EXPECT_GT(canvas.Count(Cell(1, 4, 76), IsReddish), 0);
    EXPECT_EQ(canvas.Count(Cell(2, 0, 200), IsDark), 0) << "no third row";

    // The code that was missing shows in its place once it appears.
    {
        auto records = pane.rates.Lock();
        records->emplace_back(Quote("NZDUSD", "0.6000", "-0.10"));
        pane.selected = 1;
        const FXRate* rate = pane.GetSelectedRate(*records);
        EXPECT_TRUE(rate != nullptr && rate->code == "NZDUSD");
    }
    pane.SetPairFilter(PairFilter());
    auto records = pane.rates.Lock();
    EXPECT_EQ(pane.GetSelectedRate(*records), &(*records)[1]) << "no filter: the list's order";
}

// Pairs that appear later move the rows under the selection: a listed pair
// takes its listed place, others come at the end. The selection stays on
// its pair, on screen and for the keys.
TEST_F(RatePaneFixture, TheSelectionFollowsItsPairWhenRowsAppearBeforeIt)
{
    AddThreeRows();  // USDJPY, EURUSD, GBPUSD
    pane.SetPairFilter(PairFilter::Parse("NZDUSD, GBPUSD, USDJPY"));
    pane.selected = 1;
    EXPECT_EQ(pane.SelectedCopyText(), "USDJPY 150.20");
    {
        auto records = pane.rates.Lock();
        records->emplace_back(Quote("NZDUSD", "0.6000", "-0.10"));  // shown first
        records->emplace_back(Quote("AUDUSD", "0.6600", "0.10"));   // not listed
    }
    EXPECT_EQ(pane.SelectedCopyText(), "USDJPY 150.20");
    EXPECT_EQ(pane.selected.load(), 2);
    Paint();
    EXPECT_EQ(canvas.Pixel(199, 16 * 2 + 10), selectionGrey);
    EXPECT_NE(canvas.Pixel(199, 16 * 1 + 10), selectionGrey);
    SendMessageA(pane.window, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(pane.SelectedCopyText(), "GBPUSD 1.2700") << "moved from the pair's new row";

    // Without a filter new pairs come at the end: a chosen row stays chosen.
    pane.SetPairFilter(PairFilter());
    pane.selected = 0;
    AddRows(3);
    EXPECT_EQ(pane.SelectedCopyText(), "USDJPY 150.20");
    EXPECT_EQ(pane.selected.load(), 0);
}

TEST_F(RatePaneFixture, CopyPutsTheSelectedCodeAndPriceOnTheClipboard)
{
    // An empty list copies nothing: what was there stays.
    PutMarkerOnClipboard();
    SendMessageA(pane.window, WM_COPY, 0, 0);
    EXPECT_EQ(ClipboardText(), "marker");

    AddThreeRows();
    struct Case {
        const char* filter;
        int selected;
        bool byKeys;  // Ctrl+C rather than WM_COPY
        const char* text;
    } cases[] = {
        {"", 0, false, "USDJPY 150.20"},
        {"", 1, true, "EURUSD 1.0840"},
        {"GBPUSD,EURUSD", 0, false, "GBPUSD 1.2700"},  // the shown row, not the list's
        {"GBPUSD,EURUSD", 1, true, "EURUSD 1.0840"},
    };
    for (const Case& c : cases) {
        pane.SetPairFilter(PairFilter::Parse(c.filter));
        pane.selected = c.selected;
        PutMarkerOnClipboard();
        if (c.byKeys) {
            SetControlKey(true);
            SendMessageA(pane.window, WM_KEYDOWN, 'C', 0);
            SetControlKey(false);
        } else {
            SendMessageA(pane.window, WM_COPY, 0, 0);
        }
        EXPECT_EQ(ClipboardText(), c.text) << c.filter << " row " << c.selected;
        EXPECT_EQ(pane.selected.load(), c.selected) << "copying moves nothing";
    }
    // C without Ctrl is just a key.
    PutMarkerOnClipboard();
    SendMessageA(pane.window, WM_KEYDOWN, 'C', 0);
    EXPECT_EQ(ClipboardText(), "marker");
}

TEST_F(RatePaneFixture, RightButtonReleaseGoesToTheParent)
{
    LPARAM where = MAKELPARAM(17, 33);
    EXPECT_EQ(SendMessageA(pane.window, WM_RBUTTONUP, MK_SHIFT, where), 0);
    ASSERT_EQ(parent.received.size(), 1u);
    EXPECT_EQ(parent.received[0].message, static_cast<UINT>(WM_RBUTTONUP));
    EXPECT_EQ(parent.received[0].wParam, static_cast<WPARAM>(MK_SHIFT));
    EXPECT_EQ(parent.received[0].lParam, where);
}

TEST_F(RatePaneFixture, BackgroundErasingIsSuppressed)
{
    EXPECT_EQ(SendMessageA(pane.window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Get()), 0), 1);
    EXPECT_TRUE(canvas.AllColor(canvas.Bounds(), Canvas::sentinel));
}

// Grey, as stale rows are drawn: no hue, neither dark nor white.
bool IsGrey(COLORREF pixel)
{
    int r = GetRValue(pixel), g = GetGValue(pixel), b = GetBValue(pixel);
    return std::abs(r - g) < 16 && std::abs(g - b) < 16 && r > 90 && r < 190;
}

// Where the selection bar is painted: its top and bottom rows of pixels at
// the pane's right edge, clear of text; {-1, -1} when there is none.
std::pair<int, int> BarSpan(const Canvas& canvas, int height)
{
    int top = -1, bottom = -1;
    for (int y = 0; y < height; ++y) {
        if (canvas.Pixel(199, y) == selectionGrey) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    }
    return {top, bottom};
}

// The first and last rows of pixels of `area` that hold a pixel passing
// `test`; {-1, -1} when none does.
template <typename Test> std::pair<int, int> Band(const Canvas& canvas, const RECT& area, Test test)
{
    int top = -1, bottom = -1;
    for (int y = area.top; y < area.bottom; ++y) {
        if (canvas.Count(RECT{area.left, y, area.right, y + 1}, test) > 0) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    }
    return {top, bottom};
}

TEST_F(RatePaneFixture, StatusLinesSitAboveTheStartTimeInTheWarningColourAfterAFailure)
{
    AddThreeRows();
    const RECT below{0, 48, 200, 300};  // under the three rows
    pane.SetStatus("updated 12:34:56", false, false);
    Paint();
    auto [timeTop, timeBottom] = Band(canvas, below, IsBluish);
    ASSERT_GE(timeTop, 0);
    EXPECT_LE(timeBottom, 264) << "the start time stays on its line";
    auto [okTop, okBottom] = Band(canvas, {0, 48, 200, timeTop}, IsDark);
    ASSERT_GE(okTop, 0) << "a status line above the start time";
    EXPECT_EQ(canvas.Count(below, IsReddish), 0);

    pane.SetStatus("no rates yet: HTTP 503", true, false);
    Paint();
    auto [shortTop, shortBottom] = Band(canvas, below, IsReddish);
    ASSERT_GE(shortTop, 0) << "in the warning colour";
    EXPECT_LT(shortBottom, timeTop);

    // A long reason wraps onto a second line, still above the start time.
    pane.SetStatus("no update since 12:34:56: connection refused", true, false);
    Paint();
    auto [longTop, longBottom] = Band(canvas, below, IsReddish);
    EXPECT_LT(longBottom, timeTop);
    EXPECT_GT(longBottom - longTop, (shortBottom - shortTop) * 3 / 2) << "two lines";
    EXPECT_EQ(canvas.Count({0, 0, 200, 48}, IsReddish) > 0, true) << "the rows keep their colours";

    // Before any rates, the status alone says why.
    {
        auto records = pane.rates.Lock();
        records->clear();
    }
    pane.SetStatus("no rates yet: HTTP 503", true, false);
    Paint();
    auto [aloneTop, aloneBottom] = Band(canvas, canvas.Bounds(), IsReddish);
    EXPECT_GT(aloneTop, shortBottom) << "down on the start time's line";
    EXPECT_LE(aloneBottom, 264);
    EXPECT_EQ(canvas.Count(canvas.Bounds(), IsBluish), 0) << "no start time without rows";
    EXPECT_EQ(canvas.CountColor(canvas.Bounds(), selectionGrey), 0);
}

TEST_F(RatePaneFixture, StaleRowsAreGreyAndFreshOnesRegainTheirColours)
{
    AddThreeRows();
    pane.selected = 2;
    RECT rows{0, 0, 200, 48};
    pane.SetStatus("no update since 12:34:56: HTTP 503", true, true);
    Paint();
    EXPECT_EQ(canvas.Count(rows, IsReddish) + canvas.Count(rows, IsBluish), 0);
    EXPECT_GT(canvas.Count(Cell(0, 4, 76), IsGrey), 0);
    EXPECT_GT(canvas.Count(Cell(1, 122, 200), IsGrey), 0) << "the code too";

    pane.SetStatus("updated 12:35:56", false, false);
    Paint();
    EXPECT_GT(canvas.Count(Cell(0, 4, 76), IsReddish), 0);
    EXPECT_GT(canvas.Count(Cell(1, 4, 76), IsBluish), 0);
}

TEST_F(RatePaneFixture, ManyRowsScrollToKeepTheSelectionClearOfTheBottomLines)
{
    AddRows(20);
    // Stale: every row grey, so the status (in the warning colour) and the
    // start time (blue) are the only hues.
    pane.SetStatus("no update since 12:34:56: connection refused", true, true);
    Paint();
    const int statusTop = Band(canvas, canvas.Bounds(), IsReddish).first;
    ASSERT_GT(statusTop, 100);
    for (int press = 1; press <= 19; ++press) {
        SendMessageA(pane.window, WM_KEYDOWN, VK_DOWN, 0);
        Paint();
        auto [top, bottom] = BarSpan(canvas, 300);
        ASSERT_GE(top, 0) << "press " << press;
        EXPECT_LT(bottom, statusTop) << "press " << press;
        EXPECT_LT(Band(canvas, canvas.Bounds(), IsGrey).second, statusTop) << "no row runs into the status";
        EXPECT_EQ(Band(canvas, canvas.Bounds(), IsReddish).first, statusTop);
    }
    EXPECT_EQ(pane.selected.load(), 19);
    EXPECT_GT(pane.FirstVisibleRow(), 0);
    auto [lastTop, lastBottom] = BarSpan(canvas, 300);
    EXPECT_GT(lastTop, 100) << "the last row is shown at the bottom of the list";

    // A click maps to the row shown there, not to the row of that index.
    int32_t first = pane.FirstVisibleRow();
    SendMessageA(pane.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 20));
    EXPECT_EQ(pane.selected.load(), first + 1);
    // A click on the bottom lines selects nothing.
    SendMessageA(pane.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, statusTop + 2));
    EXPECT_EQ(pane.selected.load(), first + 1);

    // Down from the last row wraps to the top, which comes back into view.
    pane.selected = 19;
    SendMessageA(pane.window, WM_KEYDOWN, VK_DOWN, 0);
    Paint();
    EXPECT_EQ(pane.FirstVisibleRow(), 0);
    EXPECT_EQ(BarSpan(canvas, 300).first, 0);
    (void)lastBottom;
}

TEST_F(RatePaneFixture, PageKeysEndsAndTheWheelMoveWithinTheList)
{
    AddRows(20);
    Paint();  // learns how many rows fit
    struct Step {
        UINT message;
        WPARAM wParam;
        int selected;
    } steps[] = {
        {WM_KEYDOWN, VK_END, 19},
        {WM_KEYDOWN, VK_NEXT, 19},
        {WM_KEYDOWN, VK_HOME, 0},
        {WM_KEYDOWN, VK_PRIOR, 0},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 1},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-3 * WHEEL_DELTA)), 4},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 3},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 40), 3},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, 10 * WHEEL_DELTA), 0},
    };
    for (const Step& step : steps) {
        SendMessageA(pane.window, step.message, step.wParam, 0);
        Paint();
        EXPECT_EQ(pane.selected.load(), step.selected) << step.message << " " << step.wParam;
        auto [top, bottom] = BarSpan(canvas, 300);
        EXPECT_GE(top, 0);
        EXPECT_LT(bottom, Band(canvas, canvas.Bounds(), IsBluish).first) << "above the start time";
    }
    // A page moves by the rows shown, less one.
    SendMessageA(pane.window, WM_KEYDOWN, VK_NEXT, 0);
    int page = pane.selected.load();
    EXPECT_GE(page, 10);
    EXPECT_LE(page, 15);
}

}  // namespace
