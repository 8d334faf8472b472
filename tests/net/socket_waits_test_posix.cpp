// The transport's waits against what a host process does around them: signals arriving every
// 50 ms (timers, children, profilers) and a handshake slower than the socket time-outs.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "net/socket_connection.h"
#include "net/transport_waits.h"
#include "platform/host_binding.h"
#include "scripted_server.h"

using namespace std::chrono_literals;

namespace {

// The client's side runs in a child process of one thread, so that the signals reach the thread
// that waits (a timer's signal goes to the process) and nothing else of the test is in their way.
// With `signals`, a handler installed without SA_RESTART (as a host's timer handler often is)
// takes SIGALRM every 50 ms. The child reports its result, the time it took, the number of
// signals it took and the text it received. It stays clear of floating point: under the i386
// emulator a signal can leave the x87 state unusable for the code that follows.
struct Outcome {
    int result = -1;
    long long micros = 0;
    int signals = 0;
    std::string text;
    double seconds() const { return static_cast<double>(micros) / 1e6; }
};

long long MicrosSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

volatile sig_atomic_t g_delivered = 0;

Outcome InChild(bool signals, const std::function<Outcome()>& client) {
    int ends[2];
    if (pipe(ends) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        if (signals) {
            struct sigaction action {};
            action.sa_handler = [](int) { g_delivered = g_delivered + 1; };
            sigemptyset(&action.sa_mask);
            sigaction(SIGALRM, &action, nullptr);
            const itimerval every{{0, 50000}, {0, 50000}};
            setitimer(ITIMER_REAL, &every, nullptr);
        }
        Outcome outcome = client();
        const itimerval off{};
        setitimer(ITIMER_REAL, &off, nullptr);
        const std::string report = std::to_string(outcome.result) + " " + std::to_string(outcome.micros) +
                                   " " + std::to_string(g_delivered) + " " + outcome.text;
        for (size_t done = 0; done < report.size();) {
            const ssize_t n = write(ends[1], report.data() + done, report.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        _exit(0);
    }
    close(ends[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<size_t>(n));
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    Outcome outcome;
    size_t used = 0;
    if (std::sscanf(report.c_str(), "%d %lld %d %zn", &outcome.result, &outcome.micros, &outcome.signals,
                    &used) >= 3)
        outcome.text = report.substr(used);
    return outcome;
}

// One scripted server (in this process), one connection and one Receive (in the child).
Outcome Play(const std::function<void(scripted::Server&)>& script, const char* terminator, bool signals) {
    scripted::Server server;
    script(server);
    server.Start();
    const uint16_t port = server.Port();
    const Outcome outcome = InChild(signals, [port, terminator] {
        SocketConnection socket(SocketSettings::For("127.0.0.1", port, 1500, 1500));
        Outcome o;
        if (socket.Startup() != SocketResult::Ok || socket.Connect() != SocketResult::Ok) return o;
        CString out;
        const auto start = std::chrono::steady_clock::now();
        o.result = static_cast<int>(socket.Receive(out, terminator));
        o.micros = MicrosSince(start);
        o.text = out.str();
        return o;
    });
    server.Finish(0ms);
    return outcome;
}

}  // namespace

// First-byte wait of 1 s, pause of 400 ms. Each row runs without and with a signal every 50 ms:
// the same result, the same text, and an end at the same wait (a signal neither ends a wait early
// nor starts it again from the beginning).
TEST(TransportWaitsUnderSignals, SameAnswerAtTheSameTime) {
    struct Row {
        const char* name;
        std::function<void(scripted::Server&)> script;
        const char* terminator;
        SocketResult result;
        std::string text;
        double minSeconds, maxSeconds;
    } rows[] = {
        {"first byte after 600 ms",
         [](auto& s) { s.Delay(600ms).Send("* 1 EXISTS\r\nAEG1 OK Select completed.\r\n").Delay(2s); },
         "AEG1", SocketResult::Ok, "* 1 EXISTS\r\nAEG1 OK Select completed.\r\n", 0.55, 0.95},
        {"three pieces 250 ms apart",
         [](auto& s) {
             s.Send("* 1 FETCH (UID 7 BODY[] {12}\r\n")
                 .Delay(250ms)
                 .Send("hello ")
                 .Delay(250ms)
                 .Send("world!)\r\n");
             s.Delay(250ms).Send("AEG1 OK Fetch completed.\r\n").Delay(2s);
         },
         "AEG1", SocketResult::Ok,
         "* 1 FETCH (UID 7 BODY[] {12}\r\nhello world!)\r\nAEG1 OK Fetch completed.\r\n", 0.7, 1.2},
        {"silence: the first-byte wait runs out", [](auto& s) { s.Delay(3s); }, "AEG1", SocketResult::NoData,
         "", 0.95, 1.5},
        {"greeting ended by the pause", [](auto& s) { s.Send("* OK ready\r\n").Delay(3s); }, nullptr,
         SocketResult::Ok, "* OK ready\r\n", 0.38, 0.8},
    };
    testing_hooks::OverrideTransportWaits({1000ms, 400ms});
    host::YieldCycles(10);  // the host libraries bound before the children start: no loading under signals
    for (const Row& row : rows) {
        for (const bool signals : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (signals ? ", with signals" : ", quiet"));
            const Outcome got = Play(row.script, row.terminator, signals);
            EXPECT_EQ(got.result, static_cast<int>(row.result));
            EXPECT_EQ(got.text, row.text);
            EXPECT_GE(got.seconds(), row.minSeconds);
            EXPECT_LT(got.seconds(), row.maxSeconds);
            EXPECT_GE(got.signals, signals ? 5 : 0) << "the signals did arrive";
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
        ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(listen(listener, 0), 0);
        ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
        const int filler = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        std::thread acceptor([listener] {
            std::this_thread::sleep_for(700ms);
            const int first = accept(listener, nullptr, nullptr);
            const int second = accept(listener, nullptr, nullptr);
            close(first);
            close(second);
        });

        const uint16_t port = ntohs(address.sin_port);
        const Outcome got = InChild(signals, [port] {
            SocketConnection socket(SocketSettings::For("127.0.0.1", port, 200, 200));
            Outcome o;
            if (socket.Startup() != SocketResult::Ok) return o;
            const auto start = std::chrono::steady_clock::now();
            o.result = static_cast<int>(socket.Connect());
            o.micros = MicrosSince(start);
            o.text = socket.LastError().str();
            return o;
        });
        EXPECT_EQ(got.result, static_cast<int>(SocketResult::Ok)) << got.text;
        EXPECT_GE(got.seconds(), 0.65) << "the queue was not full: nothing was proven";
        EXPECT_GE(got.signals, signals ? 5 : 0);
        acceptor.join();
        close(filler);
        close(listener);
    }
}
