#pragma once

// Keeps Windows Sockets 2.2 started for its lifetime (WSAStartup in the
// constructor, WSACleanup in the destructor when the start succeeded). On
// POSIX there is nothing to start and it does nothing. The program's entry
// point and each test program hold one; the HTTP client never starts the
// library itself.
class SocketLibrary {
public:
    SocketLibrary();
    ~SocketLibrary();
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;

    bool Started() const { return started; }

private:
    bool started = false;
};
