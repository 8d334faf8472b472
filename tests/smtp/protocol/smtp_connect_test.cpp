#include <gtest/gtest.h>

#include "smtp_script.h"

using namespace std::chrono_literals;

class SmtpConnect : public SmtpScript {};

TEST_F(SmtpConnect, HeloAcceptedLogsGreetingAndTrace) {
    ScriptHelo();
    ScriptEnd();
    Connected();
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.Connect(&settings), SmtpResult::Ok);  // already connected: no traffic
    Verify();
    EXPECT_FALSE(client.IsConnected());
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "SMTP Connection Response: 220 mail.localhost ESMTP\r\n");
    EXPECT_EQ(log[1], "SMTP SEND:HELO COM\r\n\nSMTP RECV:250 mail.localhost\r\n");
}

// The HELO reply is accepted when it holds "250" or the letters "ok" in any case; quit only
// when connected.
class SmtpHelo : public SmtpScript, public ::testing::WithParamInterface<std::pair<const char*, SmtpResult>> {};

TEST_P(SmtpHelo, Reply) {
    const auto& [reply, result] = GetParam();
    server.Send(kGreeting);
    Cmd("HELO COM\r\n", reply);
    ScriptEnd(result == SmtpResult::Ok);
    EXPECT_EQ(client.Connect(&settings), result) << reply;
    EXPECT_EQ(client.IsConnected(), result == SmtpResult::Ok) << reply;
    Verify();
}

INSTANTIATE_TEST_SUITE_P(Replies, SmtpHelo,
                         ::testing::Values(std::make_pair("220 fine 250\r\n", SmtpResult::Ok),
                                           std::make_pair("hello, bOk\r\n", SmtpResult::Ok),
                                           std::make_pair("554 go away\r\n", SmtpResult::HelloFailed)));

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
    const auto log = LogLines();
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
