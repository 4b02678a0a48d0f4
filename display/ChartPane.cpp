#include "display/ChartPane.h"

#include "display/FXRatePane.h"
#include "display/FitHistory.h"
#include "display/OffscreenBuffer.h"
#include "display/PaneMessages.h"
#include "display/RateChart.h"
#include "window/WindowDpi.h"

#include <algorithm>

ChartPane::ChartPane()
{
    fontSize = 12;
}

ChartPane::~ChartPane()
{
    Destroy();
}

bool ChartPane::CreateChild(HWND parent)
{
    RegisterWindowClass("RatePane", nullptr, 0);
    return CreateChild(parent, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
}

void ChartPane::SetBounds(int x, int y, int width, int height)
{
    BaseWindow::SetBounds(x, y, width, height);
    Invalidate(nullptr, false);
}

void ChartPane::Refresh()
{
    Invalidate(nullptr, false);
}

void ChartPane::ShowSelectedRate(FXRatePane& ratePane)
{
    auto records = ratePane.rates.Lock();
    rateList = &ratePane.rates;
    const FXRate* selected = ratePane.GetSelectedRate(*records);
    shownCode = selected != nullptr ? selected->code : std::string();
}

void ChartPane::ShowCode(const std::string& code)
{
    SharedRates* list = rateList.load();
    if (list == nullptr) {
        shownCode = code;
        return;
    }
    auto records = list->Lock();
    shownCode = code;
}

std::string ChartPane::ShownCode() const
{
    SharedRates* list = rateList.load();
    if (list == nullptr)
        return shownCode;
    auto records = list->Lock();
    return shownCode;
}

void ChartPane::SetStale(bool isStale)
{
    if (stale == isStale)
        return;
    stale = isStale;
    Invalidate(nullptr, false);
}

bool ChartPane::CopyShownRate()
{
    SharedRates* list = rateList.load();
    if (list == nullptr)
        return false;
    auto records = list->Lock();
    if (shownCode.empty())
        return false;
    auto found = std::find_if(records->begin(), records->end(),
                              [this](const FXRate& record) { return record.code == shownCode; });
    if (found == records->end())
        return false;
    const FXRate* shownRate = &*found;
    // Assigned, not made anew, so the storage is reused; with room for as
    // much as the shown history has room for, so that a history growing by
    // a sample between paints does not make every paint allocate anew.
    if (shownCopy && shownCopy->history.capacity() < shownRate->history.capacity())
        shownCopy->history.reserve(shownRate->history.capacity());
    shownCopy = *shownRate;
    return true;
}

LRESULT ChartPane::DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_MOUSEFIRST && message <= WM_XBUTTONUP) {
        SendMessageA(GetParent(hwnd), message, wParam, lParam);
        return 0;
    }
    LRESULT result = 0;
    if (HandlePaintMessage(*this, hwnd, message, wParam, result))
        return result;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void ChartPane::PaintContent(HDC dc, const RECT& area)
{
    OffscreenBuffer buffer(dc, area);
    if (!buffer.Ready())
        return;
    buffer.Clear();
    SetBkMode(buffer.Get(), TRANSPARENT);
    if (CopyShownRate()) {
        const int dpi = WindowDpi(window);
        FitHistoryToColumns(shownCopy->history, ChartPlotWidth(0, GetWidth(), dpi));
        DrawRateChart(*shownCopy, buffer.Get(), 0, GetWidth(), dpi,
                      stale ? chartStaleLineColor : chartLineColor,
                      labelFont.Get(ChartLabelHeight(*shownCopy, dpi)));
    }
    buffer.CopyToTarget();
}
