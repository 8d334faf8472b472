// Exact-byte SMTP conversations: a scripted server, a client with short waits and a fixed clock,
// and a record of every byte the client is expected to send.
#include "smtp/smtp_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "conversation.h"

using namespace std::chrono_literals;

namespace {

constexpr const char* kGreeting = "< 220 mail.localhost ESMTP\n";
constexpr const char* kQueued = "250 2.0.0 Ok: queued as 4AB2C";
constexpr const char* kOk = "250 2.1.5 Ok";

// The header section the client composes at its fixed clock, for a text-only message.
std::string Headers(const std::string& to, const std::string& from, const std::string& subject = "Hi") {
    return "To: " + to + "\r\n" + (subject.empty() ? "" : "Subject: " + subject + "\r\n") + "From: " + from +
           "\r\nDate: Thu, 04 Mar 2004 09:05:07 +0000\r\n"
           "X-Mailer: Ostravo (TM) IMAP Plug-in Mail Module 2.0.7.0\r\n"
           "X-Sender: " +
           from +
           "\r\nMime-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=\"ISO-8859-1\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
}

// The client's bytes are checked when the test ends, after its quit and close.
class SmtpScript : public scripted::Conversation {
protected:
    SmtpScript() {
        settings.server = "127.0.0.1";
        settings.port = server.Port();
        settings.receiveTimeoutMs = 1500;
        settings.sendTimeoutMs = 1500;
        settings.logging = 1;
        client.SetClock([] { return 1078391107; });  // Thu, 04 Mar 2004 09:05:07 UTC
    }
    void TearDown() override {
        client.Disconnect();
        Conversation::TearDown();
    }
    // The client's quit (only when it stays connected) and its close; then the script starts.
    void ScriptEnd(bool quit = true) {
        Script(quit ? "quit =>\n!expect-close" : "!expect-close");
        server.Start();
    }
    void Connected() { ASSERT_EQ(client.Connect(&settings), SmtpResult::Ok); }

    SmtpClient client;
    SmtpSettings settings;
};

}  // namespace

// The HELO reply is accepted when it holds "250" or the letters "ok" in any case; quit only
// when connected, and a second Connect then sends nothing. The greeting and the exchange are
// logged.
class SmtpHelo : public SmtpScript,
                 public ::testing::WithParamInterface<std::pair<const char*, SmtpResult>> {};

TEST_P(SmtpHelo, Reply) {
    const auto& [reply, result] = GetParam();
    Script(kGreeting + std::string("HELO COM => ") + reply);
    ScriptEnd(result == SmtpResult::Ok);
    EXPECT_EQ(client.Connect(&settings), result);
    EXPECT_EQ(client.IsConnected(), result == SmtpResult::Ok);
    if (result == SmtpResult::Ok) {
        EXPECT_EQ(client.Connect(&settings), SmtpResult::Ok);
    }
    client.Disconnect();
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(scripted::JournalTexts(),
              (std::vector<std::string>{"SMTP Connection Response: 220 mail.localhost ESMTP\r\n",
                                        std::string("SMTP SEND:HELO COM\r\n\nSMTP RECV:") + reply + "\r\n"}));
}

INSTANTIATE_TEST_SUITE_P(Replies, SmtpHelo,
                         ::testing::Values(std::make_pair("220 fine 250", SmtpResult::Ok),
                                           std::make_pair("hello, bOk", SmtpResult::Ok),
                                           std::make_pair("554 go away", SmtpResult::HelloFailed)),
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
    const std::string commands[] = {"EHLO COM", "AUTH LOGIN", c.user64, "YWxpY2Utc2VjcmV0"};
    Script(kGreeting);
    for (size_t i = 0; i < c.replies.size(); ++i) {
        server.Expect(commands[i] + "\r\n");  // the long user name holds a line end of its own
        if (*c.replies[i]) Script(std::string("< ") + c.replies[i]);
    }
    ScriptEnd(c.result == SmtpResult::Ok);
    EXPECT_EQ(client.Connect(&settings), c.result);
    EXPECT_EQ(client.IsConnected(), c.result == SmtpResult::Ok);
    // The user line is traced encoded; the password exchange never reaches the log.
    const auto log = scripted::JournalTexts();
    size_t traced = 1;  // the greeting, then each reply read before the password's
    for (size_t i = 0; i < std::min<size_t>(c.replies.size(), 3); ++i) traced += *c.replies[i] != 0;
    ASSERT_EQ(log.size(), traced);
    if (c.replies.size() > 2) {
        EXPECT_EQ(log[3], "SMTP SEND:" + commands[2] + "\r\n\nSMTP RECV:" + c.replies[2] + "\r\n");
    }
    for (const auto& line : log) EXPECT_EQ(line.find("YWxpY2Utc2VjcmV0"), std::string::npos);
}

constexpr const char* kSecret = "alice-secret";
constexpr const char* kUser = "334 VXNlcm5hbWU6";
constexpr const char* kPassword = "334 UGFzc3dvcmQ6";
constexpr const char* kWelcome = "235 2.7.0 Authentication successful";
constexpr const char* kFailed = "535 5.7.8 Error: authentication failed: UGFzc3dvcmQ6";

INSTANTIATE_TEST_SUITE_P(
    Steps, SmtpAuth,
    ::testing::Values(
        AuthCase{"Accepted",
                 "alice",
                 "YWxpY2U=",
                 kSecret,
                 {"250-mail.localhost | 250-AUTH PLAIN LOGIN | 250 8BITMIME", kUser, kPassword, kWelcome},
                 SmtpResult::Ok},
        AuthCase{"Code235LaterInTheReply",
                 "alice",
                 "YWxpY2U=",
                 kSecret,
                 {"250 ok", kUser, kPassword, "220 noise | 235 accepted"},
                 SmtpResult::Ok},
        AuthCase{"AuthLoginRefused",
                 "alice",
                 "YWxpY2U=",
                 kSecret,
                 {"250 ok", "503 5.5.1 not enabled"},
                 SmtpResult::HelloFailed},
        AuthCase{
            "UserRefused", "alice", "YWxpY2U=", kSecret, {"250 ok", kUser, kFailed}, SmtpResult::HelloFailed},
        AuthCase{"PasswordRefused",
                 "alice",
                 "YWxpY2U=",
                 kSecret,
                 {"250 ok", kUser, kPassword, kFailed},
                 SmtpResult::HelloFailed},
        // 54 bytes encode to 72 characters: the encoder's CR LF stands after the 70th.
        AuthCase{"LongUserName",
                 "a.very.long.user.name.for.the.smtp.server@example.test",
                 "YS52ZXJ5LmxvbmcudXNlci5uYW1lLmZvci50aGUuc210cC5zZXJ2ZXJAZXhhbXBsZS50ZX\r\nN0",
                 kSecret,
                 {"250 ok", kUser, kPassword, kWelcome},
                 SmtpResult::Ok},
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
    SmtpSend() {
        message.m_strFrom = "alice@example.test";
        message.m_strTo = "bob@example.test";
        message.m_strSubject = "Hi";
        message.m_strBody = "x";
        Script(kGreeting + std::string("HELO COM => 250 mail.localhost"));
    }
    // The message text as the client must send it, and the server's final reply.
    void Data(const std::string& text, const std::string& reply) { server.Exchange(text, reply + "\r\n"); }
    static constexpr const char* kSender = "MAIL FROM: <alice@example.test> => 250 2.1.0 Ok\n";
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
    const std::string headers =
        "To: <bob@example.test>\r\ncc: <carol@example.test>\r\n" +
        Headers("", "\"Alice A.\" <alice@example.test>").substr(std::string("To: \r\n").size());
    Script(kSender + std::string(R"(
        RCPT TO: <bob@example.test> => 250 2.1.5 Ok
        RCPT TO: <carol@example.test> => 250 2.1.5 Ok
        RCPT TO: <dave@example.test> => 250 2.1.5 Ok
        DATA => 354 End data with <CR><LF>.<CR><LF>)"));
    Data(headers + "Line\r\n..\r\n..hidden\r\nend\r\n" + note + "\r\n\r\n.\r\n", kQueued);
    ScriptEnd();
    Connected();
    ASSERT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    EXPECT_EQ(sent.str(), headers + "Line\r\n.\r\n.hidden\r\nend\r\n" + note + "\r\n\r\n.\r\n");
    EXPECT_EQ(message.m_strBody, "Line\n.\n.hidden\nend\r\n" + note);
    const auto log = scripted::JournalTexts();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[2], "SMTP SEND:MAIL FROM: <alice@example.test>\r\n\nSMTP RECV:250 2.1.0 Ok\r\n");
    EXPECT_EQ(log[7], std::string("SMTP SEND:[Message Content]\nSMTP RECV:") + kQueued + "\r\n");
}

// Message checks send nothing (recipients first, then the sender). The sender text goes into
// the brackets whole; a refusal ends the transaction at once, and the connection stays.
TEST_F(SmtpSend, ChecksAndRefusedSender) {
    message.m_strFrom = "Alice <alice@example.test>";
    Script("MAIL FROM: <Alice <alice@example.test>> => 553 5.1.7 bad sender");
    ScriptEnd();
    Connected();
    CMsg check;
    EXPECT_EQ(client.SendMail(check, sent), SmtpResult::NoRecipients);
    check.m_strTo = "bob@example.test";
    EXPECT_EQ(client.SendMail(check, sent), SmtpResult::NoSender);
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_TRUE(sent.IsEmpty());
    EXPECT_TRUE(client.IsConnected());
}

// No recipient accepted: no DATA and no reset. On the same connection, a blind-copy-only
// message (an empty To: header, no subject, an empty body as one space) skips its refused
// first recipient and goes to the second.
TEST_F(SmtpSend, RefusedRecipientsAreSkipped) {
    message.m_strTo = "x@example.test;y@example.test";
    Script(kSender + std::string(R"(
        RCPT TO: <x@example.test> => 550 5.1.1 unknown
        RCPT TO: <y@example.test> => 550 5.1.1 unknown
        )") +
           kSender + R"(
        RCPT TO: <nobody@example.test> => 550 5.1.1 Recipient address rejected
        RCPT TO: <bob@example.test> => 250 2.1.5 Ok
        DATA => 354 go ahead)");
    Data(Headers("", "<alice@example.test>", "") + " \r\n\r\n.\r\n", kQueued);
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::NoRecipients);
    message.m_strTo = "";
    message.m_strBcc = "nobody@example.test, bob@example.test";
    message.m_strSubject = "";
    message.m_strBody = "";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
}

// The reply to DATA does not stop the text; the final reply alone decides, and a refusal
// leaves the caller's text alone. So does a server that dies after the recipients: its final
// reply never comes.
TEST_F(SmtpSend, FinalReplyDecides) {
    const std::string text = Headers("<bob@example.test>", "<alice@example.test>") + "x\r\n\r\n\r\n.\r\n";
    const std::string recipient = kSender + std::string("RCPT TO: <bob@example.test> => ") + kOk + "\n";
    Script(recipient + "DATA => 554 5.5.1 Error: no valid recipients");
    Data(text, kQueued);
    Script(recipient + "DATA => 354 go ahead");
    Data(text, "552 5.3.4 Message size exceeds fixed limit");
    Script(recipient + "!delay 400\n!reset");  // after the client has read the reply: it waits on DATA
    server.Start();
    Connected();
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    sent = "before";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_EQ(sent, "before");
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_EQ(sent, "before");
}
