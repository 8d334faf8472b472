#include "scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdio>

namespace scripted {
namespace {
constexpr int kSliceMs = 20;  // how often a blocked step looks at the stop flag
}

std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char ch : bytes) {
        if (ch == '\r') out += "\\r";
        else if (ch == '\n') out += "\\n";
        else if (ch == '\\') out += "\\\\";
        else if (ch < 0x20 || ch >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", ch);
            out += hex;
        } else out += static_cast<char>(ch);
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

Server::Server(uint16_t port) {
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listener < 0) return;
    const int on = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 4) != 0) {
        ::close(m_listener);
        m_listener = -1;
        return;
    }
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
}

Server::~Server() {
    if (m_thread.joinable()) Finish(std::chrono::milliseconds(0));
    if (m_connection >= 0) ::close(m_connection);
    if (m_listener >= 0) ::close(m_listener);
}

Server& Server::Send(std::string bytes) {
    m_steps.push_back({Kind::Send, std::move(bytes)});
    return *this;
}
Server& Server::Expect(std::string bytes) {
    m_steps.push_back({Kind::Expect, std::move(bytes)});
    return *this;
}
Server& Server::Exchange(std::string command, std::string reply) {
    return Expect(std::move(command)).Send(std::move(reply));
}
Server& Server::Delay(std::chrono::milliseconds wait) {
    m_steps.push_back({Kind::Delay, {}, wait});
    return *this;
}
Server& Server::Close() {
    m_steps.push_back({Kind::Close, {}});
    return *this;
}
Server& Server::Reset() {
    m_steps.push_back({Kind::Reset, {}});
    return *this;
}
Server& Server::ExpectClose() {
    m_steps.push_back({Kind::ExpectClose, {}});
    return *this;
}
Server& Server::Accept() {
    m_steps.push_back({Kind::Accept, {}});
    return *this;
}
Server& Server::ExpectTimeout(std::chrono::milliseconds wait) {
    m_expectTimeout = wait;
    return *this;
}

void Server::Start() {
    m_thread = std::thread([this] { Run(); });
}

std::string Server::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

void Server::Fail(std::string text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_failed) m_failure = std::move(text);
    m_failed = true;
}

Outcome Server::Finish(std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!m_played && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!m_played) Fail("the script was not played to its end in time");
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    CloseConnection(false);  // a client still talking sees the end at once
    std::lock_guard<std::mutex> lock(m_mutex);
    Outcome outcome;
    outcome.ok = !m_failed;
    outcome.failure = m_failure;
    outcome.received = m_received;
    outcome.connections = m_connections;
    return outcome;
}

bool Server::AcceptNext() {
    if (m_listener < 0) {
        Fail("the server is not listening");
        return false;
    }
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0) continue;
        m_connection = ::accept(m_listener, nullptr, nullptr);
        if (m_connection >= 0) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_connections;
            return true;
        }
    }
    Fail("no connection came");
    return false;
}

// Reads until `count` bytes have come in; every byte read is recorded.
bool Server::ReadExactly(size_t count, std::string& got) {
    const auto deadline = std::chrono::steady_clock::now() + m_expectTimeout;
    while (got.size() < count) {
        if (m_stop || std::chrono::steady_clock::now() >= deadline) return false;
        pollfd p{m_connection, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0) continue;
        char buffer[4096];
        const size_t want = std::min(sizeof buffer, count - got.size());
        const ssize_t n = ::recv(m_connection, buffer, want, 0);
        if (n <= 0) return false;
        got.append(buffer, static_cast<size_t>(n));
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

bool Server::ReadUntilClosed() {
    const auto deadline = std::chrono::steady_clock::now() + m_expectTimeout;
    while (!m_stop && std::chrono::steady_clock::now() < deadline) {
        pollfd p{m_connection, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::recv(m_connection, buffer, sizeof buffer, 0);
        if (n <= 0) return true;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.append(buffer, static_cast<size_t>(n));
    }
    return false;
}

// After the script (or a failed step): record whatever else the client sends until stopped.
void Server::Drain() {
    while (!m_stop) {
        if (m_connection < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
            continue;
        }
        pollfd p{m_connection, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::recv(m_connection, buffer, sizeof buffer, 0);
        if (n <= 0) {
            CloseConnection(false);
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.append(buffer, static_cast<size_t>(n));
    }
    // Bytes already in the kernel buffer when Finish() was called still count.
    if (m_connection >= 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(m_connection, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.append(buffer, static_cast<size_t>(n));
        }
    }
}

void Server::CloseConnection(bool reset) {
    if (m_connection < 0) return;
    if (reset) {
        const linger abortive{1, 0};
        ::setsockopt(m_connection, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }
    ::close(m_connection);
    m_connection = -1;
}

void Server::Run() {
    bool good = AcceptNext();
    for (size_t i = 0; good && i < m_steps.size(); ++i) {
        const Step& step = m_steps[i];
        switch (step.kind) {
            case Kind::Send: {
                size_t sent = 0;
                while (sent < step.bytes.size()) {
                    const ssize_t n = ::send(m_connection, step.bytes.data() + sent, step.bytes.size() - sent,
                                             MSG_NOSIGNAL);
                    if (n <= 0) break;
                    sent += static_cast<size_t>(n);
                }
                if (sent < step.bytes.size()) {
                    Fail("step " + std::to_string(i) + ": could not send " + Printable(step.bytes));
                    good = false;
                }
                break;
            }
            case Kind::Expect: {
                std::string got;
                if (!ReadExactly(step.bytes.size(), got) || got != step.bytes) {
                    Fail("step " + std::to_string(i) + ": expected \"" + Printable(step.bytes) + "\", got \"" +
                         Printable(got) + "\"");
                    good = false;
                }
                break;
            }
            case Kind::ExpectClose:
                if (!ReadUntilClosed()) {
                    Fail("step " + std::to_string(i) + ": the client did not close the connection");
                    good = false;
                }
                break;
            case Kind::Delay: {
                const auto until = std::chrono::steady_clock::now() + step.wait;
                while (!m_stop && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                break;
            }
            case Kind::Close: CloseConnection(false); break;
            case Kind::Reset: CloseConnection(true); break;
            case Kind::Accept:
                CloseConnection(false);
                good = AcceptNext();
                break;
        }
    }
    m_played = true;
    Drain();
}

}  // namespace scripted
