// The byte-level pieces of the client, fed from memory: URL handling,
// header lookup, body framing, chunked decoding, Location resolution.
#include "http/ChunkedDecoder.h"
#include "http/HttpClient.h"
#include "http/ResponseHead.h"
#include "http/Url.h"
#include "tests/support/MemoryStream.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(ParseUrl, TakesBothSchemesInAnyCaseAndKeepsTheHostAsWritten)
{
    using S = Url::Scheme;
    struct Case {
        std::string text;
        UrlError error;
        S scheme;
        std::string hostPort;
        std::string host;
        uint16_t port;
        std::string target;
    };
    const Case cases[] = {
        {"http://rates.example/rate/neo/rate.asp", UrlError::None, S::Http, "rates.example", "rates.example",
         80, "/rate/neo/rate.asp"},
        {"http://host:8080/a?b=c#d", UrlError::None, S::Http, "host:8080", "host", 8080, "/a?b=c"},
        {"HTTP://Host/x", UrlError::None, S::Http, "Host", "Host", 80, "/x"},
        {"https://api.example/v1/latest?base=EUR", UrlError::None, S::Https, "api.example", "api.example",
         443, "/v1/latest?base=EUR"},
        {"HtTpS://127.0.0.1:8443", UrlError::None, S::Https, "127.0.0.1:8443", "127.0.0.1", 8443, "/"},
        {"https://host:", UrlError::None, S::Https, "host:", "host", 443, "/"},
        {"http://host?q", UrlError::None, S::Http, "host", "host", 80, "/?q"},
        {"see http://host/x", UrlError::Scheme, S::Http, "", "", 0, ""},
        {"ftp://host/x", UrlError::Scheme, S::Http, "", "", 0, ""},
        {"httpx://host/x", UrlError::Scheme, S::Http, "", "", 0, ""},
        {"", UrlError::Scheme, S::Http, "", "", 0, ""},
        {"/relative", UrlError::Scheme, S::Http, "", "", 0, ""},
        {"http:/x", UrlError::NoHost, S::Http, "", "", 0, ""},
        {"https:///x", UrlError::NoHost, S::Http, "", "", 0, ""},
        {"http://user:pw@host/x", UrlError::NoHost, S::Http, "", "", 0, ""},
        {"http://host:65536/", UrlError::Port, S::Http, "", "", 0, ""},
        {"https://host:44x3/", UrlError::Port, S::Http, "", "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Url url;
        url.target = "(old)";
        ASSERT_EQ(ParseUrl(c.text, url), c.error);
        if (c.error != UrlError::None) {
            EXPECT_EQ(url.target, "(old)");
            continue;
        }
        EXPECT_EQ(url.scheme, c.scheme);
        EXPECT_EQ(url.hostPort, c.hostPort);
        EXPECT_EQ(url.host, c.host);
        EXPECT_EQ(url.port, c.port);
        EXPECT_EQ(url.target, c.target);
        EXPECT_EQ(url.Text(), (c.scheme == S::Https ? "https://" : "http://") + c.hostPort + c.target);
    }
}

TEST(HttpFailureText, EveryFailureHasACodeAndWordsOfItsOwn)
{
    using F = HttpFailure;
    const int codes[] = {
        F::kConnectRefused,    F::kLookupFailed,    F::kNoAddress,        F::kSocketFailed,
        F::kTimedOut,          F::kTooLarge,        F::kStopped,          F::kMalformed,
        F::kNonBlockingFailed, F::kConnectTimedOut, F::kBadUrl,           F::kNoHost,
        F::kBadPort,           F::kSendFailed,      F::kCutShort,         F::kConnectionReset,
        F::kNoAnswer,          F::kNotConnected,    F::kRedirectToHttp,   F::kTlsFailed,
        F::kTlsAlert,          F::kTlsCutShort,     F::kTlsCorrupt,       F::kCertUntrusted,
        F::kCertWrongName,     F::kCertExpired,     F::kCertNotYetValid,  F::kCertRevoked,
        F::kCertWrongUsage,    F::kCertUnreadable,  F::kHttpsUnsupported,
    };
    std::set<int> values;
    std::set<std::string> texts;
    for (int code : codes) {
        EXPECT_LT(code, 0);
        values.insert(code);
        texts.insert(HttpFailureText(code));
    }
    EXPECT_EQ(values.size(), std::size(codes));
    EXPECT_EQ(texts.size(), std::size(codes));
    EXPECT_EQ(texts.count("unknown failure"), 0u);
    EXPECT_STREQ(HttpFailureText(F::kOk), "");
    EXPECT_STREQ(HttpFailureText(-19), "unknown failure");
    EXPECT_STREQ(HttpFailureText(F::kCertWrongName), "certificate for another name");
}

TEST(ParseIpv4Literal, TakesOnlyFourDecimalBytes)
{
    const std::pair<std::string, bool> cases[] = {
        {"127.0.0.1", true},  {"0.0.0.0", true},   {"255.255.255.255", true},
        {"256.0.0.1", false}, {"1.2.3", false},    {"1.2.3.4.5", false},
        {"01.2.3.4", false},  {"1.2.3.4 ", false}, {"localhost", false},
        {"1..3.4", false},    {"", false},         {"1.2.3.1000", false},
    };
    for (const auto& c : cases) {
        unsigned char bytes[4] = {9, 9, 9, 9};
        EXPECT_EQ(ParseIpv4Literal(c.first, bytes), c.second) << c.first;
    }
    unsigned char bytes[4] = {};
    ASSERT_TRUE(ParseIpv4Literal("10.20.30.255", bytes));
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[3], 255);
}

TEST(SplitHostPort, TakesTheWrittenPortOr80)
{
    struct Case {
        std::string hostPort;
        bool ok;
        std::string name;
        uint16_t port;
    };
    const Case cases[] = {
        {"host", true, "host", 80},    {"host:8080", true, "host", 8080},   {"1.2.3.4:1", true, "1.2.3.4", 1},
        {"host:", true, "host", 80},   {"host:65535", true, "host", 65535}, {"host:0", false, "", 0},
        {"host:65536", false, "", 0},  {"host:8o", false, "", 0},           {"host:-1", false, "", 0},
        {"host:000080", false, "", 0},
    };
    for (const Case& c : cases) {
        std::string name;
        uint16_t port = 0;
        ASSERT_EQ(SplitHostPort(c.hostPort, name, port), c.ok) << c.hostPort;
        if (c.ok) {
            EXPECT_EQ(name, c.name) << c.hostPort;
            EXPECT_EQ(port, c.port) << c.hostPort;
        }
    }
}

TEST(ResolveReference, FollowsTheExamplesOfRfc3986)
{
    // RFC 3986 sections 5.4.1 and 5.4.2.
    const std::string base = "http://a/b/c/d;p?q";
    const std::pair<const char*, const char*> cases[] = {
        {"g:h", "g:h"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../", "http://a/"},
        {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/./x", "http://a/b/c/g#s/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http:g"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveReference(base, c.first), c.second) << c.first;
    EXPECT_EQ(ResolveReference("http://a", "g"), "http://a/g");
    EXPECT_EQ(ResolveReference("no scheme", "g"), "");
}

TEST(HeaderValues, MatchesNamesInAnyCaseAtTheStartOfALineOnly)
{
    const std::string block = "HTTP/1.1 200 OK\r\n"
                              "X-Content-Length: 7\r\n"
                              "content-length:123\r\n"
                              "Server: Content-Length: 9\r\n"
                              "CONTENT-LENGTH: \t 45 \t\r\n"
                              "Content-Type: text/plain; charset=x\r\n"
                              "Empty:\r\n"
                              "\r\n";
    EXPECT_EQ(HeaderValues(block, "Content-Length"), (std::vector<std::string>{"123", "45"}));
    EXPECT_EQ(HeaderValues(block, "Empty"), std::vector<std::string>{""});
    EXPECT_TRUE(HeaderValues(block, "HTTP/1.1 200 OK").empty());
    EXPECT_TRUE(HeaderValues(block, "Length").empty());
    EXPECT_TRUE(HeaderValues(block, "").empty());

    MemoryStream whole(block, 7);
    HttpClient client;
    client.UseStream(&whole);
    ASSERT_EQ(client.SendRequest("GET"), HttpClient::kOk);
    EXPECT_EQ(client.GetHeaderValue("content-length"), "123");
    EXPECT_EQ(client.GetHeaderValue("Content-Type"), "text/plain");  // ends before ";"
    EXPECT_EQ(client.GetHeaderValue("Missing"), "");
    // A block cut off inside a header line still reads safely.
    MemoryStream cut("HTTP/1.1 200 OK\r\nContent-Length:", 7);
    client.UseStream(&cut);
    EXPECT_EQ(client.SendRequest("GET"), HttpClient::kNoAnswer);
    EXPECT_EQ(client.ResponseHeaders(), "HTTP/1.1 200 OK\r\nContent-Length:");
    EXPECT_EQ(client.GetHeaderValue("Content-Length"), "");
}

TEST(ParseStatusCode, ReadsOnlyAWellFormedStatusLine)
{
    const std::pair<std::string, int> cases[] = {
        {"HTTP/1.1 200 OK\r\n", 200}, {"HTTP/1.0 404 Not Found\r\n", 404},
        {"HTTP/1.1 204\r\n", 204},    {"HTTP/1.1 999 x\r\n", 999},
        {"HTTP/1.1 20 OK\r\n", 0},    {"HTTP/1.1 2000 OK\r\n", 0},
        {"http/1.1 200 OK\r\n", 0},   {" HTTP/1.1 200 OK\r\n", 0},
        {"HTTP/1.1  200 OK\r\n", 0},  {"HTTP/11 200 OK\r\n", 0},
        {"ICY 200 OK\r\n", 0},        {"HTTP/1.1 200", 0},
        {"HTTP/1.1 002 OK\r\n", 0},   {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseStatusCode(c.first), c.second) << c.first;
}

TEST(DecideFraming, ChoosesChunkedThenLengthThenClose)
{
    using Kind = BodyFraming::Kind;
    struct Case {
        std::string headers;
        int status;
        std::string method;
        Kind kind;
        size_t length;
    };
    const size_t cap = 1000;
    const Case cases[] = {
        {"Content-Length: 10\r\n", 200, "GET", Kind::Length, 10},
        {"Content-Length: 0\r\n", 200, "GET", Kind::Length, 0},
        {"Content-Length: 10\r\nContent-Length: 10\r\n", 200, "GET", Kind::Length, 10},
        {"Content-Length: 10, 10\r\n", 200, "GET", Kind::Length, 10},
        {"Content-Length: 10\r\nContent-Length: 11\r\n", 200, "GET", Kind::Malformed, 0},
        {"Content-Length: 10, 11\r\n", 200, "GET", Kind::Malformed, 0},
        {"Content-Length: -1\r\n", 200, "GET", Kind::Malformed, 0},
        {"Content-Length: +5\r\n", 200, "GET", Kind::Malformed, 0},
        {"Content-Length: 12abc\r\n", 200, "GET", Kind::Malformed, 0},
        {"Content-Length: 1 2\r\n", 200, "GET", Kind::Malformed, 0},
        {"Content-Length:\r\n", 200, "GET", Kind::Malformed, 0},
        {"Content-Length: 1000\r\n", 200, "GET", Kind::Length, 1000},
        {"Content-Length: 1001\r\n", 200, "GET", Kind::TooLarge, 1001},
        {"Content-Length: 99999999999999999999999999\r\n", 200, "GET", Kind::TooLarge, 1001},
        {"Transfer-Encoding: chunked\r\nContent-Length: 10\r\n", 200, "GET", Kind::Chunked, 0},
        {"transfer-encoding: Chunked\r\n", 200, "GET", Kind::Chunked, 0},
        {"Transfer-Encoding: gzip, chunked\r\n", 200, "GET", Kind::Malformed, 0},
        {"Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n", 200, "GET", Kind::Malformed, 0},
        {"", 200, "GET", Kind::UntilClose, 0},
        {"X-Content-Length: 10\r\n", 500, "GET", Kind::UntilClose, 0},
        {"Content-Length: 10\r\n", 200, "HEAD", Kind::None, 0},
        {"Content-Length: 10\r\n", 204, "GET", Kind::None, 0},
        {"Content-Length: 10\r\n", 304, "GET", Kind::None, 0},
        {"", 101, "GET", Kind::None, 0},
        {"Content-Length: 10\r\n", 0, "GET", Kind::Malformed, 0},
    };
    for (const Case& c : cases) {
        std::string block = "HTTP/1.1 " + std::to_string(c.status) + " X\r\n" + c.headers + "\r\n";
        BodyFraming framing = DecideFraming(block, c.status, c.method, cap);
        EXPECT_EQ(framing.kind, c.kind) << c.headers << c.status;
        if (c.kind == Kind::Length || c.kind == Kind::TooLarge) {
            EXPECT_EQ(framing.length, c.length) << c.headers;
        }
    }
}

// Feeds a chunked body whole, byte by byte, and split at every position.
struct ChunkedCase {
    std::string input;
    ChunkedDecoder::Result result;
    std::string body;
    size_t rest;  // bytes after the end of the body that must stay unused
};

std::string DecodeInPieces(const std::string& input, size_t piece, ChunkedDecoder::Result& result,
                           size_t& unused, size_t cap = 1 << 20)
{
    ChunkedDecoder decoder(cap);
    std::string body;
    unused = 0;
    result = ChunkedDecoder::Result::NeedMore;
    for (size_t at = 0; at < input.size(); at += piece) {
        size_t size = std::min(piece, input.size() - at);
        size_t used = 0;
        result = decoder.Feed(input.data() + at, size, body, used);
        if (result != ChunkedDecoder::Result::NeedMore) {
            unused = input.size() - at - used;
            break;
        }
        EXPECT_EQ(used, size);
    }
    return body;
}

TEST(ChunkedDecoder, DecodesAnySplitOfTheSameBytesAlike)
{
    using R = ChunkedDecoder::Result;
    const ChunkedCase cases[] = {
        {"5\r\nhello\r\n0\r\n\r\n", R::Done, "hello", 0},
        {"5\r\nhello\r\n6\r\n world\r\n0\r\n\r\nEXTRA", R::Done, "hello world", 5},
        {"A\r\n0123456789\r\n0\r\n\r\n", R::Done, "0123456789", 0},
        {"a;name=value;x\r\n0123456789\r\n0;last\r\n\r\n", R::Done, "0123456789", 0},
        {"3 ;ext\r\nabc\r\n0  \r\n\r\n", R::Done, "abc", 0},
        {"003\r\na\0c\r\n0\r\nTrailer: x\r\nMore: y\r\n\r\n"s, R::Done, "a\0c"s, 0},
        {"0\r\n\r\n", R::Done, "", 0},
        {"5\r\nhel", R::NeedMore, "hel", 0},
        {"5\r\nhello\r\n0\r\n", R::NeedMore, "hello", 0},
        {"\r\n", R::Malformed, "", 0},
        {"x\r\n", R::Malformed, "", 0},
        {"-5\r\nhello\r\n0\r\n\r\n", R::Malformed, "", 0},
        {"0x5\r\nhello\r\n0\r\n\r\n", R::Malformed, "", 0},
        {"5 x\r\nhello\r\n0\r\n\r\n", R::Malformed, "", 0},
        {"5\nhello\r\n0\r\n\r\n", R::Malformed, "", 0},
        {"5\r\nhelloX\r\n0\r\n\r\n", R::Malformed, "hello", 0},
        {"5\r\nhello\r0\r\n\r\n", R::Malformed, "hello", 0},
        {"0\r\n\r\r", R::Malformed, "", 0},
        {"0\r\nTrailer\n\r\n", R::Malformed, "", 0},
        {"ffffffffffffffffffff\r\n", R::TooLarge, "", 0},
        {"100001\r\n", R::TooLarge, "", 0},
    };
    for (const ChunkedCase& c : cases) {
        for (size_t piece : {c.input.size(), size_t{1}, size_t{2}, size_t{3}, size_t{7}}) {
            if (piece == 0)
                continue;
            ChunkedDecoder::Result result;
            size_t unused = 0;
            std::string body = DecodeInPieces(c.input, piece, result, unused);
            EXPECT_EQ(result, c.result) << c.input << " in pieces of " << piece;
            EXPECT_EQ(body, c.body) << c.input << " in pieces of " << piece;
            if (c.result == R::Done) {
                EXPECT_EQ(unused, c.rest) << c.input << " in pieces of " << piece;
            }
        }
    }
}

TEST(ChunkedDecoder, BoundsSizesExtensionsAndTrailers)
{
    using R = ChunkedDecoder::Result;
    R result;
    size_t unused = 0;
    // The cap counts the body across chunks.
    DecodeInPieces("5\r\nhello\r\n6\r\n", 4, result, unused, 10);
    EXPECT_EQ(result, R::TooLarge);
    DecodeInPieces("5\r\nhello\r\n5\r\nworld\r\n0\r\n\r\n", 4, result, unused, 10);
    EXPECT_EQ(result, R::Done);
    // Endless zeros, an endless extension or trailer end the body.
    DecodeInPieces(std::string(ChunkedDecoder::kMaxSizeLine + 1, '0'), 100, result, unused);
    EXPECT_EQ(result, R::Malformed);
    DecodeInPieces("1;" + std::string(ChunkedDecoder::kMaxSizeLine, 'x'), 100, result, unused);
    EXPECT_EQ(result, R::Malformed);
    std::string trailer = "0\r\n";
    while (trailer.size() < ChunkedDecoder::kMaxTrailer + 100)
        trailer += "X-Filler: 0123456789\r\n";
    DecodeInPieces(trailer, 1000, result, unused);
    EXPECT_EQ(result, R::TooLarge);
}

TEST(ExtractLocation, TakesAbsoluteHttpTargetsAndResolvesRelativeOnes)
{
    const std::string base = "http://rates.example:8080/rate/neo/rate.asp?x=1";
    const std::pair<std::string, std::string> cases[] = {
        {"Location: http://other.example/new\r\n", "http://other.example/new"},
        {"location: http://other.example/new\r\n", "http://other.example/new"},
        {"LOCATION:http://other.example/new \t\r\n", "http://other.example/new"},
        {"Location: HTTP://Other.example/New\r\n", "http://Other.example/New"},
        {"Location: /moved/here\r\n", "http://rates.example:8080/moved/here"},
        {"Location: ../list.csv\r\n", "http://rates.example:8080/rate/list.csv"},
        {"Location: ?x=2\r\n", "http://rates.example:8080/rate/neo/rate.asp?x=2"},
        {"Location: //mirror.example/r\r\n", "http://mirror.example/r"},
        {"Location: https://secure.example/r\r\n", "https://secure.example/r"},
        {"Location: HTTPS://secure.example:8443\r\n", "https://secure.example:8443/"},
        {"Location: ftp://files.example/r\r\n", ""},
        {"Location: http:///no-host\r\n", ""},
        {"Location: http://a.example/with space\r\n", ""},
        {"Location:\r\n", ""},
        {"X-Location: http://wrong.example/\r\n", ""},
        {"Server: http://wrong.example/\r\nLocation: /ok\r\n", "http://rates.example:8080/ok"},
        {"Link: <http://wrong.example/>\r\n", ""},
    };
    for (const auto& c : cases) {
        std::string block = "HTTP/1.1 302 Found\r\n" + c.first + "\r\n";
        EXPECT_EQ(HttpClient::ExtractLocation(block, base), c.second) << c.first;
    }
    // Without a base a relative target cannot be placed.
    EXPECT_EQ(HttpClient::ExtractLocation("HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n"), "");
}

}  // namespace

TEST(ParseUrl, TakesIpv6LiteralsInBracketsAndRefusesASecondPort)
{
    struct Case {
        std::string text;
        UrlError error;
        std::string hostPort;
        std::string host;
        uint16_t port;
    };
    const Case cases[] = {
        {"http://[::1]:8080/", UrlError::None, "[::1]:8080", "::1", 8080},
        {"http://[::1]/", UrlError::None, "[::1]", "::1", 80},
        {"https://[::1]/", UrlError::None, "[::1]", "::1", 443},
        {"http://[::1]:/x", UrlError::None, "[::1]:", "::1", 80},
        {"http://[2001:DB8::a:1]:1", UrlError::None, "[2001:DB8::a:1]:1", "2001:DB8::a:1", 1},
        {"http://[::ffff:127.0.0.1]:81/", UrlError::None, "[::ffff:127.0.0.1]:81", "::ffff:127.0.0.1", 81},
        {"http://h:80:81/", UrlError::Port, "", "", 0},
        {"http://h::81/", UrlError::Port, "", "", 0},
        {"http://::1/", UrlError::Port, "", "", 0},
        {"http://[::1]:8080:81/", UrlError::Port, "", "", 0},
        {"http://[::1]8080/", UrlError::Port, "", "", 0},
        {"http://[::1]:65536/", UrlError::Port, "", "", 0},
        {"http://[host]/", UrlError::Port, "", "", 0},
        {"http://[::1%25eth0]/", UrlError::Port, "", "", 0},
        {"http://[]/", UrlError::Port, "", "", 0},
        {"http://[::1/", UrlError::NoHost, "", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Url url;
        ASSERT_EQ(ParseUrl(c.text, url), c.error);
        if (c.error != UrlError::None)
            continue;
        EXPECT_EQ(url.hostPort, c.hostPort);
        EXPECT_EQ(url.host, c.host);
        EXPECT_EQ(url.port, c.port);
        EXPECT_EQ(url.Text(), c.text.substr(0, c.text.find(c.hostPort)) + c.hostPort + url.target);
    }
}
