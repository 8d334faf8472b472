// The plug-in loaded as a host loads it and driven through its exports against the real servers
// of the "mailservers" fixture. It runs with its shipped waits, so each single-line answer costs
// the transport's pause.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "dovecot_fixture.h"
#include "loaded_plugin.h"
#include "records/cmsg.h"

namespace {

class PluginTest : public DovecotTest {
protected:
    template <typename Fn, typename... Args>
    auto Call(const char* name, Args... args) {
        return plugin.Get<Fn>(name)(args...);
    }
    int32_t Logon(const LogonParameters& params, uint32_t flags) {
        return Call<int32_t(const LogonParameters*, uint32_t, void*)>("Logon", &params, flags, nullptr);
    }
    bool Logged(const std::string& line) {
        const auto log = JournalOf("MLOGAdd");
        return std::find(log.begin(), log.end(), line) != log.end();
    }
    LoadedPlugin plugin;
};

}  // namespace

// A refused logon reaches the sync log; then logon, folder list, folder and flag operations and
// log-off.
TEST_F(PluginTest, RefusedLogonThenAHostSessionThroughTheExports) {
    using NameFn = int32_t(const char*);
    FolderEntry** folders = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(Call<int32_t()>("Initialize"), 0);
    ASSERT_EQ(Logon(PoolLogon("wrong password").params, 1), 16394);
    EXPECT_TRUE(JournalOf("MLOGAdd").empty());
    EXPECT_EQ(JournalOf("Ordinal_52"),
              std::vector<std::string>{"OSTRAVO INFO -- Server logon failed for user '" + user + "'"});
    EXPECT_EQ(Call<int32_t(FolderEntry***, uint32_t*)>("GetFolderList", &folders, &count), 8);

    HostKit_Clear();
    HostLogon logon = PoolLogon();
    const HostString logText("sync");
    logon.params.logonLogText = logText.c_str();
    ASSERT_EQ(Logon(logon.params, 2), 0);
    const auto log = JournalOf("MLOGAdd");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "IMAP Login");
    for (const std::string& line : log) EXPECT_EQ(line.find(m_env["ZQ_POOL_PASSWORD"]), std::string::npos);

    ASSERT_EQ(Call<int32_t(FolderEntry***, uint32_t*)>("GetFolderList", &folders, &count), 0);
    bool inbox = false;
    for (uint32_t i = 0; i < count; ++i) inbox |= std::string(folders[i]->name) == "INBOX" && folders[i]->kind == 0;
    EXPECT_TRUE(inbox);
    EXPECT_EQ(Call<int32_t(FolderEntry**, int32_t)>("FreeFolderList", folders, static_cast<int32_t>(count)), 0);

    const std::string message = MessageText("through the plug-in");
    EXPECT_EQ(Call<NameFn>("IMAP4AddFolder", "Archive"), 0);
    EXPECT_EQ(Call<int32_t(const char*, const char*)>("IMAP4Append", "Archive", message.c_str()), 0);
    EXPECT_EQ(Call<NameFn>("IMAP4SelectFolder", "Archive"), 0);
    EXPECT_EQ(Call<int32_t(const char*, uint32_t, int32_t)>("IMAP4SetSeenFlag", "Archive", 1u, 1), 0);
    EXPECT_EQ(Call<int32_t(uint32_t, const char*, const char*)>("IMAP4CopyMessage", 1u, "Archive", "INBOX"), 0);
    EXPECT_EQ(Call<int32_t()>("IMAP4Commit"), 0);
    EXPECT_EQ(Call<int32_t(const char*, const char*)>("IMAP4RenameFolder", "Archive", "Old"), 0);
    EXPECT_EQ(Call<NameFn>("IMAP4DeleteFolder", "Old"), 0);
    EXPECT_NE(Call<NameFn>("IMAP4SelectFolder", "Old"), 0) << "gone from the client's folder list";

    // The moved message is in the Inbox, read: check with a client of our own.
    LogOn();
    bool seen = false;
    ASSERT_EQ(client.GetSeenFlag("INBOX", 1, seen), ImapResult::Ok);
    EXPECT_TRUE(seen);

    EXPECT_EQ(Call<int32_t()>("Logoff"), 0);
    EXPECT_EQ(Call<int32_t()>("Uninitialize"), 0);
    EXPECT_EQ(Call<NameFn>("IMAP4AddFolder", "Late"), -1);
}

// A dead SMTP server disables sending until the next logon; then Postfix with AUTH LOGIN
// delivers into the recipient's INBOX and the composed text is filed in the sent-mail folder.
TEST_F(PluginTest, DeadSmtpServerDisablesSendingUntilTheNextLogonThenMailArrivesAndIsFiled) {
    const std::string recipient = ClaimAccount();
    ASSERT_FALSE(recipient.empty());
    CMsg msg;
    msg.m_strFrom = Address(user).c_str();
    msg.m_strTo = Address(recipient).c_str();
    msg.m_strSubject = "Sent through the exports";
    msg.m_strBody = "Hello over SMTP.\r\n.\r\nA lone dot above.";
    MailMsg* record = nullptr;
    ASSERT_EQ(msg.ToMailMsg(&record), MailMsgResult::Ok);
    const auto send = plugin.Get<int32_t(const MailMsg*)>("SendMsg");
    HostLogon logon = PoolLogon();
    const HostString sent("Sent"), display("Pool Sender");
    LogonParameters& p = logon.params;
    p.smtpServer = p.imapServer;
    p.sentFolder = sent.c_str();
    p.displayName = display.c_str();
    p.attachments = p.useSmtp = p.smtpAuth = 1;
    p.smtpUser = p.userName;
    p.smtpPassword = p.password;

    p.smtpPort = 1;  // nothing listens there
    ASSERT_EQ(Logon(p, 2), 0);
    EXPECT_EQ(send(record), 212);
    EXPECT_TRUE(Logged("SMTP: Socket for server '127.0.0.1' on port 1 failed to connect. "));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(send(record), 212);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500)) << "no second attempt";
    EXPECT_EQ(Call<int32_t()>("Uninitialize"), 0);

    p.smtpPort = Number("ZQ_SMTP_PORT");
    ASSERT_EQ(Logon(p, 2), 0);
    ASSERT_EQ(Call<int32_t(const char*)>("IMAP4AddFolder", "Sent"), 0);
    EXPECT_EQ(send(record), 0);
    FreeMailMsgRecord(record);
    EXPECT_TRUE(Logged("IMAP: Beginning to send message.\nF: " + Address(user) + " S: Sent through the exports"));
    EXPECT_NE(FirstMessage(recipient).find("Subject: Sent through the exports"), std::string::npos);
    EXPECT_NE(FirstMessage(user, "Sent").find("A lone dot above."), std::string::npos) << "the composed text is filed";
    Call<int32_t()>("Uninitialize");
}
