#include "tests/app/ChildProcess.h"

#include <chrono>
#include <vector>

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Start(const std::string& commandLine, const std::string& directory, const std::string& stdoutPath)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = INVALID_HANDLE_VALUE;
    if (!stdoutPath.empty()) {
        output = CreateFileA(stdoutPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE)
            return false;
    }
    HANDLE nothing = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = output != INVALID_HANDLE_VALUE ? output : nothing;
    startup.hStdError = nothing;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  directory.empty() ? nullptr : directory.c_str(), &startup, &info);
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    if (nothing != INVALID_HANDLE_VALUE)
        CloseHandle(nothing);
    if (!started) {
        info = PROCESS_INFORMATION{};
        return false;
    }
    CloseHandle(info.hThread);
    info.hThread = nullptr;
    return true;
}

bool ChildProcess::WaitExit(DWORD milliseconds)
{
    return info.hProcess != nullptr && WaitForSingleObject(info.hProcess, milliseconds) == WAIT_OBJECT_0;
}

bool ChildProcess::Running() const
{
    return info.hProcess != nullptr && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD ChildProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (info.hProcess != nullptr)
        GetExitCodeProcess(info.hProcess, &code);
    return code;
}

void ChildProcess::Kill()
{
    if (info.hProcess == nullptr)
        return;
    if (Running()) {
        TerminateProcess(info.hProcess, 255);
        WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hProcess);
    info = PROCESS_INFORMATION{};
}

std::string NativePath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string windows = "Z:" + path;
    for (char& c : windows)
        if (c == '/')
            c = '\\';
    return windows;
}

std::string ReadSharedFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

size_t CountOf(const std::string& text, const std::string& needle)
{
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

namespace {
struct WindowSearch {
    DWORD id;
    const char* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search->id)
        return TRUE;
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    if (lstrcmpA(name, search->className) != 0)
        return TRUE;
    if (search->visibleOnly && !IsWindowVisible(hwnd))
        return TRUE;
    search->found = hwnd;
    return FALSE;
}
}  // namespace

HWND FindProcessWindow(DWORD id, const char* className, bool visibleOnly)
{
    WindowSearch search{id, className, visibleOnly, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}
