#include <gtest/gtest.h>

#include "smtp_script.h"

using namespace std::chrono_literals;

namespace {
constexpr const char* kQueued = "250 2.0.0 Ok: queued as 4AB2C\r\n";

std::string HeadersFor(const std::string& to, const std::string& subject, const std::string& from) {
    std::string text = "To: " + to + "\r\n";
    if (!subject.empty()) text += "Subject: " + subject + "\r\n";
    text += "From: " + from + "\r\n" + kHeaderTail + "X-Sender: " + from + "\r\n" + kTextPart;
    return text;
}
}  // namespace

class SmtpSend : public SmtpScript {
protected:
    void SetUp() override {
        SmtpScript::SetUp();
        message.m_strFrom = "alice@example.test";
        message.m_strTo = "bob@example.test";
        message.m_strSubject = "Hi";
        message.m_strBody = "Line\n.\n.hidden\nend";
    }
    CMsg message;
    CString sent;
};

// Lines that begin with a period are doubled on the wire only; the text handed back is the
// composed one.
TEST_F(SmtpSend, WholeTransactionWithDotStuffing) {
    message.m_strCc = "carol@example.test";
    message.m_strBcc = "dave@example.test";
    const std::string composed =
        "To: <bob@example.test>\r\ncc: <carol@example.test>\r\nSubject: Hi\r\n"
        "From: <alice@example.test>\r\n" +
        std::string(kHeaderTail) + "X-Sender: <alice@example.test>\r\n" + kTextPart +
        "Line\r\n.\r\n.hidden\r\nend\r\n\r\n\r\n.\r\n";
    const std::string wire =
        "To: <bob@example.test>\r\ncc: <carol@example.test>\r\nSubject: Hi\r\n"
        "From: <alice@example.test>\r\n" +
        std::string(kHeaderTail) + "X-Sender: <alice@example.test>\r\n" + kTextPart +
        "Line\r\n..\r\n..hidden\r\nend\r\n\r\n\r\n.\r\n";
    ScriptHelo();
    Cmd("MAIL FROM: <alice@example.test>\r\n", "250 2.1.0 Ok\r\n");
    Cmd("RCPT TO: <bob@example.test>\r\n", "250 2.1.5 Ok\r\n");
    Cmd("RCPT TO: <carol@example.test>\r\n", "250 2.1.5 Ok\r\n");
    Cmd("RCPT TO: <dave@example.test>\r\n", "250 2.1.5 Ok\r\n");
    Cmd("DATA\r\n", "354 End data with <CR><LF>.<CR><LF>\r\n");
    Cmd(wire, kQueued);
    ScriptEnd();
    Connected();
    ASSERT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    EXPECT_EQ(sent.str(), composed);
    Verify();
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[2], "SMTP SEND:MAIL FROM: <alice@example.test>\r\n\nSMTP RECV:250 2.1.0 Ok\r\n");
    EXPECT_EQ(log[6], "SMTP SEND:DATA\r\n\nSMTP RECV:354 End data with <CR><LF>.<CR><LF>\r\n");
    EXPECT_EQ(log[7], std::string("SMTP SEND:[Message Content]\nSMTP RECV:") + kQueued);
}

// The sender text goes into the brackets whole; a refusal ends the transaction at once.
TEST_F(SmtpSend, RefusedSenderStopsBeforeTheRecipients) {
    message.m_strFrom = "Alice <alice@example.test>";
    ScriptHelo();
    Cmd("MAIL FROM: <Alice <alice@example.test>>\r\n", "553 5.1.7 bad sender\r\n");
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_TRUE(sent.IsEmpty());
    EXPECT_TRUE(client.IsConnected());  // a failed transaction keeps the connection
    Verify();
}

TEST_F(SmtpSend, FirstRecipientRefusedSecondAccepted) {
    message.m_strTo = "nobody@example.test, bob@example.test";
    message.m_strBody = "x";
    ScriptHelo();
    Cmd("MAIL FROM: <alice@example.test>\r\n", "250 2.1.0 Ok\r\n");
    Cmd("RCPT TO: <nobody@example.test>\r\n",
        "550 5.1.1 <nobody@example.test>: Recipient address rejected\r\n");
    Cmd("RCPT TO: <bob@example.test>\r\n", "250 2.1.5 Ok\r\n");
    Cmd("DATA\r\n", "354 go ahead\r\n");
    Cmd(HeadersFor("<nobody@example.test, bob@example.test>", "Hi", "<alice@example.test>") +
            "x\r\n\r\n\r\n.\r\n",
        kQueued);
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    Verify();
}

// No recipient accepted: no DATA and no reset; the connection stays for the next message.
TEST_F(SmtpSend, NoRecipientAccepted) {
    message.m_strTo = "x@example.test;y@example.test";
    ScriptHelo();
    Cmd("MAIL FROM: <alice@example.test>\r\n", "250 2.1.0 Ok\r\n");
    Cmd("RCPT TO: <x@example.test>\r\n", "550 5.1.1 unknown\r\n");
    Cmd("RCPT TO: <y@example.test>\r\n", "550 5.1.1 unknown\r\n");
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::NoRecipients);
    Verify();
}

// A refused DATA does not stop the text; the final reply decides.
TEST_F(SmtpSend, DataRefusedButTextAccepted) {
    message.m_strBody = "";
    ScriptHelo();
    Cmd("MAIL FROM: <alice@example.test>\r\n", "250 2.1.0 Ok\r\n");
    Cmd("RCPT TO: <bob@example.test>\r\n", "250 2.1.5 Ok\r\n");
    Cmd("DATA\r\n", "554 5.5.1 Error: no valid recipients\r\n");
    Cmd(HeadersFor("<bob@example.test>", "Hi", "<alice@example.test>") + " \r\n\r\n.\r\n", kQueued);
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    Verify();
}

TEST_F(SmtpSend, TextNotAcceptedLeavesTheSentTextAlone) {
    message.m_strBody = "";
    ScriptHelo();
    Cmd("MAIL FROM: <alice@example.test>\r\n", "250 2.1.0 Ok\r\n");
    Cmd("RCPT TO: <bob@example.test>\r\n", "250 2.1.5 Ok\r\n");
    Cmd("DATA\r\n", "354 go ahead\r\n");
    Cmd(HeadersFor("<bob@example.test>", "Hi", "<alice@example.test>") + " \r\n\r\n.\r\n",
        "552 5.3.4 Message size exceeds fixed limit\r\n");
    ScriptEnd();
    Connected();
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
    message.m_strBody = "x";
    ScriptHelo();
    Cmd("MAIL FROM: <alice@example.test>\r\n", "250 2.1.0 Ok\r\n");
    Cmd("RCPT TO: <hidden@example.test>\r\n", "250 2.1.5 Ok\r\n");
    Cmd("DATA\r\n", "354 go ahead\r\n");
    Cmd(HeadersFor("", "", "\"Alice A.\" <alice@example.test>") + "x\r\n\r\n\r\n.\r\n", kQueued);
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    Verify();
}

// Checks before any traffic: recipients first, then the sender.
TEST_F(SmtpSend, MessageChecksSendNothing) {
    ScriptHelo();
    ScriptEnd();
    Connected();
    CMsg empty;
    empty.m_strFrom = "alice@example.test";
    EXPECT_EQ(client.SendMail(empty, sent), SmtpResult::NoRecipients);
    CMsg anonymous;
    anonymous.m_strTo = "bob@example.test";
    EXPECT_EQ(client.SendMail(anonymous, sent), SmtpResult::NoSender);
    CMsg neither;
    EXPECT_EQ(client.SendMail(neither, sent), SmtpResult::NoRecipients);
    Verify();
}

// Nothing notices a server that left between messages: the next transaction fails on its
// first reply.
TEST_F(SmtpSend, ServerGoneBetweenMessages) {
    ScriptHelo();
    server.Delay(200ms).Close();
    Connected();
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    verified = true;
    server.Finish();
}

// A server that dies in the middle of the transaction: whatever the sends report, the missing
// final reply makes it a failed transaction, and the sent text stays untouched.
TEST_F(SmtpSend, ServerDyingAfterTheRecipients) {
    ScriptHelo();
    Cmd("MAIL FROM: <alice@example.test>\r\n", "250 2.1.0 Ok\r\n");
    Cmd("RCPT TO: <bob@example.test>\r\n", "250 2.1.5 Ok\r\n");
    server.Delay(400ms).Reset();  // after the client has read the reply: it is waiting on DATA
    Connected();
    sent = "before";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_EQ(sent, "before");
    verified = true;
    server.Finish();
}
