// Delivers outgoing messages to the user's SMTP server over one connection that stays open
// between messages: greeting, HELO (or EHLO with AUTH LOGIN), then one mail transaction per
// message. Every reply read ends on the transport's pause, as the server never names its end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "net/socket_connection.h"
#include "platform/cstring.h"
#include "records/cmsg.h"
#include "smtp/content_type_table.h"
#include "smtp/message_composer.h"
#include "smtp/smtp_result.h"
#include "smtp/smtp_settings.h"

class SmtpClient {
public:
    // Seconds since 1970 UTC; the Date: header's source.
    using Clock = std::function<int32_t()>;

    SmtpClient();
    virtual ~SmtpClient();
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    // No settings: NoSettings. Already connected: Ok without any traffic.
    SmtpResult Connect(const SmtpSettings* settings);
    // On success sentText receives the message text exactly as composed (periods not doubled),
    // ending with "\r\n" and ".\r\n". The message's body may gain the excluded note.
    SmtpResult SendMail(CMsg& message, CString& sentText);
    // Sends "quit" when connected and drops the connection; returns 0.
    int Disconnect();

    int ComposeHeaders(const CMsg& message, CString& text);
    int ComposeBody(CMsg& message, CString& text);
    int ComposeAttachments(const CMsg& message, CString& text);

    bool IsConnected() const { return m_connected; }
    const SmtpSettings& Settings() const { return m_settings; }
    // Replaces the clock (tests fix the composition time with it).
    void SetClock(Clock clock) { m_clock = std::move(clock); }

private:
    smtp::Composition CompositionNow();
    // Reads one reply after a command and traces the pair when logging.
    void ReadReply(const char* commandShown, CString& reply);
    void Log(const char* text) const;

    ContentTypeTable m_contentTypes;
    SmtpSettings m_settings;
    std::unique_ptr<SocketConnection> m_socket;
    bool m_connected = false;
    Clock m_clock;
};
