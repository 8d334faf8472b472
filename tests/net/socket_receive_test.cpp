#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "hostkit.h"
#include "yield_hook.h"
#include "net_test_util.h"
#include "scripted_server.h"

using namespace std::chrono_literals;

namespace {

struct Reception {
    SocketResult result;
    std::string text, error;
    double seconds;
    bool connected;
};

// Plays `server`, connects, and times one Receive.
Reception ReceiveFrom(scripted::Server& server, const char* terminator, int timeoutMs = 1500,
                      const std::function<void(SocketConnection&)>& connected = {}) {
    SocketConnection socket(Loopback(server.Port(), timeoutMs));
    server.Start();
    EXPECT_EQ(socket.Startup(), SocketResult::Ok);
    EXPECT_EQ(socket.Connect(), SocketResult::Ok);
    if (connected) connected(socket);
    CString out("left over");
    const auto start = std::chrono::steady_clock::now();
    const SocketResult result = socket.Receive(out, terminator);
    Reception r{result, out.str(), socket.LastError().str(), SecondsSince(start), socket.IsConnected()};
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

TEST(TransportWaitsTest, ShippedDefaults) {
    testing_hooks::RestoreTransportWaits();
    EXPECT_EQ(CurrentTransportWaits().firstByte, 45s);
    EXPECT_EQ(CurrentTransportWaits().pause, 3s + 500us);
}

// One Receive per case with a first-byte wait of 2 s.
TEST(SocketReceive, OutcomeTextAndTime) {
    struct Case {
        const char* name;
        std::function<void(scripted::Server&)> play;
        std::chrono::milliseconds pause;
        SocketResult result;
        const char *text, *error;  // null: not checked
        double minSeconds, maxSeconds;
    } cases[] = {
        {"peer closes before sending", [](auto& s) { s.Close(); }, 100ms, SocketResult::NoData, "",
         "No data on the socket", 0, 1.5},
        {"silent peer: the first-byte wait", [](auto& s) { s.Delay(4000ms); }, 100ms, SocketResult::NoData, "",
         "No data on the socket", 1.95, 3.5},
        {"reset after data", [](auto& s) { s.Send("* partial answer that goes on\r\n").Delay(100ms).Reset(); },
         1000ms, SocketResult::ConnectionReset, nullptr, "The connection was terminated on a reset", 0, 10},
        {"peer close ends the response", [](auto& s) { s.Send("* BYE going away\r\n").Close(); }, 2000ms,
         SocketResult::Ok, "* BYE going away\r\n", nullptr, 0, 1.5},
        {"a NUL ends what is taken of a chunk", [](auto& s) { s.Send(std::string("abc\0def\r\n", 9)).Close(); },
         100ms, SocketResult::Ok, "abc", nullptr, 0, 10},
    };
    for (const Case& c : cases) {
        ScopedWaits waits(2000ms, c.pause);
        scripted::Server server;
        c.play(server);
        const Reception r = ReceiveFrom(server, "AEG1");
        EXPECT_EQ(r.result, c.result) << c.name;
        EXPECT_EQ(r.text, c.text ? c.text : r.text) << c.name;
        EXPECT_EQ(r.error, c.error ? c.error : r.error) << c.name;
        EXPECT_TRUE(r.connected || c.result != SocketResult::ConnectionReset) << "a reset leaves the decision to the owner";
        EXPECT_GE(r.seconds, c.minSeconds) << c.name;
        EXPECT_LT(r.seconds, c.maxSeconds) << c.name;
    }
}

// The terminator line ends the response at once only with an earlier line in the 30-byte tail;
// otherwise only the (long) pause ends it. The tail rule itself is SocketTail below.
TEST(SocketReceive, TerminatorLineEndsTheResponseOnlyWithAnEarlierLineInTheTail) {
    struct Case {
        std::vector<std::string> chunks;
        bool immediate;
    } cases[] = {
        {{"* 3 EXISTS\r\nAEG1 OK Select done\r\n"}, true},
        {{"AEG1 OK done\r\n"}, false},
        {{"AEG1 OK this status text is longer than thirty\r\n"}, false},
        {{"* SEARCH 1 2 3 4 5 6 7 8 9 10 11\r\n", "AEG1 OK\r\n"}, true},
        {{"* 3 EXISTS\r\n* AEG1 OK Select done\r\n"}, false},
    };
    ScopedWaits waits(5000ms, 1000ms);
    for (const Case& c : cases) {
        scripted::Server server;
        std::string all;
        for (const std::string& chunk : c.chunks) {
            server.Send(chunk).Delay(50ms);
            all += chunk;
        }
        server.Delay(3000ms);
        const Reception r = ReceiveFrom(server, "AEG1");
        EXPECT_EQ(r.result, SocketResult::Ok) << all;
        EXPECT_EQ(r.text, all);
        if (c.immediate)
            EXPECT_LT(r.seconds, 0.7) << all;
        else
            EXPECT_GE(r.seconds, 1.0) << all;
    }
}

// Every chunk but the one that ends the response yields twice; without a terminator, the pause
// ends the response after the yields.
TEST(SocketReceive, TwoYieldsPerChunk) {
    std::string body;
    for (int i = 0; body.size() < 20000; ++i) body += "* " + std::to_string(i) + " FETCH (FLAGS (\\Seen))\r\n";
    const std::string response = body + "AEG7 OK Fetch completed.\r\n";
    {
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
    ScopedWaits waits(2000ms, 300ms);
    scripted::Server server;
    server.Send("* OK server ready\r\n").Delay(1500ms);
    HostKit_Clear();
    const Reception r = ReceiveFrom(server, nullptr);
    EXPECT_EQ(r.text, "* OK server ready\r\n");
    EXPECT_GE(r.seconds, 0.3);
    EXPECT_LT(r.seconds, 1.2);
    EXPECT_EQ(YieldCount(), 2);
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

// The one test that keeps the shipped pause of 3 s and 500 µs.
TEST(SocketReceive, ShippedPauseEndsAShortTaggedResponse) {
    testing_hooks::RestoreTransportWaits();
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
    const rlimit raised{std::max<rlim_t>(limit.rlim_cur, 1200), limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
    std::vector<int> filler;
    while (filler.empty() || (filler.back() >= 0 && filler.back() < 1100)) filler.push_back(dup(0));
    ScopedWaits waits(2000ms, 100ms);
    scripted::Server server;
    server.Send("* 1 EXISTS\r\nAEG1 OK done\r\n").Delay(1000ms);
    EXPECT_EQ(ReceiveFrom(server, "AEG1").text, "* 1 EXISTS\r\nAEG1 OK done\r\n");
    for (int fd : filler)
        if (fd >= 0) close(fd);
    setrlimit(RLIMIT_NOFILE, &limit);
}

TEST(SocketTail, TerminatorRule) {
    struct Case {
        const char* tail;
        bool complete;
    } cases[] = {
        {"* 1 EXISTS\r\nAEG1 OK\r\n", true},
        {"\r\nAEG1\r\n", true},
        {"* 1 EXISTS\rXAEG1 OK\r\n", true},     // the character after the CR is skipped, whatever it is
        {"AEG1 OK\r\n", false},                 // no earlier CR inside the tail
        {"* 1 EXISTS\r\nAEG1 OK", false},       // no closing CR LF
        {"* 1 EXISTS\r\nAEG OK\r\n", false},    // shorter than the tag
        {"* 1 EXISTS\r\naeg1 OK\r\n", false},   // byte-exact
        {"* 1 EXISTS\r\nAEG2 OK\r\n", false},
        {"* 1 EXISTS\r\n* AEG1 OK\r\n", false},
        {"\r\n", false},
    };
    for (const Case& c : cases) EXPECT_EQ(TailEndsWithTerminatorLine(c.tail, "AEG1"), c.complete) << c.tail;
}
