#include "tests/support/LocalFeed.h"

#include <cstdlib>

#ifndef QB_FEED_EXE
#error "QB_FEED_EXE must name the quillbrae-feed program"
#endif

LocalFeed::LocalFeed(const std::vector<std::string>& arguments, const std::string& directory)
{
    Start(QB_FEED_EXE, arguments, directory);
}

uint16_t LocalFeed::WaitListening(std::chrono::milliseconds limit)
{
    WaitOutput([](const std::string& output) { return ListeningPort(output) != 0; }, limit);
    port = ListeningPort(Output());
    return port;
}

std::string LocalFeed::Url() const
{
    return LoopbackUrl(port);
}

uint16_t ListeningPort(const std::string& output)
{
    static const std::string kMarker = "listening on ";
    const std::size_t at = output.find(kMarker);
    const std::size_t lineEnd = at == std::string::npos ? std::string::npos : output.find('\n', at);
    if (lineEnd == std::string::npos)
        return 0;
    const std::string address = output.substr(at + kMarker.size(), lineEnd - at - kMarker.size());
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos || colon + 1 >= address.size())
        return 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(address.c_str() + colon + 1, &end, 10);
    const bool digitsOnly = *end == '\0' || *end == '\r';
    return digitsOnly && value <= 65535 ? static_cast<uint16_t>(value) : 0;
}

std::string LoopbackUrl(uint16_t port, const std::string& path)
{
    return "http://127.0.0.1:" + std::to_string(port) + path;
}
