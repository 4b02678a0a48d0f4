#include "http/HttpClient.h"

#include "base/Text.h"

#include "http/ChunkedDecoder.h"
#include "http/ResponseHead.h"
#include "http/Url.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>

const char* const HttpClient::kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; .NET CLR 1.1.4322)";

namespace {

constexpr size_t kBodyBuffer = 4096;

bool Raised(const std::atomic<bool>* stop) { return stop && stop->load(std::memory_order_acquire); }

// The status code for a receive that brought no bytes while more were due.
int ShortfallCode(long received)
{
    switch (received) {
    case kReceiveTimedOut:
        return HttpClient::kTimedOut;
    case kReceiveStopped:
        return HttpClient::kStopped;
    default:
        return HttpClient::kFailed;  // closed early, or reset
    }
}

bool EndsWithBlankLine(const std::string& text)
{
    return text.size() >= 4 && text.compare(text.size() - 4, 4, "\r\n\r\n") == 0;
}

bool HasUnsafeByte(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
}

bool StartsWithHttpScheme(const std::string& url) { return StartsWithNoCase(url, "http://"); }

}  // namespace

HttpClient::HttpClient() : userAgent(kDefaultUserAgent) {}

HttpClient::~HttpClient() = default;

int HttpClient::SplitUrl(const std::string& url, std::string& host, std::string& path)
{
    size_t scheme = url.find("http://");
    if (scheme == std::string::npos)
        return -1;
    std::string rest = url.substr(scheme + 7);
    size_t slash = rest.find('/');
    if (slash == std::string::npos) {
        host = rest;
        return 0;
    }
    host = rest.substr(0, slash);
    path = rest.substr(slash);
    return 0;
}

int HttpClient::Open(std::string url, int maxRedirects)
{
    socket.Close();
    stream = nullptr;
    status = 0;
    headerState = kFailed;
    if (url.find("https://") != std::string::npos)
        return kHttpsRefused;

    // Probe until a URL no longer redirects or the probes are used up;
    // currentUrl holds the previous probe's answer, so a URL that answers
    // with itself ends the loop.
    for (int probes = 0; probes < maxRedirects;) {
        url = ResolveLocation(url, "HEAD", stop);
        if (Raised(stop))
            return kStopped;
        if (url == currentUrl)
            break;
        currentUrl = url;
        ++probes;
    }

    currentUrl = url;
    // A URL without a path asks for the root; an earlier request's target
    // never carries over.
    path.clear();
    if (SplitUrl(url, host, path) != 0)
        return kFailed;
    if (path.empty())
        path = "/";
    currentUrl = path;
    if (!SplitHostPort(host, connectHost, port))
        return kLookupFailed;

    uint32_t address = 0;
    switch (Socket::ResolveIPv4(connectHost, address)) {
    case ResolveResult::LookupFailed:
        return kLookupFailed;
    case ResolveResult::NoAddress:
        return kNoAddress;
    case ResolveResult::Ok:
        break;
    }
    if (!socket.Create())
        return kSocketFailed;
    if (!socket.SetNonBlocking()) {
        socket.Close();
        return kNonBlockingFailed;
    }
    SocketResult connected = socket.Connect(address, port, kConnectLimitMs, stop);
    if (connected != SocketResult::Ok) {
        socket.Close();
        return connected == SocketResult::Stopped ? kStopped : kFailed;
    }
    stream = &socketStream;
    return kOk;
}

int HttpClient::SendRequest(std::string requestMethod)
{
    method = std::move(requestMethod);
    status = 0;
    headerState = kFailed;

    std::string request = method + " " + path + " HTTP/1.1\r\n";
    request += "Accept: */*\r\n";
    request += "User-Agent: " + userAgent + "\r\n";
    request += "Host: " + host + "\r\n";
    for (const auto& header : extraHeaders)
        request += header.first + ": " + header.second + "\r\n";
    request += "Connection: Keep-Alive\r\n";
    request += "\r\n";
    if (method == "POST")
        request += postBody + "\r\n";
    if (!rawRequest.empty())
        request = rawRequest;

    if (!stream)
        return kFailed;
    SocketResult sent = stream->SendAll(request.data(), request.size(), stop);
    if (sent != SocketResult::Ok)
        return sent == SocketResult::Stopped ? kStopped : kFailed;
    responseHeaders.clear();
    return ReadHeaderBlock();
}

int HttpClient::ReadHeaderBlock()
{
    // One byte per receive: the body must stay in the socket for ReadBody.
    // Only the tail can complete the empty line, so only the tail is looked
    // at; the cap counts every block, interim ones included.
    size_t total = 0;
    for (;;) {
        char byte = 0;
        long n = Receive(&byte, 1, kHeaderSilenceMs);
        if (n == kReceiveTimedOut)
            return kTimedOut;
        if (n == kReceiveStopped)
            return kStopped;
        if (n <= 0)
            return kOk;  // the connection ended: no complete header block
        responseHeaders.push_back(byte);
        ++total;
        if (EndsWithBlankLine(responseHeaders)) {
            status = ParseStatusCode(responseHeaders);
            // An interim response (100 Continue, 103 Early Hints) comes
            // before the real one; 101 ends HTTP on this connection.
            if (status >= 100 && status < 200 && status != 101) {
                if (total >= kMaxHeaderBytes)
                    return kTooLarge;
                responseHeaders.clear();
                status = 0;
                continue;
            }
            headerState = kOk;
            return kOk;
        }
        if (total >= kMaxHeaderBytes)
            return kTooLarge;
    }
}

long HttpClient::Receive(char* buffer, size_t size, uint32_t limitMs)
{
    if (!stream)
        return kReceiveFailed;
    return stream->Receive(buffer, size, limitMs, stop);
}

std::string HttpClient::GetHeaderValue(const std::string& name) const
{
    std::vector<std::string> values = HeaderValues(responseHeaders, name);
    if (values.empty())
        return std::string();
    std::string value = values.front();
    size_t semicolon = value.find(';');
    if (semicolon != std::string::npos) {
        value.erase(semicolon);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.pop_back();
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

    std::string body;
    if (headerState != kOk) {
        // No whole header block, or its body was taken already.
        bodyStatus = kFailed;
        return body;
    }
    headerState = kFailed;
    bodyStatus = kOk;
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
    if (!complete)
        body.clear();
    return body;
}

bool HttpClient::ReadLengthBody(size_t length, std::string& body)
{
    body.reserve(length);
    char buffer[kBodyBuffer];
    while (body.size() < length) {
        long n = Receive(buffer, std::min(sizeof buffer, length - body.size()), kBodyIdleMs);
        if (n <= 0) {
            bodyStatus = ShortfallCode(n);
            return false;
        }
        body.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

bool HttpClient::ReadChunkedBody(std::string& body)
{
    ChunkedDecoder decoder(kMaxBodyBytes);
    char buffer[kBodyBuffer];
    for (;;) {
        long n = Receive(buffer, sizeof buffer, kBodyIdleMs);
        if (n <= 0) {
            bodyStatus = ShortfallCode(n);
            return false;
        }
        size_t used = 0;
        switch (decoder.Feed(buffer, static_cast<size_t>(n), body, used)) {
        case ChunkedDecoder::Result::NeedMore:
            break;
        case ChunkedDecoder::Result::Done:
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
    char buffer[kBodyBuffer];
    for (;;) {
        long n = Receive(buffer, sizeof buffer, kBodyIdleMs);
        if (n == kReceiveClosed)
            return true;
        if (n < 0) {
            bodyStatus = ShortfallCode(n);
            return false;
        }
        if (static_cast<size_t>(n) > kMaxBodyBytes - body.size()) {
            bodyStatus = kTooLarge;
            return false;
        }
        body.append(buffer, static_cast<size_t>(n));
    }
}

std::string HttpClient::ResolveLocation(const std::string& url, std::string method, const std::atomic<bool>* stop)
{
    HttpClient probe;
    probe.SetStopFlag(stop);
    if (probe.Open(url, 0) != kOk)
        return url;
    if (probe.SendRequest(std::move(method)) != kOk)
        return url;
    std::string target = ExtractLocation(probe.responseHeaders, url);
    return target.empty() ? url : target;
}

std::string HttpClient::ExtractLocation(const std::string& headers, const std::string& base)
{
    std::vector<std::string> values = HeaderValues(headers, "Location");
    if (values.empty() || values.front().empty() || HasUnsafeByte(values.front()))
        return std::string();
    const std::string& location = values.front();
    std::string target;
    if (StartsWithHttpScheme(location)) {
        target = "http://" + location.substr(7);
    } else {
        // A reference with a scheme of its own ("https:", "ftp:") is not
        // followed; anything else is relative to the probed URL.
        size_t colon = location.find_first_of(":/?#");
        if (colon != std::string::npos && location[colon] == ':' && colon > 0)
            return std::string();
        if (!StartsWithHttpScheme(base))
            return std::string();
        target = ResolveReference(base, location);
    }
    // The host part must be there for the target to be fetched at all.
    std::string host;
    std::string path;
    if (!StartsWithHttpScheme(target) || SplitUrl(target, host, path) != 0 || host.empty())
        return std::string();
    return target;
}
