#include "tests/tools/FeedProcess.h"

#include <cerrno>
#include <cstdlib>

#ifdef _WIN32
#include "window/UniqueHandle.h"

#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#ifndef QB_FEED_EXE
#error "QB_FEED_EXE must name the quillbrae-feed program"
#endif

#ifdef _WIN32
struct FeedProcess::Platform {
    UniqueHandle process;
    DWORD processId = 0;
    UniqueHandle read[2];  // our ends of the pipes
};

FeedProcess::FeedProcess(const std::vector<std::string>& arguments) : platform(new Platform)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle write[2];
    for (int i = 0; i < 2; ++i) {
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
            return;
        platform->read[i].Reset(readEnd);
        write[i].Reset(writeEnd);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    }
    std::string commandLine = "\"" + std::string(QB_FEED_EXE) + "\"";
    for (const std::string& argument : arguments)
        commandLine += " \"" + argument + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write[0].Get();
    startup.hStdError = write[1].Get();
    PROCESS_INFORMATION info{};
    // A process group of its own, so that Ctrl-Break reaches the feed and
    // not this test.
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                        &startup, &info))
        return;
    CloseHandle(info.hThread);
    platform->process.Reset(info.hProcess);
    platform->processId = info.dwProcessId;
    started = true;
    // Our copies of the write ends close here, so the readers see the end
    // of each stream when the feed exits.
    write[0].Reset();
    write[1].Reset();
    for (int i = 0; i < 2; ++i)
        readers[i] = std::thread(&FeedProcess::ReadAll, this, i);
}

void FeedProcess::ReadAll(int stream)
{
    char buffer[1024];
    DWORD count = 0;
    while (ReadFile(platform->read[stream].Get(), buffer, sizeof buffer, &count, nullptr) && count > 0) {
        std::lock_guard<std::mutex> hold(mutex);
        captured[stream].append(buffer, count);
        changed.notify_all();
    }
    std::lock_guard<std::mutex> hold(mutex);
    streamEnded[stream] = true;
    changed.notify_all();
}

bool FeedProcess::RequestStop()
{
    // Needs a console shared with the feed; a test run without one (Wine
    // under CTest has none) gets false here.
    return started && GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, platform->processId);
}

bool FeedProcess::WaitExit(std::chrono::milliseconds limit, int& exitCode)
{
    if (!started || WaitForSingleObject(platform->process.Get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(platform->process.Get(), &code);
    exitCode = static_cast<int>(code);
    // Its last lines are in the pipes until the readers have them.
    std::unique_lock<std::mutex> hold(mutex);
    return changed.wait_for(hold, limit, [this] { return streamEnded[0] && streamEnded[1]; });
}

void FeedProcess::Kill()
{
    TerminateProcess(platform->process.Get(), 99);
    WaitForSingleObject(platform->process.Get(), INFINITE);
}

#else

struct FeedProcess::Platform {
    pid_t pid = -1;
    int read[2] = {-1, -1};  // our ends of the pipes
};

FeedProcess::FeedProcess(const std::vector<std::string>& arguments) : platform(new Platform)
{
    int pipes[2][2];
    if (pipe(pipes[0]) != 0)
        return;
    if (pipe(pipes[1]) != 0) {
        close(pipes[0][0]);
        close(pipes[0][1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int i = 0; i < 2; ++i) {
        posix_spawn_file_actions_adddup2(&actions, pipes[i][1], i + 1);
        posix_spawn_file_actions_addclose(&actions, pipes[i][0]);
        posix_spawn_file_actions_addclose(&actions, pipes[i][1]);
    }
    std::vector<std::string> words{QB_FEED_EXE};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);
    started = posix_spawn(&platform->pid, QB_FEED_EXE, &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 2; ++i) {
        close(pipes[i][1]);
        platform->read[i] = pipes[i][0];
    }
    if (!started)
        return;
    for (int i = 0; i < 2; ++i)
        readers[i] = std::thread(&FeedProcess::ReadAll, this, i);
    waiter = std::thread([this] {
        int status = 0;
        while (waitpid(platform->pid, &status, 0) < 0 && errno == EINTR) {
        }
        std::lock_guard<std::mutex> hold(mutex);
        exited = true;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        changed.notify_all();
    });
}

void FeedProcess::ReadAll(int stream)
{
    char buffer[1024];
    for (;;) {
        const ssize_t count = read(platform->read[stream], buffer, sizeof buffer);
        if (count <= 0)
            break;
        std::lock_guard<std::mutex> hold(mutex);
        captured[stream].append(buffer, static_cast<std::size_t>(count));
        changed.notify_all();
    }
    std::lock_guard<std::mutex> hold(mutex);
    streamEnded[stream] = true;
    changed.notify_all();
}

bool FeedProcess::RequestStop() { return started && kill(platform->pid, SIGTERM) == 0; }

bool FeedProcess::WaitExit(std::chrono::milliseconds limit, int& exitCode)
{
    std::unique_lock<std::mutex> hold(mutex);
    if (!started || !changed.wait_for(hold, limit, [this] { return exited && streamEnded[0] && streamEnded[1]; }))
        return false;
    exitCode = exitStatus;
    return true;
}

void FeedProcess::Kill()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        if (exited)
            return;
    }
    kill(platform->pid, SIGKILL);
}
#endif

FeedProcess::~FeedProcess()
{
    if (started) {
        int code = 0;
        if (!WaitExit(std::chrono::milliseconds(0), code) && !(RequestStop() && WaitExit(std::chrono::seconds(10), code)))
            Kill();
    }
    if (waiter.joinable())
        waiter.join();
    for (std::thread& reader : readers) {
        if (reader.joinable())
            reader.join();
    }
#ifndef _WIN32
    for (int fd : platform->read) {
        if (fd >= 0)
            close(fd);
    }
#endif
}

uint16_t FeedProcess::WaitListening(std::chrono::milliseconds limit)
{
    static const std::string kMarker = "listening on ";
    std::unique_lock<std::mutex> hold(mutex);
    std::size_t lineEnd = std::string::npos, at = std::string::npos;
    changed.wait_for(hold, limit, [&] {
        at = captured[0].find(kMarker);
        lineEnd = at == std::string::npos ? std::string::npos : captured[0].find('\n', at);
        return lineEnd != std::string::npos || streamEnded[0];
    });
    if (lineEnd == std::string::npos)
        return 0;
    const std::string address = captured[0].substr(at + kMarker.size(), lineEnd - at - kMarker.size());
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos)
        return 0;
    const unsigned long port = std::strtoul(address.c_str() + colon + 1, nullptr, 10);
    return port <= 65535 ? static_cast<uint16_t>(port) : 0;
}

std::string FeedProcess::Output() const
{
    std::lock_guard<std::mutex> hold(mutex);
    return captured[0];
}

std::string FeedProcess::Errors() const
{
    std::lock_guard<std::mutex> hold(mutex);
    return captured[1];
}
