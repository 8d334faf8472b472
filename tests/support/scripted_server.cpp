// The scripted server and the transcript form that fills its script.
#include "scripted_server.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "transcript.h"
#ifdef _WIN32
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // WSAPoll
#include <winsock2.h>
#define poll WSAPoll
using socklen_t = int;
constexpr int kNoSignal = 0;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#define closesocket close
constexpr int kNoSignal = MSG_NOSIGNAL;
#endif

namespace scripted {
namespace {
using Clock = std::chrono::steady_clock;
constexpr int kSliceMs = 20;  // how often a blocked step looks at the stop flag
constexpr intptr_t kNone = -1;

// A listener on 127.0.0.1 at a port the system picks; kNone when it cannot listen.
intptr_t Listen(uint16_t* port) {
#ifdef _WIN32
    static const bool started = [] {  // the test program's own Winsock reference, held for its run
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) return kNone;
#endif
    const auto s = static_cast<intptr_t>(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const auto at = reinterpret_cast<sockaddr*>(&address);
    if (s != kNone && ::bind(s, at, sizeof address) == 0 && ::listen(s, 4) == 0 &&
        ::getsockname(s, at, &length) == 0)
        return *port = ntohs(address.sin_port), s;
    if (s != kNone) ::closesocket(s);
    return kNone;
}

// True when bytes (or the end of the stream) can be read within waitMs.
bool Readable(intptr_t s, int waitMs) {
    pollfd p{};
    p.fd = s;
    p.events = POLLIN;
    return s != kNone && ::poll(&p, 1, waitMs) > 0;
}

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    return first == text.npos ? std::string_view()
                              : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// " | " separates the lines of a reply; each ends with CR LF unless the reply ends in '$'.
std::string Reply(std::string_view text) {
    const bool open = !text.empty() && text.back() == '$';
    if (open) text.remove_suffix(1);
    std::string bytes;
    for (size_t bar; (bar = text.find(" | ")) != std::string_view::npos; text.remove_prefix(bar + 3))
        bytes.append(text.substr(0, bar)).append("\r\n");
    bytes.append(text);
    return open ? bytes : bytes + "\r\n";
}
}  // namespace

std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char ch : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, ch < 0x20 || ch >= 0x7f ? "\\x%02x" : "%c", ch);
        out += ch == '\r' ? "\\r" : ch == '\n' ? "\\n" : ch == '\\' ? "\\\\" : hex;
    }
    return out;
}

Server::Server() : m_listener(Listen(&m_port)) {}

Server::~Server() {
    if (m_thread.joinable()) Finish(Ms(0));
    CloseConnection(false);
    if (m_listener != kNone) ::closesocket(m_listener);
}

Server& Server::Send(std::string bytes) {
    return Add([this, bytes] {
        for (size_t sent = 0; sent < bytes.size();) {
            const long n =
                ::send(m_connection, bytes.data() + sent, static_cast<int>(bytes.size() - sent), kNoSignal);
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

Outcome Server::Finish(Ms wait) {
    const bool idle = m_steps.empty() && !m_thread.joinable();  // nothing scripted, never started
    for (const auto deadline = Clock::now() + wait; !m_played && !idle && Clock::now() < deadline;)
        std::this_thread::sleep_for(Ms(5));
    const bool played = m_played || idle;
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (!played) m_failure = "the script was not played to its end in time";
    CloseConnection(false);  // a client still talking sees the end at once
    return {m_failure.empty(), m_failure, m_received, m_connections};
}

::testing::AssertionResult Server::PlayedAsScripted(Ms wait) {
    const Outcome outcome = Finish(wait);
    if (!outcome.ok) return ::testing::AssertionFailure() << outcome.failure;
    if (outcome.received != m_expected)
        return ::testing::AssertionFailure() << "the client sent \"" << Printable(outcome.received)
                                             << "\"\n        expected \"" << Printable(m_expected) << "\"";
    return ::testing::AssertionSuccess();
}

std::string Server::AcceptNext() {
    if (m_port == 0) return "the server is not listening";
    while (!m_stop) {
        if (!Readable(m_listener, kSliceMs)) continue;
        if ((m_connection = static_cast<intptr_t>(::accept(m_listener, nullptr, nullptr))) != kNone)
            return ++m_connections, std::string();
    }
    return "no connection came";
}

// Waits up to `waitMs` for bytes and records at most `max` of them (also into `got`): their
// count, 0 when none came, -1 at the end of the stream.
int Server::Pull(size_t max, std::string* got, int waitMs) {
    if (!Readable(m_connection, waitMs)) return 0;
    char buffer[4096];
    const long n = ::recv(m_connection, buffer, static_cast<int>(std::min(sizeof buffer, max)), 0);
    if (n <= 0) return -1;
    if (got) got->append(buffer, static_cast<size_t>(n));
    m_received.append(buffer, static_cast<size_t>(n));
    return static_cast<int>(n);
}

// With `reset`, an abortive close: the peer sees a reset, not an orderly end.
void Server::CloseConnection(bool reset) {
    const linger abortive{1, 0};
    if (m_connection != kNone && reset)
        ::setsockopt(m_connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                     sizeof abortive);
    if (m_connection != kNone) ::closesocket(m_connection);
    m_connection = kNone;
}

void Server::Run() {
    std::string failure = AcceptNext();
    for (size_t i = 0; failure.empty() && i < m_steps.size(); ++i)
        if (!(failure = m_steps[i]()).empty()) failure = "step " + std::to_string(i) + ": " + failure;
    m_failure = failure;
    m_played = true;
    // Then whatever else the client sends is recorded until stopped, and what is already in the
    // kernel's buffer when Finish() stops it still counts.
    while (!m_stop)
        if (m_connection == kNone)
            std::this_thread::sleep_for(Ms(kSliceMs));
        else if (Pull(4096) < 0)
            CloseConnection(false);
    while (Pull(4096, nullptr, 0) > 0) {
    }
}

void Play(Server& server, std::string_view transcript) {
    while (!transcript.empty()) {
        const size_t end = transcript.find('\n');
        std::string_view line = transcript.substr(0, end);
        line = Trimmed(line.substr(0, line.find("  # ")));
        transcript.remove_prefix(end == std::string_view::npos ? transcript.size() : end + 1);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '!') {
            using Step = Server& (Server::*)();
            const std::pair<std::string_view, Step> steps[] = {{"!close", &Server::Close},
                                                               {"!reset", &Server::Reset},
                                                               {"!accept", &Server::Accept},
                                                               {"!expect-close", &Server::ExpectClose}};
            const auto named = std::find_if(std::begin(steps), std::end(steps),
                                            [&](const auto& step) { return step.first == line; });
            if (named != std::end(steps))
                (server.*named->second)();
            else if (line.rfind("!delay ", 0) == 0)
                server.Delay(Ms(std::stoi(std::string(line.substr(7)))));
            else
                throw std::invalid_argument("unknown transcript step: " + std::string(line));
        } else if (line[0] == '<') {
            server.Send(Reply(Trimmed(line.substr(1))));
        } else {
            const size_t arrow = line.find(" =>");
            if (arrow == std::string_view::npos)
                throw std::invalid_argument("no \" =>\" in: " + std::string(line));
            server.Expect(std::string(line.substr(0, arrow)) + "\r\n");
            const std::string_view reply = Trimmed(line.substr(arrow + 3));
            if (!reply.empty()) server.Send(Reply(reply));
        }
    }
}

}  // namespace scripted
