#include "display/FXRatePane.h"

#include "base/DpiScale.h"
#include "display/Font.h"
#include "display/FormatText.h"
#include "display/HaloText.h"
#include "display/OffscreenBuffer.h"
#include "display/PaneMessages.h"
#include "display/RateSpeech.h"
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
constexpr int textTop = 4;          // first row's text; its bar starts at 0
constexpr int startTimeBottom = 264;
constexpr int startTimeInset = 4;
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
}

std::vector<size_t> FXRatePane::ShownRows(const SharedRates::Records& records) const
{
    return pairFilter.Select(records);
}

FXRate* FXRatePane::GetSelectedRate(SharedRates::Records& records) const
{
    std::vector<size_t> shown = ShownRows(records);
    int32_t index = selected.load();
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
    startTime = FormatText("%04d/%02d/%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                           now.wSecond);
    return true;
}

void FXRatePane::MoveSelection(WPARAM key)
{
    auto records = rates.Lock();
    int32_t count = CountOf(ShownRows(*records));
    int32_t index = selected.load();
    if (key == VK_DOWN) {
        index += 1;
        if (index >= count)
            index = 0;
    } else if (key == VK_UP) {
        index -= 1;
        // An empty list keeps 0: -1 would be taken for a row once it fills.
        if (index < 0)
            index = std::max(count - 1, 0);
    }
    selected.store(index);
}

void FXRatePane::SelectRowAt(LPARAM point)
{
    int32_t height = dpi::Scale(rowHeight, WindowDpi(window));
    if (height <= 0)
        return;
    int32_t row = static_cast<int32_t>(HIWORD(point)) / height;
    int code;
    {
        auto records = rates.Lock();
        if (row >= CountOf(ShownRows(*records)))
            return;
        code = row == selected.load() ? selectedRowClicked : selectionChanged;
        selected.store(row);
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
        selectedRow = selected.load();
    }

    if (rows.empty()) {
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
    Font font("", Font::Bold, scaled(fontSize));
    SelectGuard fontSelection(memory, font.GetHandle());
    SetBkMode(memory, TRANSPARENT);

    int rightmost = GetWidth();
    int y = top;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (static_cast<int32_t>(i) == selectedRow) {
            RECT bar{0, y - top, rightmost, y + height};
            OwnedBrush brush(CreateSolidBrush(selectionColor));
            FillRect(memory, &bar, brush.Get());
        }

        COLORREF priceColor = row.trend == FXRate::Rose ? riseColor : row.trend == FXRate::Fell ? fallColor : textColor;
        DrawColumn(memory, scaled(firstColumn), y, row.price, priceColor);
        if (row.change.find('-') != std::string::npos)
            DrawColumn(memory, second, y, row.change, fallColor);
        else if (row.change.compare(0, 1, "+") == 0)  // a rates document's figure has its sign
            DrawColumn(memory, second, y, row.change, riseColor);
        else
            DrawColumn(memory, second, y, "+" + row.change, riseColor);
        DrawColumn(memory, third, y, row.code, textColor);
        rightmost = std::max(rightmost, third + static_cast<int>(TextExtent(memory, row.code).cx));
        y += height;
    }

    if (selectedRow >= 0 && selectedRow < static_cast<int32_t>(rows.size())) {
        SIZE extent = TextExtent(memory, startTime);
        DrawHaloText(memory, rightmost - extent.cx - scaled(startTimeInset),
                     scaled(startTimeBottom) - extent.cy, startTime, scaled(1));
    }
    buffer.CopyToTarget();
}
