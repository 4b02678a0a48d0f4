#pragma once
#include "http/Socket.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

using SteadyTime = std::chrono::steady_clock::time_point;

// A wait of `limitMs` cut to what is left until `deadline` (0 once it has
// passed).
inline uint32_t LimitBefore(uint32_t limitMs, SteadyTime deadline)
{
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline)
        return 0;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
    return static_cast<uint32_t>(std::min<long long>(left, limitMs));
}

// The seam under HttpClient: everything the client writes and reads goes
// through one of these. The real one wraps the client's Socket; tests and
// the fuzzer hand the client bytes from memory instead.
class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Sends every byte: Ok, or why not.
    virtual SocketResult SendAll(const char* data, size_t size, const std::atomic<bool>* stop) = 0;

    // Waits up to `limitMs` for bytes and takes at most `size` of them: a
    // count > 0, or one of the kReceive* results of Socket.h.
    virtual long Receive(char* buffer, size_t size, uint32_t limitMs, const std::atomic<bool>* stop) = 0;

    // Why the last failed send or receive failed, as an HttpFailure code
    // when the stream knows more than the kReceive* result says (a TLS
    // stream tells a cut-off connection from a garbled record); 0 otherwise.
    virtual int Failure() const { return 0; }
};

// The real stream: a borrowed Socket.
class SocketStream final : public ByteStream {
public:
    // A stalled send gives up after this long without progress.
    static constexpr uint32_t kSendStallLimitMs = 10000;

    explicit SocketStream(Socket& target) : socket(target) {}
    // No wait goes past `when`, however the server paces its bytes; what
    // runs over it (a TLS handshake included) reads as timed out.
    void SetDeadline(SteadyTime when) { deadline = when; }
    SocketResult SendAll(const char* data, size_t size, const std::atomic<bool>* stop) override
    {
        const uint32_t limit = LimitBefore(kSendStallLimitMs, deadline);
        return limit == 0 ? SocketResult::TimedOut : socket.SendAll(data, size, limit, stop);
    }
    long Receive(char* buffer, size_t size, uint32_t limitMs, const std::atomic<bool>* stop) override
    {
        const uint32_t limit = LimitBefore(limitMs, deadline);
        return limit == 0 ? kReceiveTimedOut : socket.Receive(buffer, size, limit, stop);
    }

private:
    Socket& socket;  // borrowed from the owning HttpClient
    SteadyTime deadline = SteadyTime::max();
};
