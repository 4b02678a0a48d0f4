#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// The thin TCP layer under the HTTP client, the local feed and the test
// servers: IPv4 and IPv6 stream sockets with one Winsock side and one POSIX side and
// no platform type in sight. Every wait blocks in select/poll; when a stop
// flag is given, the wait wakes at least every kStopCheckMs to look at it,
// so a stopping thread is never held by the network for longer than that.
//
// The Windows Sockets library must be running (SocketLibrary) while any
// Socket exists.

// What a receive gives besides a positive byte count.
constexpr long kReceiveClosed = 0;     // the peer closed its side
constexpr long kReceiveFailed = -1;    // connection error (reset, not connected...)
constexpr long kReceiveTimedOut = -2;  // nothing arrived within the time limit
constexpr long kReceiveStopped = -3;   // the stop flag was raised while waiting

// How a wait, a connect, an accept or a send ended.
enum class SocketResult { Ok, TimedOut, Stopped, Failed };

// How a host name turned into an address.
enum class ResolveResult { Ok, LookupFailed, NoAddress };

// An IPv4 or IPv6 address in network byte order, without a platform type.
struct IpAddress {
    bool v6 = false;
    unsigned char bytes[16] = {};  // the first four for IPv4
};

class Socket {
public:
    // Longest single sleep of a wait that watches a stop flag.
    static constexpr uint32_t kStopCheckMs = 50;

    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool IsOpen() const;
    void Close();
    // Closes with a reset (RST) instead of an orderly shutdown.
    void Reset();
    // Ends our sending side; the peer sees end of stream, we can still read.
    void ShutdownSend();

    // A dotted IPv4 address is taken as it is, anything else is looked up.
    // `address` is in network byte order.
    static ResolveResult ResolveIPv4(const std::string& host, uint32_t& address);
    // As ResolveIPv4, and an IPv6 literal ("::1", without brackets) too.
    static ResolveResult Resolve(const std::string& host, IpAddress& address);

    // A fresh TCP socket (closing any previous one); false on failure.
    bool Create(bool ipv6 = false);
    bool SetNonBlocking();

    // Connects a Create()d, non-blocking socket. `address` in network byte
    // order, `port` in host order. Failed covers refusal and unreachability.
    SocketResult Connect(uint32_t address, uint16_t port, uint32_t limitMs, const std::atomic<bool>* stop);
    // The same for an address of either family; the socket must have been
    // created for that family.
    SocketResult Connect(const IpAddress& address, uint16_t port, uint32_t limitMs,
                         const std::atomic<bool>* stop);

    // Sends every byte; a send that makes no progress for `stallLimitMs`
    // gives TimedOut. Never raises SIGPIPE.
    SocketResult SendAll(const char* data, size_t size, uint32_t stallLimitMs, const std::atomic<bool>* stop);

    // Waits up to `limitMs` for the socket to become readable (data, end of
    // stream or an error all count).
    SocketResult WaitReadable(uint32_t limitMs, const std::atomic<bool>* stop);

    // Waits up to `limitMs` for bytes, then takes at most `size` of them:
    // a count > 0, or one of the kReceive* results.
    long Receive(char* buffer, size_t size, uint32_t limitMs, const std::atomic<bool>* stop);

    // Server side. `address` is a dotted IPv4 address ("127.0.0.1",
    // "0.0.0.0") or an IPv6 one ("::1"); port 0 picks any free port (see LocalPort). The listening
    // socket is non-blocking. Returns a closed Socket on failure.
    static Socket Listen(const std::string& address, uint16_t port, int backlog = 16);
    // The port this socket is bound to (host order), 0 if none.
    uint16_t LocalPort() const;
    // Waits up to `limitMs` for a connection. The accepted socket is left
    // in blocking mode; call SetNonBlocking on it as needed (the waits
    // above work either way).
    SocketResult Accept(Socket& accepted, uint32_t limitMs, const std::atomic<bool>* stop);

private:
    // SOCKET on Windows, a file descriptor elsewhere; all ones means none
    // (INVALID_SOCKET and -1 alike).
    static constexpr std::uintptr_t kNone = ~static_cast<std::uintptr_t>(0);
    enum class WaitFor { Read, Write };

    explicit Socket(std::uintptr_t native) : handle(native) {}
    SocketResult Wait(WaitFor what, uint32_t limitMs, const std::atomic<bool>* stop);
    // One wait of at most `sliceMs` in select/poll: Ok when ready.
    SocketResult WaitOnce(WaitFor what, uint32_t sliceMs);

    std::uintptr_t handle = kNone;  // owned; closed by Close/Reset/destructor
    bool nonBlocking = false;
};
