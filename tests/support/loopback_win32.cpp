#include <winsock2.h>

#include "loopback.h"

namespace loopback {
namespace {
// The test program's own Winsock reference, held for its whole run.
bool Started() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
SOCKET Native(Socket s) { return static_cast<SOCKET>(s); }
}  // namespace

Socket Listen(uint16_t* port) {
    if (!Started()) return kNone;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return kNone;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(s, 4) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        *port = ntohs(address.sin_port);
        return static_cast<Socket>(s);
    }
    ::closesocket(s);
    return kNone;
}

bool Readable(Socket s, int waitMs) {
    if (s == kNone) return false;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Native(s), &set);
    timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
    return ::select(0, &set, nullptr, nullptr, &wait) > 0;
}

Socket Accept(Socket listener, int waitMs) {
    if (!Readable(listener, waitMs)) return kNone;
    const SOCKET s = ::accept(Native(listener), nullptr, nullptr);
    return s == INVALID_SOCKET ? kNone : static_cast<Socket>(s);
}

long Send(Socket s, const char* data, size_t size) {
    return ::send(Native(s), data, static_cast<int>(size), 0);
}

long Receive(Socket s, char* buffer, size_t size) {
    return ::recv(Native(s), buffer, static_cast<int>(size), 0);
}

void Close(Socket s, bool reset) {
    if (s == kNone) return;
    const linger abortive{1, 0};
    if (reset)
        ::setsockopt(Native(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                     sizeof abortive);
    ::closesocket(Native(s));
}

}  // namespace loopback
