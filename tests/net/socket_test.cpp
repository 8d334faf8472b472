// The transport over loopback, on both systems: result codes and their texts, connecting and
// sending, the response reader's endings (terminator line, peer close, pause, time-outs), and on
// POSIX what a host process does around it (signals, descriptors, stream options).
#include <gtest/gtest.h>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <tuple>

#include "hostkit.h"
#include "net/socket_connection.h"
#include "net/transport_waits.h"
#include "platform/host_binding.h"
#include "scripted_server.h"
#include "transcript.h"
#include "yield_hook.h"

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

// Starts `server` and connects to it.
struct Connected {
    explicit Connected(scripted::Server& server, int timeoutMs = 1500)
        : socket(SocketSettings::For("127.0.0.1", server.Port(), timeoutMs, timeoutMs)) {
        server.Start();
        EXPECT_EQ(socket.Startup(), SocketResult::Ok);
        EXPECT_EQ(socket.Connect(), SocketResult::Ok);
    }
    SocketConnection socket;
};

// What a client gave: its result and text, the time it took, the yields (of 10 cycles each) and
// signals it saw, and the transport's state after it.
struct ClientRun {
    int result = -1;
    long long micros = 0;
    int yields = 0, signals = 0;
    bool connected = false;
    size_t textSize = 0;  // the text may hold a NUL
    char error[80] = {}, text[24000] = {};
    double seconds() const { return static_cast<double>(micros) / 1e6; }
    std::string Text() const { return std::string(text, textSize); }
};
using Client = std::function<int(SocketConnection&, std::string&)>;

void Measure(const Client& client, uint16_t port, int timeoutMs, ClientRun& run) {
    SocketConnection socket(SocketSettings::For("127.0.0.1", port, timeoutMs, timeoutMs));
    HostKit_Clear();
    std::string text;
    const auto start = std::chrono::steady_clock::now();
    if (socket.Startup() == SocketResult::Ok) run.result = client(socket, text);
    run.micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
            .count();
    for (int i = 0; i < HostKit_CallCount(); ++i)
        run.yields +=
            std::string(HostKit_Call(i)->function) == "SyncYieldCycles" && HostKit_Call(i)->number1 == 10;
    std::strncpy(run.error, socket.LastError().c_str(), sizeof run.error - 1);
    run.textSize = std::min(text.size(), sizeof run.text);
    std::memcpy(run.text, text.data(), run.textSize);
    run.connected = socket.IsConnected();
}

// Takes the bytes that wait on the stream at the second yield of a receive.
int g_yields = 0;
std::string g_taken;
void StealAtTheSecondYield(void* socket) {
    char buffer[64];
    const sock::Handle fd = static_cast<SocketConnection*>(socket)->NativeHandle();
    const int n = ++g_yields == 2 ? recv(fd, buffer, sizeof buffer, 0) : 0;
    if (n > 0) g_taken.assign(buffer, static_cast<size_t>(n));
}

#ifdef _WIN32
ClientRun InClient(const Client& client, uint16_t port, int timeoutMs) {
    ClientRun run;
    Measure(client, port, timeoutMs, run);
    return run;
}
#else
volatile sig_atomic_t g_delivered = 0;

// Runs `client` in a child process of one thread, so that the signals reach the thread that
// waits and the descriptors it takes are its own: a handler installed without SA_RESTART (as a
// host's timer handler often is) takes SIGALRM every 50 ms. The child stays clear of floating
// point: under the i386 emulator a signal can leave the x87 state unusable.
ClientRun InClient(const Client& client, uint16_t port, int timeoutMs) {
    ClientRun run;
    int ends[2];
    if (pipe(ends) != 0) return run;
    if (fork() == 0) {
        struct sigaction action {};
        action.sa_handler = [](int) { g_delivered = g_delivered + 1; };
        sigaction(SIGALRM, &action, nullptr);
        const itimerval every{{0, 50000}, {0, 50000}}, off{};
        setitimer(ITIMER_REAL, &every, nullptr);
        Measure(client, port, timeoutMs, run);
        setitimer(ITIMER_REAL, &off, nullptr);
        run.signals = g_delivered;
        _exit(write(ends[1], &run, sizeof run) == sizeof run ? 0 : 1);
    }
    close(ends[1]);
    size_t done = 0;
    for (ssize_t n = 1; n > 0 && done < sizeof run; done += static_cast<size_t>(n))
        n = std::max<ssize_t>(read(ends[0], reinterpret_cast<char*>(&run) + done, sizeof run - done), 0);
    close(ends[0]);
    wait(nullptr);
    if (done != sizeof run) run.result = -2;
    return run;
}

// In the child: raises the descriptor limit to `limit` and takes descriptors until one numbered
// `upTo` is taken or none is left; false when the limit could not be set.
bool TakeDescriptors(rlim_t limit, int upTo) {
    rlimit changed{};
    getrlimit(RLIMIT_NOFILE, &changed);
    changed.rlim_cur = limit;
    const bool set = setrlimit(RLIMIT_NOFILE, &changed) == 0;
    for (int fd = dup(0); fd >= 0 && fd < upTo;) fd = dup(0);
    return set;
}
#endif

}  // namespace

// Calls out of order, then one connection per row: dotted addresses are used as given, a name is
// looked up. Port -1 stands for 80; success leaves the last failure text in place. On POSIX the
// stream has keep-alive and each time-out only when set (-1 leaves the system's none). Closing
// gives the stream back.
TEST(SocketConnect, StatesResultPerServerAndStreamOptions) {
    SocketConnection socket(SocketSettings::For("127.0.0.1", -1, 1500, 1500));
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

    scripted::Server live;
    const uint16_t unused = scripted::Server().Port();  // bound, then released: nothing listens there
    live.Start();
    const std::tuple<const char*, int, int, int, SocketResult, const char*> cases[] = {
        {"127.0.0.1", unused, 1500, 1500, SocketResult::ConnectFailed,
         "There is no connection for the socket"},
        {"no-such-host.invalid", 143, 1500, 1500, SocketResult::BadServer,
         "The supplied server 'no-such-host.invalid' is invalid"},
        {"localhost", live.Port(), 1000, -1, SocketResult::Ok, ""},
        {"127.0.0.1", live.Port(), -1, 2000, SocketResult::Ok, ""},
    };
    for (const auto& [server, port, receiveMs, sendMs, result, error] : cases) {
        SocketConnection socket(SocketSettings::For(server, port, receiveMs, sendMs));
        ASSERT_EQ(socket.Startup(), SocketResult::Ok);
        EXPECT_EQ(socket.Connect(), result) << server;
        EXPECT_EQ(socket.LastError(), error) << server;
        EXPECT_EQ(socket.IsConnected(), result == SocketResult::Ok) << server;
#ifndef _WIN32
        int keepAlive = 0;
        socklen_t length = sizeof keepAlive;
        getsockopt(socket.NativeHandle(), SOL_SOCKET, SO_KEEPALIVE, &keepAlive, &length);
        EXPECT_EQ(keepAlive, result == SocketResult::Ok) << server;
        for (const auto& [name, ms] : {std::pair{SO_RCVTIMEO, receiveMs}, std::pair{SO_SNDTIMEO, sendMs}}) {
            timeval tv{};
            socklen_t size = sizeof tv;
            getsockopt(socket.NativeHandle(), SOL_SOCKET, name, &tv, &size);
            EXPECT_EQ(tv.tv_sec * 1000 + tv.tv_usec / 1000, result == SocketResult::Ok ? std::max(ms, 0) : 0)
                << name;
        }
#endif
        socket.Close();
        EXPECT_EQ(socket.NativeHandle(), sock::kInvalidHandle);
        EXPECT_FALSE(socket.IsConnected());
    }
    EXPECT_TRUE(live.Finish().ok);
}

// One conversation: sent bytes arrive whole, an empty text is refused, a reconnect closes the old
// stream, and a send to a peer that reset is an error, not a signal, that leaves the decision to
// close to the owner.
TEST(SocketSend, BytesArriveWholeReconnectClosesAndPeerGoneIsAnError) {
    std::string big(300000, 'x');
    for (size_t i = 0; i < big.size(); i += 77) big[i] = static_cast<char>('a' + i % 26);
    scripted::Server server;
    server.ExpectTimeout(3000ms).Expect("A1 NOOP\r\n").Expect(big);
    scripted::Play(server, "< first\n!expect-close\n!accept\n< second\n!delay 300\n!reset");
    Connected c(server);
    EXPECT_EQ(c.socket.Send(""), SocketResult::BadParameter);
    EXPECT_EQ(c.socket.LastError(), "A bad parameter was passed to the function");
    EXPECT_EQ(c.socket.Send(nullptr), SocketResult::BadParameter);
    EXPECT_EQ(c.socket.Send("A1 NOOP\r\n"), SocketResult::Ok);
    EXPECT_EQ(c.socket.Send(big.c_str()), SocketResult::Ok);
    testing_hooks::OverrideTransportWaits({2000ms, 100ms});
    CString out;
    EXPECT_EQ(c.socket.Receive(out, nullptr), SocketResult::Ok);
    EXPECT_EQ(out, "first\r\n");
    ASSERT_EQ(c.socket.Connect(), SocketResult::Ok);
    EXPECT_EQ(c.socket.Receive(out, nullptr), SocketResult::Ok);
    EXPECT_EQ(out, "second\r\n");
    testing_hooks::RestoreTransportWaits();
    const scripted::Outcome outcome = server.Finish();
    EXPECT_TRUE(outcome.ok) << outcome.failure;
    EXPECT_EQ(outcome.received, "A1 NOOP\r\n" + big);
    EXPECT_EQ(outcome.connections, 2);
    SocketResult result = SocketResult::Ok;
    for (int i = 0; i < 50 && result == SocketResult::Ok; ++i) {
        std::this_thread::sleep_for(10ms);
        result = c.socket.Send("A1 NOOP\r\n");
    }
    EXPECT_TRUE(result == SocketResult::ConnectionReset || result == SocketResult::ConnectionAborted)
        << static_cast<int>(result);
    EXPECT_TRUE(c.socket.IsConnected());
}

// A peer that stops reading: once the buffers are full every send runs into the send time-out;
// eight are retried, the ninth is the answer. On POSIX a signal every 50 ms must not start a
// 100 ms time-out again.
TEST(SocketSend, GivesUpAtTheNinthTimeOut) {
    scripted::Server server;
    server.Delay(8000ms);
    server.Start();
    const ClientRun got = InClient(
        [](SocketConnection& socket, std::string&) {
            const std::string flood(32 << 20, 'x');
            const SocketResult connected = socket.Connect();
            return static_cast<int>(connected == SocketResult::Ok ? socket.Send(flood.c_str()) : connected);
        },
        server.Port(), 100);
    EXPECT_EQ(got.result, static_cast<int>(SocketResult::TimedOut));
    EXPECT_STREQ(got.error, "The connection timed out");
    EXPECT_GE(got.seconds(), 0.85);  // nine waits of 100 ms
    EXPECT_LT(got.seconds(), 4.0);
    server.Finish(0ms);
}

// One Receive per row, first-byte wait 2 s; on POSIX under a signal every 50 ms (a signal neither
// ends a wait early nor starts it again from the beginning) and on a stream numbered past what
// select can watch. A terminator line ends the response at once only with an earlier line in the
// 30-byte tail (the last chunk when longer, else the end of all that came); otherwise the pause
// ends it. Every chunk but the one that ends the response yields twice. A receive time-out after
// data ends the response with that data: a `steal` row takes the second chunk away at the yield
// after the pause wait, so that the next read runs into the time-out.
TEST(SocketReceive, OutcomeTextTimeAndYields) {
    std::string fetched, fetches;  // 20 kB of lines as sent, and as a transcript reply
    for (int i = 0; fetched.size() < 20000; ++i) {
        const std::string line = "* " + std::to_string(i) + " FETCH (FLAGS (\\Seen))";
        fetched += line + "\r\n";
        fetches += line + " | ";
    }
    fetched += "AEG7 OK Fetch completed.\r\n";
    const std::string longLine = "AEG1 OK this status text is longer than thirty";
    const int manyYields = -2 * ((static_cast<int>(fetched.size()) + 4095) / 4096 - 1);
    const struct {
        std::string script, text;  // a transcript, and what Receive gives
        SocketResult result;
        const char* error;
        std::chrono::microseconds pause;
        double minSeconds, maxSeconds;
        int yields;  // negative: at least that many, an even number
        const char* terminator = "AEG1";
        bool steal = false;
        int timeoutMs = 1500;
    } rows[] = {
        {"!close", "", SocketResult::NoData, "No data on the socket", 100ms, 0, 1.5, 0},
        {"!delay 4000", "", SocketResult::NoData, "No data on the socket", 100ms, 1.95, 3.5, 0},
#ifndef _WIN32  // wine reads a reset after data as an orderly end
        {"< * partial answer\n!delay 100\n!reset", "* partial answer\r\n", SocketResult::ConnectionReset,
         "The connection was terminated on a reset", 1s, 0, 10, 2},
#endif
        {"< * BYE going away\n!close", "* BYE going away\r\n", SocketResult::Ok, "", 2s, 0, 1.5, 2},
        {"< abc\0def\n!close"s, "abc", SocketResult::Ok, "", 100ms, 0, 10, 2},  // a NUL ends the chunk
        {"< * 3 EXISTS | AEG1 OK Select done\n!delay 3000", "* 3 EXISTS\r\nAEG1 OK Select done\r\n",
         SocketResult::Ok, "", 1s, 0, 0.7, 0},
        // A long chunk without an earlier line: the pause.
        {"< " + longLine + "\n!delay 3000", longLine + "\r\n", SocketResult::Ok, "", 1s, 1.0, 2.5, 2},
        // The tail reaches into the chunk before.
        {"< * SEARCH 1 2 3 4 5 6 7 8 9 10 11\n!delay 50\n< AEG1 OK\n!delay 3000",
         "* SEARCH 1 2 3 4 5 6 7 8 9 10 11\r\nAEG1 OK\r\n", SocketResult::Ok, "", 1s, 0, 0.7, 2},
        {"< * OK ready\n!delay 1500", "* OK ready\r\n", SocketResult::Ok, "", 300ms, 0.3, 0.8, 2, nullptr},
        {"< " + fetches + "AEG7 OK Fetch completed.\n!delay 2000", fetched, SocketResult::Ok, "", 1500ms, 0,
         1.0, manyYields, "AEG7"},
        // The shipped pause of 3 s and 500 µs ends a short tagged response.
        {"< AEG1 OK\n!delay 5000", "AEG1 OK\r\n", SocketResult::Ok, "", TransportWaits().pause, 3.0, 4.5, 2},
        // The receive time-out of 0.5 s, neither the 2 s first-byte wait nor the pause.
        {"< * 1 FETCH (UID 7 BODY[] {300}\n!delay 100\n< stolen bytes$\n!delay 4000",
         "* 1 FETCH (UID 7 BODY[] {300}\r\n|stolen bytes", SocketResult::Ok, "The connection timed out", 3s,
         0.5, 1.8, 2, "AEG1", true, 500},
    };
    host::YieldCycles(10);  // the host libraries bound before the children start: no loading under signals
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script.substr(0, 60));
        testing_hooks::OverrideTransportWaits({2s, row.pause});
        scripted::Server server;
        scripted::Play(server, row.script);
        server.Start();
        const ClientRun got = InClient(
            [&row](SocketConnection& socket, std::string& text) {
                CString out("left over");
#ifndef _WIN32
                if (TakeDescriptors(1200, 1100) && socket.Connect() == SocketResult::Ok &&
                    socket.NativeHandle() <= FD_SETSIZE)
                    return -3;
#endif
                SocketResult result = socket.IsConnected() ? SocketResult::Ok : socket.Connect();
                if (row.steal) YieldHook_Set(StealAtTheSecondYield, &socket);
                if (result == SocketResult::Ok) result = socket.Receive(out, row.terminator);
                YieldHook_Set(nullptr, nullptr);
                text = out.str() + (row.steal ? "|" + g_taken : "");
                return static_cast<int>(result);
            },
            server.Port(), row.timeoutMs);
        EXPECT_EQ(got.result, static_cast<int>(row.result));
        EXPECT_GE(got.seconds(), row.minSeconds);
        EXPECT_LT(got.seconds(), row.maxSeconds);
        EXPECT_EQ(got.Text(), row.text);  // nothing is read before a failure
        EXPECT_STREQ(got.error, row.error);
        EXPECT_TRUE(got.connected) << "a reset leaves the decision to the owner";
        EXPECT_TRUE(row.yields >= 0 ? got.yields == row.yields
                                    : got.yields >= -row.yields && got.yields % 2 == 0)
            << got.yields;
#ifndef _WIN32
        EXPECT_GE(got.signals, got.micros / 100000) << "the signals did arrive";
#endif
        server.Finish(0ms);
    }
    testing_hooks::RestoreTransportWaits();
    EXPECT_EQ(CurrentTransportWaits().firstByte, 45s);
    EXPECT_EQ(CurrentTransportWaits().pause, 3s + 500us);
}

TEST(SocketTail, TerminatorRule) {
    const std::pair<const char*, bool> cases[] = {
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
    for (const auto& [tail, complete] : cases)
        EXPECT_EQ(TailEndsWithTerminatorLine(tail, "AEG1"), complete) << tail;
}

#ifndef _WIN32
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

TEST(SocketConnect, NoDescriptorLeft) {
    const ClientRun got = InClient(
        [](SocketConnection& socket, std::string&) {
            TakeDescriptors(128, 1 << 30);
            return static_cast<int>(socket.Connect());
        },
        143, 1500);
    EXPECT_EQ(got.result, static_cast<int>(SocketResult::SocketFailed));
    EXPECT_STREQ(got.error, "Creation of the socket failed.");
    EXPECT_FALSE(got.connected);
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
    const ClientRun got =
        InClient([](SocketConnection& socket, std::string&) { return static_cast<int>(socket.Connect()); },
                 ntohs(address.sin_port), 200);
    EXPECT_EQ(got.result, static_cast<int>(SocketResult::Ok)) << got.error;
    EXPECT_GE(got.seconds(), 0.65) << "the queue was not full: nothing was proven";
    EXPECT_GE(got.signals, 5);
    shutdown(listener, SHUT_RDWR);  // ends the acceptor's wait when the client gave up
    acceptor.join();
    close(filler);
    close(listener);
}
#endif
