// quillbrae-drive: tells a running widget (or the speech stand-in) what a
// user would, for scripts that run it without a person in front of it.
//
//   quillbrae-drive exit [TIMEOUT_MS]      "&Exit", then wait for the process to end
//   quillbrae-drive command ID             the menu command ID (10: speech on/off)
//   quillbrae-drive close CLASS            close the top-level window of CLASS
//   quillbrae-drive text                   print the widget's window text (its status line)
//
// Exit codes: 0 done (for exit: the widget's own exit code), 2 bad usage,
// 3 no such window, 4 the process did not end in time.
#include "base/Names.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Usage()
{
    std::fputs("usage: quillbrae-drive exit [TIMEOUT_MS] | command ID | close CLASS | text\n", stderr);
    return 2;
}

HWND Find(const char* className)
{
    HWND window = FindWindowA(className, nullptr);
    if (window == nullptr)
        std::fprintf(stderr, "quillbrae-drive: no window of class %s\n", className);
    return window;
}

int Exit(DWORD timeoutMs)
{
    HWND window = Find(names::kMainWindowClass);
    if (window == nullptr)
        return 3;
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    PostMessageA(window, WM_COMMAND, names::kExitCommand, 0);
    if (process == nullptr)
        return 0;
    DWORD waited = WaitForSingleObject(process, timeoutMs);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0) {
        std::fprintf(stderr, "quillbrae-drive: the widget did not end within %lu ms\n", timeoutMs);
        return 4;
    }
    return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    if (std::strcmp(argv[1], "exit") == 0)
        return Exit(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 15000);
    if (std::strcmp(argv[1], "command") == 0 && argc == 3) {
        HWND window = Find(names::kMainWindowClass);
        if (window == nullptr)
            return 3;
        PostMessageA(window, WM_COMMAND, std::strtoul(argv[2], nullptr, 10), 0);
        return 0;
    }
    if (std::strcmp(argv[1], "close") == 0 && argc == 3) {
        HWND window = Find(argv[2]);
        if (window == nullptr)
            return 3;
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (std::strcmp(argv[1], "text") == 0 && argc == 2) {
        HWND window = Find(names::kMainWindowClass);
        if (window == nullptr)
            return 3;
        char text[512] = {};
        GetWindowTextA(window, text, sizeof text);
        std::printf("%s\n", text);
        return 0;
    }
    return Usage();
}
