#include "tests/support/WidgetProcess.h"

#include "base/Names.h"
#include "tests/support/Picture.h"
#include "tests/support/ProcessWindow.h"
#include "tests/support/SettingsFile.h"
#include "tests/support/SharedFile.h"
#include "tests/support/Wait.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

using namespace std::chrono_literals;

WidgetProcess::WidgetProcess(const std::string& widgetExe, std::string folderPath)
    : folder(std::move(folderPath)), exe(folder + "\\quillbrae.exe"), ini(folder + "\\quillbrae.ini")
{
    // A settings file left by an earlier run of the same test would change this one.
    DeleteFileA(ini.c_str());
    // So would the histories it kept.
    DeleteFileA((folder + "\\quillbrae.history").c_str());
    DeleteFileA((folder + "\\quillbrae.history.bad").c_str());
    CopyFileA(widgetExe.c_str(), exe.c_str(), FALSE);
    // Settings beside the copy even before the first is written.
    HANDLE marker = CreateFileA((folder + "\\portable").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
}

void WidgetProcess::Set(const char* section, const char* key, const std::string& value)
{
    WriteSetting(ini, section, key, value.c_str());
}

std::string WidgetProcess::Setting(const char* section, const char* key) const
{
    return ReadSetting(ini, section, key);
}

void WidgetProcess::Place(int left, int top, int width, int height)
{
    Set(names::kPlacementSection, names::kMainLeftKey, std::to_string(left));
    Set(names::kPlacementSection, names::kMainTopKey, std::to_string(top));
    Set(names::kPlacementSection, names::kMainWidthKey, std::to_string(width));
    Set(names::kPlacementSection, names::kMainHeightKey, std::to_string(height));
}

bool WidgetProcess::Start()
{
    return Launch() && WaitForWindow();
}

bool WidgetProcess::Launch()
{
    // A ChildProcess runs one program: each start gets a new one.
    window = nullptr;
    process = std::make_unique<ChildProcess>();
    return process->Start(exe, {}, folder);
}

bool WidgetProcess::WaitForWindow()
{
    return process && WaitUntil(
        [&] { return (window = FindProcessWindow(process->Id(), names::kMainWindowClass, true)) != nullptr; },
        30s);
}

HWND WidgetProcess::Pane(const char* className) const
{
    return FindWindowExA(window, nullptr, className, nullptr);
}

RECT WidgetProcess::PaneRect(const char* className) const
{
    RECT r{};
    GetWindowRect(Pane(className), &r);
    return r;
}

void WidgetProcess::Command(unsigned id) const
{
    PostMessageA(window, WM_COMMAND, id, 0);
}

size_t WidgetProcess::Downloads() const
{
    return CountOf(process->Output(), "ContentLen:");
}

bool WidgetProcess::ShowsRates() const
{
    return WidgetShowsRates(window);
}

bool WidgetShowsRates(HWND widgetWindow)
{
    Picture picture = Picture::OfScreen(FindWindowExA(widgetWindow, nullptr, "BaseWindowPane", nullptr));
    int width = std::min(picture.width, 200);
    int grey = picture.Count(IsSelectionBar, 0, 40, 0, width);
    return grey > width * 4;  // a bar, not a stray pixel
}

double WidgetProcess::Exit()
{
    auto start = std::chrono::steady_clock::now();
    Command(names::kExitCommand);
    if (!process->WaitExit(20s))
        return std::numeric_limits<double>::infinity();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

bool WidgetProcess::ExitCleanly()
{
    return std::isfinite(Exit()) && process->ExitCode() == 0;
}
