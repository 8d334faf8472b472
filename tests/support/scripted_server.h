// A scripted loopback server for exact-byte protocol tests, neutral to the protocol.
//
// Build a conversation, start it, let the client under test talk to 127.0.0.1:Port(), then
// Finish() and check the outcome and every byte the client sent:
//
//     scripted::Server server;
//     server.Send("* OK ready\r\n")                       // greeting, sent on accept
//           .Expect("A1 LOGIN bob secret\r\n")            // exact bytes, tag included
//           .Send("A1 OK done\r\n")
//           .Delay(std::chrono::milliseconds(200))         // then a pause of the peer
//           .Close();                                      // or Reset() for a RST
//     server.Start();
//     ... drive the client ...
//     EXPECT_TRUE(scripted::PlayedExactly(server.Finish(), "A1 LOGIN bob secret\r\n"));
//
// The first connection is accepted when the script starts; Accept() in the script waits for
// the next one (the previous one is closed first). An Expect() reads exactly as many bytes
// as it names and compares them; a mismatch or a time-out ends the script with a failure
// text, but the server keeps recording what the client sends until Finish().
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace scripted {

struct Outcome {
    bool ok = false;          // every step was played as written
    std::string failure;      // what went wrong otherwise
    std::string received;     // every byte the client sent, over all connections, in order
    int connections = 0;      // connections accepted
};

class Server {
public:
    // Port 0 picks a free port. Listening() tells whether the port could be bound.
    explicit Server(uint16_t port = 0);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool Listening() const { return m_listener >= 0; }
    uint16_t Port() const { return m_port; }

    Server& Send(std::string bytes);
    Server& Expect(std::string bytes);
    // A command and its reply: Expect(command) then Send(reply).
    Server& Exchange(std::string command, std::string reply);
    Server& Delay(std::chrono::milliseconds wait);
    Server& Close();
    Server& Reset();
    // Waits until the client closes its end (reads and records what comes before the end).
    Server& ExpectClose();
    Server& Accept();
    // How long an Expect() waits for its bytes (default 10 s).
    Server& ExpectTimeout(std::chrono::milliseconds wait);

    void Start();
    // Waits for the script to be played (at most `wait`), then stops, closes the connection
    // and reports.
    Outcome Finish(std::chrono::milliseconds wait = std::chrono::seconds(10));
    // Bytes received so far (safe while running).
    std::string Received() const;

private:
    enum class Kind { Send, Expect, ExpectClose, Delay, Close, Reset, Accept };
    struct Step {
        Kind kind;
        std::string bytes;
        std::chrono::milliseconds wait{0};
    };

    void Run();
    bool AcceptNext();
    bool ReadExactly(size_t count, std::string& got);
    bool ReadUntilClosed();
    void Drain();
    void CloseConnection(bool reset);
    void Fail(std::string text);

    int m_listener = -1;
    int m_connection = -1;
    uint16_t m_port = 0;
    std::chrono::milliseconds m_expectTimeout{10000};
    std::vector<Step> m_steps;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_played{false};
    mutable std::mutex m_mutex;
    std::string m_received;
    std::string m_failure;
    bool m_failed = false;
    int m_connections = 0;
};

// Bytes made readable in failure texts: CR, LF and other control bytes escaped.
std::string Printable(const std::string& bytes);

// For EXPECT_TRUE: every step was played as written and the client sent exactly `expected`
// (shown escaped when it did not).
::testing::AssertionResult PlayedExactly(const Outcome& outcome, const std::string& expected);

}  // namespace scripted
