#pragma once
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A program started by a test, natively or under Wine, with its standard
// output and standard error captured by reader threads while it runs; its
// standard input reads nothing. It is killed when the object goes, unless it
// has ended by then.
//
//     ChildProcess feed;
//     ASSERT_TRUE(feed.Start(QB_FEED_EXE, {"--port", "0"}));
//     ASSERT_TRUE(feed.WaitOutput([](const std::string& out) { return out.find("\n") != out.npos; }, 60s));
//     ...
//     ASSERT_TRUE(feed.WaitExit(20s));
//     EXPECT_EQ(feed.ExitCode(), 0) << feed.Errors();
//
// In the Windows build a Unix path to the program or the working folder is
// turned into its Wine path (WinePath), so CMake can hand over target paths
// as they are. Each argument is quoted for the child's command line. The
// child gets a process group of its own, so that RequestStop reaches it and
// not the test.
class ChildProcess {
public:
    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `arguments` in `directory` (empty: this
    // process's own); false if it could not be started or this object runs
    // a program already.
    bool Start(const std::string& program, const std::vector<std::string>& arguments = {},
               const std::string& directory = std::string());
    bool Started() const;
    // Started and not yet ended.
    bool Running() const;

    // Waits up to `limit` for the program to end and for the last of its
    // output to arrive; true if both happened.
    bool WaitExit(std::chrono::milliseconds limit);
    // The exit code once WaitExit said true (on POSIX 128 + the signal for a
    // program a signal ended); -1 before.
    int ExitCode() const;

    // Asks the program to stop as a user would: SIGTERM on POSIX, Ctrl-Break
    // to its process group on Windows (which needs a console shared with the
    // child: under CTest and Wine there is none, and this says false).
    bool RequestStop();
    // Ends the program at once and waits for it; nothing if it has ended.
    void Kill();

    // Everything captured so far.
    std::string Output() const;
    std::string Errors() const;
    // Waits up to `limit` until `condition(Output())` holds; false if time
    // ran out or the output ended first without it holding.
    template <typename Condition>
    bool WaitOutput(Condition&& condition, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> hold(mutex);
        return changed.wait_for(hold, limit, [&] { return condition(captured[0]) || streamEnded[0]; }) &&
               condition(captured[0]);
    }

    // The system's process id, for finding the program's windows; 0 before
    // a start.
    unsigned long Id() const;
#ifdef _WIN32
    // The process handle (owned here), for GetProcessTimes and the like.
    void* NativeHandle() const;
#endif

private:
    struct Platform;  // process and pipe handles, one definition per system

    // Per system: starts the program, the readers and the waiter.
    bool Launch(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& directory);
    long ReadSome(int stream, char* buffer, unsigned long size);  // 0 at the end of the stream
    bool Interrupt();  // SIGTERM or Ctrl-Break
    void Terminate();  // SIGKILL or TerminateProcess

    void ReadAll(int stream);  // a reader thread's body: 0 stdout, 1 stderr
    void Finish();             // kills what still runs and joins the threads

    std::unique_ptr<Platform> platform;
    bool started = false;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::string captured[2];               // guarded by mutex
    bool streamEnded[2] = {false, false};  // guarded by mutex
    bool exited = false;                   // guarded by mutex
    int exitStatus = -1;                   // guarded by mutex
    std::thread readers[2];
    std::thread waiter;  // POSIX only: reaps the child
};
