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
#include "http/SocketLibrary.h"
#include "tests/app/ChildProcess.h"

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const std::string WidgetExe = NativePath(QB_WIDGET_EXE);
const std::string FeedExe = NativePath(QB_FEED_EXE);
const std::string TrivialExe = NativePath(QB_TRIVIAL_EXE);
const std::string Folder = NativePath(QB_WORK_DIR);

template <typename Condition>
bool Await(Condition done, double limitMs)
{
    double start = NowMs();
    while (!done()) {
        if (NowMs() - start > limitMs)
            return false;
        // An outside process cannot signal us; look again shortly.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

double ProcessCpuMs(HANDLE process)
{
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user))
        return -1;
    auto ms = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
               10000.0;
    };
    return ms(kernel) + ms(user);
}

// Private bytes; Wine leaves PrivateUsage at zero but keeps the page-file
// count, which is the same figure (committed private memory).
double PrivateMiB(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters)))
        return -1;
    SIZE_T bytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
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
    if (!trivial.Start("\"" + TrivialExe + "\"", Folder, ""))
        return -1;
    HWND window = nullptr;
    if (!Await([&] { return (window = FindProcessWindow(trivial.Id(), "TrivialFrame", true)) != nullptr; }, 30000))
        return -1;
    double start = NowMs();
    PostMessageA(window, WM_COMMAND, 11, 0);
    trivial.WaitExit(20000);
    return NowMs() - start;
}

void MeasureInProcessCycles(const std::string& url)
{
    // The application object here, its pause between updates taken out:
    // 1,000 cycles against the feed in a few seconds instead of hours.
    std::string ini = SettingsFilePath();
    WritePrivateProfileStringA("Quillbrae", "RateUrl", url.c_str(), ini.c_str());
    Quillbrae widget;
    widget.Create();

    // The worker between two updates: its own processor time, free of what
    // Wine spends on every process.
    Await([&] { return !widget.ratePane.rates.Lock()->empty(); }, 30000);
    FILETIME created, ended, kernel0, user0, kernel1, user1;
    GetThreadTimes(widget.runHandle.Get(), &created, &ended, &kernel0, &user0);
    double idleStart = NowMs();
    Await([] { return false; }, 10000);
    GetThreadTimes(widget.runHandle.Get(), &created, &ended, &kernel1, &user1);
    auto ticks = [](FILETIME t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    double workerMs = static_cast<double>(ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0)) / 10000.0;
    std::printf("idle worker thread: %.1f ms of processor time in %.1f s\n", workerMs, (NowMs() - idleStart) / 1000.0);

    widget.updateInterval = 0;
    double before = PrivateMiB(GetCurrentProcess());
    double start = NowMs();
    size_t samples = 0;
    Await(
        [&] {
            auto records = widget.ratePane.rates.Lock();
            samples = records->empty() ? 0 : records->front().history.size();
            return samples >= 1000;
        },
        600000);
    double ms = NowMs() - start;
    double after = PrivateMiB(GetCurrentProcess());
    size_t pairs = widget.ratePane.rates.Lock()->size();
    std::printf("in-process: %zu cycles of %zu pairs in %.1f s (%.2f ms a cycle); private memory %.2f MiB after the "
                "first cycle, %.2f MiB after %zu cycles\n",
                samples, pairs, ms / 1000.0, ms / static_cast<double>(samples), before, after, samples);
    widget.OnCommand(Quillbrae::ExitCommand, 0);
    Await([&] { return !IsWindow(widget.window); }, 20000);
    DeleteFileA(ini.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    SocketLibrary sockets;
    CreateDirectoryA(Folder.c_str(), nullptr);

    ChildProcess feed;
    std::string feedOut = Folder + "\\feed.out";
    if (!feed.Start("\"" + FeedExe + "\" --port 0", Folder, feedOut) ||
        !Await([&] { return ReadSharedFile(feedOut).find("listening on") != std::string::npos; }, 30000)) {
        std::fprintf(stderr, "the feed did not start\n");
        return 1;
    }
    std::string text = ReadSharedFile(feedOut);
    std::string port = text.substr(text.find(':', text.find("listening on")) + 1);
    port = port.substr(0, port.find_first_not_of("0123456789"));
    std::string url = "http://127.0.0.1:" + port + "/rate/neo/rate.asp";

    std::string exe = Folder + "\\quillbrae.exe";
    std::string ini = Folder + "\\quillbrae.ini";
    CopyFileA(WidgetExe.c_str(), exe.c_str(), FALSE);
    DeleteFileA(ini.c_str());
    WritePrivateProfileStringA("Quillbrae", "RateUrl", url.c_str(), ini.c_str());
    // One update at start, the next after the idle minute.
    WritePrivateProfileStringA("Quillbrae", "UpdateTimer", std::to_string((idleSeconds + 30) * 1000).c_str(),
                               ini.c_str());
    WritePrivateProfileStringA("Window", "MainLeft", "600", ini.c_str());
    WritePrivateProfileStringA("Window", "MainTop", "500", ini.c_str());

    ChildProcess widget;
    double started = NowMs();
    if (!widget.Start("\"" + exe + "\"", Folder, Folder + "\\quillbrae.out")) {
        std::fprintf(stderr, "the widget did not start\n");
        return 1;
    }
    HWND window = nullptr;
    Await([&] { return (window = FindProcessWindow(widget.Id(), "MainFrame", true)) != nullptr; }, 30000);
    double shown = NowMs() - started;
    HWND pane = FindWindowExA(window, nullptr, "BaseWindowPane", nullptr);
    bool painted = Await([&] { return ScreenShowsSelection(pane); }, 30000);
    double firstRates = NowMs() - started;
    std::printf("start: window shown after %.0f ms, first rates painted after %.0f ms%s\n", shown, firstRates,
                painted ? "" : " (NOT SEEN)");
    std::printf("private memory after start: %.2f MiB\n", PrivateMiB(widget.Handle()));

    // A trivial window program idles beside it: what Wine itself costs.
    ChildProcess idler;
    idler.Start("\"" + TrivialExe + "\"", Folder, "");
    Await([&] { return FindProcessWindow(idler.Id(), "TrivialFrame", true) != nullptr; }, 30000);
    double cpuBefore = ProcessCpuMs(widget.Handle());
    double idlerBefore = ProcessCpuMs(idler.Handle());
    double wallBefore = NowMs();
    Await([] { return false; }, idleSeconds * 1000.0);
    double cpu = ProcessCpuMs(widget.Handle()) - cpuBefore;
    double idlerCpu = ProcessCpuMs(idler.Handle()) - idlerBefore;
    double wall = NowMs() - wallBefore;
    std::printf("idle: widget %.0f ms of processor time in %.1f s (%.4f %% of a core); trivial window program "
                "%.0f ms (%.4f %%)\n",
                cpu, wall / 1000.0, 100.0 * cpu / wall, idlerCpu, 100.0 * idlerCpu / wall);
    idler.Kill();

    double trivial = TrivialExitMs();
    double exitStart = NowMs();
    PostMessageA(window, WM_COMMAND, 11, 0);
    widget.WaitExit(20000);
    std::printf("exit: widget %.0f ms (code %lu), trivial window program %.0f ms\n", NowMs() - exitStart,
                widget.ExitCode(), trivial);

    MeasureInProcessCycles(url);
    return 0;
}
