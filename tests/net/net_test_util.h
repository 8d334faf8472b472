// Helpers shared by the transport tests.
#pragma once

#include <chrono>

#include "net/socket_connection.h"
#include "net/transport_waits.h"

// Shortens the transport's waits for one test and puts the defaults back afterwards.
class ScopedWaits {
public:
    ScopedWaits(std::chrono::milliseconds firstByte, std::chrono::milliseconds pause) {
        testing_hooks::OverrideTransportWaits({firstByte, pause});
    }
    ~ScopedWaits() { testing_hooks::RestoreTransportWaits(); }
};

inline SocketSettings Loopback(int port, int timeoutMs = 1500) {
    SocketSettings s;
    s.server = "127.0.0.1";
    s.port = port;
    s.receiveTimeoutMs = timeoutMs;
    s.sendTimeoutMs = timeoutMs;
    return s;
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
