#include "http/SocketLibrary.h"

#ifdef _WIN32
#include <winsock2.h>

SocketLibrary::SocketLibrary()
{
    WSADATA data{};
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SocketLibrary::~SocketLibrary()
{
    if (started)
        WSACleanup();
}
#else
SocketLibrary::SocketLibrary() : started(true) {}

SocketLibrary::~SocketLibrary() = default;
#endif
