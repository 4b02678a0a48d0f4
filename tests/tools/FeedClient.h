#pragma once
#include "http/Socket.h"

#include <chrono>
#include <cstdint>
#include <string>

// A bare HTTP client for driving the feed byte by byte from tests: what it
// sends is exactly what the test wrote, and it reads answers by their
// Content-Length. Every wait has a deadline, so a misbehaving server fails
// the test instead of hanging it.
class FeedClient {
public:
    static constexpr uint32_t kWaitMs = 10000;

    struct Response {
        bool complete = false;  // head and the whole body arrived
        int status = 0;
        std::string head;  // status line and header lines, with the empty line
        std::string body;
    };

    bool Connect(uint16_t port);
    bool Send(const std::string& bytes);
    // Reads one response; `headOnly` for an answer to HEAD (no body follows
    // however long Content-Length says it is).
    Response Read(bool headOnly = false);
    // True when the server has closed the connection (end of stream or a
    // reset) within the deadline, after any bytes still unread.
    bool WaitClosed(uint32_t limitMs = kWaitMs);
    void Close() { socket.Close(); }

private:
    Socket socket;
    std::string pending;  // received, not yet returned
};

// The value of header `name` in a head (case as the feed writes it), or "".
std::string HeaderValue(const std::string& head, const std::string& name);
