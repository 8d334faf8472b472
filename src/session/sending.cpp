// Sending: the lazy SMTP connection, the send, and the copy filed in the sent-mail folder.
#include "platform/host_binding.h"
#include "records/cmsg.h"
#include "session/imap_session.h"

namespace {
constexpr int32_t kSmtpTimeoutMs = 1500;
constexpr int32_t kSmtpNotEnabled = 9;
}  // namespace

void ImapSession::FillSmtpSettings() {
    smtpSettings.server = logon.smtpServer;
    smtpSettings.port = logon.smtpPort;
    smtpSettings.extraNumber1 = logon.extraNumber1;
    smtpSettings.extraText1 = logon.extraText1;
    smtpSettings.extraNumber2 = logon.extraNumber2;
    smtpSettings.displayName = logon.displayName;
    smtpSettings.authenticate = static_cast<uint32_t>(logon.smtpAuth);
    smtpSettings.user = logon.smtpUser;
    smtpSettings.password = logon.smtpPassword;
    smtpSettings.includeAttachments = static_cast<uint32_t>(logon.attachments);
    smtpSettings.receiveTimeoutMs = kSmtpTimeoutMs;
    smtpSettings.sendTimeoutMs = kSmtpTimeoutMs;
    smtpSettings.syncLogOnFailure = static_cast<uint32_t>(syncLogOnFailure);
    smtpSettings.logging = static_cast<uint32_t>(verbose);
}

void ImapSession::CloseSmtp() {
    if (smtpEnabled && smtpConnected) smtp.Disconnect();
}

int32_t ImapSession::SendMessage(const MailMsg* message) {
    if (!message) return 1;
    if (!smtpEnabled) return kSmtpNotEnabled;
    if (!smtpConnected) {
        const SmtpResult connected = smtp.Connect(&smtpSettings);
        if (connected != SmtpResult::Ok) {
            if (verbose) {
                CString text;
                text.Format("SMTP: Socket for server '%s' on port %d failed to connect. ", logon.smtpServer.c_str(),
                            logon.smtpPort);
                host::Log(text);
            }
            // One failed attempt disables sending until the next logon.
            smtpEnabled = 0;
            return static_cast<int32_t>(connected);
        }
        smtpConnected = 1;
    }
    CMsg msg(message);
    CString sent;
    const SmtpResult result = smtp.SendMail(msg, sent);
    // The sent copy is filed quietly: a failed APPEND does not unsend the message.
    if (result == SmtpResult::Ok && !imapSettings.sentFolder.IsEmpty()) imap.AppendMessage(imapSettings.sentFolder, sent);
    return static_cast<int32_t>(result);
}
