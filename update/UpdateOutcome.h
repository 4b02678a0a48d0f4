#pragma once
#include <cstddef>
#include <ctime>
#include <string>

// What one update cycle came to, for the status texts and the back-off.
struct UpdateOutcome {
    enum class Kind { Updated, NotModified, Failed };

    Kind kind = Kind::Failed;
    size_t pairs = 0;         // Updated: how many pairs the list held
    std::time_t when = 0;     // when the cycle ended (wall clock)
    int httpStatus = 0;       // the answer's status code; 0 when none came
    std::string reason;       // Failed: a few plain words ("connection refused")
    std::string retryAfter;   // the answer's "Retry-After" value, as sent
    std::string lastModified; // the answer's "Last-Modified" value, as sent
    std::string etag;         // the answer's "ETag" value, as sent

    bool Succeeded() const { return kind != Kind::Failed; }
};

// Plain words for a failure of the HTTP client, its TLS layer or the
// certificate check (an HttpFailure code): "certificate expired".
std::string FailureText(int code);

// Plain words for a complete answer whose status code is not 2xx: "HTTP 503".
std::string HttpStatusText(int status);

// The text for a body that decodes to no pairs at all.
inline constexpr const char* kNotARateList = "not a rate list";
