// The transport against what a POSIX system and a host process do around it: errno values,
// stream options, descriptors running out or numbered past what select can watch, signals
// arriving every 50 ms (timers, children, profilers) and a handshake slower than the time-outs.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "net/socket_connection.h"
#include "net/transport_waits.h"
#include "platform/host_binding.h"
#include "scripted_server.h"
#include "transcript.h"

using namespace std::chrono_literals;

namespace {

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

// What the client's side reports from its child process: result, time taken, signals taken, text.
struct Report {
    int result = -1;
    long long micros = 0;
    int signals = 0;
    char text[240] = {};
    double seconds() const { return static_cast<double>(micros) / 1e6; }
};

volatile sig_atomic_t g_delivered = 0;

// Runs `client` in a child process of one thread, so that the signals reach the thread that
// waits (a timer's signal goes to the process) and nothing else of the test is in their way.
// With `signals`, a handler installed without SA_RESTART (as a host's timer handler often is)
// takes SIGALRM every 50 ms. The child stays clear of floating point: under the i386 emulator a
// signal can leave the x87 state unusable for the code that follows.
Report InChild(bool signals, const std::function<int(SocketConnection&, std::string&)>& client, uint16_t port,
               int timeoutMs) {
    int ends[2];
    if (pipe(ends) != 0) return {};
    if (fork() == 0) {
        if (signals) {
            struct sigaction action {};
            action.sa_handler = [](int) { g_delivered = g_delivered + 1; };
            sigaction(SIGALRM, &action, nullptr);
            const itimerval every{{0, 50000}, {0, 50000}};
            setitimer(ITIMER_REAL, &every, nullptr);
        }
        Report report;
        SocketConnection socket(SocketSettings::For("127.0.0.1", port, timeoutMs, timeoutMs));
        std::string text;
        const auto start = std::chrono::steady_clock::now();
        if (socket.Startup() == SocketResult::Ok) report.result = client(socket, text);
        report.micros =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                .count();
        const itimerval off{};
        setitimer(ITIMER_REAL, &off, nullptr);
        report.signals = g_delivered;
        std::strncpy(report.text, text.c_str(), sizeof report.text - 1);
        _exit(write(ends[1], &report, sizeof report) == sizeof report ? 0 : 1);  // one write: atomic
    }
    close(ends[1]);
    Report report;
    if (read(ends[0], &report, sizeof report) != sizeof report) report.result = -2;
    close(ends[0]);
    wait(nullptr);
    return report;
}

}  // namespace

// errno read as the transport condition of the same meaning (EWOULDBLOCK is EAGAIN here).
TEST(SocketErrorMapping, TranslateLastErrorWordsEachCode) {
    const struct {
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
    SocketConnection socket(SocketSettings::For("127.0.0.1", 1, 1500, 1500));
    for (const auto& c : cases) {
        errno = c.err;
        EXPECT_EQ(socket.TranslateLastError(), c.code) << "errno " << c.err;
        EXPECT_EQ(socket.LastError(), c.text);
    }
}

// Keep-alive always; each time-out only when set (-1 leaves the system's none). Closing gives
// the stream back.
TEST(SocketConnect, OptionsAreSetOnTheStream) {
    const struct {
        int receiveMs, sendMs;
        long receiveUs, sendUs;
    } cases[] = {{1500, 1500, 1500000, 1500000}, {1000, -1, 1000000, 0}, {-1, 2000, 0, 2000000}};
    for (const auto& c : cases) {
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
        for (const auto& [name, micros] :
             {std::pair{SO_RCVTIMEO, c.receiveUs}, std::pair{SO_SNDTIMEO, c.sendUs}}) {
            timeval tv{};
            socklen_t size = sizeof tv;
            EXPECT_EQ(getsockopt(fd, SOL_SOCKET, name, &tv, &size), 0);
            EXPECT_EQ(tv.tv_sec * 1000000L + tv.tv_usec, micros) << name;
        }
        socket.Close();
        EXPECT_EQ(socket.NativeHandle(), sock::kInvalidHandle);
        EXPECT_FALSE(socket.IsConnected());
        server.Finish();
    }
}

// No descriptor left for a new socket; and a stream numbered past what select can watch still
// waits and reads.
TEST(SocketDescriptors, ExhaustedAreSocketFailedAndHighNumbersStillRead) {
    SocketConnection socket(SocketSettings::For("127.0.0.1", 143, 1500, 1500));
    ASSERT_EQ(socket.Startup(), SocketResult::Ok);
    SocketResult result;
    {
        DescriptorFiller filler(128, INT_MAX);
        result = socket.Connect();
    }
    EXPECT_EQ(result, SocketResult::SocketFailed);
    EXPECT_EQ(socket.LastError(), "Creation of the socket failed.");
    EXPECT_FALSE(socket.IsConnected());

    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_max < 1200) GTEST_SKIP() << "descriptor limit too low here";
    DescriptorFiller filler(std::max<rlim_t>(limit.rlim_cur, 1200), 1100);
    testing_hooks::OverrideTransportWaits({2000ms, 100ms});
    scripted::Server server;
    scripted::Play(server, "< * 1 EXISTS | AEG1 OK done\n!delay 1000");
    server.Start();
    SocketConnection high(SocketSettings::For("127.0.0.1", server.Port(), 1500, 1500));
    CString out;
    EXPECT_TRUE(high.Startup() == SocketResult::Ok && high.Connect() == SocketResult::Ok);
    EXPECT_GT(high.NativeHandle(), FD_SETSIZE);
    EXPECT_EQ(high.Receive(out, "AEG1"), SocketResult::Ok);
    EXPECT_EQ(out, "* 1 EXISTS\r\nAEG1 OK done\r\n");
    testing_hooks::RestoreTransportWaits();
    server.Finish(0ms);
}

// First-byte wait of 1 s, pause of 400 ms. Each row runs without and with a signal every 50 ms:
// the same result, the same text, and an end at the same wait (a signal neither ends a wait early
// nor starts it again from the beginning).
TEST(TransportWaitsUnderSignals, SameAnswerAtTheSameTime) {
    const struct {
        const char* name;
        const char* script;
        const char* terminator;
        SocketResult result;
        const char* text;
        double minSeconds, maxSeconds;
    } rows[] = {
        {"first byte after 600 ms", "!delay 600\n< * 1 EXISTS | AEG1 OK Select completed.\n!delay 2000",
         "AEG1", SocketResult::Ok, "* 1 EXISTS\r\nAEG1 OK Select completed.\r\n", 0.55, 0.95},
        {"three pieces 250 ms apart",
         "< * 1 FETCH (UID 7 BODY[] {12}\n!delay 250\n< hello $\n!delay 250\n< world!)\n!delay 250\n"
         "< AEG1 OK Fetch completed.\n!delay 2000",
         "AEG1", SocketResult::Ok,
         "* 1 FETCH (UID 7 BODY[] {12}\r\nhello world!)\r\nAEG1 OK Fetch completed.\r\n", 0.7, 1.2},
        {"silence: the first-byte wait runs out", "!delay 3000", "AEG1", SocketResult::NoData, "", 0.95, 1.5},
        {"greeting ended by the pause", "< * OK ready\n!delay 3000", nullptr, SocketResult::Ok,
         "* OK ready\r\n", 0.38, 0.8},
    };
    testing_hooks::OverrideTransportWaits({1000ms, 400ms});
    host::YieldCycles(10);  // the host libraries bound before the children start: no loading under signals
    for (const auto& row : rows) {
        for (const bool signals : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (signals ? ", with signals" : ", quiet"));
            scripted::Server server;
            scripted::Play(server, row.script);
            server.Start();
            const auto receive = [&row](SocketConnection& socket, std::string& text) {
                CString out;
                const SocketResult connected = socket.Connect();
                const SocketResult result =
                    connected == SocketResult::Ok ? socket.Receive(out, row.terminator) : connected;
                text = out.str();
                return static_cast<int>(result);
            };
            const Report got = InChild(signals, receive, server.Port(), 1500);
            EXPECT_EQ(got.result, static_cast<int>(row.result));
            EXPECT_STREQ(got.text, row.text);
            EXPECT_GE(got.seconds(), row.minSeconds);
            EXPECT_LT(got.seconds(), row.maxSeconds);
            EXPECT_GE(got.signals, signals ? 5 : 0) << "the signals did arrive";
            server.Finish(0ms);
        }
    }
    testing_hooks::RestoreTransportWaits();
}

// A listener whose queue is full answers a new handshake only after it accepts the queued
// connection; the client's retry then completes it, about a second after it began. Neither the
// 200 ms send time-out nor signals during the handshake may end the connection attempt.
TEST(TransportConnect, HandshakeSlowerThanTheTimeOutsAndUnderSignals) {
    for (const bool signals : {false, true}) {
        SCOPED_TRACE(signals ? "with signals" : "quiet");
        const int listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        const auto at = reinterpret_cast<sockaddr*>(&address);
        ASSERT_TRUE(bind(listener, at, sizeof address) == 0 && listen(listener, 0) == 0);
        ASSERT_EQ(getsockname(listener, at, &length), 0);
        const int filler = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(connect(filler, at, sizeof address), 0);
        std::thread acceptor([listener] {
            std::this_thread::sleep_for(700ms);
            const int first = accept(listener, nullptr, nullptr);
            close(accept(listener, nullptr, nullptr));
            close(first);
        });
        const auto connect = [](SocketConnection& socket, std::string& text) {
            const SocketResult result = socket.Connect();
            text = socket.LastError().str();
            return static_cast<int>(result);
        };
        const Report got = InChild(signals, connect, ntohs(address.sin_port), 200);
        EXPECT_EQ(got.result, static_cast<int>(SocketResult::Ok)) << got.text;
        EXPECT_GE(got.seconds(), 0.65) << "the queue was not full: nothing was proven";
        EXPECT_GE(got.signals, signals ? 5 : 0);
        acceptor.join();
        close(filler);
        close(listener);
    }
}
