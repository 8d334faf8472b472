// A host's session through the exports against the real server: logon, folder list, folder and
// flag operations, log-off; and a refused logon reaching the sync log. The plug-in runs with its
// shipped waits, so each single-line answer costs the transport's pause.
#include <gtest/gtest.h>

#include <string>

#include "dovecot_fixture.h"
#include "host_string.h"
#include "loaded_plugin.h"

namespace {

struct HostAccount {
    HostString empty{""}, server, user, password, logText{"sync"};
    LogonParameters params{};

    HostAccount(const std::string& host, int port, const std::string& name, const std::string& secret)
        : server(host), user(name), password(secret) {
        const char* e = empty.c_str();
        params = LogonParameters{server.c_str(), e, port, -1, 0, e, -1, user.c_str(), password.c_str(), e, e,
                                 0, 0, 0, 0, /*useImap=*/1, /*useSmtp=*/0, 0, 0, 0, e, e, logText.c_str(), e};
    }
};

class PluginDovecotTest : public DovecotTest {
protected:
    LoadedPlugin plugin;
    template <typename Fn, typename... Args>
    auto Call(const char* name, Args... args) {
        return plugin.Get<Fn>(name)(args...);
    }
    int Port() { return std::atoi(m_env["ZQ_IMAP_PORT"].c_str()); }
};

}  // namespace

TEST_F(PluginDovecotTest, HostSessionThroughTheExports) {
    const std::string message = MessageText("through the plug-in");
    HostAccount account(m_env["ZQ_IMAP_HOST"], Port(), user, m_env["ZQ_POOL_PASSWORD"]);
    ASSERT_EQ(Call<int32_t()>("Initialize"), 0);
    ASSERT_EQ(Call<int32_t(const LogonParameters*, uint32_t, void*)>("Logon", &account.params, 2u, nullptr), 0);

    const auto log = JournalOf("MLOGAdd");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "IMAP Login");
    for (const std::string& line : log) EXPECT_EQ(line.find(m_env["ZQ_POOL_PASSWORD"]), std::string::npos);

    FolderEntry** folders = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(Call<int32_t(FolderEntry***, uint32_t*)>("GetFolderList", &folders, &count), 0);
    ASSERT_GE(count, 1u);
    bool inbox = false;
    for (uint32_t i = 0; i < count; ++i) inbox |= std::string(folders[i]->name) == "INBOX" && folders[i]->kind == 0;
    EXPECT_TRUE(inbox);
    EXPECT_EQ(Call<int32_t(FolderEntry**, int32_t)>("FreeFolderList", folders, static_cast<int32_t>(count)), 0);

    using NameFn = int32_t(const char*);
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

TEST_F(PluginDovecotTest, RefusedLogonWritesOneSyncLogEntry) {
    HostAccount account(m_env["ZQ_IMAP_HOST"], Port(), user, "wrong password");
    ASSERT_EQ(Call<int32_t(const LogonParameters*, uint32_t, void*)>("Logon", &account.params, 1u, nullptr), 16394);
    EXPECT_TRUE(JournalOf("MLOGAdd").empty());
    const auto entries = JournalOf("Ordinal_52");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], "OSTRAVO INFO -- Server logon failed for user '" + user + "'");
    FolderEntry** folders = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(Call<int32_t(FolderEntry***, uint32_t*)>("GetFolderList", &folders, &count), 8);
}
