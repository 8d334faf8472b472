#include "smtp/smtp_client.h"

#include <new>

#include "mime/text_match.h"
#include "platform/ctime.h"
#include "platform/host_binding.h"
#include "smtp/address_list.h"
#include "smtp/base64_encode.h"
#include "smtp/dot_stuffing.h"

namespace {
constexpr const char* kMessageContent = "[Message Content]";
}  // namespace

SmtpClient::SmtpClient() : m_clock([] { return CTime::GetCurrentTime().GetTime(); }) {}

// Never throws: the owner may be going away with the library (the stream closes either way).
SmtpClient::~SmtpClient() {
    try {
        Disconnect();
    } catch (...) {
    }
}

void SmtpClient::Log(const char* text) const {
    if (m_settings.logging) host::Log(text);
}

void SmtpClient::ReadReply(const char* commandShown, CString& reply) {
    m_socket->Receive(reply, nullptr);
    if (!m_settings.logging) return;
    CString trace;
    trace.Format("%s SEND:%s\n%s RECV:%s", "SMTP", commandShown, "SMTP", reply.c_str());
    host::Log(trace);
}

SmtpResult SmtpClient::Connect(const SmtpSettings* settings) {
    if (m_connected) return SmtpResult::Ok;
    if (!settings) return SmtpResult::NoSettings;
    m_settings = *settings;
    m_socket.reset();

    m_socket.reset(new (std::nothrow) SocketConnection(SocketSettings::For(
        m_settings.server, m_settings.port, m_settings.receiveTimeoutMs, m_settings.sendTimeoutMs)));
    if (!m_socket) {
        Log("SMTP: Could not create socket.");
        return SmtpResult::SocketNotCreated;
    }
    CString line;
    if (m_socket->Startup() != SocketResult::Ok) {
        line.Format("SMTP: Could not intitialize socket.\n%s", m_socket->LastError().c_str());
        Log(line);
        return SmtpResult::StartupFailed;
    }
    if (m_socket->Connect() != SocketResult::Ok) {
        line.Format("SMTP: Could not connect socket.\n%s", m_socket->LastError().c_str());
        Log(line);
        return SmtpResult::ConnectFailed;
    }
    CString reply;
    m_socket->Receive(reply, nullptr);  // the greeting is logged, not judged
    line.Format("SMTP Connection Response: %s", reply.c_str());
    Log(line);

    SmtpResult result = SmtpResult::Ok;
    if (m_settings.authenticate) {
        result = SmtpResult::HelloFailed;
        if (m_socket->Send("EHLO COM\r\n") != SocketResult::Ok) return result;
        if (m_settings.user.IsEmpty() || m_settings.password.IsEmpty()) return result;
        ReadReply("EHLO COM\r\n", reply);
        m_socket->Send("AUTH LOGIN\r\n");  // a failed send shows as a reply that is not 334
        ReadReply("AUTH LOGIN\r\n", reply);
        if (!StartsWithNoCase("334", reply.view())) return result;

        CString command;
        smtp::Base64Encode(m_settings.user.c_str(), m_settings.user.GetLength(), command);
        command += "\r\n";
        if (m_socket->Send(command) != SocketResult::Ok) return result;
        ReadReply(command, reply);
        if (!StartsWithNoCase("334", reply.view())) return result;

        command.Empty();
        smtp::Base64Encode(m_settings.password.c_str(), m_settings.password.GetLength(), command);
        command += "\r\n";
        if (m_socket->Send(command) != SocketResult::Ok) return result;
        // Passwords never reach the log, not even encoded: this exchange is read untraced.
        m_socket->Receive(reply, nullptr);
        if (reply.Find("235") >= 0) result = SmtpResult::Ok;
    } else {
        if (m_socket->Send("HELO COM\r\n") != SocketResult::Ok) return SmtpResult::HelloFailed;
        ReadReply("HELO COM\r\n", reply);
        reply.MakeLower();
        if (reply.Find("ok") < 0 && reply.Find("250") < 0) result = SmtpResult::HelloFailed;
    }
    if (result == SmtpResult::Ok) m_connected = true;
    return result;
}

smtp::Composition SmtpClient::CompositionNow() {
    smtp::Composition with;
    with.displayName = m_settings.displayName;
    with.includeAttachments = m_settings.includeAttachments != 0;
    with.time = m_clock ? m_clock() : 0;
    with.contentTypes = &m_contentTypes;
    return with;
}

int SmtpClient::ComposeHeaders(const CMsg& message, CString& text) {
    return smtp::ComposeHeaders(message, CompositionNow(), text);
}

int SmtpClient::ComposeBody(CMsg& message, CString& text) {
    return smtp::ComposeBody(message, CompositionNow(), text);
}

int SmtpClient::ComposeAttachments(const CMsg& message, CString& text) {
    return smtp::ComposeAttachments(message, CompositionNow(), text);
}

SmtpResult SmtpClient::SendMail(CMsg& message, CString& sentText) {
    if (!m_connected) return SmtpResult::NotConnected;
    if (message.m_strTo.IsEmpty() && message.m_strCc.IsEmpty() && message.m_strBcc.IsEmpty()) {
        return SmtpResult::NoRecipients;
    }
    if (message.m_strFrom.IsEmpty()) return SmtpResult::NoSender;
    CStringArray commands;
    CString mailFrom;
    mailFrom.Format("MAIL FROM: <%s>\r\n", message.m_strFrom.c_str());  // the whole text, not parsed
    commands.Add(mailFrom);
    for (const CString* list : {&message.m_strTo, &message.m_strCc, &message.m_strBcc}) {
        if (list->IsEmpty()) continue;
        for (const CString& command : smtp::RecipientCommands(*list)) commands.Add(command);
    }

    CString text;
    if (int r = ComposeHeaders(message, text); r != 0) return static_cast<SmtpResult>(r);
    if (int r = ComposeBody(message, text); r != 0) return static_cast<SmtpResult>(r);
    if (m_settings.includeAttachments) {
        if (int r = ComposeAttachments(message, text); r != 0) return static_cast<SmtpResult>(r);
    }
    text += "\r\n";
    text += ".\r\n";

    CString reply;
    bool accepted = false;
    for (int i = 0; i < commands.GetSize(); ++i) {
        // A command that cannot be sent is skipped without a reply; the next one still goes.
        if (m_socket->Send(commands[i]) != SocketResult::Ok) continue;
        ReadReply(commands[i], reply);
        const bool ok = StartsWithNoCase("250", reply.view());
        if (i == 0 && !ok) return SmtpResult::TransactionFailed;
        if (i > 0 && ok) accepted = true;
    }
    if (!accepted) {
        // The sender stays accepted on the server until the transaction is reset: without it
        // every later message of the logon would meet "nested MAIL command".
        if (m_socket->Send("RSET\r\n") == SocketResult::Ok) ReadReply("RSET\r\n", reply);
        return SmtpResult::NoRecipients;
    }

    if (m_socket->Send("DATA\r\n") != SocketResult::Ok) return SmtpResult::TransactionFailed;
    ReadReply("DATA\r\n", reply);  // not judged: a refused DATA is settled by the final reply

    const std::string wire = smtp::DotStuffed(text.view());
    if (m_socket->Send(wire.c_str()) != SocketResult::Ok) return SmtpResult::TransactionFailed;
    ReadReply(kMessageContent, reply);
    if (!StartsWithNoCase("250", reply.view())) return SmtpResult::TransactionFailed;
    sentText = std::move(text);
    return SmtpResult::Ok;
}

int SmtpClient::Disconnect() {
    if (m_socket) {
        if (m_connected) m_socket->Send("quit\r\n");  // no reply is awaited
        m_socket.reset();
    }
    m_connected = false;
    return 0;
}
