#include "scripted_server.h"

#include <algorithm>
#include <cstdio>

#include "loopback.h"

namespace scripted {
namespace {
using Clock = std::chrono::steady_clock;
constexpr int kSliceMs = 20;  // how often a blocked step looks at the stop flag
}  // namespace

std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char ch : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", ch);
        out += ch == '\r'                ? "\\r"
               : ch == '\n'              ? "\\n"
               : ch == '\\'              ? "\\\\"
               : ch < 0x20 || ch >= 0x7f ? hex
                                         : std::string(1, static_cast<char>(ch));
    }
    return out;
}

::testing::AssertionResult PlayedExactly(const Outcome& outcome, const std::string& expected) {
    if (!outcome.ok) return ::testing::AssertionFailure() << outcome.failure;
    if (outcome.received != expected)
        return ::testing::AssertionFailure() << "the client sent \"" << Printable(outcome.received)
                                             << "\"\n        expected \"" << Printable(expected) << "\"";
    return ::testing::AssertionSuccess();
}

Server::Server() : m_listener(loopback::Listen(&m_port)) {}

Server::~Server() {
    if (m_thread.joinable()) Finish(Ms(0));
    CloseConnection(false);
    loopback::Close(m_listener);
}

Server& Server::Send(std::string bytes) {
    return Add([this, bytes] {
        for (size_t sent = 0; sent < bytes.size();) {
            const long n = loopback::Send(m_connection, bytes.data() + sent, bytes.size() - sent);
            if (n <= 0) return "could not send \"" + Printable(bytes) + "\"";
            sent += static_cast<size_t>(n);
        }
        return std::string();
    });
}

Server& Server::Expect(std::string bytes) {
    m_expected += bytes;
    return Add([this, bytes] {
        std::string got;
        const auto deadline = Clock::now() + m_expectTimeout;
        while (got.size() < bytes.size() && !m_stop && Clock::now() < deadline &&
               Pull(bytes.size() - got.size(), &got) >= 0) {
        }
        return got == bytes ? std::string()
                            : "expected \"" + Printable(bytes) + "\", got \"" + Printable(got) + "\"";
    });
}

Server& Server::ExpectClose() {
    return Add([this] {
        for (const auto deadline = Clock::now() + m_expectTimeout; !m_stop && Clock::now() < deadline;)
            if (Pull(4096) < 0) return std::string();
        return std::string("the client did not close the connection");
    });
}

Server& Server::Delay(Ms wait) {
    return Add([this, wait] {
        for (const auto until = Clock::now() + wait; !m_stop && Clock::now() < until;)
            std::this_thread::sleep_for(Ms(2));
        return std::string();
    });
}

Server& Server::Close() {
    return Add([this] { return CloseConnection(false), std::string(); });
}
Server& Server::Reset() {
    return Add([this] { return CloseConnection(true), std::string(); });
}
Server& Server::Accept() {
    return Add([this] { return CloseConnection(false), AcceptNext(); });
}
void Server::Start() {
    m_thread = std::thread([this] { Run(); });
}

void Server::Fail(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failure.empty()) m_failure = text;
}

Outcome Server::Finish(Ms wait) {
    const bool idle = m_steps.empty() && !m_thread.joinable();  // nothing scripted, never started
    for (const auto deadline = Clock::now() + wait; !m_played && !idle && Clock::now() < deadline;)
        std::this_thread::sleep_for(Ms(5));
    if (!m_played && !idle) Fail("the script was not played to its end in time");
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    CloseConnection(false);  // a client still talking sees the end at once
    return {m_failure.empty(), m_failure, m_received, m_connections};
}

::testing::AssertionResult Server::PlayedAsScripted(Ms wait) {
    return PlayedExactly(Finish(wait), m_expected);
}

std::string Server::AcceptNext() {
    if (m_port == 0) return "the server is not listening";
    while (!m_stop)
        if ((m_connection = loopback::Accept(m_listener, kSliceMs)) != loopback::kNone)
            return ++m_connections, std::string();
    return "no connection came";
}

// Waits up to `waitMs` for bytes and records at most `max` of them (also into `got`): their
// count, 0 when none came, -1 at the end of the stream.
int Server::Pull(size_t max, std::string* got, int waitMs) {
    if (!loopback::Readable(m_connection, waitMs)) return 0;
    char buffer[4096];
    const long n = loopback::Receive(m_connection, buffer, std::min(sizeof buffer, max));
    if (n <= 0) return -1;
    if (got) got->append(buffer, static_cast<size_t>(n));
    m_received.append(buffer, static_cast<size_t>(n));
    return static_cast<int>(n);
}

void Server::CloseConnection(bool reset) {
    loopback::Close(m_connection, reset);
    m_connection = loopback::kNone;
}

void Server::Run() {
    std::string failure = AcceptNext();
    for (size_t i = 0; failure.empty() && i < m_steps.size(); ++i)
        if (!(failure = m_steps[i]()).empty()) failure = "step " + std::to_string(i) + ": " + failure;
    if (!failure.empty()) Fail(failure);
    m_played = true;
    // Then whatever else the client sends is recorded until stopped, and what is already in the
    // kernel's buffer when Finish() stops it still counts.
    while (!m_stop)
        if (m_connection == loopback::kNone)
            std::this_thread::sleep_for(Ms(kSliceMs));
        else if (Pull(4096) < 0)
            CloseConnection(false);
    while (Pull(4096, nullptr, 0) > 0) {
    }
}

}  // namespace scripted
