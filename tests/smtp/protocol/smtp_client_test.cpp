// Exact-byte SMTP conversations: a scripted server, a client with short waits and a fixed clock,
// and a record of every byte the client is expected to send.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "host_journal.h"
#include "hostkit.h"
#include "net/transport_waits.h"
#include "scripted_server.h"
#include "smtp/smtp_client.h"

using namespace std::chrono_literals;

namespace {

constexpr const char* kGreeting = "220 mail.localhost ESMTP\r\n";
constexpr const char* kQueued = "250 2.0.0 Ok: queued as 4AB2C\r\n";
constexpr const char* kOk = "250 2.1.5 Ok\r\n";

// The header section the client composes at its fixed clock, for a text-only message.
std::string Headers(const std::string& to, const std::string& from, const std::string& subject = "Hi") {
    return "To: " + to + "\r\n" + (subject.empty() ? "" : "Subject: " + subject + "\r\n") + "From: " + from +
           "\r\nDate: Thu, 04 Mar 2004 09:05:07 +0000\r\n"
           "X-Mailer: Ostravo (TM) IMAP Plug-in Mail Module 2.0.7.0\r\n"
           "X-Sender: " + from + "\r\nMime-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=\"ISO-8859-1\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
}

class SmtpScript : public ::testing::Test {
protected:
    void SetUp() override {
        testing_hooks::OverrideTransportWaits({3000ms, 150ms});
        HostKit_Clear();
        settings.server = "127.0.0.1";
        settings.port = server.Port();
        settings.receiveTimeoutMs = 1500;
        settings.sendTimeoutMs = 1500;
        settings.logging = 1;
        client.SetClock([] { return 1078391107; });  // Thu, 04 Mar 2004 09:05:07 UTC
    }
    void TearDown() override {
        if (!verified) server.Finish(0ms);
        client.Disconnect();
        testing_hooks::RestoreTransportWaits();
    }

    // A command and its reply; an empty reply means the client's bytes get none.
    void Cmd(const std::string& command, const std::string& reply = "") {
        reply.empty() ? server.Expect(command) : server.Exchange(command, reply);
        expected += command;
    }
    void ScriptHelo() {
        server.Send(kGreeting);
        Cmd("HELO COM\r\n", "250 mail.localhost\r\n");
    }
    // The client's quit (only when it stays connected) and its close; then the script starts.
    void ScriptEnd(bool quit = true) {
        if (quit) Cmd("quit\r\n");
        server.ExpectClose();
        server.Start();
    }
    void Connected() { ASSERT_EQ(client.Connect(&settings), SmtpResult::Ok); }
    // Disconnects, then checks the script was played and the client sent nothing else.
    void Verify() {
        verified = true;
        client.Disconnect();
        EXPECT_TRUE(scripted::PlayedExactly(server.Finish(), expected));
    }

    scripted::Server server;
    SmtpClient client;
    SmtpSettings settings;
    std::string expected;
    bool verified = false;
};

}  // namespace

// The HELO reply is accepted when it holds "250" or the letters "ok" in any case; quit only
// when connected, and a second Connect then sends nothing. The greeting and the exchange are
// logged.
class SmtpHelo : public SmtpScript, public ::testing::WithParamInterface<std::pair<const char*, SmtpResult>> {};

TEST_P(SmtpHelo, Reply) {
    const auto& [reply, result] = GetParam();
    server.Send(kGreeting);
    Cmd("HELO COM\r\n", reply);
    ScriptEnd(result == SmtpResult::Ok);
    EXPECT_EQ(client.Connect(&settings), result);
    EXPECT_EQ(client.IsConnected(), result == SmtpResult::Ok);
    if (result == SmtpResult::Ok) {
        EXPECT_EQ(client.Connect(&settings), SmtpResult::Ok);
    }
    Verify();
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(scripted::JournalTexts(), (std::vector<std::string>{
                                            "SMTP Connection Response: 220 mail.localhost ESMTP\r\n",
                                            std::string("SMTP SEND:HELO COM\r\n\nSMTP RECV:") + reply}));
}

INSTANTIATE_TEST_SUITE_P(Replies, SmtpHelo,
                         ::testing::Values(std::make_pair("220 fine 250\r\n", SmtpResult::Ok),
                                           std::make_pair("hello, bOk\r\n", SmtpResult::Ok),
                                           std::make_pair("554 go away\r\n", SmtpResult::HelloFailed)),
                         [](const auto& info) { return "Reply" + std::to_string(info.index); });

struct AuthCase {
    const char* name;
    const char* user;
    const char* user64;
    const char* password;
    std::vector<const char*> replies;  // to EHLO, AUTH LOGIN, the user and the password
    SmtpResult result;
};

class SmtpAuth : public SmtpScript, public ::testing::WithParamInterface<AuthCase> {};

// Each refusal stops the dialogue where it happens: nothing after it is sent, and no quit.
TEST_P(SmtpAuth, EhloAndAuthLogin) {
    const AuthCase& c = GetParam();
    settings.authenticate = 1;
    settings.user = c.user;
    settings.password = c.password;
    const std::string commands[] = {"EHLO COM\r\n", "AUTH LOGIN\r\n", std::string(c.user64) + "\r\n",
                                    "YWxpY2Utc2VjcmV0\r\n"};
    server.Send(kGreeting);
    for (size_t i = 0; i < c.replies.size(); ++i) Cmd(commands[i], c.replies[i]);
    ScriptEnd(c.result == SmtpResult::Ok);
    EXPECT_EQ(client.Connect(&settings), c.result);
    EXPECT_EQ(client.IsConnected(), c.result == SmtpResult::Ok);
    Verify();
    // The user line is traced encoded; the password exchange never reaches the log.
    const auto log = scripted::JournalTexts();
    size_t traced = 1;  // the greeting, then each reply read before the password's
    for (size_t i = 0; i < std::min<size_t>(c.replies.size(), 3); ++i) traced += *c.replies[i] != 0;
    ASSERT_EQ(log.size(), traced);
    if (c.replies.size() > 2) {
        EXPECT_EQ(log[3], "SMTP SEND:" + commands[2] + "\nSMTP RECV:" + c.replies[2]);
    }
    for (const auto& line : log) EXPECT_EQ(line.find("YWxpY2Utc2VjcmV0"), std::string::npos);
}

constexpr const char* kSecret = "alice-secret";
constexpr const char* kUser = "334 VXNlcm5hbWU6\r\n";
constexpr const char* kPassword = "334 UGFzc3dvcmQ6\r\n";
constexpr const char* kWelcome = "235 2.7.0 Authentication successful\r\n";
constexpr const char* kFailed = "535 5.7.8 Error: authentication failed: UGFzc3dvcmQ6\r\n";

INSTANTIATE_TEST_SUITE_P(
    Steps, SmtpAuth,
    ::testing::Values(
        AuthCase{"Accepted", "alice", "YWxpY2U=", kSecret,
                 {"250-mail.localhost\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n", kUser, kPassword, kWelcome},
                 SmtpResult::Ok},
        AuthCase{"Code235LaterInTheReply", "alice", "YWxpY2U=", kSecret,
                 {"250 ok\r\n", kUser, kPassword, "220 noise\r\n235 accepted\r\n"}, SmtpResult::Ok},
        AuthCase{"AuthLoginRefused", "alice", "YWxpY2U=", kSecret, {"250 ok\r\n", "503 5.5.1 not enabled\r\n"},
                 SmtpResult::HelloFailed},
        AuthCase{"UserRefused", "alice", "YWxpY2U=", kSecret, {"250 ok\r\n", kUser, kFailed}, SmtpResult::HelloFailed},
        AuthCase{"PasswordRefused", "alice", "YWxpY2U=", kSecret, {"250 ok\r\n", kUser, kPassword, kFailed},
                 SmtpResult::HelloFailed},
        // 54 bytes encode to 72 characters: the encoder's CR LF stands after the 70th.
        AuthCase{"LongUserName", "a.very.long.user.name.for.the.smtp.server@example.test",
                 "YS52ZXJ5LmxvbmcudXNlci5uYW1lLmZvci50aGUuc210cC5zZXJ2ZXJAZXhhbXBsZS50ZX\r\nN0", kSecret,
                 {"250 ok\r\n", kUser, kPassword, kWelcome}, SmtpResult::Ok},
        // An empty password sends EHLO and stops without reading its reply.
        AuthCase{"EmptyPassword", "alice", "YWxpY2U=", "", {""}, SmtpResult::HelloFailed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SmtpConnectFailure, NoSettingsAndNoServer) {
    HostKit_Clear();
    SmtpClient client;
    EXPECT_EQ(client.Connect(nullptr), SmtpResult::NoSettings);
    SmtpSettings settings;
    settings.server = "127.0.0.1";
    settings.port = scripted::Server().Port();  // given up at once: nothing listens there
    settings.logging = 1;
    EXPECT_EQ(client.Connect(&settings), SmtpResult::ConnectFailed);
    ASSERT_GE(HostKit_CallCount(), 1);
    EXPECT_STREQ(HostKit_Call(HostKit_CallCount() - 1)->text,
                 "SMTP: Could not connect socket.\nThere is no connection for the socket");
    CMsg message;
    message.m_strTo = "b@x.org";
    message.m_strFrom = "a@x.org";
    CString sent("untouched");
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::NotConnected);
    EXPECT_EQ(sent, "untouched");
}

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
// composed one, with the display name of the settings in From and X-Sender. Attachments listed
// but not wanted leave a note in the message's own body.
TEST_F(SmtpSend, WholeTransactionWithDotStuffing) {
    settings.displayName = "Alice A.";
    message.m_strCc = "carol@example.test";
    message.m_strBcc = "dave@example.test";
    message.m_strBody = "Line\n.\n.hidden\nend";
    message.m_strAttachments = "/tmp/whatever.pdf";
    const std::string note = "\r\n***Attachments excluded by request.***\r\n";
    const std::string headers = "To: <bob@example.test>\r\ncc: <carol@example.test>\r\n" +
                                Headers("", "\"Alice A.\" <alice@example.test>").substr(std::string("To: \r\n").size());
    Sender();
    Cmd("RCPT TO: <bob@example.test>\r\n", kOk);
    Cmd("RCPT TO: <carol@example.test>\r\n", kOk);
    Cmd("RCPT TO: <dave@example.test>\r\n", kOk);
    Cmd("DATA\r\n", "354 End data with <CR><LF>.<CR><LF>\r\n");
    Cmd(headers + "Line\r\n..\r\n..hidden\r\nend\r\n" + note + "\r\n\r\n.\r\n", kQueued);
    ScriptEnd();
    Connected();
    ASSERT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    EXPECT_EQ(sent.str(), headers + "Line\r\n.\r\n.hidden\r\nend\r\n" + note + "\r\n\r\n.\r\n");
    EXPECT_EQ(message.m_strBody, "Line\n.\n.hidden\nend\r\n" + note);
    Verify();
    const auto log = scripted::JournalTexts();
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

// No recipient accepted: no DATA, and the transaction is reset (traced, its reply read) so
// that the next MAIL FROM is not a nested one. On the same connection, a blind-copy-only
// message (an empty To: header, no subject, an empty body as one space) skips its refused
// first recipient and goes to the second.
TEST_F(SmtpSend, RefusedRecipientsAreSkipped) {
    message.m_strTo = "x@example.test;y@example.test";
    Sender();
    Cmd("RCPT TO: <x@example.test>\r\n", "550 5.1.1 unknown\r\n");
    Cmd("RCPT TO: <y@example.test>\r\n", "550 5.1.1 unknown\r\n");
    Cmd("RSET\r\n", "250 2.0.0 Ok\r\n");
    Sender();
    Cmd("RCPT TO: <nobody@example.test>\r\n", "550 5.1.1 Recipient address rejected\r\n");
    Cmd("RCPT TO: <bob@example.test>\r\n", kOk);
    Cmd("DATA\r\n", "354 go ahead\r\n");
    Cmd(Headers("", "<alice@example.test>", "") + " \r\n\r\n.\r\n", kQueued);
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::NoRecipients);
    EXPECT_EQ(scripted::JournalTexts("MLOGAdd", "SMTP SEND:RSET").back(), "SMTP SEND:RSET\r\n\nSMTP RECV:250 2.0.0 Ok\r\n");
    message.m_strTo = "";
    message.m_strBcc = "nobody@example.test, bob@example.test";
    message.m_strSubject = "";
    message.m_strBody = "";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    Verify();
}

// The reply to DATA does not stop the text; the final reply alone decides, and a refusal
// leaves the caller's text alone. So does a server that dies after the recipients: its final
// reply never comes.
TEST_F(SmtpSend, FinalReplyDecides) {
    const std::string text = Headers("<bob@example.test>", "<alice@example.test>") + "x\r\n\r\n\r\n.\r\n";
    Sender();
    Cmd("RCPT TO: <bob@example.test>\r\n", kOk);
    Cmd("DATA\r\n", "554 5.5.1 Error: no valid recipients\r\n");
    Cmd(text, kQueued);
    Sender();
    Cmd("RCPT TO: <bob@example.test>\r\n", kOk);
    Cmd("DATA\r\n", "354 go ahead\r\n");
    Cmd(text, "552 5.3.4 Message size exceeds fixed limit\r\n");
    Sender();
    Cmd("RCPT TO: <bob@example.test>\r\n", kOk);
    server.Delay(400ms).Reset();  // after the client has read the reply: it is waiting on DATA
    server.Start();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    sent = "before";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_EQ(sent, "before");
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_EQ(sent, "before");
    Verify();
}
