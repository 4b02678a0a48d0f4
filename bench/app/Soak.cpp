// A long run of the whole widget in this process, for leaks and for the cost
// of a cycle (scripts/soak runs it under Wine):
//   1. CPU: CPU_CYCLES update cycles (download, decode, merge) as fast as
//      they go, then as many again with both panes painted after each; the
//      process's processor time per cycle, beside what a trivial window
//      program idling in its own process costs over the same time.
//   2. Soak: the records are first given 30 days of samples on a simulated
//      clock (10 s apart, the clock then left 30 days ahead), so that every
//      history is full from the start; then CYCLES cycles as fast as they
//      go, both panes painted after every one. Checks that private memory
//      stops growing once every history has filled its storage, and that
//      the GDI and USER objects the program holds are as many at the end
//      as after the first hundred cycles (GetGuiResources where the system
//      reports them, otherwise a count of our own around every call that
//      makes or frees one).
// The feed runs in its own process on loopback, so the processor time
// measured is the widget's alone. Exits non-zero if a check fails.
//
//   soak.exe [CYCLES [CPU_CYCLES [MINUTES]]]   (default 100000, 1000, no limit)
// MINUTES ends the soak early, with its checks, after that long.
#include "app/Quillbrae.h"
#include "base/Clock.h"
#include "bench/app/GuiObjectCount.h"
#include "bench/app/ProcessFigures.h"
#include "http/SocketLibrary.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LocalFeed.h"
#include "tests/support/ProcessWindow.h"
#include "tests/support/WinePath.h"
#include "update/UpdateRates.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const std::string TrivialExe = WinePath(QB_TRIVIAL_EXE);
const std::string Folder = WinePath(QB_WORK_DIR);

// Milliseconds on a steady clock, for measuring.
double NowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Private memory may move this much after the histories are full (allocator
// housekeeping); a leak of a few bytes a cycle goes well beyond it.
constexpr double kMemoryToleranceKiB = 256;

template <typename Condition>
bool Await(Condition done, double limitMs)
{
    double start = NowMs();
    while (!done()) {
        if (NowMs() - start > limitMs)
            return false;
        // Another process cannot signal us; look again shortly.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return true;
}

struct GuiCounts {
    unsigned long systemGdi, systemUser;
    std::size_t gdi, user, borrowedDcs;
    std::size_t madeInAll;  // not compared: it only shows that the counting works

    static GuiCounts Now()
    {
        return {gui_objects::SystemGdi(), gui_objects::SystemUser(),
                gui_objects::Gdi(),       gui_objects::User(),
                gui_objects::BorrowedDeviceContexts(), gui_objects::MadeInAll()};
    }
    bool operator==(const GuiCounts& other) const
    {
        return systemGdi == other.systemGdi && systemUser == other.systemUser && gdi == other.gdi &&
               user == other.user && borrowedDcs == other.borrowedDcs;
    }
    void Print(const char* when) const
    {
        std::printf("  %-18s GDI %zu, USER %zu, borrowed DCs %zu (GetGuiResources: GDI %lu, USER %lu); "
                    "%zu made or borrowed so far\n",
                    when, gdi, user, borrowedDcs, systemGdi, systemUser, madeInAll);
    }
};

// Whether every record's history has reached the most storage it takes.
bool HistoriesFull(Quillbrae& widget)
{
    auto records = widget.ratePane.rates.Lock();
    if (records->empty())
        return false;
    for (const FXRate& record : *records) {
        if (record.history.capacity() < MostHistorySamples(kRecordHistoryLimits))
            return false;
    }
    return true;
}

std::size_t FirstHistorySize(Quillbrae& widget)
{
    auto records = widget.ratePane.rates.Lock();
    return records->empty() ? 0 : records->front().history.size();
}

// Gives every record `days` of samples, 10 s apart on a simulated clock,
// with the change figure on a bounded walk; the clock stays that far ahead,
// so later samples follow in time.
void FillHistories(Quillbrae& widget, int days)
{
    constexpr uint32_t kInterval = 10000;
    const uint32_t samples = static_cast<uint32_t>(days) * 8640u;
    auto records = widget.ratePane.rates.Lock();
    for (FXRate& record : *records) {
        unsigned seed = 12345;
        double walk = 0;
        RateQuote quote{record.code, record.priceText, record.changeText, record.openText, record.lowText,
                        record.highText};
        for (uint32_t i = 1; i <= samples; ++i) {
            SetClockOffsetForTesting(i * kInterval);
            seed = seed * 1103515245u + 12345u;
            walk += (static_cast<int>((seed >> 16) % 201) - 100) / 10000.0;
            walk = walk > 0.5 ? 0.5 : walk < -0.5 ? -0.5 : walk;
            char change[32];
            std::snprintf(change, sizeof(change), "%.2f%%", walk);
            quote.changeText = change;
            record.ApplyQuote(quote);
        }
    }
    SetClockOffsetForTesting(samples * kInterval);
}

class Soak {
public:
    Soak(Quillbrae& app, const std::string& rateUrl, HANDLE trivialProcess)
        : widget(app), url(rateUrl), trivial(trivialProcess)
    {
    }

    // One cycle as the widget's worker runs it; with `paint`, both panes
    // are then painted at once, through their window procedures.
    void Cycle(bool paint)
    {
        UpdateRates(widget.ratePane.rates, url);
        if (!paint)
            return;
        widget.ratePane.Refresh();
        widget.chartPane.ShowSelectedRate(widget.ratePane);
        widget.chartPane.Refresh();
        RedrawWindow(widget.ratePane.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RedrawWindow(widget.chartPane.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    // Processor time per cycle of this process and of the trivial program
    // over the same time.
    void MeasureCpu(int cycles, bool paint)
    {
        const double ownBefore = ProcessCpuMs(GetCurrentProcess(), "");
        const double trivialBefore = ProcessCpuMs(trivial, TrivialExe);
        const double wallBefore = NowMs();
        for (int i = 0; i < cycles; ++i)
            Cycle(paint);
        const double own = ProcessCpuMs(GetCurrentProcess(), "") - ownBefore;
        const double other = ProcessCpuMs(trivial, TrivialExe) - trivialBefore;
        const double wall = NowMs() - wallBefore;
        std::printf("cpu: %d cycles %s in %.1f s: %.2f ms of processor time a cycle (%.2f ms wall); "
                    "a trivial window program over the same time: %.3f ms a cycle (%.0f ms in all)\n",
                    cycles, paint ? "with both panes painted" : "(update only)", wall / 1000.0, own / cycles,
                    wall / cycles, other / cycles, other);
    }

    // The long run, ended early after `minutes` if that is not 0; true if
    // every check held.
    bool Run(int cycles, double minutes)
    {
        const double wallStart = NowMs();
        const double cpuStart = ProcessCpuMs(GetCurrentProcess(), "");
        const double trivialStart = ProcessCpuMs(trivial, TrivialExe);
        GuiCounts early{};
        double fullKiB = -1, largestAfterFullKiB = -1;
        int fullAt = 0;
        std::printf("soak: %d cycles, both panes painted after each\n", cycles);
        std::printf("  %8s %8s %12s %6s %6s %9s\n", "cycle", "wall s", "private KiB", "GDI", "USER", "samples");
        const int planned = cycles;
        for (int i = 1; i <= cycles; ++i) {
            Cycle(true);
            if (minutes > 0 && i >= 100 && i % 100 == 0 && NowMs() - wallStart > minutes * 60000.0 && i < cycles) {
                std::printf("  time limit: ended after %d of %d cycles\n", i, planned);
                cycles = i;
            }
            if (i == 100)
                early = GuiCounts::Now();
            if (fullAt == 0 && i % 100 == 0 && HistoriesFull(widget)) {
                fullAt = i;
                fullKiB = PrivateKiB(GetCurrentProcess());
                largestAfterFullKiB = fullKiB;
                std::printf("  histories full after %d cycles: private memory %.0f KiB\n", i, fullKiB);
            }
            if (fullAt != 0 && i % 500 == 0) {
                const double now = PrivateKiB(GetCurrentProcess());
                largestAfterFullKiB = now > largestAfterFullKiB ? now : largestAfterFullKiB;
            }
            if (i % (i < 10000 ? 1000 : 10000) == 0 || i == cycles || i == 100) {
                std::printf("  %8d %8.1f %12.0f %6zu %6zu %9zu\n", i, (NowMs() - wallStart) / 1000.0,
                            PrivateKiB(GetCurrentProcess()), gui_objects::Gdi(), gui_objects::User(),
                            FirstHistorySize(widget));
                std::fflush(stdout);
            }
        }
        const GuiCounts end = GuiCounts::Now();
        const double endKiB = PrivateKiB(GetCurrentProcess());
        const double wall = NowMs() - wallStart;
        const double cpu = ProcessCpuMs(GetCurrentProcess(), "") - cpuStart;
        const double other = ProcessCpuMs(trivial, TrivialExe) - trivialStart;

        std::printf("soak: %d cycles in %.0f s (%.2f ms a cycle); processor time %.2f ms a cycle, "
                    "a trivial window program %.3f ms a cycle over the same time\n",
                    cycles, wall / 1000.0, wall / cycles, cpu / cycles, other / cycles);
        early.Print("after 100 cycles:");
        end.Print("at the end:");
        bool passed = true;
        auto check = [&](bool ok, const std::string& what) {
            std::printf("  %s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
            passed = passed && ok;
        };
        check(fullAt != 0, "every history filled its storage" +
                               (fullAt != 0 ? " (after " + std::to_string(fullAt) + " cycles)" : std::string()));
        if (fullAt != 0) {
            char text[200];
            std::snprintf(text, sizeof(text),
                          "private memory stopped growing: %.0f KiB when full, %.0f KiB at the end, at most %.0f KiB "
                          "between (%.0f KiB allowed)",
                          fullKiB, endKiB, largestAfterFullKiB, kMemoryToleranceKiB);
            check(endKiB - fullKiB <= kMemoryToleranceKiB && largestAfterFullKiB - fullKiB <= kMemoryToleranceKiB,
                  text);
        }
        check(cycles >= 100 && end == early, "GDI and USER objects as many at the end as after 100 cycles");
        check(end.borrowedDcs == 0, "no device context left borrowed");
        return passed;
    }

private:
    Quillbrae& widget;
    const std::string url;
    HANDLE trivial;
};

}  // namespace

int main(int argc, char** argv)
{
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int cpuCycles = argc > 2 ? std::atoi(argv[2]) : 1000;
    const double minutes = argc > 3 ? std::atof(argv[3]) : 0;
    const int routed = gui_objects::Install();
    std::printf("counting GDI and USER objects through %d imported functions\n", routed);

    SocketLibrary sockets;
    CreateDirectoryA(Folder.c_str(), nullptr);
    LocalFeed feed({"--port", "0"}, Folder);
    if (feed.WaitListening(std::chrono::seconds(30)) == 0) {
        std::fprintf(stderr, "the feed did not start\n");
        return 2;
    }
    const std::string url = feed.Url();
    ChildProcess trivial;
    if (!trivial.Start(TrivialExe, {}, Folder) ||
        !Await([&] { return FindProcessWindow(trivial.Id(), "TrivialFrame", true) != nullptr; }, 30000)) {
        std::fprintf(stderr, "the trivial window program did not start\n");
        return 2;
    }

    // The widget's worker makes the first cycle and then waits a day: the
    // cycles measured here are all run by this thread.
    const std::string ini = SettingsFilePath();
    DeleteFileA(ini.c_str());
    WritePrivateProfileStringA(names::kWidgetSection, names::kRateUrlKey, url.c_str(), ini.c_str());
    WritePrivateProfileStringA(names::kWidgetSection, names::kUpdateTimerKey,
                               std::to_string(Quillbrae::LongestUpdateInterval).c_str(), ini.c_str());
    WritePrivateProfileStringA(names::kPlacementSection, "MainLeft", "600", ini.c_str());
    WritePrivateProfileStringA(names::kPlacementSection, names::kMainTopKey, "500", ini.c_str());
    Quillbrae widget;
    if (!widget.Create()) {
        std::fprintf(stderr, "the widget did not start\n");
        return 2;
    }
    ShowWindow(widget.window, SW_SHOW);
    widget.updateInterval = Quillbrae::LongestUpdateInterval;
    if (!Await([&] { return !widget.ratePane.rates.Lock()->empty(); }, 60000)) {
        std::fprintf(stderr, "no rates from the feed\n");
        return 2;
    }
    const std::size_t pairs = widget.ratePane.rates.Lock()->size();
    std::printf("widget fed by %s: %zu pairs; the trivial window program's processor time read from %s\n",
                url.c_str(), pairs,
                UnixProcessCpuMs(TrivialExe) >= 0 ? "/proc" : "GetProcessTimes");

    Soak soak(widget, url, static_cast<HANDLE>(trivial.NativeHandle()));
    if (cpuCycles > 0) {
        soak.MeasureCpu(cpuCycles, false);
        soak.MeasureCpu(cpuCycles, true);
    }
    bool passed = true;
    if (cycles > 0) {
        const double fillStart = NowMs();
        FillHistories(widget, 30);
        std::printf("30 days of samples given to every record on a simulated clock in %.1f s; private memory "
                    "%.0f KiB\n",
                    (NowMs() - fillStart) / 1000.0, PrivateKiB(GetCurrentProcess()));
        passed = soak.Run(cycles, minutes);
    }

    widget.OnCommand(Quillbrae::ExitCommand, 0);
    Await([&] { return !IsWindow(widget.window); }, 20000);
    DeleteFileA(ini.c_str());
    trivial.Kill();
    feed.Kill();
    std::printf("%s\n", passed ? "soak passed" : "soak FAILED");
    return passed ? 0 : 1;
}
