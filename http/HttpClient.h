#pragma once
#include "http/ByteStream.h"
#include "http/Socket.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

// The program's own minimal HTTP/1.1 client: one object, one connection,
// one request. The rate update makes a fresh client per cycle:
//
//     HttpClient client;
//     client.SetStopFlag(&stopRequested);
//     client.Open(url, 3);          // redirect probes, then connect
//     client.SendRequest("GET");    // request out, header block in
//     std::string body = client.ReadBody();   // empty on any failure
//
// Failures travel as negative status codes; a caller that only wants the
// body can ignore them, because every failure ends in an empty ReadBody.
// Windows Sockets must be running (SocketLibrary) while a client is used.
class HttpClient {
public:
    // Status codes of Open, SendRequest and BodyStatus.
    static constexpr int kOk = 0;
    static constexpr int kFailed = -1;             // no "http://", connect or send failed, body cut short
    static constexpr int kLookupFailed = -2;       // the host name could not be resolved
    static constexpr int kNoAddress = -3;          // the host has no IPv4 address
    static constexpr int kSocketFailed = -4;       // no socket could be created
    static constexpr int kNonBlockingFailed = -5;  // Open: the socket could not be made non-blocking
    static constexpr int kTimedOut = -5;           // SendRequest/body: the server fell silent
    static constexpr int kTooLarge = -6;           // header block or body over its cap
    static constexpr int kStopped = -7;            // the stop flag was raised during a wait
    static constexpr int kMalformed = -8;          // response framing that cannot be trusted
    static constexpr int kHttpsRefused = -443;     // "https://" is not spoken here

    // Limits.
    static constexpr uint32_t kConnectLimitMs = 10000;
    static constexpr uint32_t kHeaderSilenceMs = 3000;  // per header byte
    static constexpr uint32_t kBodyIdleMs = 12000;      // per body piece
    static constexpr size_t kMaxHeaderBytes = 64 * 1024;
    static constexpr size_t kMaxBodyBytes = 8 * 1024 * 1024;
    static constexpr uint16_t kDefaultPort = 80;

    static const char* const kDefaultUserAgent;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Watched by every wait (connect, send, header, body, redirect probes)
    // at least every 50 ms. Borrowed; may be null.
    void SetStopFlag(const std::atomic<bool>* flag) { stop = flag; }

    // Runs up to `maxRedirects` "HEAD" probes for redirects, then connects
    // to the URL they end on. 0 when connected, else a negative code.
    int Open(std::string url, int maxRedirects);

    // Sends the request for `method` and reads the response header block
    // into responseHeaders: 0, kFailed (send failed), kTimedOut (3000 ms
    // without a header byte), kTooLarge, kStopped.
    int SendRequest(std::string method);

    // The response body as its framing delimits it; empty when the
    // response has no body or the download failed (see BodyStatus). Writes
    // "ContentLen:%d\n" to standard output.
    std::string ReadBody();

    // Status code of the last response's status line, 0 if none was read.
    int StatusCode() const { return status; }
    // How the last ReadBody ended: kOk, or why its body was dropped.
    int BodyStatus() const { return bodyStatus; }

    // The value of the first header line of responseHeaders whose field
    // name is `name` (any letter case), without surrounding blanks and
    // ending before a ";"; empty if there is none.
    std::string GetHeaderValue(const std::string& name) const;

    // Waits up to `limitMs` for response bytes and takes at most `size`: a
    // count > 0, or one of the kReceive* results of Socket.h.
    long Receive(char* buffer, size_t size, uint32_t limitMs);

    // Reads and writes through `source` instead of a socket from now on, as
    // if Open had connected (tests and the fuzzer feed bytes this way).
    // Borrowed; Open switches back to the socket.
    void UseStream(ByteStream* source) { stream = source; }

    // Splits an "http://" URL into host (with any ":port") and request
    // target: 0, or -1 without "http://" (outputs then untouched). Without
    // a "/" after the host, `path` is left as it was.
    static int SplitUrl(const std::string& url, std::string& host, std::string& path);

    // One probe of `url` with `method` on a temporary client: the redirect
    // target, or `url` itself when there is none or the probe failed.
    static std::string ResolveLocation(const std::string& url, std::string method,
                                       const std::atomic<bool>* stop = nullptr);

    // The "Location" target of a header block as an absolute "http://" URL:
    // taken as it is when absolute, resolved against `base` when relative;
    // empty when missing, of another scheme or unusable.
    static std::string ExtractLocation(const std::string& headers, const std::string& base = std::string());

private:
    Socket socket;  // the connection; owned

public:
    std::string userAgent;
    std::string currentUrl;  // during probes: the last probe's result; then the request target
    std::string path;        // request target
    std::string host;        // host as written in the URL, ":port" included; the Host header
    std::string connectHost; // host without the port: what is resolved and connected to
    std::string postBody;
    std::map<std::string, std::string> extraHeaders;  // sent in ascending key order
    std::string responseHeaders;  // status line and header lines, up to the empty line
    std::string rawRequest;       // when not empty, sent verbatim instead
    uint16_t port = kDefaultPort;

private:
    int ReadHeaderBlock();
    bool ReadLengthBody(size_t length, std::string& body);
    bool ReadChunkedBody(std::string& body);
    bool ReadUntilClose(std::string& body);

    SocketStream socketStream{socket};
    ByteStream* stream = nullptr;             // borrowed: &socketStream when connected, or a caller's
    const std::atomic<bool>* stop = nullptr;  // borrowed
    std::string method;                       // of the last request
    int status = 0;
    int bodyStatus = kOk;
    int headerState = kFailed;  // kOk once a whole header block is read and its body not yet taken
};
