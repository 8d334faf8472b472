// A scripted loopback server for exact-byte protocol tests, neutral to the protocol: steps
// (Send, Expect, Delay, Close, Reset, Accept, ...) are played in order once Start() is called,
// from the first connection on; Accept() closes it and waits for the next. Expect() reads exactly
// as many bytes as it names; a mismatch or a time-out ends the script with a failure text, but
// every byte the client sends is recorded until Finish(). BSD sockets or Winsock, so that the
// same scripts play inside the Windows test programs.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace scripted {

using Ms = std::chrono::milliseconds;

struct Outcome {
    bool ok = false;       // every step was played as written
    std::string failure;   // what went wrong otherwise
    std::string received;  // every byte the client sent, over all connections, in order
    int connections = 0;   // connections accepted
};

class Server {
public:
    Server();  // listens on a free loopback port
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    uint16_t Port() const { return m_port; }

    Server& Send(std::string bytes);
    Server& Expect(std::string bytes);
    Server& Exchange(std::string command, std::string reply) { return Expect(command).Send(reply); }
    Server& Delay(Ms wait);
    Server& Close();
    Server& Reset();
    Server& ExpectClose();  // reads (and records) until the client closes its end
    Server& Accept();
    // How long an Expect() or ExpectClose() waits (default 10 s).
    Server& ExpectTimeout(Ms wait) { return m_expectTimeout = wait, *this; }

    void Start();
    // Waits for the script's end (at most `wait`), then stops, closes the connection and reports.
    // A server never started with nothing scripted has played its script.
    Outcome Finish(Ms wait = std::chrono::seconds(10));
    // Finish(), then: played as written, and the client sent exactly the Expect() bytes.
    ::testing::AssertionResult PlayedAsScripted(Ms wait = std::chrono::seconds(10));

private:
    using Step = std::function<std::string()>;  // a failure text, empty when played
    Server& Add(Step step) { return m_steps.push_back(std::move(step)), *this; }
    std::string AcceptNext();
    int Pull(size_t max, std::string* got = nullptr, int waitMs = 20);
    void CloseConnection(bool reset);
    void Run();

    uint16_t m_port = 0;  // before m_listener: the constructor sets both
    intptr_t m_listener = -1;
    intptr_t m_connection = -1;
    Ms m_expectTimeout{10000};
    std::vector<Step> m_steps;
    std::string m_expected;
    std::thread m_thread;
    std::atomic<bool> m_stop{false}, m_played{false};
    std::string m_failure, m_received;  // written by the script's thread until it is joined
    int m_connections = 0;
};

// Bytes made readable in failure texts: CR, LF and other control bytes escaped.
std::string Printable(const std::string& bytes);

}  // namespace scripted
