#pragma once
#include "tools/feed/FeedServer.h"
#include "tools/feed/FeedService.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// The feed's server running in this process on a free loopback port, on a
// thread of its own, until Stop or destruction. Needs Windows Sockets
// running (SocketLibrary) for its whole life.
class RunningFeed {
public:
    explicit RunningFeed(FeedServer::Limits limits = FeedServer::Limits(), uint64_t seed = 3,
                         std::size_t pairs = 20, RateFeed::Format format = RateFeed::Format::List)
        : service(seed, pairs, format), server(service, limits)
    {
        listening = server.Listen("127.0.0.1", 0);
        if (listening) {
            thread = std::thread([this] {
                server.Run(stop);
                std::lock_guard<std::mutex> hold(mutex);
                finished = true;
                ended.notify_all();
            });
        }
    }
    ~RunningFeed()
    {
        Stop();
        if (thread.joinable())
            thread.join();
    }
    RunningFeed(const RunningFeed&) = delete;
    RunningFeed& operator=(const RunningFeed&) = delete;

    bool Listening() const { return listening; }
    uint16_t Port() const { return server.Port(); }
    std::string Url(const std::string& path = FeedService::kRatePath) const
    {
        return "http://127.0.0.1:" + std::to_string(server.Port()) + path;
    }

    // Raises the stop flag and waits up to `limit` for the server to end;
    // false if it has not. (A server that never ends then hangs the test at
    // destruction, where CTest's time-out reports it.)
    bool Stop(std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        stop = true;
        bool done;
        {
            std::unique_lock<std::mutex> hold(mutex);
            done = ended.wait_for(hold, limit, [this] { return finished; });
        }
        if (done && thread.joinable())
            thread.join();
        return done;
    }

    FeedService service;
    FeedServer server;

private:
    bool listening = false;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;  // guarded by mutex
    std::thread thread;
};
