// One blocking IPv4 TCP stream with fixed waits and a worded text for every failure. The
// response reader stops on a terminator line, on the peer closing, or on a pause of the peer.
#pragma once

#include <cstdint>

#include "net/socket_result.h"
#include "net/socket_settings.h"
#include "platform/cstring.h"
#include "platform/socket_api.h"

class SocketConnection {
public:
    explicit SocketConnection(const SocketSettings& settings);
    virtual ~SocketConnection();
    SocketConnection(const SocketConnection&) = delete;
    SocketConnection& operator=(const SocketConnection&) = delete;

    SocketResult Startup();
    SocketResult Connect();
    bool Close();
    SocketResult Send(const char* text);
    // Empties `out`, then collects one response. `terminator` (the IMAP tag) may be null.
    SocketResult Receive(CString& out, const char* terminator);
    SocketResult TranslateLastError();

    const CString& LastError() const { return m_lastError; }
    bool IsConnected() const { return m_connected; }
    const SocketSettings& Settings() const { return m_settings; }
    // The stream itself, for inspection of its options; kInvalidHandle when there is none.
    sock::Handle NativeHandle() const { return m_socket; }

    static constexpr int kChunkSize = 4096;
    static constexpr int kTailLength = 30;
    static constexpr int kSendTimeoutRetries = 8;

private:
    SocketResult Fail(SocketResult code, const char* text);
    SocketResult ReadLoop(CString& out, const char* terminator);

    bool m_initialized = false;
    bool m_connected = false;
    sock::Handle m_socket = sock::kInvalidHandle;
    uint32_t m_peerAddress = 0;  // network order
    SocketSettings m_settings;
    CString m_lastError;
};

// The terminator test of the read loop: true when `tail` ends with CR LF and, with that CR LF
// removed, its last line (after the last CR and the LF that follows it) starts with `terminator`.
bool TailEndsWithTerminatorLine(std::string_view tail, std::string_view terminator);
