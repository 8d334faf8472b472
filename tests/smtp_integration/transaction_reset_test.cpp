// A real Postfix keeps a transaction open after MAIL FROM until it is reset: a message whose
// recipients are all refused must not leave the next message of the logon facing "nested MAIL".
#include <gtest/gtest.h>

#include <string>

#include "../integration/dovecot_fixture.h"
#include "../support/host_journal.h"
#include "smtp/smtp_client.h"

namespace {
class PostfixReset : public DovecotTest {};
}  // namespace

TEST_F(PostfixReset, RefusedRecipientsThenTheNextMessageGoesThrough) {
    ASSERT_FALSE(m_env["ZQ_SMTP_PORT"].empty()) << "no Postfix in " << ZQ_MAILSERVER_DIR;
    SmtpSettings smtp;
    smtp.server = m_env["ZQ_SMTP_HOST"].c_str();
    smtp.port = Number("ZQ_SMTP_PORT");
    smtp.receiveTimeoutMs = 1500;
    smtp.sendTimeoutMs = 1500;
    smtp.logging = 1;
    SmtpClient sender;
    ASSERT_EQ(sender.Connect(&smtp), SmtpResult::Ok);
    CMsg message;
    message.m_strFrom = "bob@example.test";
    message.m_strTo = Address("nosuchuser").c_str();
    message.m_strSubject = "Nobody";
    message.m_strBody = "refused";
    CString sent;
    HostKit_Clear();
    EXPECT_EQ(sender.SendMail(message, sent), SmtpResult::NoRecipients);
    const auto resets = scripted::JournalTexts("MLOGAdd", "SMTP SEND:RSET\r\n");
    ASSERT_EQ(resets.size(), 1u);
    EXPECT_NE(resets[0].find("RECV:250"), std::string::npos) << resets[0];

    message.m_strTo = Address(user).c_str();
    message.m_strSubject = "After the reset";
    message.m_strBody = "delivered";
    EXPECT_EQ(sender.SendMail(message, sent), SmtpResult::Ok);
    for (const std::string& line : scripted::JournalTexts("MLOGAdd", "SMTP SEND:MAIL"))
        EXPECT_EQ(line.find("503"), std::string::npos) << line;
    const std::string stored = FirstMessage(user);
    EXPECT_NE(stored.find("Subject: After the reset"), std::string::npos) << stored;
}
