#include <gtest/gtest.h>

#include "smtp_script.h"

using namespace std::chrono_literals;

class SmtpConnect : public SmtpScript {};

TEST_F(SmtpConnect, HeloAcceptedLogsGreetingAndTrace) {
    ScriptHelo();
    ScriptEnd();
    Connected();
    EXPECT_EQ(client.Connect(&settings), SmtpResult::Ok);  // already connected: no traffic
    Verify();
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "SMTP Connection Response: 220 mail.localhost ESMTP\r\n");
    EXPECT_EQ(log[1], "SMTP SEND:HELO COM\r\n\nSMTP RECV:250 mail.localhost\r\n");
    EXPECT_FALSE(client.IsConnected());
}

// The HELO reply is accepted when it holds "250" or the letters "ok" in any case.
TEST(SmtpHelo, ReplyTest) {
    const std::pair<const char*, SmtpResult> cases[] = {
        {"250 mail.localhost\r\n", SmtpResult::Ok},
        {"220 fine 250\r\n", SmtpResult::Ok},
        {"200 Ok\r\n", SmtpResult::Ok},
        {"hello, bOk\r\n", SmtpResult::Ok},
        {"500 5.5.2 Error: bad syntax\r\n", SmtpResult::HelloFailed},
        {"554 go away\r\n", SmtpResult::HelloFailed},
    };
    testing_hooks::OverrideTransportWaits({3000ms, 100ms});
    for (const auto& [reply, result] : cases) {
        scripted::Server server;
        server.Send(kGreeting).Exchange("HELO COM\r\n", reply);
        if (result == SmtpResult::Ok) server.Expect("quit\r\n");
        server.ExpectClose();
        server.Start();
        SmtpSettings settings;
        settings.server = "127.0.0.1";
        settings.port = server.Port();
        {
            SmtpClient client;  // destroying the client disconnects: quit only when connected
            EXPECT_EQ(client.Connect(&settings), result) << reply;
            EXPECT_EQ(client.IsConnected(), result == SmtpResult::Ok) << reply;
        }
        const scripted::Outcome outcome = server.Finish();
        EXPECT_TRUE(outcome.ok) << reply << ": " << outcome.failure;
    }
    testing_hooks::RestoreTransportWaits();
}

class SmtpAuth : public SmtpScript {
protected:
    void SetUp() override {
        SmtpScript::SetUp();
        settings.authenticate = 1;
        settings.user = "alice";
        settings.password = "alice-secret";
    }
};

TEST_F(SmtpAuth, EhloAndAuthLoginSucceed) {
    server.Send(kGreeting);
    Cmd("EHLO COM\r\n", "250-mail.localhost\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n");
    Cmd("AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n");
    Cmd("YWxpY2U=\r\n", "334 UGFzc3dvcmQ6\r\n");
    Cmd("YWxpY2Utc2VjcmV0\r\n", "235 2.7.0 Authentication successful\r\n");
    ScriptEnd();
    Connected();
    Verify();
    // The user line is traced encoded; the password exchange never reaches the log.
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(
        log[1],
        "SMTP SEND:EHLO COM\r\n\nSMTP RECV:250-mail.localhost\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n");
    EXPECT_EQ(log[2], "SMTP SEND:AUTH LOGIN\r\n\nSMTP RECV:334 VXNlcm5hbWU6\r\n");
    EXPECT_EQ(log[3], "SMTP SEND:YWxpY2U=\r\n\nSMTP RECV:334 UGFzc3dvcmQ6\r\n");
    for (const auto& line : log) EXPECT_EQ(line.find("YWxpY2Utc2VjcmV0"), std::string::npos);
}

TEST_F(SmtpAuth, Code235LaterInTheFinalReplyIsSuccess) {
    server.Send(kGreeting);
    Cmd("EHLO COM\r\n", "250 mail.localhost\r\n");
    Cmd("AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n");
    Cmd("YWxpY2U=\r\n", "334 UGFzc3dvcmQ6\r\n");
    Cmd("YWxpY2Utc2VjcmV0\r\n", "220 noise\r\n235 accepted\r\n");
    ScriptEnd();
    Connected();
    Verify();
}

// Each refusal stops the dialogue where it happens: nothing after it is sent, and no quit.
TEST_F(SmtpAuth, FailureAtAuthLoginStopsBeforeTheUser) {
    server.Send(kGreeting);
    Cmd("EHLO COM\r\n", "250 mail.localhost\r\n");
    Cmd("AUTH LOGIN\r\n", "503 5.5.1 Error: authentication not enabled\r\n");
    ScriptEnd(false);
    Play();
    EXPECT_EQ(client.Connect(&settings), SmtpResult::HelloFailed);
    EXPECT_FALSE(client.IsConnected());
    Verify();
}

TEST_F(SmtpAuth, FailureAtTheUserStopsBeforeThePassword) {
    server.Send(kGreeting);
    Cmd("EHLO COM\r\n", "250 mail.localhost\r\n");
    Cmd("AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n");
    Cmd("YWxpY2U=\r\n", "535 5.7.8 Error: authentication failed\r\n");
    ScriptEnd(false);
    Play();
    EXPECT_EQ(client.Connect(&settings), SmtpResult::HelloFailed);
    Verify();
}

TEST_F(SmtpAuth, WrongPasswordFails) {
    server.Send(kGreeting);
    Cmd("EHLO COM\r\n", "250 mail.localhost\r\n");
    Cmd("AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n");
    Cmd("YWxpY2U=\r\n", "334 UGFzc3dvcmQ6\r\n");
    Cmd("YWxpY2Utc2VjcmV0\r\n", "535 5.7.8 Error: authentication failed: UGFzc3dvcmQ6\r\n");
    ScriptEnd(false);
    Play();
    EXPECT_EQ(client.Connect(&settings), SmtpResult::HelloFailed);
    EXPECT_FALSE(client.IsConnected());
    Verify();
}

// An empty password (or user) sends EHLO and stops without reading its reply.
TEST_F(SmtpAuth, EmptyPasswordSendsEhloOnly) {
    settings.password = "";
    server.Send(kGreeting);
    Quiet("EHLO COM\r\n");
    ScriptEnd(false);
    Play();
    EXPECT_EQ(client.Connect(&settings), SmtpResult::HelloFailed);
    Verify();
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 1u);  // the greeting only: no reply was read after EHLO
}

// 54 bytes encode to 72 characters: the encoder's CR LF stands after the 70th.
TEST_F(SmtpAuth, LongUserNameCarriesTheEncoderLineBreak) {
    settings.user = "a.very.long.user.name.for.the.smtp.server@example.test";
    ASSERT_EQ(settings.user.GetLength(), 54);
    server.Send(kGreeting);
    Cmd("EHLO COM\r\n", "250 mail.localhost\r\n");
    Cmd("AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n");
    Cmd("YS52ZXJ5LmxvbmcudXNlci5uYW1lLmZvci50aGUuc210cC5zZXJ2ZXJAZXhhbXBsZS50ZX\r\nN0\r\n",
        "334 UGFzc3dvcmQ6\r\n");
    Cmd("YWxpY2Utc2VjcmV0\r\n", "235 2.7.0 Authentication successful\r\n");
    ScriptEnd();
    Connected();
    Verify();
}

TEST(SmtpConnectFailure, NoSettingsAndNoServer) {
    HostKit_Clear();
    SmtpClient client;
    EXPECT_EQ(client.Connect(nullptr), SmtpResult::NoSettings);

    // A port nothing listens on: bind one, then give it up.
    uint16_t port = 0;
    {
        scripted::Server probe;
        port = probe.Port();
    }
    SmtpSettings settings;
    settings.server = "127.0.0.1";
    settings.port = port;
    settings.logging = 1;
    EXPECT_EQ(client.Connect(&settings), SmtpResult::ConnectFailed);
    EXPECT_FALSE(client.IsConnected());
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

// A server that closes after its greeting: the hello gets no reply and fails.
TEST_F(SmtpConnect, ServerClosingAfterTheGreeting) {
    server.Send(kGreeting).Delay(100ms).Close();
    Play();
    EXPECT_EQ(client.Connect(&settings), SmtpResult::HelloFailed);
    EXPECT_FALSE(client.IsConnected());
    verified = true;
    server.Finish();
}
