// Cost of the IMAP client on large answers, over a real loopback connection: a SEARCH answer
// of up to 200,000 UIDs and a FETCH answer of up to 50 MB. Each size is doubled twice; time
// per unit and peak memory must stay flat for the cost to be linear.
//   bench_imap            prints a table; exits 1 when a doubling costs clearly more than twice
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "imap/imap_client.h"
#include "net/transport_waits.h"

namespace {

// Serves one connection: a greeting, then for each command line the answer of `answer`
// (given the tag and the command), until the client closes.
template <typename Answer>
class LoopbackServer {
public:
    explicit LoopbackServer(Answer answer) : m_answer(answer) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listener, 1);
        socklen_t n = sizeof a;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &n);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        m_thread.join();
        ::close(m_listener);
    }
    int Port() const { return m_port; }

private:
    void SendAll(int fd, const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }
    void Serve() {
        const int fd = ::accept(m_listener, nullptr, nullptr);
        SendAll(fd, "* OK bench server ready\r\n");
        std::string pending;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            pending.append(buffer, static_cast<size_t>(n));
            size_t end;
            while ((end = pending.find("\r\n")) != std::string::npos) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                const size_t space = line.find(' ');
                SendAll(fd, m_answer(line.substr(0, space), line.substr(space + 1)));
            }
        }
        ::close(fd);
    }

    Answer m_answer;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

long PeakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

template <typename Answer>
double Run(Answer answer, void (*work)(ImapClient&)) {
    LoopbackServer<Answer> server(answer);
    ImapSettings settings;
    settings.server = "127.0.0.1";
    settings.port = server.Port();
    settings.userName = "bench";
    settings.password = "bench";
    ImapClient client;
    if (client.Connect(&settings) != ImapResult::Ok || client.Login() != ImapResult::Ok) return -1;
    const auto start = std::chrono::steady_clock::now();
    work(client);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    client.Disconnect();
    return seconds;
}

std::string Tagged(const std::string& tag, const char* text) { return tag + " " + text + "\r\n"; }

int g_uidCount = 0;
std::string g_fetchAnswer;
size_t g_lines = 0;

std::string SearchAnswer(const std::string& tag, const std::string& command) {
    if (command.rfind("LOGIN", 0) == 0) return Tagged(tag, "OK Logged in");
    if (command.rfind("LIST", 0) == 0) return "* LIST () \"/\" INBOX\r\n" + Tagged(tag, "OK List completed.");
    if (command.rfind("SELECT", 0) == 0)
        return "* " + std::to_string(g_uidCount) + " EXISTS\r\n" + Tagged(tag, "OK Select completed.");
    if (command.rfind("UID SEARCH", 0) == 0) {
        std::string line = "* SEARCH";
        line.reserve(static_cast<size_t>(g_uidCount) * 8 + 64);
        for (int uid = 1; uid <= g_uidCount; ++uid) line += " " + std::to_string(uid * 3);
        return line + "\r\n" + Tagged(tag, "OK Search completed.");
    }
    return Tagged(tag, "OK");
}

std::string FetchAnswer(const std::string& tag, const std::string& command) {
    if (command.rfind("UID FETCH", 0) == 0) return g_fetchAnswer + Tagged(tag, "OK Fetch completed.");
    return SearchAnswer(tag, command);
}

void SearchWork(ImapClient& client) {
    std::vector<uint32_t> uids;
    int count = 0;
    client.GetMessageUids("INBOX", uids, count);
    if (count != g_uidCount || uids.back() != static_cast<uint32_t>(g_uidCount) * 3)
        std::printf("  wrong answer: %d UIDs\n", count);
}

void FetchWork(ImapClient& client) {
    CString response;
    client.Execute("UID FETCH 1 BODY.PEEK[]", response);
    // The text moves into its lines, as a message retrieval does.
    LineArray lines;
    g_lines = static_cast<size_t>(client.SplitResponseLines(std::move(response), lines));
}

}  // namespace

int main() {
    testing_hooks::OverrideTransportWaits({std::chrono::seconds(10), std::chrono::milliseconds(50)});
    bool linear = true;

    std::printf("UID SEARCH answer\n%10s %10s %12s\n", "UIDs", "ms", "ns per UID");
    double firstPerUnit = 0;
    for (int uids : {50000, 100000, 200000}) {
        g_uidCount = uids;
        const double s = Run(SearchAnswer, SearchWork);
        const double perUnit = s * 1e9 / uids;
        if (firstPerUnit == 0) firstPerUnit = perUnit;
        if (perUnit > 2.5 * firstPerUnit) linear = false;
        std::printf("%10d %10.1f %12.1f\n", uids, s * 1000, perUnit);
    }

    std::printf("\nFETCH answer\n%10s %10s %12s %14s\n", "MB", "ms", "ns per byte", "peak RSS MB");
    firstPerUnit = 0;
    for (int megabytes : {12, 25, 50}) {
        const std::string line = std::string(76, 'A') + "\r\n";
        g_fetchAnswer = "* 1 FETCH (UID 1 BODY[] {" + std::to_string(megabytes << 20) + "}\r\n";
        g_fetchAnswer.reserve((static_cast<size_t>(megabytes) << 20) + 256);
        while (g_fetchAnswer.size() < (static_cast<size_t>(megabytes) << 20)) g_fetchAnswer += line;
        g_fetchAnswer += ")\r\n";
        const double s = Run(FetchAnswer, FetchWork);
        const double perUnit = s * 1e9 / static_cast<double>(g_fetchAnswer.size());
        if (firstPerUnit == 0) firstPerUnit = perUnit;
        if (perUnit > 2.5 * firstPerUnit) linear = false;
        std::printf("%10d %10.1f %12.2f %14.1f   (%zu lines)\n", megabytes, s * 1000, perUnit,
                    PeakKilobytes() / 1024.0, g_lines);
        g_fetchAnswer = std::string();
    }
    std::printf("\n%s\n", linear ? "cost grows linearly" : "COST GROWS FASTER THAN THE INPUT");
    return linear ? 0 : 1;
}
