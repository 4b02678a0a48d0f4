#pragma once
#include "http/HeaderLines.h"

#include <cstddef>
#include <string>
#include <vector>

// Reading a response's header block (status line, header lines, empty
// line) as HttpClient keeps it (ResponseHeaders).

// The code of a status line "HTTP/<digit>.<digit> <3 digits>..." at the
// start of `block`; 0 when the block does not start with one.
int ParseStatusCode(const std::string& block);

// How the body that follows a header block ends.
struct BodyFraming {
    enum class Kind {
        None,        // no body: HEAD, 1xx, 204, 304
        Length,      // exactly `length` bytes ("Content-Length")
        Chunked,     // "Transfer-Encoding: chunked"
        UntilClose,  // whatever comes until the server closes
        Malformed,   // framing that cannot be trusted: no body at all
        TooLarge,    // a "Content-Length" over the body cap
    };
    Kind kind = Kind::Malformed;
    size_t length = 0;
};

// The framing for a response with `status` to a request with `method`:
// chunked coding first, then a valid and unambiguous "Content-Length",
// then the end of the connection.
BodyFraming DecideFraming(const std::string& block, int status, const std::string& method, size_t maxBody);
