#pragma once
#include "http/Socket.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// A web server that keeps its connections: listens on 127.0.0.1 on a free
// port, runs on its own thread, takes one connection at a time and answers
// each request on it (a head without a body) with what `answer` gives, until
// the client closes, or the answer says to close. Counts the connections it
// accepts and the requests it reads, so that tests can tell how many
// connections a run of requests took. Needs Windows Sockets running
// (SocketLibrary) for its whole life.
class KeepAliveServer {
public:
    struct Reply {
        std::string bytes;   // sent as they are; nothing when empty
        bool close = false;  // close the connection after them
    };
    // The request head, and how many requests this connection carried
    // before it (0 for the first).
    using Answer = std::function<Reply(const std::string& request, size_t onConnection)>;

    explicit KeepAliveServer(Answer answer);
    ~KeepAliveServer();
    KeepAliveServer(const KeepAliveServer&) = delete;
    KeepAliveServer& operator=(const KeepAliveServer&) = delete;

    bool Listening() const { return port != 0; }
    uint16_t Port() const { return port; }
    std::string Url(const std::string& path) const;  // "http://127.0.0.1:<port><path>"

    size_t Connections() const;
    size_t Requests() const;
    // Blocks until the client has closed every connection it was given (or
    // `limit` passes).
    bool WaitIdle(std::chrono::milliseconds limit) const;

    // "HTTP/1.1 200 OK" with the length of `body`, `headers`, and the body
    // unless `request` is a HEAD.
    static std::string Ok(const std::string& request, const std::string& body,
                          const std::string& headers = std::string());

private:
    void Serve();
    void HandleConnection(Socket& connection);

    Answer answer;
    Socket listener;
    uint16_t port = 0;
    std::atomic<bool> stopping{false};
    mutable std::mutex lock;
    mutable std::condition_variable changed;
    size_t connections = 0;  // guarded by lock
    size_t requests = 0;     // guarded by lock
    bool serving = false;    // guarded by lock: a connection is open
    std::thread thread;
};
