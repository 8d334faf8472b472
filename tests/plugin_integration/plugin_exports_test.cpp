// The plug-in loaded as a host loads it and driven through its exports against the real servers
// of the "mailservers" fixture, with its shipped waits. Sending through the exports to the real
// Postfix is proven by tests/mailhost_integration, a dead SMTP server by tests/plugin.
#include <gtest/gtest.h>

#include "dovecot_fixture.h"
#include "loaded_plugin.h"

namespace {

class PluginTest : public DovecotTest {
protected:
    template <typename R = int32_t, typename... A>
    R Call(const char* name, A... args) {
        return plugin.Call<R>(name, args...);
    }
    LoadedPlugin plugin;
};

}  // namespace

// A refused logon reaches the sync log only; then logon, folder list, folder and flag operations,
// log-off, and nothing after Uninitialize.
TEST_F(PluginTest, RefusedLogonThenAHostSessionThroughTheExports) {
    ASSERT_EQ(Call("Initialize"), 0);
    const HostLogon refused = PoolLogon("wrong password");
    ASSERT_EQ(Call("Logon", &refused.params, 1u, (void*)nullptr), 16394);
    EXPECT_TRUE(JournalOf("MLOGAdd").empty());
    EXPECT_EQ(JournalOf("Ordinal_52"),
              std::vector<std::string>{"OSTRAVO INFO -- Server logon failed for user '" + user + "'"});

    HostKit_Clear();
    HostLogon logon = PoolLogon();
    const HostString logText("sync");
    logon.params.logonLogText = logText.c_str();
    ASSERT_EQ(Call("Logon", &logon.params, 2u, (void*)nullptr), 0);
    const auto log = JournalOf("MLOGAdd");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "IMAP Login");
    for (const std::string& line : log) EXPECT_EQ(line.find(m_env["ZQ_POOL_PASSWORD"]), std::string::npos);

    FolderEntry** folders = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(Call("GetFolderList", &folders, &count), 0);
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(folders[0]->name, "INBOX");
    EXPECT_EQ(folders[0]->kind, 0);
    EXPECT_EQ(Call("FreeFolderList", folders, static_cast<int32_t>(count)), 0);

    const std::string message = MessageText("through the plug-in");
    EXPECT_EQ(Call("IMAP4AddFolder", "Archive"), 0);
    EXPECT_EQ(Call("IMAP4Append", "Archive", message.c_str()), 0);
    EXPECT_EQ(Call("IMAP4SelectFolder", "Archive"), 0);
    EXPECT_EQ(Call("IMAP4SetSeenFlag", "Archive", 1u, 1), 0);
    EXPECT_EQ(Call("IMAP4CopyMessage", 1u, "Archive", "INBOX"), 0);
    EXPECT_EQ(Call("IMAP4Commit"), 0);
    EXPECT_EQ(Call("IMAP4RenameFolder", "Archive", "Old"), 0);
    EXPECT_EQ(Call("IMAP4DeleteFolder", "Old"), 0);
    EXPECT_NE(Call("IMAP4SelectFolder", "Old"), 0) << "gone from the client's folder list";
    // The moved message is in the Inbox, read: checked with a client of our own.
    LogOn();
    bool seen = false;
    ASSERT_EQ(client.GetSeenFlag("INBOX", 1, seen), ImapResult::Ok);
    EXPECT_TRUE(seen);
    EXPECT_EQ(Call("Logoff"), 0);
    EXPECT_EQ(Call("Uninitialize"), 0);
    EXPECT_EQ(Call("IMAP4AddFolder", "Late"), -1);
}
