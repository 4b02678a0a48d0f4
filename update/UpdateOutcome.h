#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// What one update cycle came to, for the status texts and the back-off.
struct UpdateOutcome {
    enum class Kind { Updated, NotModified, Failed };

    Kind kind = Kind::Failed;
    size_t pairs = 0;          // Updated: how many pairs the list held
    std::time_t when = 0;      // when the cycle ended (wall clock)
    int httpStatus = 0;        // the answer's status code; 0 when none came
    std::string reason;        // Failed: a few plain words ("connection refused")
    std::string retryAfter;    // the answer's "Retry-After" value, as sent
    std::string lastModified;  // the answer's "Last-Modified" value, as sent
    std::string etag;          // the answer's "ETag" value, as sent
    std::string cacheControl;  // the answer's "Cache-Control" values, joined by commas
    std::string expires;       // the answer's "Expires" value, as sent
    std::string date;          // the answer's "Date" value, as sent

    // Where it came from and when that source is asked next, for the status
    // (RateSources fills them in).
    std::string source;         // the host asked; "" when not known
    bool oneOfSeveral = false;  // more sources are listed: a failure names its source
    std::time_t nextCheck =
        0;                // success: the next check its own answer asked for; 0 when the interval sets it
    uint32_t heldMs = 0;  // success: milliseconds until that source is asked again; 0 when not known

    bool Succeeded() const { return kind != Kind::Failed; }
};

// Plain words for a failure of the HTTP client, its TLS layer or the
// certificate check (an HttpFailure code): "certificate expired".
std::string FailureText(int code);

// Plain words for a complete answer whose status code is not 2xx: "HTTP 503".
std::string HttpStatusText(int status);

// The text for a body that decodes to no pairs at all.
inline constexpr const char* kNotARateList = "not a rate list";
