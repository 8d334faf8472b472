// The transport over loopback: result codes and their texts, connecting and sending, and the
// response reader's endings (terminator line, peer close, pause, time-outs) with its yields.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hostkit.h"
#include "net/socket_connection.h"
#include "net/transport_waits.h"
#include "platform/socket_api.h"
#include "scripted_server.h"
#include "yield_hook.h"

using namespace std::chrono_literals;

namespace {

// Shortens the transport's waits for one test and puts the defaults back afterwards.
struct ScopedWaits {
    ScopedWaits(std::chrono::milliseconds firstByte, std::chrono::milliseconds pause) {
        testing_hooks::OverrideTransportWaits({firstByte, pause});
    }
    ~ScopedWaits() { testing_hooks::RestoreTransportWaits(); }
};

SocketSettings Loopback(int port, int timeoutMs = 1500) {
    return SocketSettings::For("127.0.0.1", port, timeoutMs, timeoutMs);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Starts `server` and connects to it.
struct Connected {
    explicit Connected(scripted::Server& server, int timeoutMs = 1500)
        : socket(Loopback(server.Port(), timeoutMs)) {
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

// Takes descriptors under a limit of `limit` until one numbered `upTo` or more is taken or none
// is left; gives them back and restores the limit at the end.
struct DescriptorFiller {
    DescriptorFiller(rlim_t limit, int upTo) {
        getrlimit(RLIMIT_NOFILE, &saved);
        const rlimit changed{limit, saved.rlim_max};
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &changed), 0);
        for (int fd = dup(0); fd >= 0; fd = fd < upTo ? dup(0) : -1) taken.push_back(fd);
    }
    ~DescriptorFiller() {
        for (int fd : taken) close(fd);
        setrlimit(RLIMIT_NOFILE, &saved);
    }
    rlimit saved{};
    std::vector<int> taken;
};

struct Reception {
    SocketResult result;
    std::string text, error;
    double seconds;
    bool connected;
};

// Plays `server`, connects, and times one Receive.
Reception ReceiveFrom(scripted::Server& server, const char* terminator, int timeoutMs = 1500,
                      const std::function<void(SocketConnection&)>& connected = {}) {
    Connected c(server, timeoutMs);
    if (connected) connected(c.socket);
    CString out("left over");
    const auto start = std::chrono::steady_clock::now();
    const SocketResult result = c.socket.Receive(out, terminator);
    Reception r{result, out.str(), c.socket.LastError().str(), SecondsSince(start), c.socket.IsConnected()};
    if (result == SocketResult::NoData) {
        EXPECT_EQ(out, "") << "nothing was read before the failure";
    }
    server.Finish(0ms);
    return r;
}

int YieldCount() {
    int yields = 0;
    for (int i = 0; i < HostKit_CallCount(); ++i) {
        const HostKitCall* call = HostKit_Call(i);
        if (std::string(call->function) == "SyncYieldCycles") {
            EXPECT_EQ(call->number1, 10);
            ++yields;
        }
    }
    return yields;
}

}  // namespace

// errno read as the transport condition of the same meaning (EWOULDBLOCK is EAGAIN here).
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

// Port -1 stands for 80. Success leaves the last failure text in place.
TEST(SocketStates, CallsOutOfOrderReportTheirCodes) {
    SocketConnection socket(Loopback(-1));
    EXPECT_EQ(socket.Settings().port, 80);
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
    EXPECT_EQ(socket.LastError(), "The socket has not been intitialized");
}

// No descriptor left for a new socket.
TEST(SocketConnect, ExhaustedDescriptorsAreSocketFailed) {
    SocketConnection socket(Loopback(143));
    ASSERT_EQ(socket.Startup(), SocketResult::Ok);
    SocketResult result;
    {
        DescriptorFiller filler(128, INT_MAX);
        result = socket.Connect();
    }
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

// Keep-alive always; each time-out only when set (-1 leaves the system's none).
TEST(SocketConnect, OptionsAreSetOnTheStream) {
    struct Case {
        int receiveMs, sendMs;
        long receiveUs, sendUs;
    } cases[] = {{1500, 1500, 1500000, 1500000}, {1000, -1, 1000000, 0}, {-1, 2000, 0, 2000000}};
    for (const Case& c : cases) {
        scripted::Server server;
        server.Start();
        SocketConnection socket(SocketSettings::For("127.0.0.1", server.Port(), c.receiveMs, c.sendMs));
        EXPECT_EQ(socket.NativeHandle(), sock::kInvalidHandle);
        ASSERT_EQ(socket.Startup(), SocketResult::Ok);
        ASSERT_EQ(socket.Connect(), SocketResult::Ok);
        const int fd = socket.NativeHandle();
        int keepAlive = 0;
        socklen_t length = sizeof keepAlive;
        ASSERT_EQ(getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &keepAlive, &length), 0);
        EXPECT_EQ(keepAlive, 1);
        const auto micros = [fd](int name) {
            timeval tv{};
            socklen_t size = sizeof tv;
            EXPECT_EQ(getsockopt(fd, SOL_SOCKET, name, &tv, &size), 0);
            return tv.tv_sec * 1000000L + tv.tv_usec;
        };
        EXPECT_EQ(micros(SO_RCVTIMEO), c.receiveUs);
        EXPECT_EQ(micros(SO_SNDTIMEO), c.sendUs);
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
    Connected c(server, 100);
    const std::string flood(32 << 20, 'x');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.socket.Send(flood.c_str()), SocketResult::TimedOut);
    EXPECT_EQ(c.socket.LastError(), "The connection timed out");
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

// One Receive per case with a first-byte wait of 2 s. A terminator line ends the response at
// once only with an earlier line in the 30-byte tail (the last chunk when longer, else the end
// of all that came); otherwise the pause ends it. The tail rule's own cases are in SocketTail.
TEST(SocketReceive, OutcomeTextAndTime) {
    const std::string longLine = "AEG1 OK this status text is longer than thirty\r\n";
    struct Case {
        const char* name;
        std::function<void(scripted::Server&)> play;
        std::chrono::milliseconds pause;
        SocketResult result;
        std::optional<std::string> text, error;  // none: not checked
        double minSeconds, maxSeconds;
        const char* terminator = "AEG1";
        int yields = -1;  // -1: not counted
    } cases[] = {
        {"peer closes before sending", [](auto& s) { s.Close(); }, 100ms, SocketResult::NoData, "",
         "No data on the socket", 0, 1.5},
        {"silent peer: the first-byte wait", [](auto& s) { s.Delay(4000ms); }, 100ms, SocketResult::NoData,
         "", "No data on the socket", 1.95, 3.5},
        {"reset after data",
         [](auto& s) { s.Send("* partial answer that goes on\r\n").Delay(100ms).Reset(); },
         1000ms,
         SocketResult::ConnectionReset,
         {},
         "The connection was terminated on a reset",
         0,
         10},
        {"peer close ends the response",
         [](auto& s) { s.Send("* BYE going away\r\n").Close(); },
         2000ms,
         SocketResult::Ok,
         "* BYE going away\r\n",
         {},
         0,
         1.5},
        {"a NUL ends what is taken of a chunk",
         [](auto& s) { s.Send(std::string("abc\0def\r\n", 9)).Close(); },
         100ms,
         SocketResult::Ok,
         "abc",
         {},
         0,
         10},
        {"terminator line after an earlier line",
         [](auto& s) { s.Send("* 3 EXISTS\r\nAEG1 OK Select done\r\n").Delay(3000ms); },
         1000ms,
         SocketResult::Ok,
         "* 3 EXISTS\r\nAEG1 OK Select done\r\n",
         {},
         0,
         0.7},
        {"long chunk without an earlier line: the pause",
         [&](auto& s) { s.Send(longLine).Delay(3000ms); },
         1000ms,
         SocketResult::Ok,
         longLine,
         {},
         1.0,
         2.5},
        {"the tail reaches into the chunk before",
         [](auto& s) {
             s.Send("* SEARCH 1 2 3 4 5 6 7 8 9 10 11\r\n").Delay(50ms).Send("AEG1 OK\r\n").Delay(3000ms);
         },
         1000ms,
         SocketResult::Ok,
         "* SEARCH 1 2 3 4 5 6 7 8 9 10 11\r\nAEG1 OK\r\n",
         {},
         0,
         0.7},
        {"no terminator: the pause, after two yields",
         [](auto& s) { s.Send("* OK server ready\r\n").Delay(1500ms); },
         300ms,
         SocketResult::Ok,
         "* OK server ready\r\n",
         {},
         0.3,
         1.2,
         nullptr,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWaits waits(2000ms, c.pause);
        scripted::Server server;
        c.play(server);
        HostKit_Clear();
        const Reception r = ReceiveFrom(server, c.terminator);
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.text, c.text.value_or(r.text));
        EXPECT_EQ(r.error, c.error.value_or(r.error));
        EXPECT_TRUE(r.connected || c.result != SocketResult::ConnectionReset)
            << "a reset leaves the decision to the owner";
        EXPECT_GE(r.seconds, c.minSeconds);
        EXPECT_LT(r.seconds, c.maxSeconds);
        const int yields = YieldCount();
        EXPECT_EQ(yields, c.yields < 0 ? yields : c.yields);
    }
}

// Every chunk but the one that ends the response yields twice.
TEST(SocketReceive, TwoYieldsPerChunk) {
    std::string response;
    for (int i = 0; response.size() < 20000; ++i)
        response += "* " + std::to_string(i) + " FETCH (FLAGS (\\Seen))\r\n";
    response += "AEG7 OK Fetch completed.\r\n";
    ScopedWaits waits(2000ms, 1500ms);
    scripted::Server server;
    server.Send(response).Delay(2000ms);
    HostKit_Clear();
    const Reception r = ReceiveFrom(server, "AEG7");
    EXPECT_EQ(r.text, response);
    EXPECT_LT(r.seconds, 1.0);
    const int yields = YieldCount();
    EXPECT_EQ(yields % 2, 0);
    EXPECT_GE(yields, 2 * ((static_cast<int>(response.size()) + 4095) / 4096 - 1));
}

// A receive time-out after data ends the response with that data. The second chunk is taken
// away at the yield after the pause wait, so that the next read runs into the time-out.
TEST(SocketReceive, TimeOutAfterDataReturnsTheData) {
    ScopedWaits waits(2000ms, 2000ms);
    scripted::Server server;
    server.Send("* 1 FETCH (UID 7 BODY[] {300}\r\n").Delay(100ms).Send("stolen bytes").Delay(4000ms);
    static int fd, yields;
    static std::string taken;
    const Reception r = ReceiveFrom(server, "AEG1", 500, [](SocketConnection& socket) {
        fd = socket.NativeHandle();
        YieldHook_Set(
            [](void*) {
                char buffer[64];
                const ssize_t n = ++yields == 2 ? recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) : 0;
                if (n > 0) taken.assign(buffer, static_cast<size_t>(n));
            },
            nullptr);
    });
    YieldHook_Set(nullptr, nullptr);
    EXPECT_EQ(taken, "stolen bytes");
    EXPECT_EQ(r.result, SocketResult::Ok);
    EXPECT_EQ(r.text, "* 1 FETCH (UID 7 BODY[] {300}\r\n");
    EXPECT_EQ(r.error, "The connection timed out");
    EXPECT_GE(r.seconds, 0.5);  // the receive time-out, not the 2 s pause
    EXPECT_LT(r.seconds, 1.8);
}

// The one test with the shipped waits: 45 s for the first byte, and a pause of 3 s and 500 µs
// that ends a short tagged response.
TEST(SocketReceive, ShippedWaits) {
    testing_hooks::RestoreTransportWaits();
    EXPECT_EQ(CurrentTransportWaits().firstByte, 45s);
    EXPECT_EQ(CurrentTransportWaits().pause, 3s + 500us);
    scripted::Server server;
    server.Send("AEG1 OK\r\n").Delay(5000ms);
    const Reception r = ReceiveFrom(server, "AEG1");
    EXPECT_EQ(r.result, SocketResult::Ok);
    EXPECT_EQ(r.text, "AEG1 OK\r\n");
    EXPECT_GE(r.seconds, 3.0);
    EXPECT_LT(r.seconds, 4.5);
}

// A stream numbered past what select can watch still waits and reads.
TEST(SocketReceive, StreamNumberedPastTheSelectLimit) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_max < 1200) GTEST_SKIP() << "descriptor limit too low here";
    DescriptorFiller filler(std::max<rlim_t>(limit.rlim_cur, 1200), 1100);
    ScopedWaits waits(2000ms, 100ms);
    scripted::Server server;
    server.Send("* 1 EXISTS\r\nAEG1 OK done\r\n").Delay(1000ms);
    EXPECT_EQ(ReceiveFrom(server, "AEG1").text, "* 1 EXISTS\r\nAEG1 OK done\r\n");
}

TEST(SocketTail, TerminatorRule) {
    struct Case {
        const char* tail;
        bool complete;
    } cases[] = {
        {"* 1 EXISTS\r\nAEG1 OK\r\n", true},
        {"\r\nAEG1\r\n", true},
        {"* 1 EXISTS\rXAEG1 OK\r\n", true},    // the character after the CR is skipped, whatever it is
        {"AEG1 OK\r\n", false},                // no earlier CR inside the tail
        {"* 1 EXISTS\r\nAEG1 OK", false},      // no closing CR LF
        {"* 1 EXISTS\r\nAEG OK\r\n", false},   // shorter than the tag
        {"* 1 EXISTS\r\naeg1 OK\r\n", false},  // byte-exact
        {"* 1 EXISTS\r\nAEG2 OK\r\n", false},
        {"* 1 EXISTS\r\n* AEG1 OK\r\n", false},
        {"\r\n", false},
    };
    for (const Case& c : cases) EXPECT_EQ(TailEndsWithTerminatorLine(c.tail, "AEG1"), c.complete) << c.tail;
}
