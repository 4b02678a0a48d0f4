#include "app/OneWidget.h"

#include "base/InstanceName.h"
#include "base/Names.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// What the first widget publishes. Window handles fit in 32 bits across
// processes, but the record keeps all 64 so that nothing is cut.
struct Published {
    uint64_t window;
    uint32_t processId;
};

// One mapped view of the published record, unmapped when it goes.
class View {
public:
    View(HANDLE mapping, DWORD access)
        : address(mapping != nullptr ? MapViewOfFile(mapping, access, 0, 0, sizeof(Published)) : nullptr)
    {
    }
    ~View()
    {
        if (address != nullptr)
            UnmapViewOfFile(address);
    }
    View(const View&) = delete;
    View& operator=(const View&) = delete;
    Published* Get() const { return static_cast<Published*>(address); }

private:
    void* address;
};

bool IsWidgetWindow(HWND window, DWORD processId)
{
    if (window == nullptr || !IsWindow(window))
        return false;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    return owner == processId && std::strcmp(className, names::kMainWindowClass) == 0;
}

// A window moved onto a monitor that has since gone (or far off by hand)
// comes back inside the nearest monitor's work area, keeping its size where
// it fits.
void BringOntoMonitor(HWND window)
{
    if (MonitorFromWindow(window, MONITOR_DEFAULTTONULL) != nullptr)
        return;
    RECT rect{};
    GetWindowRect(window, &rect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    int width = std::min<int>(rect.right - rect.left, work.right - work.left);
    int height = std::min<int>(rect.bottom - rect.top, work.bottom - work.top);
    int left = rect.left < work.left ? work.left : std::min<int>(rect.left, work.right - width);
    int top = rect.top < work.top ? work.top : std::min<int>(rect.top, work.bottom - height);
    SetWindowPos(window, nullptr, left, top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

}  // namespace

OneWidget::OneWidget(const std::string& settingsPath)
{
    // "Local\": one claim per log-on session, as the settings are per user.
    const std::string name = "Local\\" + InstanceName(settingsPath);
    claim.Reset(CreateMutexA(nullptr, FALSE, name.c_str()));
    first = claim.Get() == nullptr || GetLastError() != ERROR_ALREADY_EXISTS;
    ready.Reset(CreateEventA(nullptr, TRUE, FALSE, (name + "-ready").c_str()));
    mapping.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Published),
                                     (name + "-window").c_str()));
}

void OneWidget::Publish(HWND window)
{
    if (!first)
        return;
    View view(mapping.Get(), FILE_MAP_WRITE);
    if (view.Get() == nullptr)
        return;
    view.Get()->window = reinterpret_cast<uintptr_t>(window);
    view.Get()->processId = GetCurrentProcessId();
    if (ready)
        SetEvent(ready.Get());
}

bool OneWidget::ShowFirst(DWORD waitMilliseconds) const
{
    if (!ready || WaitForSingleObject(ready.Get(), waitMilliseconds) != WAIT_OBJECT_0)
        return false;
    Published published{};
    {
        View view(mapping.Get(), FILE_MAP_READ);
        if (view.Get() == nullptr)
            return false;
        published = *view.Get();
    }
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(published.window));
    if (!IsWidgetWindow(window, published.processId))
        return false;
    // The asynchronous forms: a widget busy on its window thread must not
    // keep this start from ending.
    ShowWindowAsync(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
    BringOntoMonitor(window);
    // This start is the foreground process, so it may hand the foreground on.
    AllowSetForegroundWindow(published.processId);
    SetForegroundWindow(window);
    return true;
}
