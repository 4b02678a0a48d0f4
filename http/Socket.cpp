#include "http/Socket.h"

#include "base/Clock.h"

#include <algorithm>
#include <climits>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using Native = SOCKET;
bool WouldBlock()
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}
bool ConnectPending()
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}
bool Interrupted()
{
    return WSAGetLastError() == WSAEINTR;
}
void CloseNative(Native s)
{
    closesocket(s);
}
constexpr int kSendFlags = 0;
constexpr int kShutdownSend = SD_SEND;
#else
using Native = int;
bool WouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK;
}
bool ConnectPending()
{
    return errno == EINPROGRESS;
}
bool Interrupted()
{
    return errno == EINTR;
}
void CloseNative(Native s)
{
    ::close(s);
}
// A peer that has gone away must not kill the process with SIGPIPE.
constexpr int kSendFlags = MSG_NOSIGNAL;
constexpr int kShutdownSend = SHUT_WR;
#endif

Native ToNative(std::uintptr_t handle)
{
    return static_cast<Native>(handle);
}

// Limits a byte count to what one recv/send call takes.
int CallSize(size_t size)
{
    return static_cast<int>(std::min<size_t>(size, INT_MAX));
}

bool SetBlockingMode(Native s, bool nonBlocking)
{
#ifdef _WIN32
    u_long mode = nonBlocking ? 1 : 0;
    return ioctlsocket(s, FIONBIO, &mode) == 0;
#else
    int flags = fcntl(s, F_GETFL, 0);
    if (flags < 0)
        return false;
    flags = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(s, F_SETFL, flags) == 0;
#endif
}

bool Raised(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_acquire);
}

}  // namespace

Socket::~Socket()
{
    Close();
}

Socket::Socket(Socket&& other) noexcept : handle(other.handle), nonBlocking(other.nonBlocking)
{
    other.handle = kNone;
    other.nonBlocking = false;
}

Socket& Socket::operator=(Socket&& other) noexcept
{
    if (this != &other) {
        Close();
        handle = other.handle;
        nonBlocking = other.nonBlocking;
        other.handle = kNone;
        other.nonBlocking = false;
    }
    return *this;
}

bool Socket::IsOpen() const
{
    return handle != kNone;
}

void Socket::Close()
{
    if (handle != kNone) {
        CloseNative(ToNative(handle));
        handle = kNone;
        nonBlocking = false;
    }
}

void Socket::Reset()
{
    if (handle == kNone)
        return;
    // Linger on with a zero time: the close sends RST and drops unsent data.
    linger abort{};
    abort.l_onoff = 1;
    abort.l_linger = 0;
    setsockopt(ToNative(handle), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    Close();
}

void Socket::ShutdownSend()
{
    if (handle != kNone)
        shutdown(ToNative(handle), kShutdownSend);
}

ResolveResult Socket::ResolveIPv4(const std::string& host, uint32_t& address)
{
    if (host.empty())
        return ResolveResult::LookupFailed;
    in_addr numeric{};
    if (inet_pton(AF_INET, host.c_str(), &numeric) == 1) {
        address = numeric.s_addr;
        return ResolveResult::Ok;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return ResolveResult::LookupFailed;
    ResolveResult result = ResolveResult::NoAddress;
    for (addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr && entry->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in ipv4{};
            std::memcpy(&ipv4, entry->ai_addr, sizeof ipv4);
            address = ipv4.sin_addr.s_addr;
            result = ResolveResult::Ok;
            break;
        }
    }
    freeaddrinfo(found);
    return result;
}

ResolveResult Socket::Resolve(const std::string& host, IpAddress& address)
{
    in6_addr numeric{};
    if (!host.empty() && inet_pton(AF_INET6, host.c_str(), &numeric) == 1) {
        address.v6 = true;
        std::memcpy(address.bytes, &numeric, sizeof address.bytes);
        return ResolveResult::Ok;
    }
    uint32_t ipv4 = 0;
    ResolveResult result = ResolveIPv4(host, ipv4);
    if (result == ResolveResult::Ok) {
        address = IpAddress{};
        std::memcpy(address.bytes, &ipv4, sizeof ipv4);
    }
    return result;
}

bool Socket::Create(bool ipv6)
{
    Close();
    const int family = ipv6 ? AF_INET6 : AF_INET;
#ifdef _WIN32
    SOCKET s = ::socket(family, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return false;
#else
    int s = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
#endif
    handle = static_cast<std::uintptr_t>(s);
    return true;
}

bool Socket::SetNonBlocking()
{
    nonBlocking = handle != kNone && SetBlockingMode(ToNative(handle), true);
    return nonBlocking;
}

SocketResult Socket::WaitOnce(WaitFor what, uint32_t sliceMs)
{
    Native s = ToNative(handle);
#ifdef _WIN32
    fd_set primary;
    fd_set failures;
    FD_ZERO(&primary);
    FD_ZERO(&failures);
    FD_SET(s, &primary);
    FD_SET(s, &failures);
    timeval wait{};
    wait.tv_sec = static_cast<long>(sliceMs / 1000);
    wait.tv_usec = static_cast<long>((sliceMs % 1000) * 1000);
    // A failed non-blocking connect shows in the exception set, not as
    // writable; either way the caller looks at the socket next.
    int ready = what == WaitFor::Read ? select(0, &primary, nullptr, &failures, &wait)
                                      : select(0, nullptr, &primary, &failures, &wait);
    if (ready == SOCKET_ERROR)
        return Interrupted() ? SocketResult::TimedOut : SocketResult::Failed;
    return ready > 0 ? SocketResult::Ok : SocketResult::TimedOut;
#else
    pollfd entry{};
    entry.fd = s;
    entry.events = what == WaitFor::Read ? POLLIN : POLLOUT;
    int ready = poll(&entry, 1, static_cast<int>(std::min<uint32_t>(sliceMs, INT_MAX)));
    if (ready < 0)
        return Interrupted() ? SocketResult::TimedOut : SocketResult::Failed;
    if (ready == 0)
        return SocketResult::TimedOut;
    // Errors and hang-ups count as ready: the next call reports them.
    return (entry.revents & POLLNVAL) ? SocketResult::Failed : SocketResult::Ok;
#endif
}

SocketResult Socket::Wait(WaitFor what, uint32_t limitMs, const std::atomic<bool>* stop)
{
    if (handle == kNone)
        return SocketResult::Failed;
    uint32_t start = ClockMilliseconds();
    for (;;) {
        if (Raised(stop))
            return SocketResult::Stopped;
        uint32_t elapsed = ElapsedSince(start);
        uint32_t remaining = elapsed < limitMs ? limitMs - elapsed : 0;
        uint32_t slice = stop ? std::min(remaining, kStopCheckMs) : remaining;
        SocketResult result = WaitOnce(what, slice);
        if (result != SocketResult::TimedOut)
            return result;
        if (remaining == 0)
            return Raised(stop) ? SocketResult::Stopped : SocketResult::TimedOut;
    }
}

SocketResult Socket::WaitReadable(uint32_t limitMs, const std::atomic<bool>* stop)
{
    return Wait(WaitFor::Read, limitMs, stop);
}

SocketResult Socket::Connect(uint32_t address, uint16_t port, uint32_t limitMs, const std::atomic<bool>* stop)
{
    IpAddress ipv4;
    std::memcpy(ipv4.bytes, &address, sizeof address);
    return Connect(ipv4, port, limitMs, stop);
}

SocketResult Socket::Connect(const IpAddress& address, uint16_t port, uint32_t limitMs,
                             const std::atomic<bool>* stop)
{
    if (handle == kNone)
        return SocketResult::Failed;
    sockaddr_storage target{};
    socklen_t targetLength = 0;
    if (address.v6) {
        sockaddr_in6 ipv6{};
        ipv6.sin6_family = AF_INET6;
        ipv6.sin6_port = htons(port);
        std::memcpy(&ipv6.sin6_addr, address.bytes, sizeof ipv6.sin6_addr);
        std::memcpy(&target, &ipv6, sizeof ipv6);
        targetLength = sizeof ipv6;
    } else {
        sockaddr_in ipv4{};
        ipv4.sin_family = AF_INET;
        ipv4.sin_port = htons(port);
        std::memcpy(&ipv4.sin_addr, address.bytes, sizeof ipv4.sin_addr);
        std::memcpy(&target, &ipv4, sizeof ipv4);
        targetLength = sizeof ipv4;
    }
    Native s = ToNative(handle);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&target), targetLength) == 0)
        return SocketResult::Ok;
    if (!ConnectPending())
        return SocketResult::Failed;
    SocketResult waited = Wait(WaitFor::Write, limitMs, stop);
    if (waited != SocketResult::Ok)
        return waited;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 || error != 0)
        return SocketResult::Failed;
    return SocketResult::Ok;
}

SocketResult Socket::SendAll(const char* data, size_t size, uint32_t stallLimitMs,
                             const std::atomic<bool>* stop)
{
    if (handle == kNone)
        return SocketResult::Failed;
    size_t sent = 0;
    while (sent < size) {
        if (Raised(stop))
            return SocketResult::Stopped;
        auto n = ::send(ToNative(handle), data + sent, CallSize(size - sent), kSendFlags);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && WouldBlock()) {
            // No room in the send buffer: wait for some, under the stall limit.
            SocketResult waited = Wait(WaitFor::Write, stallLimitMs, stop);
            if (waited != SocketResult::Ok)
                return waited;
            continue;
        }
        if (n < 0 && Interrupted())
            continue;
        return SocketResult::Failed;
    }
    return SocketResult::Ok;
}

long Socket::Receive(char* buffer, size_t size, uint32_t limitMs, const std::atomic<bool>* stop)
{
    if (handle == kNone)
        return kReceiveFailed;
    uint32_t start = ClockMilliseconds();
    // A non-blocking socket is asked first and waited on only when it has
    // nothing: one call instead of two per piece, which counts when the
    // header block comes in one byte at a time.
    bool waitFirst = !nonBlocking;
    for (;;) {
        // Looked at even while bytes keep coming, so that a server that
        // trickles cannot hold a stopping thread either.
        if (Raised(stop))
            return kReceiveStopped;
        if (waitFirst) {
            uint32_t elapsed = ElapsedSince(start);
            SocketResult waited = Wait(WaitFor::Read, elapsed < limitMs ? limitMs - elapsed : 0, stop);
            if (waited == SocketResult::TimedOut)
                return kReceiveTimedOut;
            if (waited == SocketResult::Stopped)
                return kReceiveStopped;
            if (waited == SocketResult::Failed)
                return kReceiveFailed;
        }
        waitFirst = true;
        auto n = ::recv(ToNative(handle), buffer, CallSize(size), 0);
        if (n > 0)
            return static_cast<long>(n);
        if (n == 0)
            return kReceiveClosed;
        // Readable yet nothing to take (a spurious wake-up): wait again for
        // what is left of the limit.
        if (!WouldBlock() && !Interrupted())
            return kReceiveFailed;
        if (ElapsedSince(start) > limitMs)
            return kReceiveTimedOut;
    }
}

Socket Socket::Listen(const std::string& address, uint16_t port, int backlog)
{
    sockaddr_storage bound{};
    socklen_t boundLength = 0;
    in_addr local{};
    in6_addr local6{};
    if (inet_pton(AF_INET, address.c_str(), &local) == 1) {
        sockaddr_in ipv4{};
        ipv4.sin_family = AF_INET;
        ipv4.sin_port = htons(port);
        ipv4.sin_addr = local;
        std::memcpy(&bound, &ipv4, sizeof ipv4);
        boundLength = sizeof ipv4;
    } else if (inet_pton(AF_INET6, address.c_str(), &local6) == 1) {
        sockaddr_in6 ipv6{};
        ipv6.sin6_family = AF_INET6;
        ipv6.sin6_port = htons(port);
        ipv6.sin6_addr = local6;
        std::memcpy(&bound, &ipv6, sizeof ipv6);
        boundLength = sizeof ipv6;
    } else {
        return Socket();
    }
    Socket listener;
    if (!listener.Create(bound.ss_family == AF_INET6))
        return Socket();
    Native s = ToNative(listener.handle);
#ifndef _WIN32
    // Lets a restarted feed take its port again at once; on Windows this
    // option would let another program steal a port, so it is left off.
    int reuse = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
#endif
    if (bind(s, reinterpret_cast<const sockaddr*>(&bound), boundLength) != 0 || listen(s, backlog) != 0 ||
        !listener.SetNonBlocking())
        return Socket();
    return listener;
}

uint16_t Socket::LocalPort() const
{
    if (handle == kNone)
        return 0;
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (getsockname(ToNative(handle), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return 0;
    // The port sits at the same place in both families' addresses.
    sockaddr_in ipv4{};
    std::memcpy(&ipv4, &bound, sizeof ipv4);
    return ntohs(ipv4.sin_port);
}

SocketResult Socket::Accept(Socket& accepted, uint32_t limitMs, const std::atomic<bool>* stop)
{
    uint32_t start = ClockMilliseconds();
    for (;;) {
        uint32_t elapsed = ElapsedSince(start);
        SocketResult waited = Wait(WaitFor::Read, elapsed < limitMs ? limitMs - elapsed : 0, stop);
        if (waited != SocketResult::Ok)
            return waited;
#ifdef _WIN32
        SOCKET s = ::accept(ToNative(handle), nullptr, nullptr);
        bool ok = s != INVALID_SOCKET;
#else
        int s = ::accept4(ToNative(handle), nullptr, nullptr, SOCK_CLOEXEC);
        bool ok = s >= 0;
#endif
        if (ok) {
            // Winsock hands down the listener's non-blocking mode; make both
            // sides start out alike.
            SetBlockingMode(s, false);
            accepted = Socket(static_cast<std::uintptr_t>(s));
            return SocketResult::Ok;
        }
        // The connection may have gone again before we took it.
        if (!WouldBlock() && !Interrupted()) {
#ifndef _WIN32
            if (errno != ECONNABORTED && errno != EPROTO)
                return SocketResult::Failed;
#else
            if (WSAGetLastError() != WSAECONNRESET)
                return SocketResult::Failed;
#endif
        }
        if (ElapsedSince(start) >= limitMs)
            return SocketResult::TimedOut;
    }
}
