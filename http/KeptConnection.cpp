#include "http/KeptConnection.h"

#include "base/Text.h"
#include "http/HeaderLines.h"
#include "http/ResponseHead.h"
#include "http/TlsStream.h"

#include <algorithm>

KeptConnection::KeptConnection() = default;

KeptConnection::~KeptConnection()
{
    Close();
}

void KeptConnection::Close()
{
    tls.reset();
    socket.Close();
    origin.clear();
    idle = false;
}

std::string KeptConnection::Origin(const Url& target, const ProxyServer& proxy)
{
    std::string text =
        (target.Secure() ? "https://" : "http://") + target.host + ":" + std::to_string(target.port);
    if (!proxy.Direct())
        text += " via " + proxy.host + ":" + std::to_string(proxy.port);
    return text;
}

void KeptConnection::Opening(const Url& target, const ProxyServer& proxy)
{
    origin = Origin(target, proxy);
    idle = false;
    ++opened;
}

void KeptConnection::Keep(SteadyTime until)
{
    idle = true;
    idleUntil = until;
}

bool KeptConnection::Fits(const Url& target, const ProxyServer& proxy, SteadyTime now)
{
    if (!socket.IsOpen() || !idle || now >= idleUntil || origin != Origin(target, proxy))
        return false;
    return socket.WaitReadable(0, nullptr) == SocketResult::TimedOut;
}

uint32_t KeptConnection::KeepLimitMs(const std::string& head, int framing)
{
    using Kind = BodyFraming::Kind;
    const auto kind = static_cast<Kind>(framing);
    if (kind != Kind::None && kind != Kind::Length && kind != Kind::Chunked)
        return 0;
    // Before 1.1, a connection ends with its answer unless both sides agree
    // otherwise, which this client does not ask for.
    if (head.compare(0, 9, "HTTP/1.1 ") != 0 || ParseStatusCode(head) == 101)
        return 0;
    for (const std::string& value : HeaderValues(head, "Connection")) {
        if (ListHas(value, "close"))
            return 0;
    }
    uint32_t limit = kIdleLimitMs;
    for (const std::string& value : HeaderValues(head, "Keep-Alive")) {
        for (std::string_view element : ListElements(value)) {
            const std::string_view name = "timeout=";
            if (element.size() <= name.size() || !EqualsNoCase(element.substr(0, name.size()), name))
                continue;
            uint32_t seconds = 0;
            for (char c : element.substr(name.size())) {
                if (c < '0' || c > '9')
                    return limit;  // not a number: the server said nothing usable
                seconds = std::min<uint32_t>(seconds * 10 + static_cast<uint32_t>(c - '0'), kIdleLimitMs);
            }
            limit = std::min(limit, seconds * 1000);
        }
    }
    return limit;
}
