#pragma once
#include "http/Socket.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

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
    SocketResult SendAll(const char* data, size_t size, const std::atomic<bool>* stop) override
    {
        return socket.SendAll(data, size, kSendStallLimitMs, stop);
    }
    long Receive(char* buffer, size_t size, uint32_t limitMs, const std::atomic<bool>* stop) override
    {
        return socket.Receive(buffer, size, limitMs, stop);
    }

private:
    Socket& socket;  // borrowed from the owning HttpClient
};
