#pragma once
#include "http/ByteStream.h"
#include "http/HttpFailure.h"
#include "http/KeptConnection.h"
#include "http/ProxyConfig.h"
#include "http/Socket.h"
#include "http/Url.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

class TlsStream;

// The program's own minimal HTTP/1.1 client: one object, one request at a
// time, over plain TCP or TLS, on a connection of its own or a kept one. The rate update makes a fresh client
// per cycle:
//
//     HttpClient client;
//     client.SetStopFlag(&stopRequested);
//     client.Open(url, 3);          // redirect probes, then connect
//     client.SendRequest("GET");    // request out, header block in
//     std::string body = client.ReadBody();   // empty on any failure
//
// Failures travel as the negative codes of HttpFailure, one per kind of
// failure; a caller that only wants the body can ignore them, because every
// failure ends in an empty ReadBody. Windows Sockets must be running
// (SocketLibrary) while a client is used.
class HttpClient : public HttpFailure {
public:
    // Limits.
    static constexpr uint32_t kConnectLimitMs = 10000;
    static constexpr uint32_t kHeaderSilenceMs = 3000;  // per piece of the header block or the handshake
    static constexpr uint32_t kBodyIdleMs = 12000;      // per body piece
    static constexpr uint32_t kRequestLimitMs = 30000;  // Open to the end of ReadBody, probes included
    static constexpr size_t kMaxHeaderBytes = 64 * 1024;
    static constexpr size_t kMaxBodyBytes = 8 * 1024 * 1024;

    static const char* const kDefaultUserAgent;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Watched by every wait (connect, handshake, send, header, body,
    // redirect probes) at least every 50 ms. Borrowed; may be null.
    void SetStopFlag(const std::atomic<bool>* flag) { stop = flag; }

    // An end on the steady clock that the whole request (probes, connect,
    // handshake, header, body) keeps, besides kRequestLimitMs from Open and
    // the limits per wait; what runs past it fails with kTooSlow. For the
    // next Open; SteadyTime::max() for none.
    void SetDeadline(SteadyTime when) { callerDeadline = when; }

    // Runs the probes and requests over `connection` (borrowed; null for
    // the client's own), reusing it when it is open to the same origin and
    // leaving it open after a whole answer that allows it. A reused
    // connection that turns out closed before a byte of the answer gets the
    // request again, once, on a fresh one. Without one, each Open connects
    // anew and each probe has a connection of its own.
    void UseConnection(KeptConnection* connection) { conn = connection ? connection : &own; }

    // One more trusted root for https (DER bytes; empty for none), beside
    // the system's. The redirect probes trust it too.
    void SetTrustedCertificate(std::string der) { trustedCertificate = std::move(der); }

    // The way to the servers (the system's settings unless set): http goes
    // to a proxy in absolute form, https through a "CONNECT" tunnel with
    // the TLS handshake and every certificate check against the real host.
    // The redirect probes go the same way.
    void SetProxy(ProxyConfig config) { proxyConfig = std::move(config); }

    // Request details (the defaults serve the rate update): the
    // "User-Agent" value, extra header lines (sent in ascending name order),
    // a body sent after the header block of a "POST", and bytes sent
    // verbatim instead of the composed request.
    void SetUserAgent(std::string agent) { userAgent = std::move(agent); }
    void SetHeader(const std::string& name, std::string value) { extraHeaders[name] = std::move(value); }
    void SetPostBody(std::string body) { postBody = std::move(body); }
    void SetRawRequest(std::string bytes) { rawRequest = std::move(bytes); }

    // Runs up to `maxRedirects` "HEAD" probes for redirects (http to https
    // followed, https to http refused), then connects to the URL they end
    // on, with the TLS handshake and the certificate check for https.
    // kOk when connected, else the code of what failed.
    int Open(std::string url, int maxRedirects);

    // Sends the request for `method` and reads the response header block:
    // kOk, or kNotConnected, kSendFailed, kTimedOut (kHeaderSilenceMs
    // without a byte), kNoAnswer, kConnectionReset, kTooLarge, kStopped, or
    // a TLS code.
    int SendRequest(std::string method);

    // The response body as its framing delimits it; empty when the
    // response has no body or the download failed (see BodyStatus). Writes
    // "ContentLen:%d\n" to standard output.
    std::string ReadBody();

    // Status code of the last response's status line, 0 if none was read.
    int StatusCode() const { return status; }
    // How the last ReadBody ended: kOk, or why its body was dropped.
    int BodyStatus() const { return bodyStatus; }
    // The URL Open connected to (after the probes), taken apart.
    const Url& Target() const { return target; }
    // The last response's status line and header lines, up to the empty line.
    const std::string& ResponseHeaders() const { return responseHeaders; }

    // The value of the first header line of the last response whose field
    // name is `name` (any letter case), without surrounding blanks and
    // ending before a ";"; empty if there is none.
    std::string GetHeaderValue(const std::string& name) const;

    // Reads and writes through `source` instead of a socket from now on, as
    // if Open had connected (tests and the fuzzer feed bytes this way).
    // Borrowed; Open switches back to the socket.
    void UseStream(ByteStream* source);

    // The "Location" target of a header block as an absolute "http://" or
    // "https://" URL: taken as it is when absolute, resolved against `base`
    // when relative; empty when missing, of another scheme or unusable.
    static std::string ExtractLocation(const std::string& headers, const std::string& base = std::string());

private:
    // One "HEAD" probe of `url` on a client of its own: the redirect target,
    // or `url` itself when there is none or the probe failed.
    std::string Probe(const std::string& url) const;
    int Connect();
    // The "CONNECT" exchange with the proxy on the fresh connection.
    int Tunnel();
    // The request out and the header block in, on the connection as it is.
    int Exchange();
    int ReadHeaderBlock();
    // ReadBody without its line on standard output; settles the connection.
    std::string ReadBodyQuietly();
    bool Borrowed() const { return conn != &own; }
    // Whether the client reads from its connection (not a caller's stream).
    bool OnConnection() const;
    // Response bytes: first what the header read took beyond its block,
    // then the stream's. A count > 0 or a kReceive* result.
    long Receive(char* buffer, size_t size, uint32_t limitMs);
    // `code`, or kTooSlow when it is a failure that came with the deadline
    // passed (a wait cut short by it).
    int Late(int code) const;
    // The code for a receive that brought no bytes while more were due.
    int ShortfallCode(long received, bool inBody) const;
    bool ReadLengthBody(size_t length, std::string& body);
    bool ReadChunkedBody(std::string& body);
    bool ReadUntilClose(std::string& body);

    KeptConnection own;
    KeptConnection* conn = &own;   // `own` or borrowed
    bool reused = false;           // the request went out on a kept connection
    bool answerStarted = false;    // a byte of the answer came
    bool overrun = false;          // bytes came after the body's end
    ByteStream* stream = nullptr;  // borrowed: the connection's socket or TLS stream, or a caller's
    const std::atomic<bool>* stop = nullptr;  // borrowed
    SteadyTime callerDeadline = SteadyTime::max();
    SteadyTime deadline = SteadyTime::max();  // of the request under way

    std::string userAgent;
    std::map<std::string, std::string> extraHeaders;
    std::string postBody;
    std::string rawRequest;
    std::string trustedCertificate;  // DER; empty for none

    Url target;
    ProxyConfig proxyConfig;
    ProxyServer proxy;            // the way of the present connection
    std::string method;           // of the last request
    std::string responseHeaders;  // status line and header lines, up to the empty line
    std::string pending;          // bytes read past the header block: the start of the body
    size_t pendingAt = 0;         // how much of `pending` has been handed out
    int status = 0;
    int bodyStatus = kOk;
    int headerState = kNotConnected;  // kOk once a whole header block is read and its body not yet taken
};
