// Sending through the exports: Postfix with AUTH LOGIN delivers into the recipient's INBOX and the
// composed text is filed in the sender's sent-mail folder; a dead SMTP server disables sending.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "dovecot_fixture.h"
#include "host_string.h"
#include "loaded_plugin.h"
#include "records/cmsg.h"

namespace {

struct SendingAccount {
    HostString empty{""}, host, user, password, sent{"Sent"}, display{"Pool Sender"};
    LogonParameters params{};

    SendingAccount(const std::string& server, int imapPort, int smtpPort, const std::string& name,
                   const std::string& secret)
        : host(server), user(name), password(secret) {
        const char* e = empty.c_str();
        params = LogonParameters{host.c_str(), host.c_str(), imapPort, smtpPort, 0, e, -1, user.c_str(),
                                 password.c_str(), sent.c_str(), display.c_str(), /*attachments=*/1, 0, 0, 0,
                                 /*useImap=*/1, /*useSmtp=*/1, 0, 0, /*smtpAuth=*/1, user.c_str(),
                                 password.c_str(), e, e};
    }
};

class PluginSendTest : public DovecotTest {
protected:
    LoadedPlugin plugin;
    int Env(const char* key) { return std::atoi(m_env[key].c_str()); }

    // Whether a message whose text holds `needle` is in the user's folder, waiting for delivery.
    bool Holds(const std::string& name, const char* folder, const std::string& needle) {
        ImapClient reader;
        ImapSettings s = SettingsFor(name, m_env["ZQ_POOL_PASSWORD"]);
        if (reader.Connect(&s) != ImapResult::Ok || reader.Login() != ImapResult::Ok) return false;
        for (int attempt = 0; attempt < 50; ++attempt) {
            CString response;
            const std::string select = std::string("EXAMINE ") + folder;
            reader.Execute(select.c_str(), response);
            reader.Execute("FETCH 1:* (RFC822)", response);
            if (response.Find(needle.c_str()) >= 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }
};

}  // namespace

TEST_F(PluginSendTest, SentMessageArrivesAndIsFiledInTheSentFolder) {
    const std::string recipient = ClaimAccount();
    ASSERT_FALSE(recipient.empty());
    SendingAccount account(m_env["ZQ_IMAP_HOST"], Env("ZQ_IMAP_PORT"), Env("ZQ_SMTP_PORT"), user,
                           m_env["ZQ_POOL_PASSWORD"]);
    ASSERT_EQ(plugin.Get<int32_t(const LogonParameters*, uint32_t, void*)>("Logon")(&account.params, 2u, nullptr), 0);
    ASSERT_EQ(plugin.Get<int32_t(const char*)>("IMAP4AddFolder")("Sent"), 0);

    CMsg msg;
    msg.m_strFrom = (user + "@" + m_env["ZQ_MAIL_DOMAIN"]).c_str();
    msg.m_strTo = (recipient + "@" + m_env["ZQ_MAIL_DOMAIN"]).c_str();
    msg.m_strSubject = "Sent through the exports";
    msg.m_strBody = "Hello over SMTP.\r\n.\r\nA lone dot above.";
    MailMsg* record = nullptr;
    ASSERT_EQ(msg.ToMailMsg(&record), MailMsgResult::Ok);
    EXPECT_EQ(plugin.Get<int32_t(const MailMsg*)>("SendMsg")(record), 0);
    FreeMailMsgRecord(record);

    const auto log = JournalOf("MLOGAdd");
    bool begin = false;
    for (const std::string& line : log)
        begin |= line == "IMAP: Beginning to send message.\nF: " + std::string(msg.m_strFrom) +
                             " S: Sent through the exports";
    EXPECT_TRUE(begin);
    EXPECT_TRUE(Holds(recipient, "INBOX", "Subject: Sent through the exports"));
    EXPECT_TRUE(Holds(user, "Sent", "A lone dot above.")) << "the composed text is filed";
    plugin.Get<int32_t()>("Uninitialize")();
}

TEST_F(PluginSendTest, UnreachableSmtpServerDisablesSendingUntilTheNextLogon) {
    SendingAccount account(m_env["ZQ_IMAP_HOST"], Env("ZQ_IMAP_PORT"), /*closed port*/ 1, user,
                           m_env["ZQ_POOL_PASSWORD"]);
    ASSERT_EQ(plugin.Get<int32_t(const LogonParameters*, uint32_t, void*)>("Logon")(&account.params, 2u, nullptr), 0);
    CMsg msg;
    msg.m_strFrom = "someone@example.test";
    msg.m_strTo = "other@example.test";
    MailMsg* record = nullptr;
    ASSERT_EQ(msg.ToMailMsg(&record), MailMsgResult::Ok);
    auto send = plugin.Get<int32_t(const MailMsg*)>("SendMsg");
    EXPECT_EQ(send(record), 212);
    const auto log = JournalOf("MLOGAdd");
    bool socketLine = false;
    for (const std::string& line : log) socketLine |= line == "SMTP: Socket for server '127.0.0.1' on port 1 failed to connect. ";
    EXPECT_TRUE(socketLine);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(send(record), 212);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500)) << "no second attempt";
    FreeMailMsgRecord(record);
    plugin.Get<int32_t()>("Uninitialize")();
}
