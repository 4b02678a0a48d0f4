#include "display/FXRatePane.h"

#include "base/DpiScale.h"
#include "display/Announcer.h"
#include "display/FormatText.h"
#include "display/HaloText.h"
#include "display/OffscreenBuffer.h"
#include "display/PaneMessages.h"
#include "display/RateSpeech.h"
#include "display/RowScroll.h"
#include "display/WrapText.h"
#include "window/Clipboard.h"
#include "window/WindowDpi.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {

// Figures at 96 DPI; drawn scaled to the pane's DPI.
constexpr int firstColumn = 4;
constexpr int secondColumn = 76;
constexpr int thirdColumn = 122;
constexpr int textTop = 4;            // first row's text; its bar starts at 0
constexpr int startTimeBottom = 264;  // the chart frame's bottom, when the pane reaches it
constexpr int startTimeInset = 4;
constexpr int bottomMargin = 2;  // below the last line of a short pane
constexpr int footerGap = 2;     // between the last row's bar and the bottom lines
constexpr size_t statusLineLimit = 2;
constexpr COLORREF selectionColor = 0xCCCCCC;

// What one row shows, copied out under the lock so that drawing does not
// hold up the worker.
struct Row {
    int32_t trend;
    std::string price;
    std::string change;
    std::string code;
};

template <typename List> int32_t CountOf(const List& list)
{
    return static_cast<int32_t>(std::min<size_t>(list.size(), INT32_MAX));
}

SIZE TextExtent(HDC dc, const std::string& text)
{
    SIZE size{};
    int length = text.size() > INT_MAX ? INT_MAX : static_cast<int>(text.size());
    GetTextExtentPoint32A(dc, text.data(), length, &size);
    return size;
}

void DrawColumn(HDC dc, int x, int y, const std::string& text, COLORREF colour)
{
    SetTextColor(dc, colour);
    DrawPlainText(dc, x, y, text);
}

}  // namespace

FXRatePane::FXRatePane()
{
    fontSize = 12;
    textColor = 0x000000;
}

FXRatePane::~FXRatePane()
{
    // While the members still exist: the window's last messages come here.
    Destroy();
}

void FXRatePane::SetPairFilter(PairFilter filter)
{
    auto records = rates.Lock();
    pairFilter = std::move(filter);
    // Other rows altogether: the row stays, and the pair there is noted.
    selected.chosen = true;
}

int32_t FXRatePane::SelectedRow(const SharedRates::Records& records, const std::vector<size_t>& shown) const
{
    const int32_t row = selected.value.load();
    const int32_t count = CountOf(shown);
    auto codeAt = [&](int32_t at) -> const std::string& {
        return records[shown[static_cast<size_t>(at)]].code;
    };
    if (selected.chosen.exchange(false) || selectedCode.empty()) {
        selectedCode = row >= 0 && row < count ? codeAt(row) : std::string();
        return row;
    }
    if (row >= 0 && row < count && codeAt(row) == selectedCode)
        return row;
    for (int32_t at = 0; at < count; ++at) {
        if (codeAt(at) == selectedCode) {
            selected.value.store(at);
            return at;
        }
    }
    return row;  // the pair is not shown: the row stays
}

std::vector<size_t> FXRatePane::ShownRows(const SharedRates::Records& records) const
{
    return pairFilter.Select(records);
}

FXRate* FXRatePane::GetSelectedRate(SharedRates::Records& records) const
{
    std::vector<size_t> shown = ShownRows(records);
    int32_t index = SelectedRow(records, shown);
    if (index < 0 || index >= CountOf(shown))
        return nullptr;
    return &records[shown[static_cast<size_t>(index)]];
}

const FXRate* FXRatePane::GetSelectedRate(const SharedRates::Records& records) const
{
    return GetSelectedRate(const_cast<SharedRates::Records&>(records));
}

void FXRatePane::Refresh()
{
    Invalidate(nullptr, false);
    SpeakSelected();
}

void FXRatePane::SpeakSelected()
{
    if (!speechEnabled.load())
        return;
    std::string text;
    {
        auto records = rates.Lock();
        const FXRate* rate = GetSelectedRate(*records);
        if (rate == nullptr)
            return;
        text = rate->priceText;
    }
    if (announcer != nullptr)
        announcer->Announce(text);
    else
        SpeakText(text);
}

std::string FXRatePane::SelectedCopyText() const
{
    auto records = rates.Lock();
    const FXRate* rate = GetSelectedRate(*records);
    return rate == nullptr ? std::string() : rate->code + " " + rate->priceText;
}

bool FXRatePane::OnCreate()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    startTime = FormatText("%04d/%02d/%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                           now.wMinute, now.wSecond);
    return true;
}

void FXRatePane::SetStatus(const std::string& text, bool warning, bool isStale)
{
    if (text == statusText && warning == statusWarning && isStale == stale)
        return;
    statusText = text;
    statusWarning = warning;
    stale = isStale;
    Invalidate(nullptr, false);
}

void FXRatePane::MoveSelection(WPARAM key)
{
    auto records = rates.Lock();
    std::vector<size_t> shown = ShownRows(*records);
    int32_t count = CountOf(shown);
    // An empty list keeps 0: -1 would be taken for a row once it fills.
    int32_t index = SelectionAfterKey(key, SelectedRow(*records, shown), count, visibleRows);
    selected.store(index);
    SelectedRow(*records, shown);  // notes the pair at once, before any merge moves the rows
    firstRow = FirstRowInView(firstRow, index, count, visibleRows);
}

void FXRatePane::TurnWheel(int delta)
{
    {
        auto records = rates.Lock();
        std::vector<size_t> shown = ShownRows(*records);
        int32_t count = CountOf(shown);
        int32_t from = SelectedRow(*records, shown);
        int32_t index = SelectionAfterWheel(delta, from, count);
        if (index == from)
            return;
        selected.store(index);
        SelectedRow(*records, shown);
        firstRow = FirstRowInView(firstRow, index, count, visibleRows);
    }
    NotifyParent(selectionChanged);
    Invalidate(nullptr, false);
}

void FXRatePane::SelectRowAt(LPARAM point)
{
    int32_t height = dpi::Scale(rowHeight, WindowDpi(window));
    if (height <= 0)
        return;
    int32_t y = static_cast<int32_t>(HIWORD(point));
    // The bottom lines are no row, however many rows there are.
    if (y >= rowsBottom)
        return;
    int32_t row = firstRow + y / height;
    int code;
    {
        auto records = rates.Lock();
        std::vector<size_t> shown = ShownRows(*records);
        if (row >= CountOf(shown))
            return;
        code = row == SelectedRow(*records, shown) ? selectedRowClicked : selectionChanged;
        selected.store(row);
        SelectedRow(*records, shown);
    }
    // The lock is let go first: the parent answers by reading the selection.
    NotifyParent(code);
    Invalidate(nullptr, false);
    SetFocus();
}

LRESULT FXRatePane::DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HandlePaintMessage(*this, hwnd, message, wParam, result))
        return result;
    switch (message) {
    case WM_COPY: {
        std::string text = SelectedCopyText();
        if (!text.empty())
            PutClipboardText(hwnd, text);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
            SendMessageA(hwnd, WM_COPY, 0, 0);
            return 0;
        }
        MoveSelection(wParam);
        NotifyParent(selectionChanged);
        Invalidate(nullptr, false);
        return 0;
    case WM_LBUTTONDOWN:
        SelectRowAt(lParam);
        return 0;
    case WM_MOUSEWHEEL:
        TurnWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_RBUTTONUP:
        SendMessageA(GetParent(hwnd), WM_RBUTTONUP, wParam, lParam);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void FXRatePane::PaintContent(HDC dc, const RECT& area)
{
    std::vector<Row> rows;
    int32_t selectedRow;
    {
        auto records = rates.Lock();
        std::vector<size_t> shown = ShownRows(*records);
        rows.reserve(shown.size());
        for (size_t index : shown) {
            const FXRate& rate = (*records)[index];
            rows.push_back(Row{rate.trend, rate.priceText, rate.changeText, rate.code});
        }
        selectedRow = SelectedRow(*records, shown);
    }

    if (rows.empty() && statusText.empty()) {
        FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return;
    }

    OffscreenBuffer buffer(dc, area);
    if (!buffer.Ready())
        return;
    HDC memory = buffer.Get();
    buffer.Clear();
    const int dpiValue = WindowDpi(window);
    auto scaled = [dpiValue](int figure) { return dpi::Scale(figure, dpiValue); };
    const int top = scaled(textTop);
    const int height = scaled(rowHeight);
    const int second = scaled(secondColumn);
    const int third = scaled(thirdColumn);
    SelectGuard fontSelection(memory, rowFont.Get(scaled(fontSize)));
    SetBkMode(memory, TRANSPARENT);

    // The bottom lines first, from the bottom up: the rows get what is left.
    const int paneWidth = GetWidth();
    const int lineHeight = static_cast<int>(TextExtent(memory, "Ag").cy);
    const bool showStartTime = selectedRow >= 0 && selectedRow < static_cast<int32_t>(rows.size());
    const int lineBottom = std::min(scaled(startTimeBottom), GetHeight() - scaled(bottomMargin));
    std::vector<std::string> statusLines =
        WrapText(statusText, paneWidth - 2 * scaled(startTimeInset), statusLineLimit,
                 [memory](const std::string& text) { return static_cast<int>(TextExtent(memory, text).cx); });
    const int statusBottom = showStartTime ? lineBottom - lineHeight : lineBottom;
    const int statusTop = statusBottom - static_cast<int>(statusLines.size()) * lineHeight;
    rowsBottom = statusTop - scaled(footerGap);
    if (height > 0)
        visibleRows = std::max((rowsBottom - top) / height, 1);
    const int32_t count = static_cast<int32_t>(std::min<size_t>(rows.size(), INT32_MAX));
    firstRow =
        FirstRowInView(firstRow, std::clamp(selectedRow, 0, std::max(count - 1, 0)), count, visibleRows);

    int rightmost = paneWidth;
    int y = top;
    const int32_t end = static_cast<int32_t>(std::min<int64_t>(int64_t{firstRow} + visibleRows, count));
    for (int32_t i = firstRow; i < end; ++i) {
        const Row& row = rows[static_cast<size_t>(i)];
        if (i == selectedRow) {
            RECT bar{0, y - top, rightmost, y + height};
            OwnedBrush brush(CreateSolidBrush(selectionColor));
            FillRect(memory, &bar, brush.Get());
        }

        COLORREF priceColor = row.trend == FXRate::Rose   ? riseColor
                              : row.trend == FXRate::Fell ? fallColor
                                                          : textColor;
        bool falling = row.change.find('-') != std::string::npos;
        COLORREF changeColor = falling ? fallColor : riseColor;
        COLORREF codeColor = textColor;
        // Old prices in red and blue would pass for live ones.
        if (stale)
            priceColor = changeColor = codeColor = staleColor;
        // A rates document's figure has its sign already.
        const bool hasSign = falling || row.change.compare(0, 1, "+") == 0;
        DrawColumn(memory, scaled(firstColumn), y, row.price, priceColor);
        DrawColumn(memory, second, y, hasSign ? row.change : "+" + row.change, changeColor);
        DrawColumn(memory, third, y, row.code, codeColor);
        rightmost = std::max(rightmost, third + static_cast<int>(TextExtent(memory, row.code).cx));
        y += height;
    }

    ::SetTextColor(memory, statusWarning ? warningColor : textColor);
    for (size_t i = 0; i < statusLines.size(); ++i)
        DrawPlainText(memory, scaled(startTimeInset), statusTop + static_cast<int>(i) * lineHeight,
                      statusLines[i]);
    if (showStartTime) {
        SIZE extent = TextExtent(memory, startTime);
        DrawHaloText(memory, rightmost - extent.cx - scaled(startTimeInset), lineBottom - extent.cy,
                     startTime, scaled(1));
    }
    buffer.CopyToTarget();
}
