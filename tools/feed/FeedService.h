#pragma once
#include "base/Names.h"
#include "tools/feed/FeedRequest.h"
#include "tools/feed/RateFeed.h"

#include <cstdint>
#include <mutex>
#include <string>

// What the feed answers, apart from the sockets: routes one parsed request
// to the rate list, a 404 or a 405. Every connection thread calls it; the
// one rate list moves under a lock, one step per GET of the rate page.
class FeedService {
public:
    static constexpr const char* kRatePath = names::kDefaultRatePath;

    struct Answer {
        std::string bytes;  // the whole response
        bool keepOpen;  // false: close the connection after sending it
    };

    FeedService(uint64_t seed, std::size_t pairs, RateFeed::Format shape = RateFeed::Format::List)
        : feed(seed, pairs), format(shape)
    {
    }

    Answer Respond(const FeedRequest& request);

    // The answer to a request that could not be read (400, 408, 431, 505,
    // or 503 when the feed is full); the connection closes after it.
    static Answer Reject(int status);

    // How many rate lists GET requests have taken so far.
    uint64_t Downloads() const;

private:
    mutable std::mutex mutex;
    RateFeed feed;  // guarded by mutex
    const RateFeed::Format format;
};
