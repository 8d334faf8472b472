#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <sys/time.h>

#include <cerrno>
#include <string>
#include <vector>

#include "hostkit.h"
#include "net_test_util.h"
#include "platform/socket_api.h"
#include "scripted_server.h"

using namespace std::chrono_literals;

namespace {

struct Connected {
    explicit Connected(scripted::Server& server) : socket(Loopback(server.Port())) {
        server.Start();
        EXPECT_EQ(socket.Startup(), SocketResult::Ok);
        EXPECT_EQ(socket.Connect(), SocketResult::Ok);
    }
    SocketConnection socket;
};

uint16_t UnusedPort() {
    scripted::Server probe;  // bound, then released: nothing listens there afterwards
    return probe.Port();
}

}  // namespace

// errno read as the Winsock condition of the same meaning (EWOULDBLOCK is EAGAIN here).
TEST(SocketErrorMapping, TranslateLastErrorWordsEachCode) {
    struct Case {
        int err;
        SocketResult code;
        const char* text;
    } cases[] = {
        {ECONNRESET, SocketResult::ConnectionReset, "The connection was terminated on a reset"},
        {ENETRESET, SocketResult::ConnectionReset, "The connection was terminated on a reset"},
        {ECONNABORTED, SocketResult::ConnectionAborted, "The connection was aborted"},
        {ENOTCONN, SocketResult::ConnectionAborted, "The connection was aborted"},
        {EPIPE, SocketResult::ConnectionAborted, "The connection was aborted"},
        {EAGAIN, SocketResult::TimedOut, "The connection timed out"},
        {ETIMEDOUT, SocketResult::TimedOut, "The connection timed out"},
        {EBADF, SocketResult::UnknownError, "An unknown winsock error occured."},
    };
    SocketConnection socket(Loopback(1));
    for (const Case& c : cases) {
        errno = c.err;
        EXPECT_EQ(socket.TranslateLastError(), c.code) << "errno " << c.err;
        EXPECT_EQ(socket.LastError(), c.text);
    }
}

TEST(SocketStates, CallsOutOfOrderReportTheirCodes) {
    SocketConnection socket(Loopback(1));
    EXPECT_EQ(socket.LastError(), "");
    CString out("stale");
    EXPECT_EQ(socket.Send("x"), SocketResult::NotConnected);
    EXPECT_EQ(socket.LastError(), "There is no connection for the socket");
    EXPECT_EQ(socket.Receive(out, nullptr), SocketResult::NotConnected);
    EXPECT_EQ(out, "");
    EXPECT_EQ(socket.Connect(), SocketResult::NotInitialized);
    EXPECT_EQ(socket.LastError(), "The socket has not been intitialized");
    EXPECT_EQ(socket.Startup(), SocketResult::Ok);
    EXPECT_EQ(socket.Startup(), SocketResult::Ok);
    EXPECT_TRUE(socket.Close());
    // Success leaves the last failure text in place.
    EXPECT_EQ(socket.LastError(), "The socket has not been intitialized");
}

// No descriptor left for a new socket.
TEST(SocketConnect, ExhaustedDescriptorsAreSocketFailed) {
    SocketConnection socket(Loopback(143));
    ASSERT_EQ(socket.Startup(), SocketResult::Ok);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    std::vector<int> filler;
    const rlimit low{128, limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    for (int fd = dup(0); fd >= 0; fd = dup(0)) filler.push_back(fd);
    const SocketResult result = socket.Connect();
    for (int fd : filler) close(fd);
    setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(result, SocketResult::SocketFailed);
    EXPECT_EQ(socket.LastError(), "Creation of the socket failed.");
    EXPECT_FALSE(socket.IsConnected());
}

// Dotted addresses are used as given; a name is looked up.
TEST(SocketConnect, ResultPerServer) {
    scripted::Server live;
    live.Start();
    struct Case {
        const char* server;
        int port;
        SocketResult result;
        const char* error;
    } cases[] = {
        {"127.0.0.1", UnusedPort(), SocketResult::ConnectFailed, "There is no connection for the socket"},
        {"no-such-host.invalid", 143, SocketResult::BadServer,
         "The supplied server 'no-such-host.invalid' is invalid"},
        {"localhost", live.Port(), SocketResult::Ok, ""},
    };
    for (const Case& c : cases) {
        SocketSettings settings = Loopback(c.port);
        settings.server = c.server;
        SocketConnection socket(settings);
        ASSERT_EQ(socket.Startup(), SocketResult::Ok);
        EXPECT_EQ(socket.Connect(), c.result) << c.server;
        EXPECT_EQ(socket.LastError(), c.error) << c.server;
        EXPECT_EQ(socket.IsConnected(), c.result == SocketResult::Ok) << c.server;
    }
    EXPECT_TRUE(live.Finish().ok);
}

TEST(SocketConnect, PortMinusOneMeansEighty) {
    SocketConnection socket(Loopback(-1));
    EXPECT_EQ(socket.Settings().port, 80);
    scripted::Server server(80);
    if (!server.Listening()) GTEST_SKIP() << "port 80 cannot be bound here";
    server.Send("on eighty\r\n").Close();
    server.Start();
    ScopedWaits waits(1000ms, 200ms);
    ASSERT_EQ(socket.Startup(), SocketResult::Ok);
    ASSERT_EQ(socket.Connect(), SocketResult::Ok);
    CString out;
    EXPECT_EQ(socket.Receive(out, nullptr), SocketResult::Ok);
    EXPECT_EQ(out, "on eighty\r\n");
    EXPECT_TRUE(server.Finish().ok);
}

TEST(SocketConnect, ReconnectClosesTheOldSocket) {
    scripted::Server server;
    server.ExpectTimeout(3000ms).Send("first\r\n").ExpectClose().Accept().Send("second\r\n");
    Connected c(server);
    ScopedWaits waits(2000ms, 100ms);
    CString out;
    EXPECT_EQ(c.socket.Receive(out, nullptr), SocketResult::Ok);
    EXPECT_EQ(out, "first\r\n");
    ASSERT_EQ(c.socket.Connect(), SocketResult::Ok);
    EXPECT_EQ(c.socket.Receive(out, nullptr), SocketResult::Ok);
    EXPECT_EQ(out, "second\r\n");
    const scripted::Outcome outcome = server.Finish();
    EXPECT_TRUE(outcome.ok) << outcome.failure;
    EXPECT_EQ(outcome.connections, 2);
}

TEST(SocketConnect, OptionsAreSetOnTheStream) {
    struct Case {
        int receiveMs, sendMs;
        long expectReceiveUs, expectSendUs;  // -1: the system default (none)
    } cases[] = {{1500, 1500, 1500000, 1500000}, {1000, -1, 1000000, 0}, {-1, 2000, 0, 2000000}};
    for (const Case& c : cases) {
        scripted::Server server;
        server.Start();
        SocketSettings settings = Loopback(server.Port());
        settings.receiveTimeoutMs = c.receiveMs;
        settings.sendTimeoutMs = c.sendMs;
        SocketConnection socket(settings);
        EXPECT_EQ(socket.NativeHandle(), sock::kInvalidHandle);
        ASSERT_EQ(socket.Startup(), SocketResult::Ok);
        ASSERT_EQ(socket.Connect(), SocketResult::Ok);
        const int fd = socket.NativeHandle();
        int keepAlive = 0;
        socklen_t length = sizeof keepAlive;
        ASSERT_EQ(getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &keepAlive, &length), 0);
        EXPECT_EQ(keepAlive, 1);
        timeval tv{};
        length = sizeof tv;
        ASSERT_EQ(getsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, &length), 0);
        EXPECT_EQ(tv.tv_sec * 1000000L + tv.tv_usec, c.expectReceiveUs);
        ASSERT_EQ(getsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, &length), 0);
        EXPECT_EQ(tv.tv_sec * 1000000L + tv.tv_usec, c.expectSendUs);
        socket.Close();
        EXPECT_EQ(socket.NativeHandle(), sock::kInvalidHandle);
        EXPECT_FALSE(socket.IsConnected());
        server.Finish();
    }
}

TEST(SocketSend, BytesArriveWholeAndEmptyTextIsRefused) {
    std::string big(300000, 'x');
    for (size_t i = 0; i < big.size(); i += 77) big[i] = static_cast<char>('a' + i % 26);
    scripted::Server server;
    server.Expect("A1 NOOP\r\n").Expect(big);
    Connected c(server);
    EXPECT_EQ(c.socket.Send(""), SocketResult::BadParameter);
    EXPECT_EQ(c.socket.LastError(), "A bad parameter was passed to the function");
    EXPECT_EQ(c.socket.Send(nullptr), SocketResult::BadParameter);
    EXPECT_EQ(c.socket.Send("A1 NOOP\r\n"), SocketResult::Ok);
    EXPECT_EQ(c.socket.Send(big.c_str()), SocketResult::Ok);
    const scripted::Outcome outcome = server.Finish();
    EXPECT_TRUE(outcome.ok) << outcome.failure;
    EXPECT_EQ(outcome.received.size(), big.size() + 9);
}

// A peer that stops reading: once the buffers are full every send runs into the send time-out;
// eight are retried, the ninth is the answer.
TEST(SocketSend, GivesUpAtTheNinthTimeOut) {
    scripted::Server server;
    server.Delay(8000ms);
    SocketConnection socket(Loopback(server.Port(), 100));
    server.Start();
    ASSERT_EQ(socket.Startup(), SocketResult::Ok);
    ASSERT_EQ(socket.Connect(), SocketResult::Ok);
    const std::string flood(32 << 20, 'x');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(socket.Send(flood.c_str()), SocketResult::TimedOut);
    EXPECT_EQ(socket.LastError(), "The connection timed out");
    EXPECT_GE(SecondsSince(start), 0.85);  // nine waits of 100 ms
    server.Finish(0ms);
}

TEST(SocketSend, PeerGoneIsAnErrorNotASignal) {
    scripted::Server server;
    server.Reset();
    Connected c(server);
    server.Finish();
    std::this_thread::sleep_for(50ms);
    SocketResult result = SocketResult::Ok;
    for (int i = 0; i < 20 && result == SocketResult::Ok; ++i) result = c.socket.Send("A1 NOOP\r\n");
    EXPECT_TRUE(result == SocketResult::ConnectionReset || result == SocketResult::ConnectionAborted)
        << static_cast<int>(result);
    EXPECT_TRUE(c.socket.IsConnected());  // a failed send leaves the decision to the owner
}
