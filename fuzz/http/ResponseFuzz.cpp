// Arbitrary server bytes through the client's byte stream: header block,
// status line, body framing, chunked decoding, Location extraction. The
// first byte picks how the bytes arrive and how the stream ends.
#include "http/ChunkedDecoder.h"
#include "http/HttpClient.h"
#include "tests/support/MemoryStream.h"

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // ReadBody reports each expected length on standard output; keep the
    // fuzzer's own output readable.
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    static const size_t pieces[] = {1, 2, 7, 1 << 20};
    static const MemoryStream::Ending endings[] = {MemoryStream::Ending::Close, MemoryStream::Ending::Silence,
                                                   MemoryStream::Ending::Reset, MemoryStream::Ending::Close};

    MemoryStream stream(bytes, pieces[mode & 3], endings[(mode >> 2) & 3]);
    HttpClient client;
    client.UseStream(&stream);
    int sent = client.SendRequest((mode & 0x10) ? "HEAD" : "GET");
    std::string body = client.ReadBody();

    // What the client promises whatever the server sends.
    if (client.ResponseHeaders().size() > HttpClient::kMaxHeaderBytes || body.size() > HttpClient::kMaxBodyBytes)
        __builtin_trap();
    if (client.BodyStatus() != HttpClient::kOk && !body.empty())
        __builtin_trap();
    if (sent != HttpClient::kOk && !body.empty())
        __builtin_trap();
    if (client.StatusCode() != 0 && (client.StatusCode() < 100 || client.StatusCode() > 999))
        __builtin_trap();

    std::string target = HttpClient::ExtractLocation(client.ResponseHeaders(), "http://base.example/a/b;p?q");
    if (!target.empty() && target.compare(0, 7, "http://") != 0 && target.compare(0, 8, "https://") != 0)
        __builtin_trap();
    client.GetHeaderValue("Content-Length");

    // The decoder alone, on the same bytes, must agree with itself however
    // they are split.
    ChunkedDecoder whole(1 << 16);
    ChunkedDecoder bytewise(1 << 16);
    std::string wholeBody;
    std::string bytewiseBody;
    size_t used = 0;
    ChunkedDecoder::Result wholeResult = whole.Feed(bytes.data(), bytes.size(), wholeBody, used);
    ChunkedDecoder::Result bytewiseResult = ChunkedDecoder::Result::NeedMore;
    for (size_t at = 0; at < bytes.size() && bytewiseResult == ChunkedDecoder::Result::NeedMore; ++at)
        bytewiseResult = bytewise.Feed(bytes.data() + at, 1, bytewiseBody, used);
    if (wholeResult != bytewiseResult || wholeBody != bytewiseBody)
        __builtin_trap();
    return 0;
}
