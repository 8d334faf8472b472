// The transport against what a POSIX host process does around it: errno values, stream options,
// descriptors running out or numbered past what select can watch, signals every 50 ms (timers,
// children, profilers) and a handshake slower than the time-outs.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <tuple>

#include "net/socket_connection.h"
#include "net/transport_waits.h"
#include "platform/host_binding.h"
#include "scripted_server.h"
#include "transcript.h"

using namespace std::chrono_literals;

namespace {

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
// waits and the descriptors it takes are its own. With `signals`, a handler installed without
// SA_RESTART (as a host's timer handler often is) takes SIGALRM every 50 ms. The child stays clear
// of floating point: under the i386 emulator a signal can leave the x87 state unusable.
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

// In the child: takes descriptors under a limit of `limit` until one numbered `upTo` is taken or
// none is left.
void TakeDescriptors(rlim_t limit, int upTo) {
    rlimit changed{};
    getrlimit(RLIMIT_NOFILE, &changed);
    changed.rlim_cur = limit;
    setrlimit(RLIMIT_NOFILE, &changed);
    for (int fd = dup(0); fd >= 0 && fd < upTo;) fd = dup(0);
}

}  // namespace

// errno read as the transport condition of the same meaning (EWOULDBLOCK is EAGAIN here).
TEST(SocketErrorMapping, TranslateLastErrorWordsEachCode) {
    const std::tuple<int, SocketResult, const char*> cases[] = {
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
    for (const auto& [err, code, text] : cases) {
        errno = err;
        EXPECT_EQ(socket.TranslateLastError(), code) << "errno " << err;
        EXPECT_EQ(socket.LastError(), text);
    }
}

// Keep-alive always; each time-out only when set (-1 leaves the system's none). Closing gives
// the stream back. With no descriptor left, the socket cannot be made.
TEST(SocketConnect, OptionsOnTheStreamAndNoDescriptorLeft) {
    const std::tuple<int, int, long, long> cases[] = {
        {1500, 1500, 1500000, 1500000}, {1000, -1, 1000000, 0}, {-1, 2000, 0, 2000000}};
    for (const auto& [receiveMs, sendMs, receiveUs, sendUs] : cases) {
        scripted::Server server;
        server.Start();
        SocketConnection socket(SocketSettings::For("127.0.0.1", server.Port(), receiveMs, sendMs));
        EXPECT_EQ(socket.NativeHandle(), sock::kInvalidHandle);
        ASSERT_TRUE(socket.Startup() == SocketResult::Ok && socket.Connect() == SocketResult::Ok);
        int keepAlive = 0;
        socklen_t length = sizeof keepAlive;
        EXPECT_EQ(getsockopt(socket.NativeHandle(), SOL_SOCKET, SO_KEEPALIVE, &keepAlive, &length), 0);
        EXPECT_EQ(keepAlive, 1);
        for (const auto& [name, micros] :
             {std::pair{SO_RCVTIMEO, receiveUs}, std::pair{SO_SNDTIMEO, sendUs}}) {
            timeval tv{};
            socklen_t size = sizeof tv;
            EXPECT_EQ(getsockopt(socket.NativeHandle(), SOL_SOCKET, name, &tv, &size), 0);
            EXPECT_EQ(tv.tv_sec * 1000000L + tv.tv_usec, micros) << name;
        }
        socket.Close();
        EXPECT_EQ(socket.NativeHandle(), sock::kInvalidHandle);
        EXPECT_FALSE(socket.IsConnected());
        server.Finish();
    }
    const Report got = InChild(
        false,
        [](SocketConnection& socket, std::string& text) {
            TakeDescriptors(128, 1 << 30);
            const SocketResult result = socket.Connect();
            text = socket.LastError().str() + (socket.IsConnected() ? " connected" : "");
            return static_cast<int>(result);
        },
        143, 1500);
    EXPECT_EQ(got.result, static_cast<int>(SocketResult::SocketFailed));
    EXPECT_STREQ(got.text, "Creation of the socket failed.");
}

// First-byte wait of 1 s, pause of 400 ms, a signal every 50 ms and a stream numbered past what
// select can watch: the answer and the time of a quiet run (a signal neither ends a wait early nor
// starts it again from the beginning).
TEST(TransportWaitsUnderSignals, SameAnswerAtTheSameTime) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_max < 1200) GTEST_SKIP() << "descriptor limit too low here";
    const struct {
        const char *script, *terminator;
        SocketResult result;
        const char* text;
        double minSeconds, maxSeconds;
    } rows[] = {
        {"!delay 600\n< * 1 EXISTS | AEG1 OK Select completed.\n!delay 2000", "AEG1", SocketResult::Ok,
         "* 1 EXISTS\r\nAEG1 OK Select completed.\r\n", 0.55, 0.95},
        {"< * 1 FETCH (UID 7 BODY[] {12}\n!delay 250\n< hello $\n!delay 250\n< world!)\n!delay 250\n"
         "< AEG1 OK Fetch completed.\n!delay 2000",
         "AEG1", SocketResult::Ok,
         "* 1 FETCH (UID 7 BODY[] {12}\r\nhello world!)\r\nAEG1 OK Fetch completed.\r\n", 0.7, 1.2},
        {"!delay 3000", "AEG1", SocketResult::NoData, "", 0.95, 1.5},
        {"< * OK ready\n!delay 3000", nullptr, SocketResult::Ok, "* OK ready\r\n", 0.38, 0.8},
    };
    testing_hooks::OverrideTransportWaits({1000ms, 400ms});
    host::YieldCycles(10);  // the host libraries bound before the children start: no loading under signals
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script);
        scripted::Server server;
        scripted::Play(server, row.script);
        server.Start();
        const auto receive = [&row](SocketConnection& socket, std::string& text) {
            TakeDescriptors(1200, 1100);
            CString out;
            SocketResult result = socket.Connect();
            if (result == SocketResult::Ok) result = socket.Receive(out, row.terminator);
            text = out.str() + (socket.NativeHandle() > FD_SETSIZE ? "" : " (a low descriptor)");
            return static_cast<int>(result);
        };
        const Report got = InChild(true, receive, server.Port(), 1500);
        EXPECT_EQ(got.result, static_cast<int>(row.result));
        EXPECT_STREQ(got.text, row.text);
        EXPECT_GE(got.seconds(), row.minSeconds);
        EXPECT_LT(got.seconds(), row.maxSeconds);
        EXPECT_GE(got.signals, 5) << "the signals did arrive";
        server.Finish(0ms);
    }
    testing_hooks::RestoreTransportWaits();
}

// A listener whose queue is full answers a new handshake only after it accepts the queued
// connection; the client's retry then completes it, about a second after it began. Neither the
// 200 ms send time-out nor signals during the handshake may end the connection attempt.
TEST(TransportConnect, HandshakeSlowerThanTheTimeOutsAndUnderSignals) {
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
    const Report got = InChild(true, connect, ntohs(address.sin_port), 200);
    EXPECT_EQ(got.result, static_cast<int>(SocketResult::Ok)) << got.text;
    EXPECT_GE(got.seconds(), 0.65) << "the queue was not full: nothing was proven";
    EXPECT_GE(got.signals, 5);
    acceptor.join();
    close(filler);
    close(listener);
}
