// Outgoing mail through a real Postfix (AUTH LOGIN against Dovecot's user table, delivery over
// LMTP), read back from each recipient's INBOX over IMAP.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../integration/dovecot_fixture.h"
#include "../support/host_journal.h"
#include "smtp/smtp_client.h"

namespace {

class PostfixTest : public DovecotTest {
protected:
    // Sends one message; the composed text.
    std::string Send(SmtpClient& sender, const std::string& to, const char* subject, const char* body,
                     SmtpResult expected = SmtpResult::Ok) {
        CMsg message;
        message.m_strFrom = "alice@example.test";
        message.m_strTo = to.c_str();
        message.m_strSubject = subject;
        message.m_strBody = body;
        message.m_strAttachments = attachment.c_str();
        CString sent;
        EXPECT_EQ(sender.SendMail(message, sent), expected) << subject;
        return sent.str();
    }
    std::string attachment;
};

// Plain HELO: all recipients refused, the server takes the reset, so the next message does not
// meet "nested MAIL" and arrives past its refused first recipient. AUTH LOGIN: a wrong password
// is refused; with the right one both INBOXes get every composed header line and the body with
// the attachment's part unchanged.
TEST_F(PostfixTest, ResetAfterRefusedRecipientsThenAuthLoginWithAnAttachment) {
    ASSERT_FALSE(m_env["ZQ_SMTP_PORT"].empty()) << "no Postfix in " << ZQ_MAILSERVER_DIR;
    const std::string second = ClaimAccount(), third = ClaimAccount();
    ASSERT_FALSE(second.empty() || third.empty());
    SmtpSettings smtp;
    smtp.server = m_env["ZQ_SMTP_HOST"].c_str();
    smtp.port = Number("ZQ_SMTP_PORT");
    smtp.receiveTimeoutMs = 1500;
    smtp.sendTimeoutMs = 1500;
    smtp.logging = 1;
    SmtpClient plainSender;
    ASSERT_EQ(plainSender.Connect(&smtp), SmtpResult::Ok);
    HostKit_Clear();
    Send(plainSender, Address("nosuchuser"), "Nobody", "refused", SmtpResult::NoRecipients);
    const auto resets = scripted::JournalTexts("MLOGAdd", "SMTP SEND:RSET\r\n");
    ASSERT_EQ(resets.size(), 1u);
    EXPECT_NE(resets[0].find("RECV:250"), std::string::npos) << resets[0];
    Send(plainSender, Address("nosuchuser") + "," + Address(third), "After the reset", "short");
    const std::string plain = FirstMessage(third);
    EXPECT_NE(plain.find("(Postfix) with SMTP id"), std::string::npos) << plain;  // not authenticated
    EXPECT_NE(plain.find("\r\n\r\nshort\r\n"), std::string::npos) << plain;

    smtp.authenticate = 1;
    smtp.user = user.c_str();
    smtp.password = "wrong";
    SmtpClient sender;
    EXPECT_EQ(sender.Connect(&smtp), SmtpResult::HelloFailed);
    const std::string dir = "/tmp/zq-smtp-int-" + user;
    std::filesystem::create_directories(dir);
    attachment = dir + "/data.bin";
    std::ofstream(attachment, std::ios::binary) << std::string(3000, '\xA7');
    smtp.password = m_env["ZQ_POOL_PASSWORD"].c_str();
    smtp.includeAttachments = 1;
    sender.Disconnect();
    ASSERT_EQ(sender.Connect(&smtp), SmtpResult::Ok);
    const std::string composed = Send(sender, Address(user) + "; " + Address(second), "Postfix round trip",
                                      "First line\n.\n.leading period\nLast line");
    std::filesystem::remove_all(dir);

    // The composed header section, and the body (the attachment's part in it) up to the terminator.
    const size_t headerEnd = composed.find("\r\n\r\n");
    ASSERT_NE(composed.find("filename=\"data.bin\"\r\n\r\np6en"), std::string::npos);  // the file's bytes
    const std::string body = composed.substr(headerEnd + 4, composed.size() - 3 - headerEnd - 4);
    for (const std::string& name : {user, second}) {
        const std::string stored = FirstMessage(name);
        EXPECT_NE(stored.find("(Postfix) with ESMTPA"), std::string::npos) << name;
        for (size_t start = 0, end; start < headerEnd + 2; start = end + 2) {
            end = composed.find("\r\n", start);
            EXPECT_NE(stored.find(composed.substr(start, end + 2 - start)), std::string::npos)
                << name << ": " << composed.substr(start, end - start);
        }
        const size_t storedBody = stored.find("\r\n\r\n");
        ASSERT_NE(storedBody, std::string::npos);
        EXPECT_EQ(stored.substr(storedBody + 4), body) << name;
    }
}

}  // namespace
