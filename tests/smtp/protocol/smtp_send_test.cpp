#include <gtest/gtest.h>

#include "smtp_script.h"

using namespace std::chrono_literals;

namespace {
constexpr const char* kQueued = "250 2.0.0 Ok: queued as 4AB2C\r\n";
constexpr const char* kOk = "250 2.1.5 Ok\r\n";

std::string Headers(const std::string& to, const std::string& from, const std::string& subject = "Hi") {
    return "To: " + to + "\r\n" + (subject.empty() ? "" : "Subject: " + subject + "\r\n") + "From: " + from +
           "\r\n" + kHeaderTail + "X-Sender: " + from + "\r\n" + kTextPart;
}
}  // namespace

class SmtpSend : public SmtpScript {
protected:
    void SetUp() override {
        SmtpScript::SetUp();
        message.m_strFrom = "alice@example.test";
        message.m_strTo = "bob@example.test";
        message.m_strSubject = "Hi";
        message.m_strBody = "x";
        ScriptHelo();
    }
    void Sender() { Cmd("MAIL FROM: <alice@example.test>\r\n", "250 2.1.0 Ok\r\n"); }
    CMsg message;
    CString sent;
};

// Lines that begin with a period are doubled on the wire only; the text handed back is the
// composed one.
TEST_F(SmtpSend, WholeTransactionWithDotStuffing) {
    message.m_strCc = "carol@example.test";
    message.m_strBcc = "dave@example.test";
    message.m_strBody = "Line\n.\n.hidden\nend";
    const std::string headers =
        "To: <bob@example.test>\r\ncc: <carol@example.test>\r\n" +
        Headers("", "<alice@example.test>").substr(std::string("To: \r\n").size());
    Sender();
    Cmd("RCPT TO: <bob@example.test>\r\n", kOk);
    Cmd("RCPT TO: <carol@example.test>\r\n", kOk);
    Cmd("RCPT TO: <dave@example.test>\r\n", kOk);
    Cmd("DATA\r\n", "354 End data with <CR><LF>.<CR><LF>\r\n");
    Cmd(headers + "Line\r\n..\r\n..hidden\r\nend\r\n\r\n\r\n.\r\n", kQueued);
    ScriptEnd();
    Connected();
    ASSERT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    EXPECT_EQ(sent.str(), headers + "Line\r\n.\r\n.hidden\r\nend\r\n\r\n\r\n.\r\n");
    Verify();
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[2], "SMTP SEND:MAIL FROM: <alice@example.test>\r\n\nSMTP RECV:250 2.1.0 Ok\r\n");
    EXPECT_EQ(log[7], std::string("SMTP SEND:[Message Content]\nSMTP RECV:") + kQueued);
}

// Message checks send nothing (recipients first, then the sender). The sender text goes into
// the brackets whole; a refusal ends the transaction at once, and the connection stays.
TEST_F(SmtpSend, ChecksAndRefusedSender) {
    message.m_strFrom = "Alice <alice@example.test>";
    Cmd("MAIL FROM: <Alice <alice@example.test>>\r\n", "553 5.1.7 bad sender\r\n");
    ScriptEnd();
    Connected();
    CMsg check;
    EXPECT_EQ(client.SendMail(check, sent), SmtpResult::NoRecipients);
    check.m_strTo = "bob@example.test";
    EXPECT_EQ(client.SendMail(check, sent), SmtpResult::NoSender);
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_TRUE(sent.IsEmpty());
    EXPECT_TRUE(client.IsConnected());
    Verify();
}

// No recipient accepted: no DATA and no reset. On the same connection, a refused first
// recipient is skipped and the second one gets the message.
TEST_F(SmtpSend, RefusedRecipientsAreSkipped) {
    message.m_strTo = "x@example.test;y@example.test";
    Sender();
    Cmd("RCPT TO: <x@example.test>\r\n", "550 5.1.1 unknown\r\n");
    Cmd("RCPT TO: <y@example.test>\r\n", "550 5.1.1 unknown\r\n");
    Sender();
    Cmd("RCPT TO: <nobody@example.test>\r\n", "550 5.1.1 Recipient address rejected\r\n");
    Cmd("RCPT TO: <bob@example.test>\r\n", kOk);
    Cmd("DATA\r\n", "354 go ahead\r\n");
    Cmd(Headers("<nobody@example.test, bob@example.test>", "<alice@example.test>") + "x\r\n\r\n\r\n.\r\n",
        kQueued);
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::NoRecipients);
    message.m_strTo = "nobody@example.test, bob@example.test";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    Verify();
}

// The reply to DATA does not stop the text; the final reply alone decides, and a refusal
// leaves the caller's text alone.
TEST_F(SmtpSend, FinalReplyDecides) {
    const std::string text = Headers("<bob@example.test>", "<alice@example.test>") + "x\r\n\r\n\r\n.\r\n";
    Sender();
    Cmd("RCPT TO: <bob@example.test>\r\n", kOk);
    Cmd("DATA\r\n", "554 5.5.1 Error: no valid recipients\r\n");
    Cmd(text, kQueued);
    Cmd("MAIL FROM: <alice@example.test>\r\n", "250 2.1.0 Ok\r\n");
    Cmd("RCPT TO: <bob@example.test>\r\n", kOk);
    Cmd("DATA\r\n", "354 go ahead\r\n");
    Cmd(text, "552 5.3.4 Message size exceeds fixed limit\r\n");
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    sent = "before";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_EQ(sent, "before");
    Verify();
}

// A bcc-only message: an empty To: header, and the display name in From and X-Sender.
TEST_F(SmtpSend, BlindCopyOnly) {
    settings.displayName = "Alice A.";
    message.m_strTo = "";
    message.m_strSubject = "";
    message.m_strBcc = "'hidden@example.test'";
    Sender();
    Cmd("RCPT TO: <hidden@example.test>\r\n", kOk);
    Cmd("DATA\r\n", "354 go ahead\r\n");
    Cmd(Headers("", "\"Alice A.\" <alice@example.test>", "") + "x\r\n\r\n\r\n.\r\n", kQueued);
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    Verify();
}

// A server that dies in the middle of the transaction: the missing final reply makes it a
// failed transaction, and the sent text stays untouched.
TEST_F(SmtpSend, ServerDyingAfterTheRecipients) {
    Sender();
    Cmd("RCPT TO: <bob@example.test>\r\n", kOk);
    server.Delay(400ms).Reset();  // after the client has read the reply: it is waiting on DATA
    server.Start();
    Connected();
    sent = "before";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_EQ(sent, "before");
    verified = true;
    server.Finish();
}
