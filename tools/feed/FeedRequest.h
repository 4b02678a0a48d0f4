#pragma once
#include <cstddef>
#include <string>

// One HTTP/1.x request head as the local feed reads it. The feed serves
// GET and HEAD without bodies, so only what steers the answer is kept.
struct FeedRequest {
    std::string method;
    std::string target;  // as sent: origin form, or absolute form
    int minorVersion = 1;  // HTTP/1.<minorVersion>
    bool keepAlive = true;  // after the answer, per version and Connection
    bool hasBody = false;  // Content-Length above 0, or any Transfer-Encoding
};

// Bounds on what a client may send before its request is complete.
inline constexpr std::size_t kMaxRequestHeadBytes = 8192;
inline constexpr std::size_t kMaxRequestHeaderLines = 100;

struct RequestParse {
    enum Outcome { Complete, NeedMore, Error };
    Outcome outcome = NeedMore;
    std::size_t consumed = 0;  // Complete: bytes of the head, terminator included
    int errorStatus = 0;  // Error: 400, 431 or 505
};

// Bytes in; complete (with the bytes it took), need-more, or an error status
// out. Looks at no more than kMaxRequestHeadBytes and allocates nothing
// beyond the fields of `request`. Lines end in LF with an optional CR; empty
// lines before the request line are skipped, as RFC 9112 allows.
RequestParse ParseRequest(const char* data, std::size_t size, FeedRequest& request);

// The path of a request target: the absolute form's scheme and authority and
// any query are dropped ("http://h/a?b" and "/a?b" both give "/a").
std::string RequestPath(const std::string& target);

inline constexpr const char* kListContentType = "text/plain; charset=us-ascii";

// A whole response: status line, Content-Type, Content-Length (always, also
// for HEAD, where it gives the length of the body that GET would send),
// Cache-Control, Connection, any `extraHeaders` (complete lines with CR LF),
// the empty line, then the body unless `headOnly`.
std::string ComposeResponse(int status, const std::string& body, bool headOnly, bool keepAlive,
                            const std::string& extraHeaders = std::string(),
                            const char* contentType = kListContentType);

// The reason phrase the feed sends with a status.
const char* ReasonPhrase(int status);
