#include "display/ChartPane.h"

#include "base/DpiScale.h"
#include "display/FXRatePane.h"
#include "display/FitHistory.h"
#include "display/OffscreenBuffer.h"
#include "display/PaneMessages.h"
#include "display/RateChart.h"
#include "window/WindowDpi.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <functional>
#include <string>

ChartPane::ChartPane()
{
    fontSize = 12;
}

ChartPane::~ChartPane()
{
    if (window != nullptr) {
        // Whether or not the pointer's leaving is still awaited.
        TRACKMOUSEEVENT leave{sizeof leave, TME_CANCEL | TME_LEAVE, window, 0};
        TrackMouseEvent(&leave);
    }
    if (sampleTip != nullptr)
        DestroyWindow(sampleTip);
    Destroy();
}

bool ChartPane::CreateChild(HWND parent)
{
    RegisterWindowClass("RatePane", nullptr, 0);
    if (!CreateChild(parent, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT))
        return false;
    sampleTip = CreateWindowExA(
        WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_NOANIMATE, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (sampleTip != nullptr) {
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
        tool.hwnd = window;
        tool.uId = 1;
        tool.lpszText = const_cast<char*>("");
        SendMessageA(sampleTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return true;
}

void ChartPane::PointAt(int x, int y)
{
    if (sampleTip == nullptr)
        return;
    const int dpi = WindowDpi(window);
    const int width = GetWidth();
    const int margin = ChartPlotWidth(0, width, dpi) > 0 ? (width - ChartPlotWidth(0, width, dpi)) / 2 : 0;
    // Only over the plot, and only once a paint has copied a record.
    if (!shownCopy || shownCopy->history.empty() || x < margin || x > width - margin) {
        HideSampleTip();
        return;
    }
    const std::size_t index =
        NearestChartSample(shownCopy->history.size(), 0, width, dpi, x, ChartSpreadsSamples(*shownCopy));
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = 1;
    // Asked again only when the text changes: the pointer moves over many
    // pixels per sample.
    std::string text = ChartSampleText(*shownCopy, index);
    if (text != tipText) {
        tipText = std::move(text);
        tool.lpszText = &tipText[0];
        SendMessageA(sampleTip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    tipShown = true;
    POINT at{x + dpi::Scale(16, dpi), y + dpi::Scale(16, dpi)};
    ClientToScreen(window, &at);
    SendMessageA(sampleTip, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    SendMessageA(sampleTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    if (!trackingLeave) {
        TRACKMOUSEEVENT leave{sizeof leave, TME_LEAVE, window, 0};
        trackingLeave = TrackMouseEvent(&leave) != 0;
    }
}

void ChartPane::HideSampleTip()
{
    if (sampleTip == nullptr || !tipShown)
        return;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = 1;
    SendMessageA(sampleTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    tipShown = false;
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
    if (message == WM_MOUSEMOVE)
        PointAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    if (message == WM_MOUSELEAVE) {
        trackingLeave = false;
        HideSampleTip();
        return 0;
    }
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
