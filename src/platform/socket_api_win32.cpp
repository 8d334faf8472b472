#include <winsock2.h>

#include "platform/socket_api.h"

namespace sock {

int LastError() { return ::WSAGetLastError(); }

bool Startup() {
    WSADATA data;
    return ::WSAStartup(0x0101, &data) == 0;
}

void Cleanup() { ::WSACleanup(); }

Handle OpenStream() {
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    return s == INVALID_SOCKET ? kInvalidHandle : static_cast<Handle>(s);
}

void CloseHandle(Handle handle) {
    if (handle != kInvalidHandle) ::closesocket(static_cast<SOCKET>(handle));
}

bool ParseDotted(const char* text, uint32_t* addressNetOrder) {
    const unsigned long value = ::inet_addr(text ? text : "");
    if (value == INADDR_NONE) return false;
    *addressNetOrder = static_cast<uint32_t>(value);
    return true;
}

bool ResolveName(const char* name, uint32_t* addressNetOrder) {
    const hostent* host = name ? ::gethostbyname(name) : nullptr;
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list[0]) return false;
    uint32_t address = 0;
    for (int i = 0; i < 4; ++i) reinterpret_cast<char*>(&address)[i] = host->h_addr_list[0][i];
    *addressNetOrder = address;
    return true;
}

// Winsock takes the time-outs as a 4-byte count of milliseconds.
void SetTimeoutOption(Handle handle, bool receive, int milliseconds) {
    const DWORD value = static_cast<DWORD>(milliseconds);
    ::setsockopt(static_cast<SOCKET>(handle), SOL_SOCKET, receive ? SO_RCVTIMEO : SO_SNDTIMEO,
                 reinterpret_cast<const char*>(&value), sizeof value);
}

void SetKeepAlive(Handle handle) {
    const BOOL on = TRUE;
    ::setsockopt(static_cast<SOCKET>(handle), SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on),
                 sizeof on);
}

bool ConnectTo(Handle handle, uint32_t addressNetOrder, uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = ::htons(port);
    peer.sin_addr.s_addr = addressNetOrder;
    return ::connect(static_cast<SOCKET>(handle), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
}

int SendBytes(Handle handle, const char* data, int length) {
    const int n = ::send(static_cast<SOCKET>(handle), data, length, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int ReceiveBytes(Handle handle, char* buffer, int capacity) {
    const int n = ::recv(static_cast<SOCKET>(handle), buffer, capacity, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int WaitReadable(Handle handle, long seconds, long microseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(handle), &readable);
    timeval wait{};
    wait.tv_sec = seconds;
    wait.tv_usec = microseconds;
    const int rc = ::select(0, &readable, nullptr, nullptr, &wait);
    if (rc == SOCKET_ERROR) return -1;
    return rc == 0 ? 0 : 1;
}

int PendingBytes(Handle handle) {
    u_long pending = 0;
    if (::ioctlsocket(static_cast<SOCKET>(handle), FIONREAD, &pending) != 0) return -1;
    return static_cast<int>(pending);
}

}  // namespace sock
