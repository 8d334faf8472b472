#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "loopback.h"

namespace loopback {

Socket Listen(uint16_t* port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(s, 4) == 0 && ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        *port = ntohs(address.sin_port);
        return s;
    }
    if (s >= 0) ::close(s);
    return kNone;
}

bool Readable(Socket s, int waitMs) {
    pollfd p{static_cast<int>(s), POLLIN, 0};
    return s != kNone && ::poll(&p, 1, waitMs) > 0;
}

Socket Accept(Socket listener, int waitMs) {
    if (!Readable(listener, waitMs)) return kNone;
    const int s = ::accept(static_cast<int>(listener), nullptr, nullptr);
    return s < 0 ? kNone : s;
}

long Send(Socket s, const char* data, size_t size) {
    return ::send(static_cast<int>(s), data, size, MSG_NOSIGNAL);
}

long Receive(Socket s, char* buffer, size_t size) { return ::recv(static_cast<int>(s), buffer, size, 0); }

void Close(Socket s, bool reset) {
    if (s == kNone) return;
    const linger abortive{1, 0};
    if (reset) ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    ::close(static_cast<int>(s));
}

}  // namespace loopback
