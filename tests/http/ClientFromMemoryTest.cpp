// HttpClient reading responses handed to it from memory through its byte
// stream, whole and one byte at a time, and composing requests.
#include "base/Names.h"
#include "http/HttpClient.h"
#include "tests/support/MemoryStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using namespace std::string_literals;

const std::string kPage = names::kDefaultRatePath;

const std::string kAgentLine =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; .NET CLR 1.1.4322)\r\n";

std::string SentRequest(HttpClient& client, const std::string& method)
{
    MemoryStream stream("HTTP/1.1 204 No Content\r\n\r\n", 4096);
    client.UseStream(&stream);
    EXPECT_EQ(client.SendRequest(method), HttpClient::kOk);
    return stream.sent;
}

TEST(ClientRequest, ComposesTheRequestBytes)
{
    // A URL that names an unknown host: Open fails after taking it apart,
    // and the request goes to the stream given afterwards.
    HttpClient client;
    EXPECT_EQ(client.Open("http://rates.example.invalid" + kPage, 0), HttpClient::kLookupFailed);
    EXPECT_EQ(SentRequest(client, "GET"), "GET " + kPage + " HTTP/1.1\r\nAccept: */*\r\n" + kAgentLine +
                                              "Host: rates.example.invalid\r\nConnection: Keep-Alive\r\n\r\n");

    client.SetHeader("Zeta", "last");
    client.SetHeader("Alpha", "first");
    client.SetPostBody("a=1");
    const std::string headers = "Accept: */*\r\n" + kAgentLine +
                                "Host: rates.example.invalid\r\nAlpha: first\r\nZeta: last\r\nConnection: Keep-Alive\r\n\r\n";
    EXPECT_EQ(SentRequest(client, "POST"), "POST " + kPage + " HTTP/1.1\r\n" + headers + "a=1\r\n");
    EXPECT_EQ(SentRequest(client, "post"), "post " + kPage + " HTTP/1.1\r\n" + headers);

    client.SetRawRequest("RAW\r\n\r\n");
    EXPECT_EQ(SentRequest(client, "GET"), "RAW\r\n\r\n");
}

TEST(ClientRequest, FailsWithoutAConnection)
{
    HttpClient client;
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kNotConnected);
    EXPECT_EQ(client.ReadBody(), "");
    EXPECT_EQ(client.BodyStatus(), HttpClient::kNotConnected);
}

struct ResponseCase {
    const char* name;
    std::string response;
    std::string method;
    MemoryStream::Ending ending;
    int sendResult;
    int status;
    std::string body;
    int bodyStatus;
};

TEST(ClientResponse, ReadsEveryFramingAlikeWholeAndBytewise)
{
    using E = MemoryStream::Ending;
    using F = HttpFailure;
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const ResponseCase cases[] = {
        {"length", ok + "Content-Length: 10\r\n\r\n0123456789", "GET", E::Silence, 0, 200, "0123456789", 0},
        {"length, extra bytes stay", ok + "Content-Length: 3\r\n\r\nabcdef", "GET", E::Close, 0, 200, "abc", 0},
        {"length without a blank", ok + "content-length:5\r\n\r\nabcde", "GET", E::Close, 0, 200, "abcde", 0},
        {"zero bytes kept", ok + "Content-Length: 5\r\n\r\na\0b\0c"s, "GET", E::Close, 0, 200, "a\0b\0c"s, 0},
        {"length zero", ok + "Content-Length: 0\r\n\r\n", "GET", E::Silence, 0, 200, "", 0},
        {"short body", ok + "Content-Length: 10\r\n\r\n01234", "GET", E::Close, 0, 200, "", F::kCutShort},
        {"short body, silent", ok + "Content-Length: 10\r\n\r\n01234", "GET", E::Silence, 0, 200, "", F::kTimedOut},
        {"short body, reset", ok + "Content-Length: 10\r\n\r\n01234", "GET", E::Reset, 0, 200, "", F::kConnectionReset},
        {"conflicting lengths", ok + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", "GET", E::Close, 0, 200,
         "", F::kMalformed},
        {"negative length", ok + "Content-Length: -3\r\n\r\nabc", "GET", E::Close, 0, 200, "", F::kMalformed},
        {"chunked", ok + "Transfer-Encoding: chunked\r\n\r\n4\r\nab\r\n\r\n3;x\r\ncde\r\n0\r\nT: 1\r\n\r\n", "GET",
         E::Silence, 0, 200, "ab\r\ncde", 0},
        {"chunked, cut short", ok + "Transfer-Encoding: chunked\r\n\r\n4\r\nab", "GET", E::Close, 0, 200, "", F::kCutShort},
        {"chunked, bad size", ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\nab\r\n0\r\n\r\n", "GET", E::Close, 0, 200,
         "", F::kMalformed},
        {"until close", ok + "\r\nfirst piece, second piece", "GET", E::Close, 0, 200, "first piece, second piece", 0},
        {"until close, silent", ok + "\r\npartial", "GET", E::Silence, 0, 200, "", F::kTimedOut},
        {"until close, reset", ok + "\r\npartial", "GET", E::Reset, 0, 200, "", F::kConnectionReset},
        {"error status keeps body", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone", "GET", E::Close, 0,
         404, "gone", 0},
        {"HEAD", ok + "Content-Length: 10\r\n\r\n", "HEAD", E::Silence, 0, 200, "", 0},
        {"204", "HTTP/1.1 204 No Content\r\nContent-Length: 3\r\n\r\nabc", "GET", E::Silence, 0, 204, "", 0},
        {"304", "HTTP/1.1 304 Not Modified\r\n\r\n", "GET", E::Silence, 0, 304, "", 0},
        {"interim response skipped",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early\r\nLink: x\r\n\r\n" + ok + "Content-Length: 2\r\n\r\nhi",
         "GET", E::Close, 0, 200, "hi", 0},
        {"101", "HTTP/1.1 101 Switching\r\nUpgrade: x\r\n\r\nframes", "GET", E::Close, 0, 101, "", 0},
        {"not HTTP", "SSH-2.0-OpenSSH\r\n\r\nabc", "GET", E::Close, 0, 0, "", F::kMalformed},
        {"header cut short", ok + "Content-Length: 10\r\n", "GET", E::Close, F::kNoAnswer, 0, "", F::kNoAnswer},
        {"header silence", ok + "Content-Le", "GET", E::Silence, F::kTimedOut, 0, "", F::kTimedOut},
        {"header reset", ok, "GET", E::Reset, F::kConnectionReset, 0, "", F::kConnectionReset},
        {"nothing at all", "", "GET", E::Close, F::kNoAnswer, 0, "", F::kNoAnswer},
    };
    for (const ResponseCase& c : cases) {
        for (size_t piece : {size_t{1}, size_t{3}, size_t{1} << 20}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            MemoryStream stream(c.response, piece, c.ending);
            HttpClient client;
            client.UseStream(&stream);
            EXPECT_EQ(client.SendRequest(c.method), c.sendResult);
            EXPECT_EQ(client.StatusCode(), c.status);
            if (c.status != 0) {
                // The header block is the last one and ends at its empty
                // line, however much of the body came with its last piece.
                size_t start = c.response.rfind("HTTP/1.1 ");
                size_t end = c.response.find("\r\n\r\n", start) + 4;
                EXPECT_EQ(client.ResponseHeaders(), c.response.substr(start, end - start));
            }
            EXPECT_EQ(client.ReadBody(), c.body);
            EXPECT_EQ(client.BodyStatus(), c.bodyStatus);
            // The body is taken once.
            EXPECT_EQ(client.ReadBody(), "");
        }
    }
}

TEST(ClientResponse, CapsTheHeaderBlock)
{
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n";
    std::string filler = "X-Filler: " + std::string(HttpClient::kMaxHeaderBytes, 'x');
    // Exactly at the cap the block is taken; one byte more is refused.
    std::string exact = head + filler.substr(0, HttpClient::kMaxHeaderBytes - head.size() - 4) + "\r\n\r\n";
    ASSERT_EQ(exact.size(), HttpClient::kMaxHeaderBytes);
    for (size_t extra : {size_t{0}, size_t{1}}) {
        std::string block = exact;
        block.insert(head.size(), extra, 'y');
        MemoryStream stream(block + "ok", 4096);
        HttpClient client;
        client.UseStream(&stream);
        EXPECT_EQ(client.SendRequest("GET"), extra ? HttpClient::kTooLarge : HttpClient::kOk);
        EXPECT_EQ(client.ReadBody(), extra ? "" : "ok");
        // Reading stopped at the cap: nothing past it was taken.
        EXPECT_EQ(stream.Left(), extra ? 3u : 0u);
    }
    // Endless interim responses count against the same cap.
    std::string interim;
    while (interim.size() <= HttpClient::kMaxHeaderBytes)
        interim += "HTTP/1.1 100 Continue\r\n\r\n";
    MemoryStream stream(interim, 4096);
    HttpClient client;
    client.UseStream(&stream);
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kTooLarge);
}

TEST(ClientResponse, CapsTheBody)
{
    const size_t cap = HttpClient::kMaxBodyBytes;
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    struct Case {
        std::string response;
        size_t bodySize;
        bool fits;
    };
    // Two chunks of just over half the cap each.
    char chunk[32];
    std::snprintf(chunk, sizeof chunk, "%zx\r\n", cap / 2 + 1);
    const Case cases[] = {
        {ok + "\r\n", cap, true},
        {ok + "\r\n", cap + 1, false},
        {ok + "Content-Length: " + std::to_string(cap) + "\r\n\r\n", cap, true},
        {ok + "Content-Length: " + std::to_string(cap + 1) + "\r\n\r\n", cap + 1, false},
    };
    for (const Case& c : cases) {
        MemoryStream stream(c.response + std::string(c.bodySize, 'r'), 1 << 20);
        HttpClient client;
        client.UseStream(&stream);
        ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
        EXPECT_EQ(client.ReadBody().size(), c.fits ? c.bodySize : 0u);
        EXPECT_EQ(client.BodyStatus(), c.fits ? HttpClient::kOk : HttpClient::kTooLarge);
    }
    MemoryStream stream(ok + "Transfer-Encoding: chunked\r\n\r\n" + chunk + std::string(cap / 2 + 1, 'r') + "\r\n" +
                            chunk + std::string(cap / 2 + 1, 'r') + "\r\n0\r\n\r\n",
                        1 << 20);
    HttpClient client;
    client.UseStream(&stream);
    ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
    EXPECT_EQ(client.ReadBody(), "");
    EXPECT_EQ(client.BodyStatus(), HttpClient::kTooLarge);
}

TEST(ClientResponse, ReportsTheExpectedLengthOnStandardOutput)
{
    const std::pair<std::string, std::string> cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789", "ContentLen:10\n"},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n", "ContentLen:0\n"},
        {"HTTP/1.1 200 OK\r\n\r\nabc", "ContentLen:0\n"},
        {"HTTP/1.1 204 No Content\r\n\r\n", "ContentLen:0\n"},
        {"", "ContentLen:0\n"},
    };
    for (const auto& c : cases) {
        MemoryStream stream(c.first, 4096);
        HttpClient client;
        client.UseStream(&stream);
        client.SendRequest("GET");
        testing::internal::CaptureStdout();
        client.ReadBody();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.second) << c.first;
    }
}

}  // namespace
