#pragma once
#include "http/ByteStream.h"
#include "http/ProxyConfig.h"
#include "http/Socket.h"
#include "http/Url.h"

#include <cstdint>
#include <memory>
#include <string>

class TlsStream;

// One connection to one origin that outlives the clients using it, so that
// the redirect probes and the request of a cycle, and the cycles after it,
// go over one TCP connection and, for https, one handshake. Its owner keeps
// it (one per source) and hands it to each HttpClient (UseConnection); the
// client decides after each answer whether it may stay open. Used by one
// thread at a time.
class KeptConnection {
public:
    // Unused longer than this, a connection is closed rather than reused.
    static constexpr uint32_t kIdleLimitMs = 60000;

    KeptConnection();
    ~KeptConnection();
    KeptConnection(const KeptConnection&) = delete;
    KeptConnection& operator=(const KeptConnection&) = delete;

    // Closes it (the TLS session before the socket under it).
    void Close();
    bool IsOpen() const { return socket.IsOpen(); }
    // Connections opened so far, each with its handshake for https.
    unsigned Opened() const { return opened; }

    // How long a connection may stay open after a whole answer whose status
    // line and header lines are `head` and whose body ended as `framing`
    // (a BodyFraming::Kind) says: 0 to close it, for an HTTP/1.0 answer, a
    // "Connection: close", a body framed by the close or not framed at all,
    // a switch of protocol; else kIdleLimitMs or the server's shorter
    // "Keep-Alive: timeout=<seconds>".
    static uint32_t KeepLimitMs(const std::string& head, int framing);

    // Whether it can carry a request to `target` through `proxy` at `now`:
    // open to the same scheme, host and port by the same way (a connection
    // through a proxy is not a direct one, nor one through another), idle after a whole answer, within the
    // time the last answer allowed, and not readable (a connection that the server closed, or that holds
    // bytes nobody asked for, is no use).
    bool Fits(const Url& target, const ProxyServer& proxy, SteadyTime now);
    bool Fits(const Url& target, SteadyTime now) { return Fits(target, ProxyServer(), now); }

private:
    friend class HttpClient;
    static std::string Origin(const Url& target, const ProxyServer& proxy);
    // After a fresh connect to `target` (through `proxy`).
    void Opening(const Url& target, const ProxyServer& proxy);
    // After a whole answer: idle and reusable until `until`.
    void Keep(SteadyTime until);
    // A request goes out on it: not idle until the answer is whole.
    void Busy() { idle = false; }

    Socket socket;
    SocketStream socketStream{socket};
    std::unique_ptr<TlsStream> tls;  // over socketStream for https
    std::string origin;              // "http://host:port" of the open connection, and its proxy
    SteadyTime idleUntil{};
    bool idle = false;
    unsigned opened = 0;
};
