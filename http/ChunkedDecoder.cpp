#include "http/ChunkedDecoder.h"

#include <algorithm>

namespace {
int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
}  // namespace

ChunkedDecoder::Result ChunkedDecoder::Feed(const char* data, size_t size, std::string& body, size_t& consumed)
{
    consumed = 0;
    while (consumed < size) {
        if (state == State::Done)
            return Result::Done;
        if (state == State::Failed)
            return failure;
        if (state == State::Data) {
            // Chunk data goes across in one piece, not byte by byte.
            size_t take = std::min(chunkLeft, size - consumed);
            body.append(data + consumed, take);
            consumed += take;
            chunkLeft -= take;
            if (chunkLeft == 0)
                state = State::DataCR;
            continue;
        }
        Result result = Step(data[consumed], body);
        ++consumed;
        if (result != Result::NeedMore)
            return result;
    }
    if (state == State::Failed)
        return failure;
    return state == State::Done ? Result::Done : Result::NeedMore;
}

ChunkedDecoder::Result ChunkedDecoder::Step(char byte, std::string& body)
{
    auto fail = [this](Result why) {
        state = State::Failed;
        failure = why;
        return why;
    };
    // The one byte that may come next, and the state it leads to.
    auto expect = [&](char wanted, State next) {
        if (byte != wanted)
            return fail(Result::Malformed);
        state = next;
        return Result::NeedMore;
    };
    if (++lineLength > kMaxSizeLine && (state == State::Size || state == State::SizeBlank || state == State::Extension))
        return fail(Result::Malformed);
    switch (state) {
    case State::Size: {
        int value = HexValue(byte);
        if (value >= 0) {
            ++digits;
            // The size may never pass what the body has room for; checking
            // before the shift also rules out any overflow.
            size_t room = maxBody - std::min(maxBody, body.size());
            if (static_cast<size_t>(value) > room || chunkLeft > (room - static_cast<size_t>(value)) / 16)
                return fail(Result::TooLarge);
            chunkLeft = chunkLeft * 16 + static_cast<size_t>(value);
            return Result::NeedMore;
        }
        if (digits == 0)
            return fail(Result::Malformed);
        if (byte == ';' || byte == ' ' || byte == '\t') {
            state = byte == ';' ? State::Extension : State::SizeBlank;
            return Result::NeedMore;
        }
        if (byte == '\r') {
            state = State::SizeEnd;
            return Result::NeedMore;
        }
        return fail(Result::Malformed);
    }
    case State::SizeBlank:
        // Blanks after the size may only lead to an extension or the end.
        if (byte == ';')
            state = State::Extension;
        else if (byte == '\r')
            state = State::SizeEnd;
        else if (byte != ' ' && byte != '\t')
            return fail(Result::Malformed);
        return Result::NeedMore;
    case State::Extension:
        if (byte == '\r')
            state = State::SizeEnd;
        else if (byte == '\n')
            return fail(Result::Malformed);
        return Result::NeedMore;
    case State::SizeEnd:
        lineLength = 0;
        digits = 0;
        return expect('\n', chunkLeft == 0 ? State::TrailerStart : State::Data);
    case State::DataCR:
        return expect('\r', State::DataLF);
    case State::DataLF:
        lineLength = 0;
        return expect('\n', State::Size);
    case State::TrailerStart:
    case State::Trailer:
        // lineLength counts the whole trailer section here.
        if (lineLength > kMaxTrailer)
            return fail(Result::TooLarge);
        if (byte == '\n')
            return fail(Result::Malformed);
        if (byte == '\r')
            state = state == State::TrailerStart ? State::FinalLF : State::TrailerLF;
        else
            state = State::Trailer;
        return Result::NeedMore;
    case State::TrailerLF:
        return expect('\n', State::TrailerStart);
    case State::FinalLF:
        return expect('\n', State::Done) == Result::NeedMore ? Result::Done : failure;
    case State::Data:
    case State::Done:
    case State::Failed:
        break;
    }
    return fail(Result::Malformed);
}
