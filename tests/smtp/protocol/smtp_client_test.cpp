// Exact-byte SMTP conversations with a scripted server; the client has a fixed clock.
#include "smtp/smtp_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversation.h"

namespace {

constexpr const char* kGreeting = "< 220 mail.localhost ESMTP\n";
constexpr const char* kQueued = "250 2.0.0 Ok: queued as 4AB2C";
constexpr const char* kHelo = "< 220 mail.localhost ESMTP\nHELO COM => 250 mail.localhost\n";
constexpr const char* kSender = "MAIL FROM: <alice@example.test> => 250 2.1.0 Ok\n";

// The header section the client composes at its fixed clock, for a text-only message.
std::string Headers(const std::string& to, const std::string& from, const std::string& subject = "Hi") {
    return "To: " + to + "\r\n" + (subject.empty() ? "" : "Subject: " + subject + "\r\n") + "From: " + from +
           "\r\nDate: Thu, 04 Mar 2004 09:05:07 +0000\r\nX-Mailer: Ostravo (TM) IMAP Plug-in Mail Module "
           "2.0.7.0\r\nX-Sender: " +
           from +
           "\r\nMime-Version: 1.0\r\nContent-Type: text/plain; charset=\"ISO-8859-1\"\r\n"
           "Content-Transfer-Encoding: 8bit\r\n\r\n";
}

class SmtpScript : public scripted::Conversation {
protected:
    SmtpScript() {
        settings.server = "127.0.0.1";
        settings.port = server.Port();
        settings.receiveTimeoutMs = 1500;
        settings.sendTimeoutMs = 1500;
        settings.logging = 1;
        client.SetClock([] { return 1078391107; });  // Thu, 04 Mar 2004 09:05:07 UTC
        message.m_strFrom = "alice@example.test";
        message.m_strTo = "bob@example.test";
        message.m_strSubject = "Hi";
        message.m_strBody = "x";
    }
    void TearDown() override {
        client.Disconnect();
        Conversation::TearDown();
    }
    // The client's quit (only when it stays connected) and its close.
    void ScriptEnd(bool quit = true) { Script(quit ? "quit =>\n!expect-close" : "!expect-close"); }
    void Connected() {
        server.Start();
        ASSERT_EQ(client.Connect(&settings), SmtpResult::Ok);
    }
    // The message text as the client must send it, and the server's final reply.
    void Data(const std::string& text, const std::string& reply) { server.Exchange(text, reply + "\r\n"); }

    SmtpClient client;
    SmtpSettings settings;
    CMsg message;
    CString sent;
};

constexpr const char* kUser = "334 VXNlcm5hbWU6";
constexpr const char* kPassword = "334 UGFzc3dvcmQ6";
constexpr const char* kWelcome = "235 2.7.0 Authentication successful";
constexpr const char* kFailed = "535 5.7.8 Error: authentication failed: UGFzc3dvcmQ6";
struct AuthRow {
    std::vector<const char*> replies;  // to EHLO, AUTH LOGIN, the user and the password
    SmtpResult result;
    const char* password = "alice-secret";
    const char* user = "alice";
    const char* user64 = "YWxpY2U=";
};
void PrintTo(const AuthRow& r, std::ostream* os) {
    *os << r.user << " " << r.replies.size() << ": " << r.replies.back();
}
class SmtpLogon : public SmtpScript, public testing::WithParamInterface<AuthRow> {};

}  // namespace

// A HELO reply holding "250" or "ok" in any case is accepted; quit only when connected, and a
// second Connect sends nothing. Without settings or a listener nothing is sent.
TEST_F(SmtpScript, HeloRepliesAndConnectFailures) {
    const std::pair<const char*, SmtpResult> rows[] = {{"220 fine 250", SmtpResult::Ok},
                                                       {"hello, bOk", SmtpResult::Ok},
                                                       {"554 go away", SmtpResult::HelloFailed}};
    for (const auto& [reply, result] : rows) {
        Script((reply == rows[0].first ? "" : "!accept\n") + std::string(kGreeting) + "HELO COM => " + reply);
        ScriptEnd(result == SmtpResult::Ok);
    }
    server.Start();
    for (const auto& [reply, result] : rows) {
        SCOPED_TRACE(reply);
        HostKit_Clear();
        EXPECT_EQ(client.Connect(&settings), result);
        EXPECT_EQ(client.IsConnected(), result == SmtpResult::Ok);
        if (result == SmtpResult::Ok) {
            EXPECT_EQ(client.Connect(&settings), SmtpResult::Ok);
        }
        client.Disconnect();
        EXPECT_FALSE(client.IsConnected());
        EXPECT_EQ(LogLines(), (std::vector<std::string>{
                                  "SMTP Connection Response: 220 mail.localhost ESMTP\r\n",
                                  std::string("SMTP SEND:HELO COM\r\n\nSMTP RECV:") + reply + "\r\n"}));
    }
    HostKit_Clear();
    EXPECT_EQ(client.Connect(nullptr), SmtpResult::NoSettings);
    settings.port = scripted::Server().Port();  // given up at once: nothing listens there
    EXPECT_EQ(client.Connect(&settings), SmtpResult::ConnectFailed);
    EXPECT_EQ(LogLines(), std::vector<std::string>{
                              "SMTP: Could not connect socket.\nThere is no connection for the socket"});
    sent = "untouched";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::NotConnected);
    EXPECT_EQ(sent, "untouched");
}

// One row a test, so that they run side by side. A refusal stops the dialogue there, without
// quit. The user line is traced encoded, the password exchange never.
TEST_P(SmtpLogon, EhloAndAuthLogin) {
    const AuthRow& row = GetParam();
    const std::string commands[] = {"EHLO COM", "AUTH LOGIN", row.user64, "YWxpY2Utc2VjcmV0"};
    Script(kGreeting);
    for (size_t i = 0; i < row.replies.size(); ++i) {
        server.Expect(commands[i] + "\r\n");  // the long user name holds a line end of its own
        if (*row.replies[i]) Script(std::string("< ") + row.replies[i]);
    }
    ScriptEnd(row.result == SmtpResult::Ok);
    server.Start();
    settings.authenticate = 1;
    settings.user = row.user;
    settings.password = row.password;
    EXPECT_EQ(client.Connect(&settings), row.result);
    EXPECT_EQ(client.IsConnected(), row.result == SmtpResult::Ok);
    const auto log = LogLines();
    client.Disconnect();
    size_t traced = 1;  // the greeting, then each reply read before the password's
    for (size_t i = 0; i < std::min<size_t>(row.replies.size(), 3); ++i) traced += *row.replies[i] != 0;
    ASSERT_EQ(log.size(), traced);
    if (row.replies.size() > 2) {
        EXPECT_EQ(log[3],
                  "SMTP SEND:" + std::string(row.user64) + "\r\n\nSMTP RECV:" + row.replies[2] + "\r\n");
    }
    for (const auto& line : log) EXPECT_EQ(line.find("YWxpY2Utc2VjcmV0"), std::string::npos);
}
INSTANTIATE_TEST_SUITE_P(
    Rows, SmtpLogon,
    testing::Values(AuthRow{{"250-mail.localhost | 250-AUTH PLAIN LOGIN | 250 8BITMIME", kUser, kPassword,
                             kWelcome},
                            SmtpResult::Ok},
                    AuthRow{{"250 ok", kUser, kPassword, "220 noise | 235 accepted"}, SmtpResult::Ok},
                    AuthRow{{"250 ok", "503 5.5.1 not enabled"}, SmtpResult::HelloFailed},
                    AuthRow{{"250 ok", kUser, kFailed}, SmtpResult::HelloFailed},
                    AuthRow{{"250 ok", kUser, kPassword, kFailed}, SmtpResult::HelloFailed},
                    // 54 bytes encode to 72 characters: the encoder's CR LF stands after the 70th.
                    AuthRow{{"250 ok", kUser, kPassword, kWelcome},
                            SmtpResult::Ok,
                            "alice-secret",
                            "a.very.long.user.name.for.the.smtp.server@example.test",
                            "YS52ZXJ5LmxvbmcudXNlci5uYW1lLmZvci50aGUuc210cC5zZXJ2ZXJAZXhhbXBsZS50ZX\r\nN0"},
                    // An empty password sends EHLO and stops without reading its reply.
                    AuthRow{{""}, SmtpResult::HelloFailed, ""}));

// Periods are doubled on the wire only; the display name goes into From and X-Sender; unwanted
// attachments leave a note in the message's own body.
TEST_F(SmtpScript, WholeTransactionWithDotStuffing) {
    settings.displayName = "Alice A.";
    message.m_strCc = "carol@example.test";
    message.m_strBcc = "dave@example.test";
    message.m_strBody = "Line\n.\n.hidden\nend";
    message.m_strAttachments = "/tmp/whatever.pdf";
    const std::string note = "\r\n***Attachments excluded by request.***\r\n";
    const std::string headers = "To: <bob@example.test>\r\ncc: <carol@example.test>\r\n" +
                                Headers("", "\"Alice A.\" <alice@example.test>").substr(6);
    Script(kHelo + std::string(kSender) + R"(RCPT TO: <bob@example.test> => 250 2.1.5 Ok
        RCPT TO: <carol@example.test> => 250 2.1.5 Ok
        RCPT TO: <dave@example.test> => 250 2.1.5 Ok
        DATA => 354 End data with <CR><LF>.<CR><LF>)");
    Data(headers + "Line\r\n..\r\n..hidden\r\nend\r\n" + note + "\r\n\r\n.\r\n", kQueued);
    ScriptEnd();
    Connected();
    ASSERT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    EXPECT_EQ(sent.str(), headers + "Line\r\n.\r\n.hidden\r\nend\r\n" + note + "\r\n\r\n.\r\n");
    EXPECT_EQ(message.m_strBody, "Line\n.\n.hidden\nend\r\n" + note);
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[2], "SMTP SEND:MAIL FROM: <alice@example.test>\r\n\nSMTP RECV:250 2.1.0 Ok\r\n");
    EXPECT_EQ(log[7], std::string("SMTP SEND:[Message Content]\nSMTP RECV:") + kQueued + "\r\n");
}

// One connection: checks before sending (recipients, then the sender); the sender's text whole
// in the brackets, its refusal final; no recipient accepted: no DATA but a reset (traced); a
// blind-copy-only message (empty To:, no subject, the empty body as one space) past a refused
// recipient; a refused DATA does not stop the text, the final reply decides, and a refusal or a
// server gone leaves the caller's text alone.
TEST_F(SmtpScript, RefusalsAndTheFinalReply) {
    const std::string recipient = kSender + std::string("RCPT TO: <bob@example.test> => 250 2.1.5 Ok\n");
    const std::string text = Headers("<bob@example.test>", "<alice@example.test>") + "x\r\n\r\n\r\n.\r\n";
    Script(kHelo + std::string(R"(MAIL FROM: <Alice <alice@example.test>> => 553 5.1.7 bad sender
        )") +
           kSender + R"(RCPT TO: <x@example.test> => 550 5.1.1 unknown
        RCPT TO: <y@example.test> => 550 5.1.1 unknown
        RSET => 250 2.0.0 Ok
        )" +
           kSender + R"(RCPT TO: <nobody@example.test> => 550 5.1.1 Recipient address rejected
        RCPT TO: <bob@example.test> => 250 2.1.5 Ok
        DATA => 354 go ahead)");
    Data(Headers("", "<alice@example.test>", "") + " \r\n\r\n.\r\n", kQueued);
    Script(recipient + "DATA => 554 5.5.1 Error: no valid recipients");
    Data(text, kQueued);
    Script(recipient + "DATA => 354 go ahead");
    Data(text, "552 5.3.4 Message size exceeds fixed limit");
    Script(recipient + "!delay 400\n!reset");  // after the client has read the reply: it waits on DATA
    Connected();
    CMsg check;
    EXPECT_EQ(client.SendMail(check, sent), SmtpResult::NoRecipients);
    check.m_strTo = "bob@example.test";
    EXPECT_EQ(client.SendMail(check, sent), SmtpResult::NoSender);
    message.m_strFrom = "Alice <alice@example.test>";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_TRUE(sent.IsEmpty());
    EXPECT_TRUE(client.IsConnected());
    message.m_strFrom = "alice@example.test";
    message.m_strTo = "x@example.test;y@example.test";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::NoRecipients);
    EXPECT_EQ(LogLines("SMTP SEND:RSET"),
              std::vector<std::string>{"SMTP SEND:RSET\r\n\nSMTP RECV:250 2.0.0 Ok\r\n"});
    CMsg blind;
    blind.m_strFrom = message.m_strFrom;
    blind.m_strBcc = "nobody@example.test, bob@example.test";
    EXPECT_EQ(client.SendMail(blind, sent), SmtpResult::Ok);
    message.m_strTo = "bob@example.test";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::Ok);
    sent = "before";
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_EQ(sent, "before");
    EXPECT_EQ(client.SendMail(message, sent), SmtpResult::TransactionFailed);
    EXPECT_EQ(sent, "before");
}
