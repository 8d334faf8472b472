#include "net/socket_connection.h"

#include <cstring>

#include "net/transport_waits.h"
#include "platform/host_binding.h"

namespace {
constexpr const char* kNotConnectedText = "There is no connection for the socket";
constexpr const char* kNotInitializedText = "The socket has not been intitialized";
constexpr const char* kNoDataText = "No data on the socket";

void Split(std::chrono::microseconds wait, long* seconds, long* micros) {
    *seconds = static_cast<long>(wait.count() / 1'000'000);
    *micros = static_cast<long>(wait.count() % 1'000'000);
}
}  // namespace

SocketConnection::SocketConnection(const SocketSettings& settings) : m_settings(settings) {
    if (m_settings.port == -1) m_settings.port = 80;
}

SocketConnection::~SocketConnection() {
    Close();  // closes the stream if one is held; no descriptor outlives the object
    if (m_initialized) sock::Cleanup();
}

SocketResult SocketConnection::Fail(SocketResult code, const char* text) {
    m_lastError = text;
    return code;
}

SocketResult SocketConnection::Startup() {
    if (m_initialized) return SocketResult::Ok;
    if (!sock::Startup()) return Fail(SocketResult::StartupFailed, "Failed to initialize Winsock.");
    m_initialized = true;
    return SocketResult::Ok;
}

SocketResult SocketConnection::Connect() {
    if (!m_initialized) return Fail(SocketResult::NotInitialized, kNotInitializedText);
    if (m_socket != sock::kInvalidHandle) Close();  // a reconnect starts from scratch
    m_socket = sock::OpenStream();
    if (m_socket == sock::kInvalidHandle)
        return Fail(SocketResult::SocketFailed, "Creation of the socket failed.");

    const char* server = m_settings.server.c_str();
    if (!sock::ParseDotted(server, &m_peerAddress) && !sock::ResolveName(server, &m_peerAddress)) {
        Close();
        m_lastError.Format("The supplied server '%s' is invalid", server);
        return SocketResult::BadServer;
    }
    sock::SetKeepAlive(m_socket);
    if (!sock::ConnectTo(m_socket, m_peerAddress, static_cast<uint16_t>(m_settings.port))) {
        Close();
        return Fail(SocketResult::ConnectFailed, kNotConnectedText);
    }
    // Set once connected: Linux would let the send time-out bound the handshake as well, and
    // only the transport's own waits may end a connection attempt.
    if (m_settings.receiveTimeoutMs != -1)
        sock::SetTimeoutOption(m_socket, true, m_settings.receiveTimeoutMs);
    if (m_settings.sendTimeoutMs != -1) sock::SetTimeoutOption(m_socket, false, m_settings.sendTimeoutMs);
    m_connected = true;
    return SocketResult::Ok;
}

bool SocketConnection::Close() {
    if (m_socket != sock::kInvalidHandle) sock::CloseHandle(m_socket);
    m_socket = sock::kInvalidHandle;
    m_connected = false;
    return true;
}

SocketResult SocketConnection::Send(const char* text) {
    const int length = text ? static_cast<int>(std::strlen(text)) : 0;
    if (!m_connected) return Fail(SocketResult::NotConnected, kNotConnectedText);
    if (!m_initialized) return Fail(SocketResult::NotInitialized, kNotInitializedText);
    if (length == 0) return Fail(SocketResult::BadParameter, "A bad parameter was passed to the function");

    int position = 0;
    int timeouts = 0;
    while (position < length) {
        const int sent = sock::SendBytes(m_socket, text + position, length - position);
        if (sent >= 0) {
            position += sent;
            continue;
        }
        const SocketResult error = TranslateLastError();
        if (error != SocketResult::TimedOut) return error;
        if (++timeouts > kSendTimeoutRetries) return error;
    }
    return SocketResult::Ok;
}

SocketResult SocketConnection::Receive(CString& out, const char* terminator) {
    out.Empty();
    if (!m_connected) return Fail(SocketResult::NotConnected, kNotConnectedText);
    if (!m_initialized) return Fail(SocketResult::NotInitialized, kNotInitializedText);

    long seconds = 0, micros = 0;
    Split(CurrentTransportWaits().firstByte, &seconds, &micros);
    const int ready = sock::WaitReadable(m_socket, seconds, micros);
    if (ready < 0) return TranslateLastError();
    if (ready == 0) return Fail(SocketResult::NoData, kNoDataText);
    // A peer that closed shows as readable with nothing pending.
    if (sock::PendingBytes(m_socket) <= 0) return Fail(SocketResult::NoData, kNoDataText);
    return ReadLoop(out, terminator);
}

SocketResult SocketConnection::ReadLoop(CString& out, const char* terminator) {
    char chunk[kChunkSize + 1];
    const std::string_view tag = terminator ? std::string_view(terminator) : std::string_view();
    for (;;) {
        const int n = sock::ReceiveBytes(m_socket, chunk, kChunkSize);
        if (n < 0) {
            const SocketResult error = TranslateLastError();
            if (error == SocketResult::TimedOut) return out.IsEmpty() ? error : SocketResult::Ok;
            if (error == SocketResult::UnknownError) return SocketResult::Ok;
            return error;
        }
        if (n == 0) return SocketResult::Ok;  // the peer closed
        chunk[n] = '\0';
        // Appended as text: a NUL inside the chunk ends what is taken of it.
        const std::string_view text(chunk, std::strlen(chunk));
        out.str().append(text);

        if (terminator) {
            std::string_view tail;
            if (n > kTailLength) {
                tail = text;
            } else if (out.GetLength() > kTailLength) {
                tail = std::string_view(out.str()).substr(out.str().size() - kTailLength);
            }
            if (!tail.empty() && TailEndsWithTerminatorLine(tail, tag)) return SocketResult::Ok;
        }

        host::YieldCycles(10);
        long seconds = 0, micros = 0;
        Split(CurrentTransportWaits().pause, &seconds, &micros);
        const int ready = sock::WaitReadable(m_socket, seconds, micros);
        host::YieldCycles(10);
        if (ready != 1) return SocketResult::Ok;  // the peer paused (or the wait failed)
    }
}

bool TailEndsWithTerminatorLine(std::string_view tail, std::string_view terminator) {
    if (tail.size() < 2 || tail.substr(tail.size() - 2) != "\r\n") return false;
    const std::string_view body = tail.substr(0, tail.size() - 2);
    const size_t cr = body.rfind('\r');
    if (cr == std::string_view::npos) return false;
    // The last line begins after that CR and the one character following it.
    const std::string_view lastLine = cr + 2 <= body.size() ? body.substr(cr + 2) : std::string_view();
    return lastLine.size() >= terminator.size() && lastLine.substr(0, terminator.size()) == terminator;
}

SocketResult SocketConnection::TranslateLastError() {
    const int error = sock::LastError();
    m_lastError = "An unknown winsock error occured.";
    switch (error) {
        case sock::kNetReset:
        case sock::kConnReset:
            return Fail(SocketResult::ConnectionReset, "The connection was terminated on a reset");
        case sock::kConnAborted:
        case sock::kNotConn:
            return Fail(SocketResult::ConnectionAborted, "The connection was aborted");
        case sock::kTimedOut:
            return Fail(SocketResult::TimedOut, "The connection timed out");
        default:
            return SocketResult::UnknownError;
    }
}
