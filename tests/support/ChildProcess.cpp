#include "tests/support/ChildProcess.h"

// The parts every system shares; ChildProcessPosix.cpp and
// ChildProcessWindows.cpp start, reap and end the program.

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& directory)
{
    if (started)
        return false;
    started = Launch(program, arguments, directory);
    return started;
}

bool ChildProcess::Started() const
{
    return started;
}

bool ChildProcess::Running() const
{
    std::lock_guard<std::mutex> hold(mutex);
    return started && !exited;
}

void ChildProcess::ReadAll(int stream)
{
    char buffer[4096];
    for (;;) {
        const long count = ReadSome(stream, buffer, sizeof buffer);
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

bool ChildProcess::WaitExit(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> hold(mutex);
    // Its last lines are in the pipes until the readers have them.
    return started &&
           changed.wait_for(hold, limit, [this] { return exited && streamEnded[0] && streamEnded[1]; });
}

int ChildProcess::ExitCode() const
{
    std::lock_guard<std::mutex> hold(mutex);
    return exited ? exitStatus : -1;
}

void ChildProcess::Kill()
{
    if (!started)
        return;
    std::unique_lock<std::mutex> hold(mutex);
    if (exited)
        return;
    Terminate();  // under the lock: the waiter cannot reap the process meanwhile
    changed.wait(hold, [this] { return exited; });
}

bool ChildProcess::RequestStop()
{
    if (!started)
        return false;
    std::lock_guard<std::mutex> hold(mutex);
    return !exited && Interrupt();
}

void ChildProcess::Finish()
{
    Kill();
    if (waiter.joinable())
        waiter.join();
    // The readers see the end of each stream once the program has gone.
    for (std::thread& reader : readers) {
        if (reader.joinable())
            reader.join();
    }
}

std::string ChildProcess::Output() const
{
    std::lock_guard<std::mutex> hold(mutex);
    return captured[0];
}

std::string ChildProcess::Errors() const
{
    std::lock_guard<std::mutex> hold(mutex);
    return captured[1];
}
