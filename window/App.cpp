#include "window/App.h"

#include "base/DpiScale.h"
#include "base/Names.h"
#include "base/SettingsLocation.h"
#include "base/WholeFile.h"
#include "window/WindowDpi.h"

#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

constexpr int DefaultWidth = 640;
constexpr int DefaultHeight = 480;
// A settings file larger than this is no settings file.
constexpr size_t SettingsFileLimit = 1u << 20;

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

std::string ModuleFileName()
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::string();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768)
            return std::string();  // no file system path is longer
        path.resize(path.size() * 2);
    }
}

// The first argument of the command line, the program as it was started.
std::string FirstArgument()
{
    const char* line = GetCommandLineA();
    if (line == nullptr)
        return std::string();
    while (*line == ' ' || *line == '\t')
        ++line;
    const char* end;
    if (*line == '"') {
        ++line;
        end = std::strchr(line, '"');
        if (end == nullptr)
            end = line + std::strlen(line);
    } else {
        end = line + std::strcspn(line, " \t");
    }
    return std::string(line, end);
}

// The settings file as it is now (empty when missing); none when it is
// there but cannot be read, and so must not be replaced either.
std::optional<IniText> SettingsNow()
{
    WholeFileRead read = ReadWholeFile(SettingsFilePath(), SettingsFileLimit);
    if (read.status != WholeFileRead::Status::Read && read.status != WholeFileRead::Status::Missing)
        return std::nullopt;
    return IniText(read.bytes);
}

}  // namespace

const std::string& ProgramPath()
{
    static const std::string path = ModuleFileName();
    return path;
}

const std::string& ProgramDirectory()
{
    static const std::string directory = [] {
        const std::string& path = ProgramPath();
        size_t slash = path.find_last_of("\\/");
        return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }();
    return directory;
}

const std::string& ProgramName()
{
    static const std::string name = [] {
        // Wine hands over a Unix path when started from a shell, so either
        // separator ends the directory part.
        std::string started = FirstArgument();
        size_t begin = 0;
        for (size_t i = 0; i < started.size(); ++i) {
            if (IsSeparator(started[i]))
                begin = i + 1;
        }
        size_t dot = started.find_last_of('.');
        size_t end = dot != std::string::npos && dot >= begin ? dot : started.size();
        return started.substr(begin, end - begin);
    }();
    return name;
}

namespace {

const SettingsLocation& Settings()
{
    static const SettingsLocation location = FindSettingsLocation(ProgramDirectory(), ProgramName());
    return location;
}

}  // namespace

const std::string& SettingsFilePath()
{
    return Settings().file;
}

const std::string& SettingsFolder()
{
    return Settings().folder;
}

bool MakeSettingsFolder()
{
    return MakeSettingsFolder(Settings());
}

App::App() : trayIcon() {}

App::~App()
{
    if (trayIcon.hWnd != nullptr)
        Shell_NotifyIconA(NIM_DELETE, &trayIcon);
    Destroy();
}

bool App::Create()
{
    RegisterWindowClass(names::kMainWindowClass, nullptr, 0);
    return CreateTopLevelWindow();
}

bool App::OnClose()
{
    if (trayIcon.hWnd != nullptr) {
        Shell_NotifyIconA(NIM_DELETE, &trayIcon);
        trayIcon.hWnd = nullptr;  // the icon is gone: never delete it twice
    }
    Destroy();
    return true;
}

LRESULT App::DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the child panes paint the whole client area
    case TrayCallbackMessage:
        OnTrayNotify(lParam);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void App::LoadPlacement()
{
    ApplyPlacement(ReadPlacement(SettingsNow().value_or(IniText())));
}

void App::SavePlacement()
{
    StoredPlacement placement;
    if (!CurrentPlacement(placement))
        return;
    std::optional<IniText> settings = SettingsNow();
    if (!settings)
        return;
    WritePlacement(*settings, placement);
    ReplaceWholeFile(SettingsFilePath(), settings->Bytes());
}

void App::ApplyPlacement(const StoredPlacement& stored)
{
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Saved figures are physical pixels and stay as they are; only the
    // first-run size, in 96-DPI pixels, grows with the DPI.
    int dpiValue = WindowDpi(window);
    int defaultWidth = dpi::Scale(DefaultWidth, dpiValue);
    int defaultHeight = dpi::Scale(DefaultHeight, dpiValue);
    int height = static_cast<int>(stored.height.value_or(defaultHeight));
    int width = static_cast<int>(stored.width.value_or(defaultWidth));
    int top = static_cast<int>(stored.top.value_or((screenHeight - defaultHeight) / 2));
    int left = static_cast<int>(stored.left.value_or((screenWidth - defaultWidth) / 2));

    RECT rect{left, top, left + width, top + height};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoA(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& bounds = monitor.rcMonitor;
        // Right before left and bottom before top: a window larger than the
        // monitor keeps its left and top edges on screen.
        if (rect.right > bounds.right)
            OffsetRect(&rect, bounds.right - rect.right, 0);
        if (rect.left < bounds.left)
            OffsetRect(&rect, bounds.left - rect.left, 0);
        if (rect.bottom > bounds.bottom)
            OffsetRect(&rect, 0, bounds.bottom - rect.bottom);
        if (rect.top < bounds.top)
            OffsetRect(&rect, 0, bounds.top - rect.top);
    }
    // Move first, then hide: a call that shows or hides may not also move.
    SetWindowPos(window, HWND_TOP, rect.left, rect.top, width, height, SWP_NOACTIVATE);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool App::CurrentPlacement(StoredPlacement& stored) const
{
    if (!IsWindow(window))
        return false;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(window, &placement))
        return false;
    RECT rect = placement.rcNormalPosition;

    // The restored rectangle comes in work-area coordinates unless the
    // window is a tool window; LoadPlacement works in screen coordinates.
    if ((GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
            OffsetRect(&rect, monitor.rcWork.left - monitor.rcMonitor.left,
                       monitor.rcWork.top - monitor.rcMonitor.top);
    }

    stored.left = rect.left;
    stored.top = rect.top;
    stored.width = rect.right - rect.left;
    stored.height = rect.bottom - rect.top;
    stored.zoomed = placement.showCmd == SW_SHOWMAXIMIZED;
    return true;
}

bool App::OnTrayNotify(LPARAM)
{
    return true;
}
