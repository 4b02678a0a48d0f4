// Measures the widget as a user runs it, for docs/performance.md:
//   - time from start to the first painted rates,
//   - processor time of the whole process over a minute of idle running
//     between two updates,
//   - private memory after start,
//   - time from "&Exit" to the end of the process, beside a trivial window
//     program in the same run,
// and, with the application object in this process and the pause between
// updates taken out, private memory after 1,000 update cycles.
//
//   measure_widget.exe [IDLE_SECONDS]   (default 60)
#include "app/Quillbrae.h"
#include "base/Names.h"
#include "bench/app/ProcessFigures.h"
#include "http/SocketLibrary.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LocalFeed.h"
#include "tests/support/MessageWait.h"
#include "tests/support/ProcessWindow.h"
#include "tests/support/SettingsFile.h"
#include "tests/support/WinePath.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace std::chrono_literals;

const std::string WidgetExe = WinePath(QB_WIDGET_EXE);
const std::string TrivialExe = WinePath(QB_TRIVIAL_EXE);
const std::string Folder = WinePath(QB_WORK_DIR);

// Milliseconds on a steady clock, for measuring.
double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// A pause during which this thread's windows stay responsive.
void Pause(std::chrono::milliseconds length)
{
    PumpUntil([] { return false; }, length);
}

bool ScreenShowsSelection(HWND pane)
{
    RECT r{};
    if (!GetWindowRect(pane, &r))
        return false;
    HDC screen = GetDC(nullptr);
    COLORREF pixel = GetPixel(screen, r.left + 2, r.top + 2);
    ReleaseDC(nullptr, screen);
    return pixel == RGB(0xCC, 0xCC, 0xCC);  // the selection bar of the first row
}

double TrivialExitMs()
{
    ChildProcess trivial;
    if (!trivial.Start(TrivialExe, {}, Folder))
        return -1;
    HWND window = nullptr;
    if (!PumpUntil([&] { return (window = FindProcessWindow(trivial.Id(), "TrivialFrame", true)) != nullptr; }, 30s))
        return -1;
    double start = NowMs();
    PostMessageA(window, WM_COMMAND, names::kExitCommand, 0);
    trivial.WaitExit(20s);
    return NowMs() - start;
}

void MeasureInProcessCycles(const std::string& url)
{
    // The application object here, its pause between updates taken out:
    // 1,000 cycles against the feed in a few seconds instead of hours.
    std::string ini = SettingsFilePath();
    WriteSetting(ini, names::kWidgetSection, names::kRateUrlKey, url.c_str());
    Quillbrae widget;
    widget.Create();

    // The worker between two updates: its own processor time, free of what
    // Wine spends on every process.
    PumpUntil([&] { return !widget.ratePane.rates.Lock()->empty(); }, 30s);
    FILETIME created, ended, kernel0, user0, kernel1, user1;
    GetThreadTimes(widget.runHandle.Get(), &created, &ended, &kernel0, &user0);
    double idleStart = NowMs();
    Pause(10s);
    GetThreadTimes(widget.runHandle.Get(), &created, &ended, &kernel1, &user1);
    auto ticks = [](FILETIME t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    double workerMs = static_cast<double>(ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0)) / 10000.0;
    std::printf("idle worker thread: %.1f ms of processor time in %.1f s\n", workerMs, (NowMs() - idleStart) / 1000.0);

    widget.updateInterval = 0;
    double before = PrivateKiB(GetCurrentProcess()) / 1024.0;
    double start = NowMs();
    size_t samples = 0;
    PumpUntil(
        [&] {
            auto records = widget.ratePane.rates.Lock();
            samples = records->empty() ? 0 : records->front().history.size();
            return samples >= 1000;
        },
        600s);
    double ms = NowMs() - start;
    double after = PrivateKiB(GetCurrentProcess()) / 1024.0;
    size_t pairs = widget.ratePane.rates.Lock()->size();
    std::printf("in-process: %zu cycles of %zu pairs in %.1f s (%.2f ms a cycle); private memory %.2f MiB after the "
                "first cycle, %.2f MiB after %zu cycles\n",
                samples, pairs, ms / 1000.0, ms / static_cast<double>(samples), before, after, samples);
    widget.OnCommand(Quillbrae::ExitCommand, 0);
    PumpUntil([&] { return !IsWindow(widget.window); }, 20s);
    DeleteFileA(ini.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    SocketLibrary sockets;
    CreateDirectoryA(Folder.c_str(), nullptr);

    LocalFeed feed({"--port", "0"}, Folder);
    if (feed.WaitListening(30s) == 0) {
        std::fprintf(stderr, "the feed did not start\n");
        return 1;
    }
    std::string url = feed.Url();

    std::string exe = Folder + "\\quillbrae.exe";
    std::string ini = Folder + "\\quillbrae.ini";
    CopyFileA(WidgetExe.c_str(), exe.c_str(), FALSE);
    DeleteFileA(ini.c_str());
    WriteSetting(ini, names::kWidgetSection, names::kRateUrlKey, url.c_str());
    // One update at start, the next after the idle minute.
    WriteSetting(ini, names::kWidgetSection, names::kUpdateTimerKey,
                 std::to_string((idleSeconds + 30) * 1000).c_str());
    WriteSetting(ini, names::kPlacementSection, names::kMainLeftKey, "600");
    WriteSetting(ini, names::kPlacementSection, names::kMainTopKey, "500");

    ChildProcess widget;
    double started = NowMs();
    if (!widget.Start(exe, {}, Folder)) {
        std::fprintf(stderr, "the widget did not start\n");
        return 1;
    }
    HWND window = nullptr;
    PumpUntil([&] { return (window = FindProcessWindow(widget.Id(), names::kMainWindowClass, true)) != nullptr; }, 30s);
    double shown = NowMs() - started;
    HWND pane = FindWindowExA(window, nullptr, "BaseWindowPane", nullptr);
    bool painted = PumpUntil([&] { return ScreenShowsSelection(pane); }, 30s);
    double firstRates = NowMs() - started;
    std::printf("start: window shown after %.0f ms, first rates painted after %.0f ms%s\n", shown, firstRates,
                painted ? "" : " (NOT SEEN)");
    std::printf("private memory after start: %.2f MiB\n", PrivateKiB(widget.NativeHandle()) / 1024.0);

    // A trivial window program idles beside it: what Wine itself costs.
    ChildProcess idler;
    idler.Start(TrivialExe, {}, Folder);
    PumpUntil([&] { return FindProcessWindow(idler.Id(), "TrivialFrame", true) != nullptr; }, 30s);
    double cpuBefore = ProcessCpuMs(widget.NativeHandle(), exe);
    double idlerBefore = ProcessCpuMs(idler.NativeHandle(), TrivialExe);
    double wallBefore = NowMs();
    Pause(std::chrono::seconds(idleSeconds));
    double cpu = ProcessCpuMs(widget.NativeHandle(), exe) - cpuBefore;
    double idlerCpu = ProcessCpuMs(idler.NativeHandle(), TrivialExe) - idlerBefore;
    double wall = NowMs() - wallBefore;
    std::printf(
        "idle: widget %.0f ms of processor time in %.1f s (%.4f %% of a core); trivial window program "
        "%.0f ms (%.4f %%); read from %s\n",
        cpu, wall / 1000.0, 100.0 * cpu / wall, idlerCpu, 100.0 * idlerCpu / wall,
        UnixProcessCpuMs(exe) >= 0 && UnixProcessCpuMs(TrivialExe) >= 0 ? "/proc" : "GetProcessTimes");
    idler.Kill();

    double trivial = TrivialExitMs();
    double exitStart = NowMs();
    PostMessageA(window, WM_COMMAND, names::kExitCommand, 0);
    widget.WaitExit(20s);
    std::printf("exit: widget %.0f ms (code %d), trivial window program %.0f ms\n", NowMs() - exitStart,
                widget.ExitCode(), trivial);

    MeasureInProcessCycles(url);
    return 0;
}
