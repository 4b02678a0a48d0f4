#include "tools/feed/FeedRequest.h"

#include "http/HeaderLines.h"

#include <algorithm>
#include <cstring>

namespace {
struct Line {
    const char* begin;
    const char* end;  // before the CR LF or LF
};

RequestParse Fail(int status)
{
    RequestParse result;
    result.outcome = RequestParse::Error;
    result.errorStatus = status;
    return result;
}

bool ParseVersion(const char* begin, const char* end, int& major, int& minor)
{
    if (end - begin != 8 || std::memcmp(begin, "HTTP/", 5) != 0 || begin[6] != '.')
        return false;
    if (begin[5] < '0' || begin[5] > '9' || begin[7] < '0' || begin[7] > '9')
        return false;
    major = begin[5] - '0';
    minor = begin[7] - '0';
    return true;
}

RequestParse ParseRequestLine(const Line& line, FeedRequest& request)
{
    const char* firstSpace = std::find(line.begin, line.end, ' ');
    if (firstSpace == line.end)
        return Fail(400);
    const char* secondSpace = std::find(firstSpace + 1, line.end, ' ');
    if (secondSpace == line.end)
        return Fail(400);
    if (!IsToken(std::string_view(line.begin, static_cast<std::size_t>(firstSpace - line.begin))))
        return Fail(400);
    const char* targetBegin = firstSpace + 1;
    if (targetBegin == secondSpace)
        return Fail(400);
    for (const char* p = targetBegin; p != secondSpace; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c <= 0x20 || c >= 0x7F)
            return Fail(400);
    }
    int major = 0, minor = 0;
    if (!ParseVersion(secondSpace + 1, line.end, major, minor))
        return Fail(400);
    if (major != 1)
        return Fail(505);
    request.method.assign(line.begin, firstSpace);
    request.target.assign(targetBegin, secondSpace);
    request.minorVersion = minor;
    return RequestParse{RequestParse::Complete, 0, 0};
}

// Digits only, at most 18 of them, so the value always fits.
bool ParseLength(std::string_view text, unsigned long long& length)
{
    if (text.empty() || text.size() > 18)
        return false;
    length = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        length = length * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}
}  // namespace

RequestParse ParseRequest(const char* data, std::size_t size, FeedRequest& request)
{
    const std::size_t limit = std::min(size, kMaxRequestHeadBytes);
    const char* const stop = data + limit;
    const char* cursor = data;
    auto nextLine = [&](Line& line) {
        // Nothing left (an empty buffer may have no address at all).
        if (cursor == stop)
            return false;
        const void* newline = std::memchr(cursor, '\n', static_cast<std::size_t>(stop - cursor));
        if (newline == nullptr)
            return false;
        const char* lf = static_cast<const char*>(newline);
        line.begin = cursor;
        line.end = (lf > cursor && lf[-1] == '\r') ? lf - 1 : lf;
        cursor = lf + 1;
        return true;
    };
    auto incomplete = [&]() {
        // The head is not complete within what the client may send.
        return size >= kMaxRequestHeadBytes ? Fail(431) : RequestParse{};
    };

    // Find the whole head before judging any of it.
    Line requestLine{};
    do {
        if (!nextLine(requestLine))
            return incomplete();
    } while (requestLine.begin == requestLine.end);
    const std::string_view lines(cursor, static_cast<std::size_t>(stop - cursor));
    std::size_t consumed = 0;
    for (HeaderLineReader reader(lines, kMaxRequestHeaderLines);;) {
        HeaderField field;
        const HeaderLineReader::Step step = reader.Next(field);
        if (step == HeaderLineReader::Step::Incomplete)
            return incomplete();
        if (step == HeaderLineReader::Step::TooMany)
            return Fail(431);
        if (step == HeaderLineReader::Step::End) {
            consumed = static_cast<std::size_t>(cursor - data) + reader.Offset();
            break;
        }
    }

    FeedRequest parsed;
    RequestParse lineResult = ParseRequestLine(requestLine, parsed);
    if (lineResult.outcome == RequestParse::Error)
        return lineResult;

    bool closeAsked = false, keepAliveAsked = false, haveLength = false;
    unsigned long long length = 0;
    bool haveTransferEncoding = false;
    int hosts = 0;
    HeaderLineReader reader(lines, kMaxRequestHeaderLines);
    for (HeaderField field; reader.Next(field) == HeaderLineReader::Step::Field;) {
        if (!field.WellFormed())
            return Fail(400);
        if (field.Is("connection")) {
            closeAsked = closeAsked || ListHas(field.value, "close");
            keepAliveAsked = keepAliveAsked || ListHas(field.value, "keep-alive");
        } else if (field.Is("content-length")) {
            unsigned long long value = 0;
            if (!ParseLength(field.value, value) || (haveLength && value != length))
                return Fail(400);  // a length we cannot trust frames nothing
            haveLength = true;
            length = value;
        } else if (field.Is("transfer-encoding")) {
            haveTransferEncoding = true;
        } else if (field.Is("host")) {
            ++hosts;
        }
    }
    if (haveLength && haveTransferEncoding)
        return Fail(400);
    if (hosts > 1 || (parsed.minorVersion >= 1 && hosts == 0))
        return Fail(400);

    parsed.hasBody = haveTransferEncoding || length > 0;
    parsed.keepAlive = parsed.minorVersion >= 1 ? !closeAsked : (keepAliveAsked && !closeAsked);
    request = std::move(parsed);
    return RequestParse{RequestParse::Complete, consumed, 0};
}

std::string RequestPath(const std::string& target)
{
    std::size_t begin = 0;
    if (target.compare(0, 7, "http://") == 0) {
        begin = target.find('/', 7);
        if (begin == std::string::npos)
            return "/";
    }
    const std::size_t end = target.find('?', begin);
    return target.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

const char* ReasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Error";
    }
}

std::string ComposeResponse(int status, const std::string& body, bool headOnly, bool keepAlive,
                            const std::string& extraHeaders, const char* contentType)
{
    std::string response;
    response.reserve(160 + extraHeaders.size() + (headOnly ? 0 : body.size()));
    response += "HTTP/1.1 ";
    response += std::to_string(status);
    response += ' ';
    response += ReasonPhrase(status);
    response += "\r\nContent-Type: ";
    response += contentType;
    response += "\r\nContent-Length: ";
    response += std::to_string(body.size());
    response += "\r\nCache-Control: no-store\r\nConnection: ";
    response += keepAlive ? "keep-alive" : "close";
    response += "\r\n";
    response += extraHeaders;
    response += "\r\n";
    if (!headOnly)
        response += body;
    return response;
}
