// The socket layer on its own, both sides on loopback: what the client, the
// local feed and the test server build on.
#include "http/Socket.h"
#include "http/SocketLibrary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class Sockets : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library.Started());
        listener = Socket::Listen("127.0.0.1", 0);
        ASSERT_TRUE(listener.IsOpen());
        ASSERT_NE(listener.LocalPort(), 0);
        ASSERT_EQ(Socket::ResolveIPv4("127.0.0.1", loopback), ResolveResult::Ok);
    }

    // A connected pair: `client` (non-blocking) and `server` (accepted).
    void Connect()
    {
        ASSERT_TRUE(client.Create());
        ASSERT_TRUE(client.SetNonBlocking());
        ASSERT_EQ(client.Connect(loopback, listener.LocalPort(), 5000, nullptr), SocketResult::Ok);
        ASSERT_EQ(listener.Accept(server, 5000, nullptr), SocketResult::Ok);
    }

    SocketLibrary library;
    Socket listener;
    uint32_t loopback = 0;
    Socket client;
    Socket server;
};

TEST_F(Sockets, ResolvesNumericAndNamedHosts)
{
    uint32_t address = 0;
    EXPECT_EQ(Socket::ResolveIPv4("127.0.0.1", address), ResolveResult::Ok);
    const unsigned char bytes[4] = {127, 0, 0, 1};  // network byte order in memory
    EXPECT_EQ(std::memcmp(&address, bytes, 4), 0);
    address = 0;
    EXPECT_EQ(Socket::ResolveIPv4("localhost", address), ResolveResult::Ok);
    EXPECT_NE(address, 0u);
    EXPECT_EQ(Socket::ResolveIPv4("", address), ResolveResult::LookupFailed);
}

TEST_F(Sockets, ListensOnTheAddressGiven)
{
    EXPECT_FALSE(Socket::Listen("not an address", 0).IsOpen());
    EXPECT_FALSE(Socket::Listen("127.0.0.1", listener.LocalPort()).IsOpen());  // taken
    EXPECT_EQ(Socket().LocalPort(), 0);
}

TEST_F(Sockets, CarriesBytesBothWaysAndReportsHowAStreamEnds)
{
    Connect();
    const std::string hello = "hello";
    ASSERT_EQ(client.SendAll(hello.data(), hello.size(), 1000, nullptr), SocketResult::Ok);
    char buffer[16] = {};
    std::string received;
    while (received.size() < hello.size()) {
        long n = server.Receive(buffer, sizeof buffer, 5000, nullptr);
        ASSERT_GT(n, 0);
        received.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(received, hello);

    // Silence times out; a half-closed side still answers; a close ends.
    EXPECT_EQ(client.Receive(buffer, sizeof buffer, 100, nullptr), kReceiveTimedOut);
    server.ShutdownSend();
    EXPECT_EQ(client.Receive(buffer, sizeof buffer, 5000, nullptr), kReceiveClosed);
    ASSERT_EQ(client.SendAll("x", 1, 1000, nullptr), SocketResult::Ok);
    EXPECT_EQ(server.Receive(buffer, sizeof buffer, 5000, nullptr), 1);
    client.Close();
    EXPECT_EQ(server.Receive(buffer, sizeof buffer, 5000, nullptr), kReceiveClosed);
    EXPECT_EQ(client.Receive(buffer, sizeof buffer, 10, nullptr), kReceiveFailed);
}

TEST_F(Sockets, SeesAResetAsAFailure)
{
    Connect();
    server.Reset();
    EXPECT_FALSE(server.IsOpen());
    char buffer[16];
    long result = client.Receive(buffer, sizeof buffer, 5000, nullptr);
#ifdef _WIN32
    // Wine closes in order despite the zero linger; either way the stream
    // has ended and no byte came.
    EXPECT_TRUE(result == kReceiveFailed || result == kReceiveClosed) << result;
#else
    EXPECT_EQ(result, kReceiveFailed);
#endif
}

TEST_F(Sockets, WaitsEndOnTimeOrOnTheStopFlag)
{
    Socket accepted;
    auto start = Clock::now();
    EXPECT_EQ(listener.Accept(accepted, 100, nullptr), SocketResult::TimedOut);
    EXPECT_GE(MillisecondsSince(start), 90);
    EXPECT_FALSE(accepted.IsOpen());

    std::atomic<bool> stop{true};
    EXPECT_EQ(listener.Accept(accepted, 60000, &stop), SocketResult::Stopped);
    Connect();
    char buffer[4];
    EXPECT_EQ(client.Receive(buffer, sizeof buffer, 60000, &stop), kReceiveStopped);
    EXPECT_EQ(client.WaitReadable(60000, &stop), SocketResult::Stopped);
    EXPECT_EQ(client.SendAll("x", 1, 60000, &stop), SocketResult::Stopped);
}

TEST_F(Sockets, MovesOwnership)
{
    Connect();
    Socket moved(std::move(client));
    EXPECT_FALSE(client.IsOpen());
    ASSERT_TRUE(moved.IsOpen());
    Socket target;
    target = std::move(moved);
    EXPECT_FALSE(moved.IsOpen());
    ASSERT_EQ(target.SendAll("m", 1, 1000, nullptr), SocketResult::Ok);
    char byte = 0;
    EXPECT_EQ(server.Receive(&byte, 1, 5000, nullptr), 1);
    EXPECT_EQ(byte, 'm');
    // Assigning over an open socket closes it: the peer sees the end.
    target = Socket();
    EXPECT_EQ(server.Receive(&byte, 1, 5000, nullptr), kReceiveClosed);
}

}  // namespace
