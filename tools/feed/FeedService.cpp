#include "tools/feed/FeedService.h"

FeedService::Answer FeedService::Respond(const FeedRequest& request)
{
    // A request body would have to be read past before the next request on
    // the connection; the feed takes none, so it answers and closes.
    const bool keepOpen = request.keepAlive && !request.hasBody;
    const bool head = request.method == "HEAD";
    if (!head && request.method != "GET") {
        return {ComposeResponse(405, "Method not allowed\n", false, keepOpen, "Allow: GET, HEAD\r\n"), keepOpen};
    }
    if (RequestPath(request.target) != kRatePath)
        return {ComposeResponse(404, "Not found\n", head, keepOpen), keepOpen};

    std::string list;
    {
        std::lock_guard<std::mutex> hold(mutex);
        list = head ? feed.Current(format) : feed.Next(format);
    }
    const char* type = format == RateFeed::Format::Json  ? "application/json"
                       : format == RateFeed::Format::Ecb ? "text/xml; charset=UTF-8"
                                                         : kListContentType;
    return {ComposeResponse(200, list, head, keepOpen, std::string(), type), keepOpen};
}

FeedService::Answer FeedService::Reject(int status)
{
    std::string body = ReasonPhrase(status);
    body += '\n';
    return {ComposeResponse(status, body, false, false), false};
}

uint64_t FeedService::Downloads() const
{
    std::lock_guard<std::mutex> hold(mutex);
    return feed.Serial();
}
