// Shows both panes side by side in one 640 x 300 window, fed by update
// cycles against a rate feed, with a row selected by the arrow key as a user
// would. For looking at the result (and taking the screenshot in docs/):
//
//   display-panes-demo URL|PORT [CYCLES] [READY-FILE]
//
// A bare port number stands for the rate page of a feed on loopback. After
// CYCLES update cycles (default 60) the demo writes READY-FILE, if given (a
// Unix path is taken as Wine's), and keeps showing the panes until its
// window is closed.
#include "display/ChartPane.h"
#include "display/FXRatePane.h"
#include "http/SocketLibrary.h"
#include "tests/support/LocalFeed.h"
#include "tests/support/WinePath.h"
#include "update/UpdateRates.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

namespace {

constexpr UINT cyclesDone = WM_APP + 1;
constexpr UINT firstCycleDone = WM_APP + 2;
constexpr int width = 640;
constexpr int height = 300;
constexpr int rateListWidth = 200;

struct Demo {
    FXRatePane ratePane;
    ChartPane chartPane;
    std::string url;
    int cycles = 60;
    std::string readyFile;
    HWND window = nullptr;

    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable stopped;  // with mutex, for the pause between cycles

    void Run()
    {
        for (int cycle = 0; cycle < cycles && !stop; ++cycle) {
            UpdateRates(ratePane.rates, url, &stop);
            ratePane.Refresh();
            chartPane.ShowSelectedRate(ratePane);
            chartPane.Refresh();
            if (cycle == 0)
                PostMessageA(window, firstCycleDone, 0, 0);
            std::unique_lock<std::mutex> lock(mutex);
            stopped.wait_for(lock, std::chrono::milliseconds(30), [this] { return stop.load(); });
        }
        PostMessageA(window, cyclesDone, 0, 0);
    }

    void Stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        stopped.notify_all();
    }
};

Demo* demo = nullptr;

LRESULT CALLBACK DemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NOTIFY:
        demo->chartPane.ShowSelectedRate(demo->ratePane);
        demo->chartPane.Invalidate(nullptr, false);
        return 0;
    case firstCycleDone:
        // Select the fourth pair the way a user would.
        for (int i = 0; i < 3; ++i)
            SendMessageA(demo->ratePane.window, WM_KEYDOWN, VK_DOWN, 0);
        return 0;
    case cyclesDone:
        if (!demo->readyFile.empty())
            std::ofstream(demo->readyFile) << "ready\n";
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    SocketLibrary sockets;
    Demo panes;
    demo = &panes;
    const std::string source = argv[1];
    const bool portOnly = source.find_first_not_of("0123456789") == std::string::npos;
    panes.url = portOnly ? LoopbackUrl(static_cast<uint16_t>(std::atoi(source.c_str()))) : source;
    if (argc > 2)
        panes.cycles = std::atoi(argv[2]);
    if (argc > 3)
        panes.readyFile = WinePath(argv[3]);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DemoProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = "PanesDemo";
    RegisterClassExA(&windowClass);
    panes.window = CreateWindowExA(0, "PanesDemo", "Quillbrae", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
    if (panes.window == nullptr)
        return 1;
    panes.ratePane.CreateChild(panes.window);
    panes.chartPane.CreateChild(panes.window);
    panes.ratePane.SetBounds(0, 0, rateListWidth, height);
    panes.chartPane.SetBounds(rateListWidth, 0, width - rateListWidth, height);
    panes.chartPane.ShowSelectedRate(panes.ratePane);

    std::thread worker([] { demo->Run(); });
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    panes.Stop();
    worker.join();
    return 0;
}
