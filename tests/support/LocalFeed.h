#pragma once
#include "base/Names.h"
#include "tests/support/ChildProcess.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// The local rate feed, the quillbrae-feed program of this build, started as
// a child process (everything ChildProcess offers: its output, its exit
// code, a stop request) with the given command line, e.g.
//
//     LocalFeed feed({"--port", "0", "--seed", "7"});
//     ASSERT_NE(feed.WaitListening(60s), 0) << feed.Errors();
//     UpdateRates(rates, feed.Url());
//
// Link qb_test_feed, which knows where the program is and builds it first.
class LocalFeed : public ChildProcess {
public:
    explicit LocalFeed(const std::vector<std::string>& arguments = {"--port", "0"},
                       const std::string& directory = std::string());

    // Waits for the feed's "listening on ADDR:PORT" line: the port, or 0
    // when the line did not come within `limit` or the feed ended first.
    uint16_t WaitListening(std::chrono::milliseconds limit);
    // The port WaitListening found; 0 before.
    uint16_t Port() const { return port; }
    // The rate page on that port.
    std::string Url() const;

private:
    uint16_t port = 0;
};

// The port on the feed's "listening on ADDR:PORT" line in `output`; 0 while
// no such line has ended, or when its port is not one.
uint16_t ListeningPort(const std::string& output);

// "http://127.0.0.1:<port><path>": a server on loopback, by default its
// rate page.
std::string LoopbackUrl(uint16_t port, const std::string& path = names::kDefaultRatePath);
