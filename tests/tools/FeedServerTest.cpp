// The feed's server over real loopback sockets, in this process.
#include "http/SocketLibrary.h"
#include "rates/RateListDecoder.h"
#include "tests/support/Wait.h"
#include "tests/tools/FeedClient.h"
#include "tests/tools/RunningFeed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
const std::string kRequestHost = "Host: 127.0.0.1\r\n";
const std::string kPage = FeedService::kRatePath;

std::string Request(const std::string& method, const std::string& target, const std::string& extra = std::string())
{
    return method + " " + target + " HTTP/1.1\r\n" + kRequestHost + extra + "\r\n";
}

class FeedServing : public ::testing::Test {
protected:
    SocketLibrary sockets;
};
}  // namespace

TEST_F(FeedServing, KeepAliveServesOneStepPerGetAndHeadGivesTheLengthOnly)
{
    RunningFeed feed(FeedServer::Limits(), 11, 20);
    ASSERT_TRUE(feed.Listening());
    RateFeed replica(11, 20);
    FeedClient client;
    ASSERT_TRUE(client.Connect(feed.Port()));

    ASSERT_TRUE(client.Send(Request("HEAD", kPage)));
    FeedClient::Response head = client.Read(true);
    ASSERT_TRUE(head.complete);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(HeaderValue(head.head, "Content-Length"), std::to_string(replica.CurrentList().size()));
    EXPECT_EQ(HeaderValue(head.head, "Connection"), "keep-alive");

    // On the same connection: each GET one step further, HEAD none.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(client.Send(Request("GET", kPage)));
        FeedClient::Response response = client.Read();
        ASSERT_TRUE(response.complete);
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body, replica.NextList());
        EXPECT_EQ(DecodeRateList(response.body).size(), 20u);
    }
    // Pipelined: answered in order, none lost.
    ASSERT_TRUE(client.Send(Request("GET", kPage) + Request("HEAD", kPage) +
                            Request("GET", kPage + "?again")));
    EXPECT_EQ(client.Read().body, replica.NextList());
    EXPECT_EQ(client.Read(true).status, 200);
    EXPECT_EQ(client.Read().body, replica.NextList());

    ASSERT_TRUE(client.Send(Request("GET", kPage, "Connection: close\r\n")));
    FeedClient::Response last = client.Read();
    EXPECT_EQ(last.body, replica.NextList());
    EXPECT_EQ(HeaderValue(last.head, "Connection"), "close");
    EXPECT_TRUE(client.WaitClosed());
    EXPECT_EQ(feed.service.Downloads(), 6u);
}

TEST_F(FeedServing, AnswersWhatItCannotServeAndClosesWhereItMust)
{
    struct ErrorCase {
        const char* name;
        std::string bytes;
        int status;
        bool closes;
    };
    const ErrorCase cases[] = {
        {"other path", Request("GET", "/rate/neo/"), 404, false},
        {"other method", Request("DELETE", kPage), 405, false},
        {"HTTP/1.0 without keep-alive", "GET " + kPage + " HTTP/1.0\r\n\r\n", 200, true},
        {"a body it will not read", Request("POST", kPage, "Content-Length: 4\r\n") + "abcd", 405, true},
        {"garbage", "HELLO\r\n\r\n", 400, true},
        {"newer HTTP", "GET / HTTP/3.0\r\n\r\n", 505, true},
        {"head too large", "GET / HTTP/1.1\r\nX-Pad: " + std::string(3 * kMaxRequestHeadBytes, 'p') + "\r\n\r\n", 431,
         true},
    };
    RunningFeed feed;
    ASSERT_TRUE(feed.Listening());
    for (const ErrorCase& test : cases) {
        SCOPED_TRACE(test.name);
        FeedClient client;
        ASSERT_TRUE(client.Connect(feed.Port()));
        ASSERT_TRUE(client.Send(test.bytes));
        FeedClient::Response response = client.Read();
        ASSERT_TRUE(response.complete) << response.head;
        EXPECT_EQ(response.status, test.status);
        EXPECT_FALSE(HeaderValue(response.head, "Content-Length").empty());
        if (test.closes) {
            EXPECT_TRUE(client.WaitClosed());
        } else {
            // Still open: a good request on the same connection is served.
            ASSERT_TRUE(client.Send(Request("GET", kPage)));
            EXPECT_EQ(client.Read().status, 200);
        }
    }
}

TEST_F(FeedServing, ASlowClientHoldsUpNobodyElse)
{
    FeedServer::Limits limits;
    limits.sendStallMs = 60000;  // the reader that never reads stays stuck
    RunningFeed feed(limits);
    ASSERT_TRUE(feed.Listening());

    // One client stops in the middle of its request...
    FeedClient stalled;
    ASSERT_TRUE(stalled.Connect(feed.Port()));
    ASSERT_TRUE(stalled.Send("GET " + kPage + " HTTP/1.1\r\nHo"));
    // ...another asks for far more than the socket buffers hold and reads
    // none of it, so its answers back up on the feed's side.
    FeedClient deaf;
    ASSERT_TRUE(deaf.Connect(feed.Port()));
    std::string flood;
    for (int i = 0; i < 4000; ++i)
        flood += Request("GET", kPage);
    ASSERT_TRUE(deaf.Send(flood));

    for (int i = 0; i < 5; ++i) {
        FeedClient client;
        ASSERT_TRUE(client.Connect(feed.Port()));
        ASSERT_TRUE(client.Send(Request("GET", kPage)));
        FeedClient::Response response = client.Read();
        ASSERT_TRUE(response.complete);
        EXPECT_EQ(DecodeRateList(response.body).size(), 20u);
    }
    EXPECT_GE(feed.server.ActiveClients(), 2u);
    // Stopping ends the stuck ones as well.
    EXPECT_TRUE(feed.Stop());
    EXPECT_TRUE(stalled.WaitClosed());
}

TEST_F(FeedServing, IdleConnectionsAndUnfinishedRequestsAreClosed)
{
    FeedServer::Limits limits;
    limits.idleMs = 300;
    limits.requestMs = 300;
    RunningFeed feed(limits);
    ASSERT_TRUE(feed.Listening());

    FeedClient idle;
    ASSERT_TRUE(idle.Connect(feed.Port()));
    ASSERT_TRUE(idle.Send(Request("GET", kPage)));
    EXPECT_EQ(idle.Read().status, 200);
    EXPECT_TRUE(idle.WaitClosed());  // kept alive, then let go

    FeedClient unfinished;
    ASSERT_TRUE(unfinished.Connect(feed.Port()));
    ASSERT_TRUE(unfinished.Send("GET " + kPage + " HTTP/1.1\r\n"));
    FeedClient::Response response = unfinished.Read();
    EXPECT_EQ(response.status, 408);
    EXPECT_TRUE(unfinished.WaitClosed());
    EXPECT_TRUE(WaitUntil([&] { return feed.server.ActiveClients() == 0; }, std::chrono::seconds(10)));
}

TEST_F(FeedServing, BeyondItsClientLimitTheFeedAnswers503)
{
    FeedServer::Limits limits;
    limits.maxClients = 2;
    RunningFeed feed(limits);
    ASSERT_TRUE(feed.Listening());
    FeedClient first, second;
    ASSERT_TRUE(first.Connect(feed.Port()));
    ASSERT_TRUE(second.Connect(feed.Port()));
    ASSERT_TRUE(WaitUntil([&] { return feed.server.ActiveClients() == 2; }, std::chrono::seconds(10)));

    FeedClient third;
    ASSERT_TRUE(third.Connect(feed.Port()));
    FeedClient::Response refused = third.Read();
    EXPECT_EQ(refused.status, 503);
    EXPECT_TRUE(third.WaitClosed());

    // Those let in are served; once one leaves, a newcomer is served too.
    ASSERT_TRUE(second.Send(Request("GET", kPage)));
    EXPECT_EQ(second.Read().status, 200);
    first.Close();
    ASSERT_TRUE(WaitUntil([&] { return feed.server.ActiveClients() == 1; }, std::chrono::seconds(10)));
    FeedClient fourth;
    ASSERT_TRUE(fourth.Connect(feed.Port()));
    ASSERT_TRUE(fourth.Send(Request("GET", kPage)));
    EXPECT_EQ(fourth.Read().status, 200);
}

TEST_F(FeedServing, StopEndsTheServerWithConnectionsInEveryState)
{
    RunningFeed feed;
    ASSERT_TRUE(feed.Listening());
    FeedClient idle, partial, served;
    ASSERT_TRUE(idle.Connect(feed.Port()));
    ASSERT_TRUE(partial.Connect(feed.Port()));
    ASSERT_TRUE(partial.Send("GET /rate"));
    ASSERT_TRUE(served.Connect(feed.Port()));
    ASSERT_TRUE(served.Send(Request("GET", kPage)));
    EXPECT_EQ(served.Read().status, 200);
    ASSERT_TRUE(WaitUntil([&] { return feed.server.ActiveClients() == 3; }, std::chrono::seconds(10)));

    EXPECT_TRUE(feed.Stop());
    EXPECT_EQ(feed.server.ActiveClients(), 0u);
    for (FeedClient* client : {&idle, &partial, &served})
        EXPECT_TRUE(client->WaitClosed());
}
