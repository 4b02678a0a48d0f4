#pragma once
#include "http/Socket.h"
#include "tools/feed/FeedService.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <thread>

// The feed's network side: one listening socket and one thread per client,
// so that a slow client holds up nobody but itself. Every wait is bounded
// and watches the stop flag, so raising it ends Run within moments.
class FeedServer {
public:
    struct Limits {
        uint32_t idleMs = 15000;  // a kept-alive connection with no new request
        uint32_t requestMs = 10000;  // from the first byte of a request to its end
        uint32_t sendStallMs = 10000;  // a client that stops reading its answer
        std::size_t maxClients = 64;  // beyond this, 503 and close
    };

    FeedServer(FeedService& feedService, Limits serverLimits);
    explicit FeedServer(FeedService& feedService) : FeedServer(feedService, Limits()) {}
    ~FeedServer();
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    // Binds and listens; false when the address or port cannot be had.
    bool Listen(const std::string& address, uint16_t port);
    uint16_t Port() const { return port; }

    // Accepts and serves until `stop` is raised, then waits for every client
    // thread to end. Call once, after Listen.
    void Run(const std::atomic<bool>& stop);

    // Clients being served right now (for tests of the limits).
    std::size_t ActiveClients() const;

private:
    struct Client {
        std::thread thread;
        bool finished = false;  // guarded by FeedServer::mutex
    };

    void Serve(Socket connection, Client& client, const std::atomic<bool>& stop);
    // Sends a last answer, then lingers briefly so the client reads it
    // rather than a reset.
    void Finish(Socket& connection, const std::string& bytes, const std::atomic<bool>& stop);
    void ReapFinished();

    FeedService& service;
    const Limits limits;
    Socket listener;
    uint16_t port = 0;

    mutable std::mutex mutex;
    std::condition_variable clientFinished;  // with mutex
    std::list<Client> clients;  // guarded by mutex; list: stable addresses
};
