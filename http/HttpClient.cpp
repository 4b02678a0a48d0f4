#include "http/HttpClient.h"

#include "base/Text.h"
#include "http/ChunkedDecoder.h"
#include "http/ResponseHead.h"
#include "http/TlsStream.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

const char* const HttpClient::kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; .NET CLR 1.1.4322)";

namespace {

constexpr size_t kReadBuffer = 4096;

bool Raised(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_acquire);
}

bool HasUnsafeByte(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
}

int UrlCode(UrlError error)
{
    switch (error) {
    case UrlError::None:
        return HttpFailure::kOk;
    case UrlError::Scheme:
        return HttpFailure::kBadUrl;
    case UrlError::NoHost:
        return HttpFailure::kNoHost;
    case UrlError::Port:
        return HttpFailure::kBadPort;
    }
    return HttpFailure::kBadUrl;
}

}  // namespace

HttpClient::HttpClient() : userAgent(kDefaultUserAgent) {}

HttpClient::~HttpClient() = default;

void HttpClient::UseStream(ByteStream* source)
{
    stream = source;
    pending.clear();
    pendingAt = 0;
}

int HttpClient::Open(std::string url, int maxRedirects)
{
    if (!Borrowed())
        own.Close();
    UseStream(nullptr);
    status = 0;
    headerState = kNotConnected;
    deadline = std::min(callerDeadline,
                        std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestLimitMs));

    Url parsed;
    if (int code = UrlCode(ParseUrl(url, parsed)); code != kOk)
        return code;

    // Probe until a URL no longer redirects or the probes are used up;
    // `previous` holds the previous probe's answer, so a URL that answers
    // with itself ends the loop.
    std::string previous;
    for (int probes = 0; probes < maxRedirects;) {
        std::string next = Probe(url);
        if (Raised(stop))
            return kStopped;
        Url nextParsed;
        if (ParseUrl(next, nextParsed) != UrlError::None)
            break;
        // What came over TLS must not continue in the clear.
        if (parsed.Secure() && !nextParsed.Secure())
            return kRedirectToHttp;
        url = std::move(next);
        parsed = std::move(nextParsed);
        if (url == previous)
            break;
        previous = url;
        ++probes;
    }
    target = std::move(parsed);
    return Late(Connect());
}

int HttpClient::Late(int code) const
{
    if (code == kOk || code == kStopped)
        return code;
    // A wait cut short by the deadline may end up to a timer tick (15.6 ms
    // on Windows) before this clock reaches it: that silence is the
    // deadline's, not the server's.
    constexpr auto kWaitSlack = std::chrono::milliseconds(20);
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || (code == kTimedOut && now + kWaitSlack >= deadline))
        return kTooSlow;
    return code;
}

bool HttpClient::OnConnection() const
{
    return stream && (stream == &conn->socketStream || stream == conn->tls.get());
}

int HttpClient::Connect()
{
    if (target.Secure() && !TlsStream::Available())
        return kHttpsUnsupported;
    conn->socketStream.SetDeadline(deadline);
    reused = false;
    proxy = proxyConfig.For(target);
    if (Borrowed() && conn->Fits(target, proxy, std::chrono::steady_clock::now())) {
        reused = true;
        conn->Busy();
        UseStream(conn->tls ? static_cast<ByteStream*>(conn->tls.get()) : &conn->socketStream);
        return kOk;
    }
    conn->Close();
    IpAddress address;
    const std::string& peer = proxy.Direct() ? target.host : proxy.host;
    const uint16_t peerPort = proxy.Direct() ? target.port : proxy.port;
    switch (Socket::Resolve(peer, address)) {
    case ResolveResult::LookupFailed:
        return kLookupFailed;
    case ResolveResult::NoAddress:
        return kNoAddress;
    case ResolveResult::Ok:
        break;
    }
    const uint32_t connectLimit = LimitBefore(kConnectLimitMs, deadline);
    if (connectLimit == 0)
        return kTooSlow;
    Socket& socket = conn->socket;
    if (!socket.Create(address.v6))
        return kSocketFailed;
    if (!socket.SetNonBlocking()) {
        socket.Close();
        return kNonBlockingFailed;
    }
    switch (socket.Connect(address, peerPort, connectLimit, stop)) {
    case SocketResult::Ok:
        break;
    case SocketResult::Stopped:
        socket.Close();
        return kStopped;
    case SocketResult::TimedOut:
        socket.Close();
        return kConnectTimedOut;
    case SocketResult::Failed:
        socket.Close();
        return kConnectRefused;
    }
    conn->Opening(target, proxy);
    if (!target.Secure()) {
        UseStream(&conn->socketStream);
        return kOk;
    }
    if (!proxy.Direct()) {
        if (int code = Tunnel(); code != kOk) {
            conn->Close();
            return code;
        }
    }
    conn->tls = std::make_unique<TlsStream>(conn->socketStream);
    int handshake = conn->tls->Connect(target.host, trustedCertificate, kHeaderSilenceMs, stop);
    if (handshake != kOk) {
        conn->Close();
        return handshake;
    }
    UseStream(conn->tls.get());
    return kOk;
}

int HttpClient::Tunnel()
{
    UseStream(&conn->socketStream);
    std::string request = "CONNECT " + target.host + ":" + std::to_string(target.port) + " HTTP/1.1\r\n";
    if (target.host.find(':') != std::string::npos)
        request = "CONNECT [" + target.host + "]:" + std::to_string(target.port) + " HTTP/1.1\r\n";
    request += "Host: " + request.substr(8, request.find(' ', 8) - 8) + "\r\n";
    request += "User-Agent: " + userAgent + "\r\n";
    request += "\r\n";
    switch (stream->SendAll(request.data(), request.size(), stop)) {
    case SocketResult::Ok:
        break;
    case SocketResult::Stopped:
        return kStopped;
    case SocketResult::TimedOut:
    case SocketResult::Failed:
        return Late(kSendFailed);
    }
    responseHeaders.clear();
    if (int code = ReadHeaderBlock(); code != kOk)
        return code;
    if (status < 200 || status > 299)
        return kProxyRefused;
    // The tunnel carries the server's bytes only: a proxy that sent more
    // after its answer cannot be told apart from a meddling one.
    if (pendingAt < pending.size())
        return kMalformed;
    responseHeaders.clear();
    status = 0;
    UseStream(nullptr);
    return kOk;
}

int HttpClient::SendRequest(std::string requestMethod)
{
    method = std::move(requestMethod);
    int code = Exchange();
    // The server may close a kept connection at any moment; when nothing of
    // the answer came, the request cannot have been acted on, so it goes
    // again on a fresh connection. A silent server is not such a case.
    if (code != kOk && reused && !answerStarted && code != kTimedOut && code != kTooSlow &&
        code != kStopped && OnConnection()) {
        conn->Close();
        code = Late(Connect());
        if (code == kOk)
            code = Exchange();
    }
    if (code != kOk && OnConnection())
        conn->Close();
    headerState = code;
    return code;
}

int HttpClient::Exchange()
{
    answerStarted = false;
    status = 0;
    headerState = kNotConnected;

    // A proxy forwards plain http by the absolute form of the target; a
    // tunnel carries the request as the server itself would see it.
    const bool absolute = !proxy.Direct() && !target.Secure();
    std::string request = method + " " + (absolute ? target.Text() : target.target) + " HTTP/1.1\r\n";
    request += "Accept: */*\r\n";
    request += "User-Agent: " + userAgent + "\r\n";
    request += "Host: " + target.hostPort + "\r\n";
    for (const auto& header : extraHeaders)
        request += header.first + ": " + header.second + "\r\n";
    request += "Connection: Keep-Alive\r\n";
    request += "\r\n";
    if (method == "POST")
        request += postBody + "\r\n";
    if (!rawRequest.empty())
        request = rawRequest;

    if (!stream)
        return kNotConnected;
    switch (stream->SendAll(request.data(), request.size(), stop)) {
    case SocketResult::Ok:
        break;
    case SocketResult::Stopped:
        return kStopped;
    case SocketResult::TimedOut:
    case SocketResult::Failed:
        return Late(stream->Failure() != kOk ? stream->Failure() : kSendFailed);
    }
    responseHeaders.clear();
    return Late(ReadHeaderBlock());
}

int HttpClient::ReadHeaderBlock()
{
    // The header block comes in pieces of any size; whatever follows its
    // empty line is the start of the body and waits in `pending` for
    // ReadBody. The cap counts every block, interim ones included, and no
    // read reaches past it.
    std::string data = pending.substr(pendingAt);
    answerStarted = !data.empty();
    pending.clear();
    pendingAt = 0;
    size_t earlier = 0;  // bytes of interim blocks already dropped
    size_t scanFrom = 0;
    char buffer[kReadBuffer];
    for (;;) {
        size_t blank = data.find("\r\n\r\n", scanFrom);
        if (blank != std::string::npos) {
            size_t end = blank + 4;
            if (earlier + end > kMaxHeaderBytes)
                return kTooLarge;
            responseHeaders.assign(data, 0, end);
            status = ParseStatusCode(responseHeaders);
            // An interim response (100 Continue, 103 Early Hints) comes
            // before the real one; 101 ends HTTP on this connection.
            if (status >= 100 && status < 200 && status != 101) {
                earlier += end;
                data.erase(0, end);
                responseHeaders.clear();
                status = 0;
                scanFrom = 0;
                continue;
            }
            pending = data.substr(end);
            return kOk;
        }
        if (earlier + data.size() >= kMaxHeaderBytes)
            return kTooLarge;
        // Only the tail can complete the empty line.
        scanFrom = data.size() >= 3 ? data.size() - 3 : 0;
        size_t room = kMaxHeaderBytes - earlier - data.size();
        long n = stream->Receive(buffer, std::min(sizeof buffer, room), kHeaderSilenceMs, stop);
        if (n <= 0) {
            responseHeaders = data;
            return ShortfallCode(n, false);
        }
        answerStarted = true;
        data.append(buffer, static_cast<size_t>(n));
    }
}

long HttpClient::Receive(char* buffer, size_t size, uint32_t limitMs)
{
    if (pendingAt < pending.size()) {
        size_t take = std::min(size, pending.size() - pendingAt);
        std::memcpy(buffer, pending.data() + pendingAt, take);
        pendingAt += take;
        return static_cast<long>(take);
    }
    if (!stream)
        return kReceiveFailed;
    return stream->Receive(buffer, size, limitMs, stop);
}

int HttpClient::ShortfallCode(long received, bool inBody) const
{
    switch (received) {
    case kReceiveTimedOut:
        return kTimedOut;
    case kReceiveStopped:
        return kStopped;
    case kReceiveClosed:
        return inBody ? kCutShort : kNoAnswer;
    default:
        return stream && stream->Failure() != kOk ? stream->Failure() : kConnectionReset;
    }
}

std::string HttpClient::GetHeaderValue(const std::string& name) const
{
    std::vector<std::string> values = HeaderValues(responseHeaders, name);
    if (values.empty())
        return std::string();
    std::string value = values.front();
    size_t semicolon = value.find(';');
    if (semicolon != std::string::npos) {
        value = std::string(TrimBlanks(std::string_view(value).substr(0, semicolon)));
    }
    return value;
}

std::string HttpClient::ReadBody()
{
    BodyFraming framing;
    if (headerState == kOk)
        framing = DecideFraming(responseHeaders, status, method, kMaxBodyBytes);
    int expected = framing.kind == BodyFraming::Kind::Length || framing.kind == BodyFraming::Kind::TooLarge
                       ? static_cast<int>(std::min<size_t>(framing.length, INT_MAX))
                       : 0;
    std::printf("ContentLen:%d\n", expected);
    std::fflush(stdout);
    return ReadBodyQuietly();
}

std::string HttpClient::ReadBodyQuietly()
{
    BodyFraming framing;
    if (headerState == kOk)
        framing = DecideFraming(responseHeaders, status, method, kMaxBodyBytes);
    std::string body;
    if (headerState != kOk) {
        // No whole header block (the reason stays), or its body was taken.
        bodyStatus = headerState;
        return body;
    }
    headerState = kNotConnected;
    bodyStatus = kOk;
    overrun = false;
    bool complete = true;
    switch (framing.kind) {
    case BodyFraming::Kind::None:
        break;
    case BodyFraming::Kind::Length:
        complete = ReadLengthBody(framing.length, body);
        break;
    case BodyFraming::Kind::Chunked:
        complete = ReadChunkedBody(body);
        break;
    case BodyFraming::Kind::UntilClose:
        complete = ReadUntilClose(body);
        break;
    case BodyFraming::Kind::Malformed:
        bodyStatus = kMalformed;
        complete = false;
        break;
    case BodyFraming::Kind::TooLarge:
        bodyStatus = kTooLarge;
        complete = false;
        break;
    }
    // A body cut short must not pass for a whole one.
    if (!complete) {
        bodyStatus = Late(bodyStatus);
        body.clear();
    }
    // Bytes beyond the answer were never asked for: such a connection is
    // not kept either.
    if (OnConnection()) {
        const uint32_t keep =
            complete && Borrowed() && !overrun && pendingAt >= pending.size()
                ? KeptConnection::KeepLimitMs(responseHeaders, static_cast<int>(framing.kind))
                : 0;
        if (keep > 0)
            conn->Keep(std::chrono::steady_clock::now() + std::chrono::milliseconds(keep));
        else
            conn->Close();
    }
    return body;
}

bool HttpClient::ReadLengthBody(size_t length, std::string& body)
{
    body.reserve(length);
    char buffer[kReadBuffer];
    while (body.size() < length) {
        long n = Receive(buffer, std::min(sizeof buffer, length - body.size()), kBodyIdleMs);
        if (n <= 0) {
            bodyStatus = ShortfallCode(n, true);
            return false;
        }
        body.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

bool HttpClient::ReadChunkedBody(std::string& body)
{
    ChunkedDecoder decoder(kMaxBodyBytes);
    char buffer[kReadBuffer];
    for (;;) {
        long n = Receive(buffer, sizeof buffer, kBodyIdleMs);
        if (n <= 0) {
            bodyStatus = ShortfallCode(n, true);
            return false;
        }
        size_t used = 0;
        switch (decoder.Feed(buffer, static_cast<size_t>(n), body, used)) {
        case ChunkedDecoder::Result::NeedMore:
            break;
        case ChunkedDecoder::Result::Done:
            // Bytes after the last chunk were never asked for.
            overrun = used < static_cast<size_t>(n);
            return true;
        case ChunkedDecoder::Result::Malformed:
            bodyStatus = kMalformed;
            return false;
        case ChunkedDecoder::Result::TooLarge:
            bodyStatus = kTooLarge;
            return false;
        }
    }
}

bool HttpClient::ReadUntilClose(std::string& body)
{
    char buffer[kReadBuffer];
    for (;;) {
        long n = Receive(buffer, sizeof buffer, kBodyIdleMs);
        if (n == kReceiveClosed)
            return true;
        if (n < 0) {
            bodyStatus = ShortfallCode(n, true);
            return false;
        }
        if (static_cast<size_t>(n) > kMaxBodyBytes - body.size()) {
            bodyStatus = kTooLarge;
            return false;
        }
        body.append(buffer, static_cast<size_t>(n));
    }
}

std::string HttpClient::Probe(const std::string& url) const
{
    HttpClient probe;
    probe.SetStopFlag(stop);
    probe.SetDeadline(deadline);
    probe.SetTrustedCertificate(trustedCertificate);
    probe.SetProxy(proxyConfig);
    if (Borrowed())
        probe.UseConnection(conn);
    if (probe.Open(url, 0) != kOk)
        return url;
    if (probe.SendRequest("HEAD") != kOk)
        return url;
    probe.ReadBodyQuietly();
    std::string location = ExtractLocation(probe.responseHeaders, url);
    return location.empty() ? url : location;
}

std::string HttpClient::ExtractLocation(const std::string& headers, const std::string& base)
{
    std::vector<std::string> values = HeaderValues(headers, "Location");
    if (values.empty() || values.front().empty() || HasUnsafeByte(values.front()))
        return std::string();
    const std::string& location = values.front();
    // A reference with a scheme of its own must be http or https; anything
    // else is relative to the probed URL.
    std::string absolute = location;
    size_t colon = location.find_first_of(":/?#");
    bool hasScheme = colon != std::string::npos && location[colon] == ':' && colon > 0;
    if (!hasScheme) {
        Url baseParts;
        if (ParseUrl(base, baseParts) != UrlError::None)
            return std::string();
        absolute = ResolveReference(baseParts.Text(), location);
    }
    // The host part must be there for the target to be fetched at all.
    Url parts;
    if (ParseUrl(absolute, parts) != UrlError::None)
        return std::string();
    return parts.Text();
}
