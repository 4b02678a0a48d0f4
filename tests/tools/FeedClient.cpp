#include "tests/tools/FeedClient.h"

#include <cstdlib>

bool FeedClient::Connect(uint16_t port)
{
    uint32_t address = 0;
    if (Socket::ResolveIPv4("127.0.0.1", address) != ResolveResult::Ok)
        return false;
    return socket.Create() && socket.SetNonBlocking() &&
           socket.Connect(address, port, kWaitMs, nullptr) == SocketResult::Ok;
}

bool FeedClient::Send(const std::string& bytes)
{
    return socket.SendAll(bytes.data(), bytes.size(), kWaitMs, nullptr) == SocketResult::Ok;
}

FeedClient::Response FeedClient::Read(bool headOnly)
{
    Response response;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    auto receiveMore = [&]() {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        char buffer[4096];
        const long received = socket.Receive(buffer, sizeof buffer, static_cast<uint32_t>(left.count()), nullptr);
        if (received <= 0)
            return false;
        pending.append(buffer, static_cast<std::size_t>(received));
        return true;
    };
    std::size_t headEnd;
    while ((headEnd = pending.find("\r\n\r\n")) == std::string::npos) {
        if (!receiveMore())
            return response;
    }
    response.head = pending.substr(0, headEnd + 4);
    pending.erase(0, headEnd + 4);
    response.status = std::atoi(response.head.c_str() + 9);
    const std::string length = HeaderValue(response.head, "Content-Length");
    if (length.empty())
        return response;
    const std::size_t bodyLength = headOnly ? 0 : std::strtoul(length.c_str(), nullptr, 10);
    while (pending.size() < bodyLength) {
        if (!receiveMore())
            return response;
    }
    response.body = pending.substr(0, bodyLength);
    pending.erase(0, bodyLength);
    response.complete = true;
    return response;
}

bool FeedClient::WaitClosed(uint32_t limitMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        char buffer[4096];
        const long received = socket.Receive(buffer, sizeof buffer, static_cast<uint32_t>(left.count()), nullptr);
        if (received == kReceiveClosed || received == kReceiveFailed)
            return true;
        if (received < 0)
            return false;
        pending.append(buffer, static_cast<std::size_t>(received));
    }
}

std::string HeaderValue(const std::string& head, const std::string& name)
{
    const std::string key = "\r\n" + name + ": ";
    const std::size_t at = head.find(key);
    if (at == std::string::npos)
        return {};
    const std::size_t begin = at + key.size();
    return head.substr(begin, head.find("\r\n", begin) - begin);
}
