#pragma once
#include "base/Names.h"
#include "tools/feed/RateFeed.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The feed's command line.
struct FeedOptions {
    uint16_t port = names::kDefaultFeedPort;  // 0: any free port
    std::string bind = "127.0.0.1";
    uint64_t seed = 1;
    std::size_t pairs = 20;
    RateFeed::Format format = RateFeed::Format::List;
    bool help = false;
};

// Reads "--name value" and "--name=value" forms. On a bad command line
// returns false with a one-line reason in `error`.
bool ParseFeedOptions(const std::vector<std::string>& arguments, FeedOptions& options, std::string& error);

// The text of --help.
std::string FeedUsage();
