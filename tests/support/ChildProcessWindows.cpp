#include "tests/support/ChildProcess.h"
#include "tests/support/WinePath.h"
#include "window/UniqueHandle.h"

#include <windows.h>

struct ChildProcess::Platform {
    UniqueHandle process;
    DWORD id = 0;
    UniqueHandle read[2];  // our ends of the pipes
};

namespace {

// One argument as the child's C runtime splits it back out of the command
// line: in quotes, with the backslashes before a quote doubled.
std::string Quoted(const std::string& argument)
{
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

}  // namespace

ChildProcess::ChildProcess() : platform(new Platform) {}

ChildProcess::~ChildProcess()
{
    Finish();
}

bool ChildProcess::Launch(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& directory)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle write[2];
    for (int i = 0; i < 2; ++i) {
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
            return false;
        platform->read[i].Reset(readEnd);
        write[i].Reset(writeEnd);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    }
    UniqueHandle nothing(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                     OPEN_EXISTING, 0, nullptr));
    std::string commandLine = Quoted(WinePath(program));
    for (const std::string& argument : arguments)
        commandLine += " " + Quoted(argument);
    const std::string folder = WinePath(directory);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing.Get();
    startup.hStdOutput = write[0].Get();
    startup.hStdError = write[1].Get();
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    platform->process.Reset(info.hProcess);
    platform->id = info.dwProcessId;
    // Our copies of the write ends close here, so the readers see the end
    // of each stream when the program ends.
    write[0].Reset();
    write[1].Reset();
    for (int i = 0; i < 2; ++i)
        readers[i] = std::thread(&ChildProcess::ReadAll, this, i);
    waiter = std::thread([this] {
        WaitForSingleObject(platform->process.Get(), INFINITE);
        std::lock_guard<std::mutex> hold(mutex);
        DWORD code = 0;
        GetExitCodeProcess(platform->process.Get(), &code);
        exited = true;
        exitStatus = static_cast<int>(code);
        changed.notify_all();
    });
    return true;
}

long ChildProcess::ReadSome(int stream, char* buffer, unsigned long size)
{
    DWORD count = 0;
    if (!ReadFile(platform->read[stream].Get(), buffer, size, &count, nullptr))
        return 0;  // broken pipe: the program has gone
    return static_cast<long>(count);
}

bool ChildProcess::Interrupt()
{
    return GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, platform->id) != FALSE;
}

void ChildProcess::Terminate()
{
    TerminateProcess(platform->process.Get(), 255);
}

unsigned long ChildProcess::Id() const
{
    return platform->id;
}

void* ChildProcess::NativeHandle() const
{
    return platform->process.Get();
}
