// The account values the IMAP client is connected with; the client keeps its own copy.
#pragma once

#include <cstdint>

#include "platform/cstring.h"

struct ImapSettings {
    CString server;               // host name or dotted address
    CString displayName;          // kept for the session
    CString userName;             // for LOGIN
    CString password;             // for LOGIN
    CString sentFolder;           // kept for the session
    int32_t port = -1;            // -1: not set (the socket then uses 80)
    int32_t receiveTimeoutMs = 1000;
    int32_t sendTimeoutMs = 1000;
    int32_t unreadOnly = 0;       // the UID search adds " NOT SEEN"
    int32_t downloadAttachments = 0;
    int32_t maxMessageSize = 0;   // 0 or less: no limit
    CString sinceDate;            // "%d-%b-%Y"; empty: no SINCE criterion
    int32_t keptNumber12 = 0;     // values 12 to 16 belong to the session
    CString keptText13;
    int32_t keptNumber14 = -1;
    CString keptText15;
    int32_t keptFlag16 = 0;
    int32_t logging = 0;          // protocol traces and connection failures to the host's log
};
