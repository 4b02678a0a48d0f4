#pragma once
#include <cstddef>
#include <string>

// Decodes a body sent with "Transfer-Encoding: chunked" as it arrives, in
// pieces of any size (one byte at a time works as well as all at once).
// Bytes in, chunk data appended to the caller's string, nothing else kept.
// Strict where a guess would be dangerous: sizes are hex digits only and
// checked for overflow against the body cap, every line ends in CR LF;
// chunk extensions and trailer fields are skipped, within bounds.
class ChunkedDecoder {
public:
    enum class Result {
        NeedMore,   // everything given was used; the body is not complete yet
        Done,       // the last chunk and the trailer section have ended
        Malformed,  // the bytes are not a chunked body
        TooLarge,   // the body would pass `maxBody` bytes
    };

    // Longest size line (digits plus extensions) and trailer section taken.
    static constexpr size_t kMaxSizeLine = 4096;
    static constexpr size_t kMaxTrailer = 64 * 1024;

    explicit ChunkedDecoder(size_t bodyCap) : maxBody(bodyCap) {}

    // Takes bytes from `data` and appends chunk data to `body` (which holds
    // only what this decoder appended). `consumed` is the number of bytes
    // used; it is less than `size` only when the result is Done (the rest
    // is not part of the body) or an error.
    Result Feed(const char* data, size_t size, std::string& body, size_t& consumed);

private:
    enum class State {
        Size,
        SizeBlank,
        Extension,
        SizeEnd,
        Data,
        DataCR,
        DataLF,
        TrailerStart,
        Trailer,
        TrailerLF,
        FinalLF,
        Done,
        Failed
    };

    Result Step(char byte, std::string& body);

    size_t maxBody;
    State state = State::Size;
    size_t chunkLeft = 0;   // Size: the size read so far; Data: bytes still to come
    size_t lineLength = 0;  // size line or trailer bytes seen
    size_t digits = 0;
    Result failure = Result::Malformed;
};
