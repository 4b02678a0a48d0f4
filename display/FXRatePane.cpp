#include "display/FXRatePane.h"

#include "display/Announcer.h"
#include "display/Font.h"
#include "display/FormatText.h"
#include "display/HaloText.h"
#include "display/OffscreenBuffer.h"
#include "display/PaneMessages.h"
#include "display/RateSpeech.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {

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

int32_t CountOf(const SharedRates::Records& records)
{
    return static_cast<int32_t>(std::min<size_t>(records.size(), INT32_MAX));
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

FXRate* FXRatePane::GetSelectedRate(SharedRates::Records& records) const
{
    int32_t index = selected.load();
    if (index < 0 || index >= CountOf(records))
        return nullptr;
    return &records[static_cast<size_t>(index)];
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
    if (announcer != nullptr)
        announcer->Announce(text);
    else
        SpeakText(text);
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
    int32_t count = CountOf(*records);
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
    if (rowHeight <= 0)
        return;
    int32_t row = static_cast<int32_t>(HIWORD(point)) / rowHeight;
    int code;
    {
        auto records = rates.Lock();
        if (row >= CountOf(*records))
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
    case WM_KEYDOWN:
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
        rows.reserve(records->size());
        for (const FXRate& rate : *records)
            rows.push_back(Row{rate.trend, rate.priceText, rate.changeText, rate.code});
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
    Font font("", Font::Bold, fontSize);
    SelectGuard fontSelection(memory, font.GetHandle());
    SetBkMode(memory, TRANSPARENT);

    int rightmost = GetWidth();
    int y = textTop;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        if (static_cast<int32_t>(i) == selectedRow) {
            RECT bar{0, y - textTop, rightmost, y + rowHeight};
            OwnedBrush brush(CreateSolidBrush(selectionColor));
            FillRect(memory, &bar, brush.Get());
        }

        COLORREF priceColor = row.trend == FXRate::Rose ? riseColor : row.trend == FXRate::Fell ? fallColor : textColor;
        DrawColumn(memory, firstColumn, y, row.price, priceColor);
        if (row.change.find('-') != std::string::npos)
            DrawColumn(memory, secondColumn, y, row.change, fallColor);
        else
            DrawColumn(memory, secondColumn, y, "+" + row.change, riseColor);
        DrawColumn(memory, thirdColumn, y, row.code, textColor);
        rightmost = std::max(rightmost, thirdColumn + static_cast<int>(TextExtent(memory, row.code).cx));
        y += rowHeight;
    }

    if (selectedRow >= 0 && selectedRow < static_cast<int32_t>(rows.size())) {
        SIZE extent = TextExtent(memory, startTime);
        DrawHaloText(memory, rightmost - extent.cx - startTimeInset, startTimeBottom - extent.cy, startTime);
    }
    buffer.CopyToTarget();
}
