// How long one paint of each pane takes: the chart with a day and a week of
// samples at the shortest update interval (8,640 and 60,480), the rate list
// with 20 pairs. Paints into a memory device context through the same code
// as WM_PAINT and prints milliseconds per paint. Run under Wine:
//   wine bench_display_paint.exe [REPEATS]
#include "display/ChartPane.h"
#include "display/FXRatePane.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

constexpr int paneHeight = 300;

// A record with `count` samples on a bounded random walk (a fixed seed, so
// every run draws the same line).
FXRate RecordWithSamples(size_t count)
{
    RateQuote quote{"EURUSD", "1.0850 - 53", "0.10%", "1.0890", "1.0810", "1.0840"};
    FXRate record(quote);
    unsigned seed = 12345;
    float value = 0.0f;
    for (size_t i = 1; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        value += (static_cast<int>((seed >> 16) % 201) - 100) / 10000.0f;
        value = value > 1.2f ? 1.2f : value < -1.2f ? -1.2f : value;
        record.history.push_back({value, static_cast<uint32_t>(i * 10000)});
    }
    record.lowValue = record.baseValue - 1.2f;
    record.highValue = record.baseValue + 1.2f;
    return record;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Measure(const char* name, int repeats, const std::function<void()>& paint)
{
    paint();  // the font catalogue and first-use costs are not what we measure
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < repeats; ++i)
        paint();
    QueryPerformanceCounter(&end);
    std::printf("%-34s %8.3f ms per paint (%d paints)\n", name, Milliseconds(start, end) / repeats, repeats);
}

}  // namespace

int main(int argc, char** argv)
{
    int repeats = argc > 1 ? std::atoi(argv[1]) : 200;
    if (repeats < 1)
        repeats = 1;

    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 640, paneHeight, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    HDC screen = GetDC(nullptr);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 640, paneHeight);
    HGDIOBJ previous = SelectObject(target, bitmap);
    ReleaseDC(nullptr, screen);

    FXRatePane ratePane;
    ratePane.CreateChild(parent);
    ratePane.SetBounds(0, 0, 200, paneHeight);
    ChartPane chartPane;
    chartPane.CreateChild(parent);
    chartPane.SetBounds(200, 0, 440, paneHeight);

    for (size_t samples : {size_t{8640}, size_t{60480}}) {
        {
            auto records = ratePane.rates.Lock();
            records->clear();
            records->push_back(RecordWithSamples(samples));
        }
        chartPane.ShowSelectedRate(ratePane);
        RECT area{0, 0, 440, paneHeight};
        std::string name = "chart pane, " + std::to_string(samples) + " samples";
        Measure(name.c_str(), repeats, [&] { chartPane.PaintContent(target, area); });
    }

    {
        auto records = ratePane.rates.Lock();
        records->clear();
        for (int i = 0; i < 20; ++i) {
            RateQuote quote{"PAIR" + std::to_string(i), "1.0850 - 53", "0.10%", "1.0890", "1.0810", "1.0840"};
            records->emplace_back(quote);
            records->back().ApplyQuote(RateQuote{quote.code, "1.0852 - 55", "-0.05%", "1.0890", "1.0810", "1.0840"});
        }
    }
    RECT area{0, 0, 200, paneHeight};
    Measure("rate pane, 20 pairs", repeats, [&] { ratePane.PaintContent(target, area); });

    SelectObject(target, previous);
    DeleteObject(bitmap);
    DeleteDC(target);
    DestroyWindow(parent);
    return 0;
}
