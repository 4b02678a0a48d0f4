// Arbitrary client bytes through the local feed's request reader: it must
// never read past what it was given, never take more than its head limit,
// answer an error only with the statuses it knows, and reach the same
// verdict when the same head arrives with more bytes behind it.
#include "tools/feed/FeedRequest.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy, so that AddressSanitizer catches any read past it.
    std::vector<char> bytes(data, data + size);
    FeedRequest request;
    RequestParse whole = ParseRequest(bytes.data(), bytes.size(), request);

    switch (whole.outcome) {
    case RequestParse::Complete: {
        if (whole.consumed == 0 || whole.consumed > size || whole.consumed > kMaxRequestHeadBytes)
            std::abort();
        // Only the head decides: cut right after it, the verdict is the same.
        FeedRequest again;
        RequestParse head = ParseRequest(bytes.data(), whole.consumed, again);
        if (head.outcome != RequestParse::Complete || head.consumed != whole.consumed ||
            again.method != request.method || again.target != request.target ||
            again.keepAlive != request.keepAlive)
            std::abort();
        std::string path = RequestPath(request.target);
        if (!request.target.empty() && path.size() > request.target.size())
            std::abort();
        (void)ComposeResponse(200, path, request.method == "HEAD", request.keepAlive);
        break;
    }
    case RequestParse::Error:
        if (whole.errorStatus != 400 && whole.errorStatus != 431 && whole.errorStatus != 505)
            std::abort();
        break;
    case RequestParse::NeedMore:
        // A reader that keeps asking for more past its limit would let a
        // client grow the feed's buffer without end.
        if (size > kMaxRequestHeadBytes)
            std::abort();
        break;
    }
    return 0;
}
