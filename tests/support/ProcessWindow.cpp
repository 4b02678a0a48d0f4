#include "tests/support/ProcessWindow.h"

#include "base/Names.h"

#include <string>

namespace {

struct WindowSearch {
    DWORD processId;
    const char* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId)
        return TRUE;
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, search->className) != 0)
        return TRUE;
    if (search->visibleOnly && !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND FindProcessWindow(unsigned long processId, const char* className, bool visibleOnly)
{
    WindowSearch search{static_cast<DWORD>(processId), className, visibleOnly, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int VisibleWidgetWindows()
{
    int count = 0;
    EnumWindows(
        [](HWND window, LPARAM found) {
            char className[64] = {};
            GetClassNameA(window, className, sizeof(className));
            if (IsWindowVisible(window) && std::string(className) == names::kMainWindowClass)
                ++*reinterpret_cast<int*>(found);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}
