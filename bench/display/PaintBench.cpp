// How long one paint of each pane takes: the chart with a day and a week of
// samples at the shortest update interval (8,640 and 60,480, kept as taken),
// with the bounded history of 30 days and with a bounded history at its
// largest; the rate list with 20 pairs. Paints into a memory device context through the same code
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
// every run draws the same line), every one kept, or with `bounded` as the
// record keeps them, going on until the history holds at least `atLeast`.
FXRate RecordWithSamples(size_t count, bool bounded = false, size_t atLeast = 0)
{
    RateQuote quote{"EURUSD", "1.0850 - 53", "0.10%", "1.0890", "1.0810", "1.0840"};
    FXRate record(quote);
    unsigned seed = 12345;
    float value = 0.0f;
    for (size_t i = 1; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        value += (static_cast<int>((seed >> 16) % 201) - 100) / 10000.0f;
        value = value > 1.2f ? 1.2f : value < -1.2f ? -1.2f : value;
        const FXRate::TimeRate sample{value, static_cast<uint32_t>(i * 10000)};
        if (!bounded)
            record.history.push_back(sample);
        else
            AppendToHistory(record.history, record.historyShape, sample);
        if (i + 1 == count && record.history.size() < atLeast)
            ++count;
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

// Processor time of this thread: on a machine shared with other work the
// wall time says more about the others than about the paint. (Wine reports
// it in steps of up to 10 ms, a few per cent of a measuring run.)
double ThreadCpuMilliseconds()
{
    FILETIME created, ended, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    auto ms = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
               10000.0;
    };
    return ms(kernel) + ms(user);
}

void Measure(const char* name, int repeats, const std::function<void()>& paint)
{
    paint();  // the font catalogue and first-use costs are not what we measure
    LARGE_INTEGER start, end;
    const double cpuStart = ThreadCpuMilliseconds();
    QueryPerformanceCounter(&start);
    for (int i = 0; i < repeats; ++i)
        paint();
    QueryPerformanceCounter(&end);
    const double cpu = ThreadCpuMilliseconds() - cpuStart;
    std::printf("%-52s %8.3f ms per paint, %8.3f ms of CPU (%d paints)\n", name, Milliseconds(start, end) / repeats,
                cpu / repeats, repeats);
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

    struct Chart {
        const char* name;
        FXRate record;
    };
    const Chart charts[] = {
        {"a day as taken", RecordWithSamples(8640)},
        {"a week as taken", RecordWithSamples(60480)},
        {"30 days, bounded", RecordWithSamples(30 * 8640, true)},
        {"bounded, near its largest",
         RecordWithSamples(30 * 8640, true, MostHistorySamples(kRecordHistoryLimits) - 64)},
    };
    for (const Chart& chart : charts) {
        {
            auto records = ratePane.rates.Lock();
            records->clear();
            records->push_back(chart.record);
        }
        chartPane.ShowSelectedRate(ratePane);
        RECT area{0, 0, 440, paneHeight};
        std::string name = "chart pane, " + std::string(chart.name) + " (" +
                           std::to_string(chart.record.history.size()) + " samples)";
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
