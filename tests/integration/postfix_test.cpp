// The SMTP client on one connection to a real Postfix, without AUTH (mailhost's send covers AUTH
// LOGIN, delivery and the copy in Sent).
#include "dovecot_fixture.h"
#include "host_journal.h"
#include "smtp/smtp_client.h"

// All recipients refused: Postfix takes the reset, so the next message does not meet "nested
// MAIL" and arrives past its refused first recipient.
TEST_F(DovecotTest, PostfixTakesTheResetAfterAllRecipientsAreRefused) {
    ASSERT_FALSE(m_env["ZQ_SMTP_PORT"].empty()) << "no Postfix in " << ZQ_MAILSERVER_DIR;
    SmtpSettings smtp;
    smtp.server = m_env["ZQ_SMTP_HOST"].c_str();
    smtp.port = Number("ZQ_SMTP_PORT");
    smtp.receiveTimeoutMs = 1500;
    smtp.sendTimeoutMs = 1500;
    smtp.logging = 1;
    SmtpClient sender;
    ASSERT_EQ(sender.Connect(&smtp), SmtpResult::Ok);
    HostKit_Clear();
    CMsg message;
    message.m_strFrom = "alice@example.test";
    message.m_strTo = Address("nosuchuser").c_str();
    message.m_strSubject = "After the reset";
    message.m_strBody = "short";
    CString sent;
    EXPECT_EQ(sender.SendMail(message, sent), SmtpResult::NoRecipients);
    const auto resets = scripted::JournalTexts("MLOGAdd", "SMTP SEND:RSET\r\n");
    ASSERT_EQ(resets.size(), 1u);
    EXPECT_NE(resets[0].find("RECV:250"), std::string::npos) << resets[0];
    message.m_strTo = (Address("nosuchuser") + "," + Address(user)).c_str();
    EXPECT_EQ(sender.SendMail(message, sent), SmtpResult::Ok);
    const std::string plain = FirstMessage(user);
    EXPECT_NE(plain.find("(Postfix) with SMTP id"), std::string::npos) << plain;  // not authenticated
    EXPECT_NE(plain.find("\r\n\r\nshort\r\n"), std::string::npos) << plain;
}
