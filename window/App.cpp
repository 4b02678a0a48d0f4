#include "window/App.h"

#include "base/DpiScale.h"
#include "base/Names.h"
#include "base/SettingsLocation.h"
#include "window/WindowDpi.h"

#include <cstdlib>
#include <cstring>

namespace {

const char* const PlacementSection = names::kPlacementSection;
constexpr int DefaultWidth = 640;
constexpr int DefaultHeight = 480;
// Bounds for values read back from the settings file: far beyond any real
// desktop, yet small enough that left + width can never overflow.
constexpr long CoordinateLimit = 1L << 20;
constexpr long SizeLimit = 1L << 16;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

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

// A stored number, or `fallback` when the key is missing or holds no number.
// Out-of-range numbers are pulled to the nearest bound.
long ReadNumber(const char* key, long fallback, long lowest, long highest)
{
    char text[32] = {};
    GetPrivateProfileStringA(PlacementSection, key, "", text, sizeof(text), SettingsFilePath().c_str());
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);  // saturates on overflow
    if (end == text)
        return fallback;
    return value < lowest ? lowest : value > highest ? highest : value;
}

int ReadCoordinate(const char* key, int fallback)
{
    return static_cast<int>(ReadNumber(key, fallback, -CoordinateLimit, CoordinateLimit));
}

// A width or height of zero or less would make an invisible window: such a
// value is treated as missing.
int ReadSize(const char* key, int fallback)
{
    long value = ReadNumber(key, fallback, 0, SizeLimit);
    return value > 0 ? static_cast<int>(value) : fallback;
}

void WriteNumber(const char* key, long value)
{
    char text[32] = {};
    wsprintfA(text, "%d", static_cast<int>(value));
    WritePrivateProfileStringA(PlacementSection, key, text, SettingsFilePath().c_str());
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
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Saved figures are physical pixels and stay as they are; only the
    // first-run size, in 96-DPI pixels, grows with the DPI.
    int dpiValue = WindowDpi(window);
    int defaultWidth = dpi::Scale(DefaultWidth, dpiValue);
    int defaultHeight = dpi::Scale(DefaultHeight, dpiValue);
    int height = ReadSize(names::kMainHeightKey, defaultHeight);
    int width = ReadSize(names::kMainWidthKey, defaultWidth);
    int top = ReadCoordinate(names::kMainTopKey, (screenHeight - defaultHeight) / 2);
    int left = ReadCoordinate(names::kMainLeftKey, (screenWidth - defaultWidth) / 2);

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
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void App::SavePlacement()
{
    if (!IsWindow(window))
        return;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(window, &placement))
        return;
    RECT rect = placement.rcNormalPosition;
    // The first save of an installed copy makes its folder under the
    // application data; the file then follows as the profile functions write it.
    MakeSettingsFolder();

    // The restored rectangle comes in work-area coordinates unless the
    // window is a tool window; LoadPlacement works in screen coordinates.
    if ((GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
            OffsetRect(&rect, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
    }

    WriteNumber(names::kMainLeftKey, rect.left);
    WriteNumber(names::kMainTopKey, rect.top);
    WriteNumber(names::kMainWidthKey, rect.right - rect.left);
    WriteNumber(names::kMainHeightKey, rect.bottom - rect.top);
    WritePrivateProfileStringA(PlacementSection, names::kZoomedKey,
                               placement.showCmd == SW_SHOWMAXIMIZED ? "1" : "0", SettingsFilePath().c_str());
}

bool App::OnTrayNotify(LPARAM) { return true; }
