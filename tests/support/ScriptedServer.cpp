#include "tests/support/ScriptedServer.h"

#include "base/Clock.h"

#include <algorithm>
#include <utility>

namespace {
// How long one accept waits before looking again (the stop flag is
// watched every 50 ms in any case).
constexpr uint32_t kAcceptSliceMs = 60000;
constexpr uint32_t kRequestLimitMs = 10000;
constexpr uint32_t kSendStallMs = 10000;
constexpr size_t kMaxRequestBytes = 64 * 1024 * 1024;
}  // namespace

ScriptedServer::Script ScriptedServer::Dribble(const std::string& bytes, size_t piece, uint32_t pauseMs)
{
    Script script;
    piece = std::max<size_t>(piece, 1);
    for (size_t at = 0; at < bytes.size(); at += piece) {
        if (at > 0)
            script.push_back(Pause(pauseMs));
        script.push_back(Send(bytes.substr(at, piece)));
    }
    return script;
}

ScriptedServer::ScriptedServer() : ScriptedServer("127.0.0.1") {}

ScriptedServer::ScriptedServer(const std::string& listenAddress)
    : address(listenAddress), listener(Socket::Listen(listenAddress, 0))
{
    port = listener.LocalPort();
    if (port != 0)
        thread = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer()
{
    Stop();
}

void ScriptedServer::Expect(Script script, size_t requestBodyBytes)
{
    std::lock_guard<std::mutex> guard(lock);
    scripts.push_back(Expected{std::move(script), requestBodyBytes});
}

void ScriptedServer::SetFallback(Script script)
{
    std::lock_guard<std::mutex> guard(lock);
    fallback = Expected{std::move(script), 0};
}

std::string ScriptedServer::HostPort() const
{
    const bool ipv6 = address.find(':') != std::string::npos;
    return (ipv6 ? "[" + address + "]:" : address + ":") + std::to_string(port);
}

std::string ScriptedServer::Url(const std::string& path) const
{
    return "http://" + HostPort() + path;
}

std::vector<std::string> ScriptedServer::Requests() const
{
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

std::vector<std::chrono::steady_clock::time_point> ScriptedServer::RequestTimes() const
{
    std::lock_guard<std::mutex> guard(lock);
    return requestTimes;
}

size_t ScriptedServer::Connections() const
{
    std::lock_guard<std::mutex> guard(lock);
    return connections;
}

bool ScriptedServer::WaitForRequests(size_t count, std::chrono::milliseconds limit) const
{
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, limit, [&] { return requests.size() >= count; });
}

void ScriptedServer::Stop()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping.store(true, std::memory_order_release);
    }
    changed.notify_all();
    if (thread.joinable())
        thread.join();
    held.clear();
    listener.Close();
}

bool ScriptedServer::PauseFor(uint32_t ms)
{
    std::unique_lock<std::mutex> guard(lock);
    return !changed.wait_for(guard, std::chrono::milliseconds(ms),
                             [&] { return stopping.load(std::memory_order_acquire); });
}

void ScriptedServer::Serve()
{
    while (!stopping.load(std::memory_order_acquire)) {
        Socket connection;
        SocketResult result = listener.Accept(connection, kAcceptSliceMs, &stopping);
        if (result == SocketResult::Stopped || result == SocketResult::Failed)
            return;
        if (result != SocketResult::Ok)
            continue;
        Expected expected;
        {
            std::lock_guard<std::mutex> guard(lock);
            ++connections;
            if (!scripts.empty()) {
                expected = std::move(scripts.front());
                scripts.pop_front();
            } else {
                expected = fallback;
            }
        }
        HandleConnection(std::move(connection), expected);
    }
}

std::string ScriptedServer::ReadRequest(Socket& connection, size_t bodyBytes)
{
    std::string request;
    // Large pieces: a request body of megabytes must be read well within
    // the client's header silence limit even under Wine, where every
    // receive is a round trip to the wine server.
    std::vector<char> buffer(64 * 1024);
    size_t headEnd = std::string::npos;
    uint32_t start = ClockMilliseconds();
    while (request.size() < kMaxRequestBytes) {
        if (headEnd == std::string::npos) {
            headEnd = request.find("\r\n\r\n");
            if (headEnd != std::string::npos)
                headEnd += 4;
        }
        if (headEnd != std::string::npos && request.size() >= headEnd + bodyBytes)
            break;
        uint32_t elapsed = ElapsedSince(start);
        if (elapsed >= kRequestLimitMs)
            break;
        // Take no more than the request still owes, so nothing of a later
        // request is swallowed into this one.
        size_t want = buffer.size();
        if (headEnd != std::string::npos)
            want = std::min(want, headEnd + bodyBytes - request.size());
        long n = connection.Receive(buffer.data(), want, kRequestLimitMs - elapsed, &stopping);
        if (n <= 0)
            break;
        request.append(buffer.data(), static_cast<size_t>(n));
    }
    return request;
}

void ScriptedServer::HandleConnection(Socket connection, const Expected& expected)
{
    std::string request = ReadRequest(connection, expected.requestBodyBytes);
    {
        std::lock_guard<std::mutex> guard(lock);
        requests.push_back(std::move(request));
        requestTimes.push_back(std::chrono::steady_clock::now());
    }
    changed.notify_all();
    for (const Step& step : expected.script) {
        if (stopping.load(std::memory_order_acquire))
            return;
        switch (step.kind) {
        case Step::Kind::Send:
            // A client that has gone away is part of what is being tested.
            connection.SendAll(step.bytes.data(), step.bytes.size(), kSendStallMs, &stopping);
            break;
        case Step::Kind::Pause:
            if (!PauseFor(step.ms))
                return;
            break;
        case Step::Kind::Close:
            connection.Close();
            return;
        case Step::Kind::Hold:
            held.push_back(std::move(connection));
            return;
        case Step::Kind::Reset:
            connection.Reset();
            return;
        }
    }
}
