#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The real quillbrae-feed program, started as a child process with its
// standard output and error captured. Waits are on condition variables fed
// by reader threads, each with a deadline. The destructor asks the feed to
// stop and kills it if it does not.
class FeedProcess {
public:
    explicit FeedProcess(const std::vector<std::string>& arguments);
    ~FeedProcess();
    FeedProcess(const FeedProcess&) = delete;
    FeedProcess& operator=(const FeedProcess&) = delete;

    bool Started() const { return started; }

    // Waits for the "listening on ADDR:PORT" line; the port, or 0 when the
    // line did not come (or the program ended) within `limit`.
    uint16_t WaitListening(std::chrono::milliseconds limit);

    // Asks the feed to stop as a user would: SIGTERM on POSIX, Ctrl-Break
    // to its process group on Windows.
    bool RequestStop();

    // Waits for the feed to end; true with its exit code within `limit`.
    bool WaitExit(std::chrono::milliseconds limit, int& exitCode);

    std::string Output() const;
    std::string Errors() const;

private:
    struct Platform;  // process and pipe handles

    void ReadAll(int stream);  // a reader thread's body: 0 stdout, 1 stderr
    void Kill();

    std::unique_ptr<Platform> platform;
    bool started = false;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::string captured[2];  // guarded by mutex
    bool streamEnded[2] = {false, false};  // guarded by mutex
    bool exited = false;  // guarded by mutex
    int exitStatus = -1;  // guarded by mutex
    std::thread readers[2];
    std::thread waiter;  // POSIX only: reaps the child
};
