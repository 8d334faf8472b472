// What a transport is given at construction; the object keeps its own copy.
#pragma once

#include <cstdint>

#include "platform/cstring.h"

struct SocketSettings {
    CString server;                 // host name or dotted IPv4 address
    int32_t port = -1;              // -1: not set, port 80 is used
    int32_t receiveTimeoutMs = -1;  // -1 leaves the system default
    int32_t sendTimeoutMs = -1;     // -1 leaves the system default

    static SocketSettings For(const CString& server, int32_t port, int32_t receiveTimeoutMs, int32_t sendTimeoutMs) {
        return SocketSettings{server, port, receiveTimeoutMs, sendTimeoutMs};
    }
};
