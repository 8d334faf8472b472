// A lying or dying IMAP server: the input, cut at each byte 0x01, is what the server answers,
// greeting first, then one piece per command the client sends, and then the server closes.
// The client goes through logon and every kind of command over a real loopback connection
// with shortened waits; nothing may crash, hang or touch memory it does not own.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "imap/imap_client.h"
#include "net/transport_waits.h"

namespace {

// One server thread for the whole run (threads made and joined per input upset the i386
// emulator): each input hands it the pieces of one conversation and waits until it is over.
class Server {
public:
    Server() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listener, 4);
        socklen_t n = sizeof a;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &n);
        m_port = ntohs(a.sin_port);
        std::thread([this] { Loop(); }).detach();
    }
    int Port() const { return m_port; }
    void Begin(std::vector<std::string> pieces) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pieces = std::move(pieces);
        m_busy = true;
        m_changed.notify_all();
    }
    void End() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_busy; });
    }

private:
    void Loop() {
        for (;;) {
            std::vector<std::string> pieces;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [this] { return m_busy; });
                pieces = m_pieces;
            }
            Serve(pieces);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_busy = false;
            m_changed.notify_all();
        }
    }
    void Serve(const std::vector<std::string>& pieces) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) return;
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0) return;
        size_t next = 0;
        auto answer = [&] {
            if (next < pieces.size()) ::send(fd, pieces[next].data(), pieces[next].size(), MSG_NOSIGNAL);
            ++next;
        };
        answer();  // the greeting
        std::string pending;
        char buffer[4096];
        while (next <= pieces.size()) {
            pollfd q{fd, POLLIN, 0};
            if (::poll(&q, 1, 500) <= 0) break;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            pending.append(buffer, static_cast<size_t>(n));
            size_t end;
            while ((end = pending.find("\r\n")) != std::string::npos && next <= pieces.size()) {
                pending.erase(0, end + 2);
                answer();
            }
        }
        ::close(fd);
    }

    int m_listener = -1;
    int m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_pieces;
    bool m_busy = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0x01)
            pieces.emplace_back();
        else
            pieces.back() += static_cast<char>(data[i]);
    }
    testing_hooks::OverrideTransportWaits({std::chrono::milliseconds(200), std::chrono::milliseconds(2)});
    static Server& server = *new Server;  // never destroyed: its thread lives to the end
    server.Begin(std::move(pieces));

    ImapSettings settings;
    settings.server = "127.0.0.1";
    settings.port = server.Port();
    settings.userName = "u";
    settings.password = "p";
    settings.receiveTimeoutMs = 200;
    settings.sendTimeoutMs = 200;
    settings.logging = 1;
    settings.unreadOnly = static_cast<int32_t>(size % 2);
    {
        ImapClient client;
        if (client.Connect(&settings) == ImapResult::Ok && client.Login() == ImapResult::Ok) {
            std::vector<uint32_t> uids;
            int count = 0;
            client.GetMessageUids("INBOX", uids, count);
            bool seen = false;
            client.GetSeenFlag("INBOX", 1, seen);
            client.GetMessageSize("INBOX", 2);
            const uint32_t move[] = {1, 2};
            client.MoveMessages("INBOX", "Sent", 2, move);
            client.AppendMessage("Sent", "Subject: x\r\n\r\nbody\r\n");
            client.RenameFolder("Sent", "Old");
            client.DeleteFolder("Old", true, "INBOX");
            CStringArray folders;
            client.GetFolderList(folders);
            client.Expunge();
        }
        client.Disconnect();
    }
    server.End();
    return 0;
}
