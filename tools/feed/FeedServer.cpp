#include "tools/feed/FeedServer.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// After a closing answer the feed reads on for this long (and at most
// kLingerBytes), so that unread request bytes do not turn its close into a
// reset that destroys the answer in flight.
constexpr uint32_t kLingerMs = 2000;
constexpr std::size_t kLingerBytes = 64 * 1024;
// A full feed answers 503 without waiting long on a client it does not serve.
constexpr uint32_t kRefusalSendMs = 1000;
// When accept itself fails (out of descriptors, say), wait this long for a
// client to end before trying again, instead of failing in a tight loop.
constexpr auto kAcceptRetry = std::chrono::milliseconds(200);

uint32_t RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<uint32_t>(left) : 0;
}
}  // namespace

FeedServer::FeedServer(FeedService& feedService, Limits serverLimits) : service(feedService), limits(serverLimits) {}

FeedServer::~FeedServer()
{
    // Run joins every client before it returns; this only covers a server
    // torn down while Run never ran to its end.
    for (Client& client : clients) {
        if (client.thread.joinable())
            client.thread.join();
    }
}

bool FeedServer::Listen(const std::string& address, uint16_t wantedPort)
{
    listener = Socket::Listen(address, wantedPort, 64);
    if (!listener.IsOpen())
        return false;
    port = listener.LocalPort();
    return port != 0;
}

std::size_t FeedServer::ActiveClients() const
{
    std::lock_guard<std::mutex> hold(mutex);
    return static_cast<std::size_t>(
        std::count_if(clients.begin(), clients.end(), [](const Client& client) { return !client.finished; }));
}

void FeedServer::Run(const std::atomic<bool>& stop)
{
    while (!stop.load()) {
        Socket accepted;
        const SocketResult result = listener.Accept(accepted, 60000, &stop);
        ReapFinished();
        if (result == SocketResult::Stopped)
            break;
        if (result == SocketResult::Failed) {
            std::unique_lock<std::mutex> hold(mutex);
            clientFinished.wait_for(hold, kAcceptRetry);
            continue;
        }
        if (result != SocketResult::Ok)
            continue;

        accepted.SetNonBlocking();
        std::unique_lock<std::mutex> hold(mutex);
        if (clients.size() < limits.maxClients) {
            clients.emplace_back();
            Client& client = clients.back();
            try {
                client.thread = std::thread(&FeedServer::Serve, this, std::move(accepted), std::ref(client), std::cref(stop));
                continue;
            } catch (const std::system_error&) {
                clients.pop_back();  // no thread to be had: refuse as if full
            }
        }
        hold.unlock();
        const std::string refusal = FeedService::Reject(503).bytes;
        accepted.SendAll(refusal.data(), refusal.size(), kRefusalSendMs, &stop);
    }

    std::list<Client> remaining;
    {
        std::lock_guard<std::mutex> hold(mutex);
        remaining.swap(clients);
    }
    for (Client& client : remaining)
        client.thread.join();
}

void FeedServer::ReapFinished()
{
    std::list<Client> done;
    {
        std::lock_guard<std::mutex> hold(mutex);
        for (auto it = clients.begin(); it != clients.end();) {
            auto next = std::next(it);
            if (it->finished)
                done.splice(done.end(), clients, it);
            it = next;
        }
    }
    for (Client& client : done)
        client.thread.join();  // it has set finished as its last act
}

void FeedServer::Serve(Socket connection, Client& client, const std::atomic<bool>& stop)
{
    std::string pending;  // received bytes not yet answered; bounded below
    Clock::time_point requestDeadline{};
    char chunk[4096];
    for (;;) {
        FeedRequest request;
        const RequestParse parse = ParseRequest(pending.data(), pending.size(), request);
        if (parse.outcome == RequestParse::Complete) {
            pending.erase(0, parse.consumed);
            if (!pending.empty())
                requestDeadline = Clock::now() + std::chrono::milliseconds(limits.requestMs);
            FeedService::Answer answer = service.Respond(request);
            if (!answer.keepOpen) {
                Finish(connection, answer.bytes, stop);
                break;
            }
            if (connection.SendAll(answer.bytes.data(), answer.bytes.size(), limits.sendStallMs, &stop) != SocketResult::Ok)
                break;
            continue;
        }
        if (parse.outcome == RequestParse::Error) {
            Finish(connection, FeedService::Reject(parse.errorStatus).bytes, stop);
            break;
        }
        // ParseRequest refuses a head longer than kMaxRequestHeadBytes, so
        // `pending` never holds more than that plus one chunk.
        const bool idle = pending.empty();
        const uint32_t limit = idle ? limits.idleMs : RemainingMs(requestDeadline);
        const long received = limit > 0 ? connection.Receive(chunk, sizeof chunk, limit, &stop) : kReceiveTimedOut;
        if (received > 0) {
            if (idle)
                requestDeadline = Clock::now() + std::chrono::milliseconds(limits.requestMs);
            pending.append(chunk, static_cast<std::size_t>(received));
            continue;
        }
        if (received == kReceiveTimedOut && !idle)
            Finish(connection, FeedService::Reject(408).bytes, stop);
        break;  // idle too long, closed by the client, failed, or stopping
    }
    connection.Close();

    std::lock_guard<std::mutex> hold(mutex);
    client.finished = true;
    clientFinished.notify_all();
}

void FeedServer::Finish(Socket& connection, const std::string& bytes, const std::atomic<bool>& stop)
{
    if (connection.SendAll(bytes.data(), bytes.size(), limits.sendStallMs, &stop) != SocketResult::Ok)
        return;
    connection.ShutdownSend();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kLingerMs);
    char sink[4096];
    std::size_t drained = 0;
    while (drained < kLingerBytes) {
        const uint32_t limit = RemainingMs(deadline);
        if (limit == 0)
            break;
        const long received = connection.Receive(sink, sizeof sink, limit, &stop);
        if (received <= 0)
            break;
        drained += static_cast<std::size_t>(received);
    }
}
