#pragma once
#include "http/Socket.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A misbehaving web server on demand: listens on 127.0.0.1 on a free port,
// runs on its own thread, and for each connection, in the order they come,
// records the request bytes and replays the next script given to Expect.
//
//     ScriptedServer server;
//     server.Expect({ScriptedServer::Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n"),
//                    ScriptedServer::Pause(200), ScriptedServer::Send("ok")});
//     ... fetch server.Url("/rate") ...
//     EXPECT_EQ(server.Requests().at(0), "GET /rate HTTP/1.1\r\n...");
//
// A connection without a script of its own gets the fallback script (empty
// by default: closed once its request is read). After the last step the
// connection is closed, unless the script ended it otherwise. Pauses are
// the server's own script and end at once when the server stops. Needs
// Windows Sockets running (SocketLibrary) for its whole life.
class ScriptedServer {
public:
    struct Step {
        enum class Kind { Send, Pause, Close, Hold, Reset };
        Kind kind = Kind::Close;
        std::string bytes;  // Send
        uint32_t ms = 0;    // Pause
    };
    using Script = std::vector<Step>;

    static Step Send(std::string bytes) { return Step{Step::Kind::Send, std::move(bytes), 0}; }
    static Step Pause(uint32_t ms) { return Step{Step::Kind::Pause, std::string(), ms}; }
    // Orderly close: the client sees the end of the stream.
    static Step Close() { return Step{Step::Kind::Close, std::string(), 0}; }
    // Keeps the connection open and silent until the server is destroyed.
    static Step Hold() { return Step{Step::Kind::Hold, std::string(), 0}; }
    // Abortive close: the client sees a connection reset.
    static Step Reset() { return Step{Step::Kind::Reset, std::string(), 0}; }
    // `bytes` in pieces of `piece` bytes with `pauseMs` between them.
    static Script Dribble(const std::string& bytes, size_t piece, uint32_t pauseMs);
    // A whole answer that closes the connection: `statusLine` ("200 OK"),
    // the body's length, `headers` ("Retry-After: 25\r\n"), `body`.
    static std::string Answer(const std::string& statusLine, const std::string& body,
                              const std::string& headers = "")
    {
        return "HTTP/1.1 " + statusLine + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
               headers + "Connection: close\r\n\r\n" + body;
    }

    ScriptedServer();
    // Listens on `address` instead ("::1" for IPv6 loopback).
    explicit ScriptedServer(const std::string& address);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // Script for the next connection that has none yet. The request is read
    // up to its empty line plus `requestBodyBytes` more before the script
    // starts (at most 10 s; a request that never completes is recorded as
    // far as it came).
    void Expect(Script script, size_t requestBodyBytes = 0);
    // Script for every connection beyond the expected ones.
    void SetFallback(Script script);

    bool Listening() const { return port != 0; }
    uint16_t Port() const { return port; }
    std::string HostPort() const;                    // "127.0.0.1:<port>", "[::1]:<port>"
    std::string Url(const std::string& path) const;  // "http://127.0.0.1:<port><path>"

    // The requests recorded so far, one per connection, in order.
    std::vector<std::string> Requests() const;
    // When each of those requests was complete, on the steady clock.
    std::vector<std::chrono::steady_clock::time_point> RequestTimes() const;
    // Connections accepted so far.
    size_t Connections() const;
    // Blocks until `count` requests are recorded or `limit` passes.
    bool WaitForRequests(size_t count, std::chrono::milliseconds limit) const;

    // Ends every pause and wait, closes held connections, joins the thread.
    void Stop();

private:
    struct Expected {
        Script script;
        size_t requestBodyBytes = 0;
    };

    void Serve();
    void HandleConnection(Socket connection, const Expected& expected);
    std::string ReadRequest(Socket& connection, size_t bodyBytes);
    bool PauseFor(uint32_t ms);

    std::string address;
    Socket listener;
    uint16_t port = 0;
    std::atomic<bool> stopping{false};
    mutable std::mutex lock;
    mutable std::condition_variable changed;
    std::deque<Expected> scripts;                                     // guarded by lock
    Expected fallback;                                                // guarded by lock
    std::vector<std::string> requests;                                // guarded by lock
    std::vector<std::chrono::steady_clock::time_point> requestTimes;  // guarded by lock
    size_t connections = 0;                                           // guarded by lock
    std::vector<Socket> held;  // only touched by the server thread, then by Stop after the join
    std::thread thread;
};
