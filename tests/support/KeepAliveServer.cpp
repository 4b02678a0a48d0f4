#include "tests/support/KeepAliveServer.h"

#include <utility>

namespace {
constexpr uint32_t kAcceptSliceMs = 60000;
constexpr uint32_t kSendStallMs = 10000;
constexpr size_t kMaxHeadBytes = 64 * 1024;
}  // namespace

KeepAliveServer::KeepAliveServer(Answer replies)
    : answer(std::move(replies)), listener(Socket::Listen("127.0.0.1", 0))
{
    port = listener.LocalPort();
    if (port != 0)
        thread = std::thread([this] { Serve(); });
}

KeepAliveServer::~KeepAliveServer()
{
    stopping.store(true, std::memory_order_release);
    if (thread.joinable())
        thread.join();
}

std::string KeepAliveServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

std::string KeepAliveServer::Ok(const std::string& request, const std::string& body, const std::string& headers)
{
    const bool head = request.compare(0, 5, "HEAD ") == 0;
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers + "\r\n" +
           (head ? std::string() : body);
}

size_t KeepAliveServer::Connections() const
{
    std::lock_guard<std::mutex> guard(lock);
    return connections;
}

size_t KeepAliveServer::Requests() const
{
    std::lock_guard<std::mutex> guard(lock);
    return requests;
}

bool KeepAliveServer::WaitIdle(std::chrono::milliseconds limit) const
{
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, limit, [this] { return !serving; });
}

void KeepAliveServer::Serve()
{
    while (!stopping.load(std::memory_order_acquire)) {
        Socket connection;
        if (listener.Accept(connection, kAcceptSliceMs, &stopping) != SocketResult::Ok)
            continue;
        {
            std::lock_guard<std::mutex> guard(lock);
            ++connections;
            serving = true;
        }
        HandleConnection(connection);
        connection.Close();
        {
            std::lock_guard<std::mutex> guard(lock);
            serving = false;
        }
        changed.notify_all();
    }
}

void KeepAliveServer::HandleConnection(Socket& connection)
{
    std::string received;
    char buffer[4096];
    for (size_t onConnection = 0;; ++onConnection) {
        size_t end;
        while ((end = received.find("\r\n\r\n")) == std::string::npos) {
            if (received.size() > kMaxHeadBytes)
                return;
            // The client may keep the connection idle as long as it likes;
            // only the stop flag ends the wait.
            long n = connection.Receive(buffer, sizeof buffer, kAcceptSliceMs, &stopping);
            if (n == kReceiveTimedOut)
                continue;
            if (n <= 0)
                return;
            received.append(buffer, static_cast<size_t>(n));
        }
        const std::string request = received.substr(0, end + 4);
        received.erase(0, end + 4);
        {
            std::lock_guard<std::mutex> guard(lock);
            ++requests;
        }
        const Reply reply = answer(request, onConnection);
        if (!reply.bytes.empty() && connection.SendAll(reply.bytes.data(), reply.bytes.size(), kSendStallMs,
                                                       &stopping) != SocketResult::Ok)
            return;
        if (reply.close)
            return;
    }
}
