#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/socket_api.h"

namespace sock {

int WinsockErrorFromErrno(int err) {
    switch (err) {
        case ECONNRESET:
            return kConnReset;
        case ENETRESET:
            return kNetReset;
        case ECONNABORTED:
        case EPIPE:
            return kConnAborted;
        case ENOTCONN:
            return kNotConn;
        case ETIMEDOUT:
            return kTimedOut;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return kTimedOut;
        default:
            return kUnmapped;
    }
}

int LastError() { return WinsockErrorFromErrno(errno); }

bool Startup() { return true; }
void Cleanup() {}

Handle OpenStream() { return ::socket(AF_INET, SOCK_STREAM, 0); }

void CloseHandle(Handle handle) {
    if (handle != kInvalidHandle) ::close(handle);
}

bool ParseDotted(const char* text, uint32_t* addressNetOrder) {
    // inet_addr's rule: "255.255.255.255" is indistinguishable from a failure.
    const in_addr_t value = ::inet_addr(text ? text : "");
    if (value == INADDR_NONE) return false;
    *addressNetOrder = value;
    return true;
}

bool ResolveName(const char* name, uint32_t* addressNetOrder) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (!name || ::getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return false;
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    *addressNetOrder = in->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return true;
}

void SetTimeoutOption(Handle handle, bool receive, int milliseconds) {
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    ::setsockopt(handle, SOL_SOCKET, receive ? SO_RCVTIMEO : SO_SNDTIMEO, &tv, sizeof tv);
}

void SetKeepAlive(Handle handle) {
    const int on = 1;
    ::setsockopt(handle, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
}

namespace {

long long MonotonicNanos() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// Waits for `events` until `deadline` (monotonic nanoseconds; negative: no limit). A signal
// of the host does not end the wait: it goes on for the time that remains.
// 1 ready (or an error or end waiting to be read), 0 time up, -1 failure (errno set).
int PollUntil(Handle handle, short events, long long deadline) {
    for (;;) {
        timespec wait{};
        const long long left = deadline < 0 ? 0 : deadline - MonotonicNanos();
        if (left > 0) {
            wait.tv_sec = static_cast<time_t>(left / 1'000'000'000LL);
            wait.tv_nsec = static_cast<long>(left % 1'000'000'000LL);
        }
        pollfd entry{handle, events, 0};
        const int rc = ::ppoll(&entry, 1, deadline < 0 ? nullptr : &wait, nullptr);
        if (rc < 0 && errno == EINTR) continue;
        if (rc <= 0) return rc;
        if (entry.revents & POLLNVAL) {
            errno = EBADF;
            return -1;
        }
        return 1;
    }
}

// A send or receive under SO_SNDTIMEO/SO_RCVTIMEO that a signal interrupts is not restarted by
// the system; calling it again would start its time-out from the beginning, so a host taking
// timer signals more often than the time-out would wait for ever on a stuck peer. Instead the
// rest of the time-out is waited for, then the call is made without blocking.
template <typename Call>
ssize_t WithinTimeout(Handle handle, int option, short events, Call call) {
    const long long start = MonotonicNanos();
    ssize_t n = call(0);
    if (n >= 0 || errno != EINTR) return n;
    timeval limit{};
    socklen_t size = sizeof limit;
    if (::getsockopt(handle, SOL_SOCKET, option, &limit, &size) != 0) return -1;
    const long long span = static_cast<long long>(limit.tv_sec) * 1'000'000'000LL + limit.tv_usec * 1000LL;
    const long long deadline = span > 0 ? start + span : -1;
    do {
        const int ready = PollUntil(handle, events, deadline);
        if (ready < 0) return -1;
        if (ready == 0) {
            errno = EAGAIN;  // what the expired time-out itself reports
            return -1;
        }
        n = call(MSG_DONTWAIT);
    } while (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
    return n;
}

}  // namespace

bool ConnectTo(Handle handle, uint32_t addressNetOrder, uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = addressNetOrder;
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return true;
    if (errno != EINTR) return false;
    // Interrupted by a signal, the handshake goes on by itself (a second connect would only
    // answer EALREADY): wait for its end as the blocking call would have, and read its outcome.
    const int rc = PollUntil(handle, POLLOUT, -1);
    int error = 0;
    socklen_t length = sizeof error;
    if (rc < 0 || ::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
    errno = error;
    return error == 0;
}

int SendBytes(Handle handle, const char* data, int length) {
    const ssize_t n = WithinTimeout(handle, SO_SNDTIMEO, POLLOUT, [&](int flags) {
        return ::send(handle, data, static_cast<size_t>(length), MSG_NOSIGNAL | flags);
    });
    return n < 0 ? -1 : static_cast<int>(n);
}

int ReceiveBytes(Handle handle, char* buffer, int capacity) {
    const ssize_t n = WithinTimeout(handle, SO_RCVTIMEO, POLLIN, [&](int flags) {
        return ::recv(handle, buffer, static_cast<size_t>(capacity), flags);
    });
    return n < 0 ? -1 : static_cast<int>(n);
}

// ppoll rather than select: a host process may hold more descriptors than an fd_set can
// name, and the waits keep their microseconds. Readable means what select means by it: data,
// the peer's end, or an error waiting to be read.
int WaitReadable(Handle handle, long seconds, long microseconds) {
    return PollUntil(handle, POLLIN, MonotonicNanos() + seconds * 1'000'000'000LL + microseconds * 1000LL);
}

int PendingBytes(Handle handle) {
    int pending = 0;
    if (::ioctl(handle, FIONREAD, &pending) != 0) return -1;
    return pending;
}

}  // namespace sock
