#pragma once
#include "http/ByteStream.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// TLS over another byte stream, through the platform's own TLS (Schannel on
// Windows; elsewhere there is none and Connect fails with
// HttpFailure::kHttpsUnsupported). After Connect it reads and writes plain
// bytes like any stream, so the client's framing, limits and stop flag
// apply to https as to http.
class TlsStream final : public ByteStream {
public:
    // Whether this build speaks TLS at all.
    static bool Available();

    explicit TlsStream(ByteStream& transport);  // borrowed; must outlive this object
    ~TlsStream() override;
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // Runs the handshake for `host` (also sent as the server name unless it
    // is an IP literal), waiting at most `silenceMs` for each piece of the
    // server's answer, then checks the server's certificate: a chain to a
    // root the system trusts or to `extraRootDer` (one more root, DER bytes;
    // empty for none), for server authentication, for `host`, in its dates,
    // not revoked. HttpFailure::kOk or the code of what failed.
    int Connect(const std::string& host, const std::string& extraRootDer, uint32_t silenceMs,
                const std::atomic<bool>* stop);

    SocketResult SendAll(const char* data, size_t size, const std::atomic<bool>* stop) override;
    long Receive(char* buffer, size_t size, uint32_t limitMs, const std::atomic<bool>* stop) override;
    int Failure() const override;

private:
    struct Session;  // the platform's side
    std::unique_ptr<Session> session;
};
