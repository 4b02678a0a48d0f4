// Reading requests, composing answers and routing them, without sockets.
#include "tools/feed/FeedOptions.h"
#include "tools/feed/FeedRequest.h"
#include "tools/feed/FeedService.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
const char* const kHost = "Host: 127.0.0.1:8080\r\n";

struct ParseCase {
    const char* name;
    std::string bytes;
    RequestParse::Outcome outcome;
    int errorStatus;  // Error only
    const char* method;  // Complete only
    const char* target;
    bool keepAlive;
    bool hasBody;
};

std::string Get(const std::string& headers, const char* version = "HTTP/1.1")
{
    return std::string("GET /rate/neo/rate.asp ") + version + "\r\n" + headers + "\r\n";
}

std::vector<ParseCase> ParseCases()
{
    const std::string widget = "GET /rate/neo/rate.asp HTTP/1.1\r\nAccept: */*\r\n"
                               "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0)\r\nHost: 127.0.0.1:8080\r\n"
                               "Connection: Keep-Alive\r\n\r\n";
    return {
        {"the widget's request", widget, RequestParse::Complete, 0, "GET", "/rate/neo/rate.asp", true, false},
        {"HEAD probe", "HEAD /rate/neo/rate.asp HTTP/1.1\r\nHost: h\r\n\r\n", RequestParse::Complete, 0, "HEAD",
         "/rate/neo/rate.asp", true, false},
        {"close asked", Get(std::string(kHost) + "Connection: close\r\n"), RequestParse::Complete, 0, "GET",
         "/rate/neo/rate.asp", false, false},
        {"names and options in any case", Get("hOsT: h\r\nCONNECTION: Upgrade, CLOSE\r\n"), RequestParse::Complete, 0,
         "GET", "/rate/neo/rate.asp", false, false},
        {"1.0 closes by default", Get("", "HTTP/1.0"), RequestParse::Complete, 0, "GET", "/rate/neo/rate.asp", false,
         false},
        {"1.0 with keep-alive", Get("connection: keep-alive\r\n", "HTTP/1.0"), RequestParse::Complete, 0, "GET",
         "/rate/neo/rate.asp", true, false},
        {"bare LF lines", "GET / HTTP/1.1\nHost: h\n\n", RequestParse::Complete, 0, "GET", "/", true, false},
        {"empty lines before the request", "\r\n\r\nGET / HTTP/1.1\r\nHost: h\r\n\r\n", RequestParse::Complete, 0,
         "GET", "/", true, false},
        {"a body", Get(std::string(kHost) + "Content-Length: 5\r\n"), RequestParse::Complete, 0, "GET",
         "/rate/neo/rate.asp", true, true},
        {"chunked body", Get(std::string(kHost) + "Transfer-Encoding: chunked\r\n"), RequestParse::Complete, 0, "GET",
         "/rate/neo/rate.asp", true, true},
        {"zero length is no body", Get(std::string(kHost) + "Content-Length: 0\r\nContent-Length: 0\r\n"),
         RequestParse::Complete, 0, "GET", "/rate/neo/rate.asp", true, false},

        {"nothing yet", "", RequestParse::NeedMore, 0, "", "", true, false},
        {"head not ended", "GET / HTTP/1.1\r\nHost: h\r\n", RequestParse::NeedMore, 0, "", "", true, false},
        {"only empty lines", "\r\n\r\n", RequestParse::NeedMore, 0, "", "", true, false},

        {"no Host in 1.1", Get(""), RequestParse::Error, 400, "", "", true, false},
        {"two Hosts", Get("Host: a\r\nHost: b\r\n"), RequestParse::Error, 400, "", "", true, false},
        {"no version", "GET /\r\nHost: h\r\n\r\n", RequestParse::Error, 400, "", "", true, false},
        {"two spaces", "GET  / HTTP/1.1\r\nHost: h\r\n\r\n", RequestParse::Error, 400, "", "", true, false},
        {"method not a token", "G(T / HTTP/1.1\r\nHost: h\r\n\r\n", RequestParse::Error, 400, "", "", true, false},
        {"control byte in target", std::string("GET /a\x01 HTTP/1.1\r\nHost: h\r\n\r\n"), RequestParse::Error, 400, "",
         "", true, false},
        {"version garbage", "GET / HTTQ/1.1\r\nHost: h\r\n\r\n", RequestParse::Error, 400, "", "", true, false},
        {"HTTP/2", "GET / HTTP/2.0\r\nHost: h\r\n\r\n", RequestParse::Error, 505, "", "", true, false},
        {"header without colon", Get(std::string(kHost) + "Bogus\r\n"), RequestParse::Error, 400, "", "", true, false},
        {"space before colon", Get(std::string(kHost) + "Connection : close\r\n"), RequestParse::Error, 400, "", "",
         true, false},
        {"folded line", Get(std::string(kHost) + "X-A: 1\r\n  2\r\n"), RequestParse::Error, 400, "", "", true, false},
        {"NUL in a value", Get(std::string(kHost) + std::string("X-A: a\0b\r\n", 10)), RequestParse::Error, 400, "",
         "", true, false},
        {"stray CR in a value", Get(std::string(kHost) + "X-A: a\rb\r\n"), RequestParse::Error, 400, "", "", true,
         false},
        {"length not a number", Get(std::string(kHost) + "Content-Length: 5x\r\n"), RequestParse::Error, 400, "", "",
         true, false},
        {"negative length", Get(std::string(kHost) + "Content-Length: -1\r\n"), RequestParse::Error, 400, "", "", true,
         false},
        {"conflicting lengths", Get(std::string(kHost) + "Content-Length: 5\r\nContent-Length: 6\r\n"),
         RequestParse::Error, 400, "", "", true, false},
        {"length and chunked", Get(std::string(kHost) + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n"),
         RequestParse::Error, 400, "", "", true, false},
        {"too many header lines", Get(std::string(kHost) + [] {
             std::string lines;
             for (std::size_t i = 0; i < kMaxRequestHeaderLines; ++i)
                 lines += "X-" + std::to_string(i) + ": 1\r\n";
             return lines;
         }()),
         RequestParse::Error, 431, "", "", true, false},
        {"head over the limit", "GET / HTTP/1.1\r\nHost: h\r\nX-Big: " + std::string(kMaxRequestHeadBytes, 'a'),
         RequestParse::Error, 431, "", "", true, false},
        {"empty lines over the limit", std::string(kMaxRequestHeadBytes, '\n'), RequestParse::Error, 431, "", "", true,
         false},
    };
}
}  // namespace

TEST(FeedRequest, ParsesWholeAndOneByteAtATime)
{
    for (const ParseCase& test : ParseCases()) {
        SCOPED_TRACE(test.name);
        FeedRequest request;
        const RequestParse whole = ParseRequest(test.bytes.data(), test.bytes.size(), request);
        ASSERT_EQ(whole.outcome, test.outcome);
        if (test.outcome == RequestParse::Error) {
            EXPECT_EQ(whole.errorStatus, test.errorStatus);
        }
        if (test.outcome == RequestParse::Complete) {
            EXPECT_EQ(whole.consumed, test.bytes.size());
            EXPECT_EQ(request.method, test.method);
            EXPECT_EQ(request.target, test.target);
            EXPECT_EQ(request.keepAlive, test.keepAlive);
            EXPECT_EQ(request.hasBody, test.hasBody);
        }
        // Every proper prefix of a complete request, or of one that is
        // refused only once its head is complete, needs more. (Too many
        // lines or bytes are refused as soon as they are seen.)
        if (test.outcome != RequestParse::NeedMore && test.errorStatus != 431) {
            for (std::size_t size = 0; size < test.bytes.size(); ++size) {
                FeedRequest partial;
                const RequestParse part = ParseRequest(test.bytes.data(), size, partial);
                ASSERT_EQ(part.outcome, RequestParse::NeedMore) << "after " << size << " bytes";
            }
        }
    }
}

TEST(FeedRequest, NothingYetIsNeedMoreEvenWithoutABuffer)
{
    // An empty read buffer may have no address at all.
    FeedRequest request;
    EXPECT_EQ(ParseRequest(nullptr, 0, request).outcome, RequestParse::NeedMore);
    const std::string empty;
    EXPECT_EQ(ParseRequest(empty.data(), 0, request).outcome, RequestParse::NeedMore);
}

TEST(FeedRequest, PipelinedRequestsAreTakenOneAtATime)
{
    const std::string first = "HEAD /rate/neo/rate.asp HTTP/1.1\r\nHost: h\r\n\r\n";
    const std::string second = "GET /other HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n";
    const std::string bytes = first + second + "GET /x";
    FeedRequest request;
    RequestParse parse = ParseRequest(bytes.data(), bytes.size(), request);
    ASSERT_EQ(parse.outcome, RequestParse::Complete);
    EXPECT_EQ(parse.consumed, first.size());
    EXPECT_EQ(request.method, "HEAD");
    parse = ParseRequest(bytes.data() + first.size(), bytes.size() - first.size(), request);
    ASSERT_EQ(parse.outcome, RequestParse::Complete);
    EXPECT_EQ(parse.consumed, second.size());
    EXPECT_EQ(request.target, "/other");
    EXPECT_FALSE(request.keepAlive);
    const std::size_t rest = first.size() + second.size();
    EXPECT_EQ(ParseRequest(bytes.data() + rest, bytes.size() - rest, request).outcome, RequestParse::NeedMore);
}

TEST(FeedRequest, PathOfOriginAndAbsoluteTargets)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/rate/neo/rate.asp", "/rate/neo/rate.asp"},
        {"/rate/neo/rate.asp?t=1", "/rate/neo/rate.asp"},
        {"http://127.0.0.1:8080/rate/neo/rate.asp", "/rate/neo/rate.asp"},
        {"http://host", "/"},
        {"*", "*"},
    };
    for (const auto& [target, path] : cases)
        EXPECT_EQ(RequestPath(target), path) << target;
}

TEST(FeedService, RoutesAndAnswersWithALengthAlways)
{
    struct RouteCase {
        const char* method;
        const char* target;
        bool keepAlive;
        bool hasBody;
        int status;
        bool carriesList;
        bool keepOpen;
    };
    const RouteCase cases[] = {
        {"GET", "/rate/neo/rate.asp", true, false, 200, true, true},
        {"GET", "http://h/rate/neo/rate.asp?x", false, false, 200, true, false},
        {"HEAD", "/rate/neo/rate.asp", true, false, 200, false, true},
        {"GET", "/rate/neo/rate.aspx", true, false, 404, false, true},
        {"HEAD", "/", true, false, 404, false, true},
        {"get", "/rate/neo/rate.asp", true, false, 405, false, true},
        {"POST", "/rate/neo/rate.asp", true, true, 405, false, false},
        {"GET", "/rate/neo/rate.asp", true, true, 200, true, false},
    };
    FeedService service(5, 3);
    RateFeed replica(5, 3);
    for (const RouteCase& test : cases) {
        SCOPED_TRACE(std::string(test.method) + " " + test.target);
        FeedRequest request;
        request.method = test.method;
        request.target = test.target;
        request.keepAlive = test.keepAlive;
        request.hasBody = test.hasBody;
        const FeedService::Answer answer = service.Respond(request);
        EXPECT_EQ(answer.keepOpen, test.keepOpen);
        const std::string& bytes = answer.bytes;
        ASSERT_EQ(bytes.compare(0, 12, "HTTP/1.1 " + std::to_string(test.status)), 0) << bytes;
        const std::size_t headEnd = bytes.find("\r\n\r\n");
        ASSERT_NE(headEnd, std::string::npos);
        const std::string head = bytes.substr(0, headEnd + 4);
        const std::string body = bytes.substr(headEnd + 4);
        const std::size_t lengthAt = head.find("\r\nContent-Length: ");
        ASSERT_NE(lengthAt, std::string::npos);
        const std::size_t length = std::stoul(head.substr(lengthAt + 18));
        EXPECT_NE(head.find(test.keepOpen ? "\r\nConnection: keep-alive\r\n" : "\r\nConnection: close\r\n"),
                  std::string::npos);
        // The redirect probes must find no target in a feed answer.
        EXPECT_EQ(head.find("ocation"), std::string::npos);
        if (std::string(test.method) == "HEAD") {
            EXPECT_TRUE(body.empty());
            if (test.status == 200) {
                EXPECT_EQ(length, replica.CurrentList().size()) << "the length GET would send";
            }
        } else {
            EXPECT_EQ(length, body.size());
        }
        if (test.carriesList) {
            EXPECT_EQ(body, replica.NextList()) << "one step of the walk per GET of the list";
        }
        if (test.status == 405) {
            EXPECT_NE(head.find("\r\nAllow: GET, HEAD\r\n"), std::string::npos);
        }
    }
    EXPECT_EQ(service.Downloads(), 3u);
    for (int status : {400, 408, 431, 503, 505}) {
        const FeedService::Answer answer = FeedService::Reject(status);
        EXPECT_FALSE(answer.keepOpen);
        EXPECT_EQ(answer.bytes.compare(0, 12, "HTTP/1.1 " + std::to_string(status)), 0);
        EXPECT_NE(answer.bytes.find("Connection: close"), std::string::npos);
    }
}

TEST(FeedOptions, ReadsGoodCommandLinesAndRefusesBadOnes)
{
    struct OptionCase {
        std::vector<std::string> arguments;
        bool ok;
        uint16_t port;
        const char* bind;
        uint64_t seed;
        std::size_t pairs;
        bool help;
    };
    const OptionCase cases[] = {
        {{}, true, 8080, "127.0.0.1", 1, 20, false},
        {{"--port", "0", "--bind", "0.0.0.0", "--seed", "18446744073709551615", "--pairs", "1"}, true, 0, "0.0.0.0",
         18446744073709551615ull, 1, false},
        {{"--port=65535", "--pairs=20", "--bind=10.1.2.3"}, true, 65535, "10.1.2.3", 1, 20, false},
        {{"--help"}, true, 8080, "127.0.0.1", 1, 20, true},
        {{"--port", "65536"}, false, 0, "", 0, 0, false},
        {{"--port", "-1"}, false, 0, "", 0, 0, false},
        {{"--port", ""}, false, 0, "", 0, 0, false},
        {{"--port"}, false, 0, "", 0, 0, false},
        {{"--seed", "18446744073709551616"}, false, 0, "", 0, 0, false},
        {{"--pairs", "0"}, false, 0, "", 0, 0, false},
        {{"--pairs", "21"}, false, 0, "", 0, 0, false},
        {{"--bind", "localhost"}, false, 0, "", 0, 0, false},
        {{"--bind", "127.0.0.01"}, false, 0, "", 0, 0, false},
        {{"--bind", "256.0.0.1"}, false, 0, "", 0, 0, false},
        {{"--bind", "1.2.3"}, false, 0, "", 0, 0, false},
        {{"--bind", "1.2.3.4.5"}, false, 0, "", 0, 0, false},
        {{"--verbose"}, false, 0, "", 0, 0, false},
        {{"8080"}, false, 0, "", 0, 0, false},
        {{"--help=yes"}, false, 0, "", 0, 0, false},
    };
    for (const OptionCase& test : cases) {
        std::string joined;
        for (const std::string& argument : test.arguments)
            joined += argument + " ";
        SCOPED_TRACE(joined);
        FeedOptions options;
        std::string error;
        ASSERT_EQ(ParseFeedOptions(test.arguments, options, error), test.ok);
        if (!test.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(options.port, test.port);
        EXPECT_EQ(options.bind, test.bind);
        EXPECT_EQ(options.seed, test.seed);
        EXPECT_EQ(options.pairs, test.pairs);
        EXPECT_EQ(options.help, test.help);
    }
}

TEST(FeedOptions, FormatChoosesTheShapeOfTheList)
{
    struct FormatCase {
        std::vector<std::string> arguments;
        bool ok;
        RateFeed::Format format;
    } const cases[] = {
        {{}, true, RateFeed::Format::List},
        {{"--format", "list"}, true, RateFeed::Format::List},
        {{"--format=json"}, true, RateFeed::Format::Json},
        {{"--format", "ecb", "--pairs", "3"}, true, RateFeed::Format::Ecb},
        {{"--format", "xml"}, false, RateFeed::Format::List},
        {{"--format", "JSON"}, false, RateFeed::Format::List},
        {{"--format"}, false, RateFeed::Format::List},
    };
    for (const FormatCase& test : cases) {
        FeedOptions options;
        std::string error;
        ASSERT_EQ(ParseFeedOptions(test.arguments, options, error), test.ok) << error;
        if (test.ok) {
            EXPECT_EQ(options.format, test.format);
        } else {
            EXPECT_NE(error.find("--format"), std::string::npos) << error;
        }
    }
    EXPECT_NE(FeedUsage().find("--format"), std::string::npos);
}

TEST(FeedService, ServesItsFormatWithItsContentType)
{
    struct TypeCase {
        RateFeed::Format format;
        const char* contentType;
    } const cases[] = {{RateFeed::Format::List, "text/plain"},
                       {RateFeed::Format::Json, "application/json"},
                       {RateFeed::Format::Ecb, "text/xml"}};
    for (const TypeCase& test : cases) {
        SCOPED_TRACE(test.contentType);
        FeedService service(8, 5, test.format);
        RateFeed replica(8, 5);
        FeedRequest request;
        request.method = "HEAD";
        request.target = "/rate/neo/rate.asp";
        const std::string head = service.Respond(request).bytes;
        EXPECT_NE(head.find(std::string("\r\nContent-Type: ") + test.contentType), std::string::npos) << head;
        EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(replica.Current(test.format).size())),
                  std::string::npos);
        request.method = "GET";
        const std::string bytes = service.Respond(request).bytes;
        EXPECT_EQ(bytes.substr(bytes.find("\r\n\r\n") + 4), replica.Next(test.format));
    }
}
