// Shows the chart pane over 90 days of daily fixings read by the ECB
// history reader, with the pointer resting on a day so that its tooltip
// shows, for looking at the result (and the screenshot in docs/):
//
//   display-history-demo [READY-FILE]
//
// The fixings are a made-up walk around 1.09 over the 90 days before
// 2026-12-08, one a working day, written as the ECB's 90-day file and read
// back through DecodeEcbHistory. Each becomes one sample at its fixing,
// figured as the percent change from the first, as a dated document's
// quotes are. Once painted the demo writes READY-FILE, if given (a Unix path
// is taken as Wine's), and shows the chart until its window is closed.
#include "base/UtcTime.h"
#include "display/ChartPane.h"
#include "rates/RateHistory.h"
#include "tests/support/WinePath.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr int width = 440;
constexpr int height = 300;

std::string NinetyDays()
{
    std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><gesmes:Envelope xmlns:gesmes=\"x\"><Cube>";
    const int64_t last = DaysFromCivil(2026, 12, 8);
    double price = 1.0900;
    unsigned seed = 20261208;
    for (int64_t day = last - 90; day <= last; ++day) {
        const int64_t weekday = (day + 4) % 7;  // 1970-01-01 was a Thursday
        if (weekday == 0 || weekday == 6)
            continue;
        seed = seed * 1103515245u + 12345u;
        price *= 1.0 + (static_cast<int>((seed >> 16) % 201) - 96) / 40000.0;
        char rate[32];
        std::snprintf(rate, sizeof rate, "%.4f", price);
        // Newest first, as the ECB writes them.
        body.insert(body.find("<Cube>") + 6, "<Cube time=\"" + FormatIsoDate(day * kMillisecondsPerDay) +
                                                 "\"><Cube currency=\"USD\" rate=\"" + rate + "\"/></Cube>");
    }
    return body + "</Cube></gesmes:Envelope>";
}

FXRate RecordFrom(const PairHistory& pair)
{
    char price[32];
    std::snprintf(price, sizeof price, "%.4f", pair.points.back().value);
    char first[32];
    std::snprintf(first, sizeof first, "%.4f", pair.points.front().value);
    FXRate record(RateQuote{pair.code, price, "+0.00", price, price, first});
    record.history.clear();
    double low = pair.points.front().value;
    double high = low;
    for (const HistoryPoint& point : pair.points) {
        const float change = static_cast<float>((point.value / pair.points.front().value - 1.0) * 100.0);
        record.history.push_back({change, point.time});
        record.lowValue = std::min(record.lowValue, change);
        record.highValue = std::max(record.highValue, change);
        low = std::min(low, point.value);
        high = std::max(high, point.value);
    }
    std::snprintf(price, sizeof price, "%.4f", low);
    record.lowText = price;
    std::snprintf(price, sizeof price, "%.4f", high);
    record.highText = price;
    return record;
}

LRESULT CALLBACK DemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    RateHistory history;
    std::string failure;
    if (!DecodeEcbHistory(NinetyDays(), history, failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 1;
    }
    SharedRates rates;
    rates.Lock()->push_back(RecordFrom(history.pairs.at(0)));

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DemoProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "HistoryChartDemo";
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&windowClass);
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, WS_POPUP, FALSE);
    HWND window = CreateWindowExA(0, "HistoryChartDemo", "90 days", WS_POPUP | WS_VISIBLE, 0, 0,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ChartPane chart;
    chart.CreateChild(window);
    chart.SetBounds(0, 0, width, height);
    chart.rateList = &rates;
    chart.ShowCode(rates.Lock()->front().code);
    UpdateWindow(chart.window);
    // Resting on the 40th day of the line.
    SendMessageA(chart.window, WM_MOUSEMOVE, 0, MAKELPARAM(24 + 40 * 5, 150));
    if (argc > 1)
        std::ofstream(WinePath(argv[1])) << "ready\n";
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
