#pragma once
#include "http/ByteStream.h"

#include <algorithm>
#include <cstring>
#include <string>

// A ByteStream that plays back bytes from memory, at most `piece` bytes per
// receive (1 feeds a reader byte by byte), and then ends the way a server
// would: closed, silent, or reset. Whatever is sent to it is kept in
// `sent`. For tests and fuzzers: no waiting ever happens.
class MemoryStream final : public ByteStream {
public:
    enum class Ending { Close, Silence, Reset };

    MemoryStream(std::string bytes, size_t piece, Ending ending = Ending::Close)
        : input(std::move(bytes)), pieceSize(std::max<size_t>(piece, 1)), end(ending)
    {
    }

    SocketResult SendAll(const char* data, size_t size, const std::atomic<bool>*) override
    {
        sent.append(data, size);
        return SocketResult::Ok;
    }

    long Receive(char* buffer, size_t size, uint32_t, const std::atomic<bool>*) override
    {
        if (offset < input.size()) {
            size_t take = std::min({size, pieceSize, input.size() - offset});
            std::memcpy(buffer, input.data() + offset, take);
            offset += take;
            return static_cast<long>(take);
        }
        switch (end) {
        case Ending::Close:
            return kReceiveClosed;
        case Ending::Silence:
            return kReceiveTimedOut;
        case Ending::Reset:
            break;
        }
        return kReceiveFailed;
    }

    // Bytes not taken by the reader yet.
    size_t Left() const { return input.size() - offset; }

    std::string sent;

private:
    std::string input;
    size_t pieceSize;
    Ending end;
    size_t offset = 0;
};
