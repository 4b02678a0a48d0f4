#pragma once
#include "http/Socket.h"

#include <vector>

// A listener that never accepts, with its queue full: a further connect to
// it gets no answer at all (the SYN is dropped), just like a host that has
// gone silent. The one way to make a connect hang on loopback.
class FilledBacklog {
public:
    FilledBacklog() : listener(Socket::Listen("127.0.0.1", 0, 0))
    {
        uint32_t address = 0;
        if (!listener.IsOpen() || Socket::ResolveIPv4("127.0.0.1", address) != ResolveResult::Ok)
            return;
        for (int attempt = 0; attempt < 32 && !full; ++attempt) {
            Socket filler;
            if (!filler.Create() || !filler.SetNonBlocking())
                return;
            SocketResult result = filler.Connect(address, listener.LocalPort(), 500, nullptr);
            if (result == SocketResult::TimedOut)
                full = true;
            else if (result == SocketResult::Ok)
                fillers.push_back(std::move(filler));
            else
                return;
        }
    }

    // False where the platform accepted every attempt (then the caller skips).
    bool Full() const { return full; }
    uint16_t Port() const { return listener.LocalPort(); }

private:
    Socket listener;
    std::vector<Socket> fillers;
    bool full = false;
};
