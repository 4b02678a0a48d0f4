#pragma once
#include <atomic>

// Turns the platform's requests to stop into one flag that the server's
// waits watch: SIGINT and SIGTERM on POSIX; Ctrl-C, Ctrl-Break and the
// closing of the console (or log-off, shut-down) on Windows.
class StopSignal {
public:
    // Installs the handlers; call once, early in main.
    static const std::atomic<bool>& Install();

    // Tells a waiting Windows console-close handler that the server has shut
    // down cleanly, so the system may end the process. No-op on POSIX.
    static void Stopped();
};
