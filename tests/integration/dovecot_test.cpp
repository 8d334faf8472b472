#include "dovecot_fixture.h"

namespace {
std::vector<uint32_t> Uids(ImapClient& client, const char* folder, ImapResult expected = ImapResult::Ok) {
    std::vector<uint32_t> uids;
    int count = 0;
    EXPECT_EQ(client.GetMessageUids(folder, uids, count), expected) << folder;
    return uids;
}
}  // namespace

// The real server's replies parse: a refused login (the quote in carol's password breaks both
// forms), the listing, both search criteria, sizes and flags; the changes persist into a new
// session.
TEST_F(DovecotTest, RealRepliesParseAndChangesPersist) {
    const ImapSettings carol = SettingsFor("carol", m_env["ZQ_PASSWORD_carol"]);
    ASSERT_EQ(client.Connect(&carol), ImapResult::Ok);
    EXPECT_EQ(client.Login(), ImapResult::LoginRefused);
    client.Disconnect();
    const std::vector<std::string> texts = {MessageText("one"), MessageText("two", 5000),
                                            MessageText("three")};
    Seed("INBOX", texts);
    Seed("Archive", {MessageText("old")});
    settings.sinceDate = "01-Jan-2090";
    LogOn();
    EXPECT_TRUE(client.IsInboxListed());
    EXPECT_TRUE(client.IsFolderKnown("Archive"));
    EXPECT_TRUE(Uids(client, "INBOX", ImapResult::NoUids).empty());
    EXPECT_EQ(client.Logout(), ImapResult::Ok);
    client.Disconnect();

    settings.sinceDate = "01-Jan-1990";
    LogOn();
    EXPECT_EQ(Uids(client, "INBOX"), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(client.SelectedCount(), 3);
    for (uint32_t uid = 1; uid <= 3; ++uid)
        EXPECT_EQ(client.GetMessageSize("INBOX", uid), texts[uid - 1].size());
    bool seen = true;
    EXPECT_EQ(client.GetSeenFlag("INBOX", 2, seen), ImapResult::Ok);
    EXPECT_FALSE(seen);
    EXPECT_EQ(client.SetSeenFlag("INBOX", 2, true), ImapResult::Ok);
    EXPECT_EQ(client.GetSeenFlag("INBOX", 2, seen), ImapResult::Ok);
    EXPECT_TRUE(seen);
    const uint32_t move[] = {2, 77};  // 77 does not exist: the server copies nothing and says OK
    EXPECT_EQ(client.MoveMessages("INBOX", "Archive", 2, move), ImapResult::Ok);
    EXPECT_EQ(client.MarkDeleted("INBOX", 3), ImapResult::Ok);
    EXPECT_EQ(Uids(client, "INBOX"), (std::vector<uint32_t>{1}));  // NOT DELETED
    EXPECT_TRUE(client.Expunge());
    EXPECT_EQ(client.CreateFolder("Projects"), ImapResult::Ok);
    EXPECT_EQ(client.CreateFolder("Projects"), ImapResult::CommandFailed);
    EXPECT_EQ(client.RenameFolder("Projects", "Plans 2024"), ImapResult::Ok);
    const std::string text = MessageText("appended", 300);
    EXPECT_EQ(client.AppendMessage("Plans 2024", text.c_str()), ImapResult::Ok);
    EXPECT_TRUE(client.SelectFolder("Plans 2024"));  // the count of the APPEND's own select was 0
    EXPECT_EQ(client.GetMessageSize("Plans 2024", 1), text.size());
    EXPECT_EQ(client.CreateFolder("Scratch"), ImapResult::Ok);
    EXPECT_EQ(client.DeleteFolder("Scratch", false, nullptr), ImapResult::Ok);
    EXPECT_EQ(client.DeleteFolder("Plans 2024", true, "INBOX"), ImapResult::Ok);
    client.Disconnect();

    // Unread only: the kept message and the appended one moved in; the message moved to the
    // archive kept its seen flag.
    settings.unreadOnly = 1;
    LogOn();
    for (const char* gone : {"Plans 2024", "Scratch", "Projects"})
        EXPECT_FALSE(client.IsFolderKnown(gone)) << gone;
    EXPECT_EQ(Uids(client, "INBOX"), (std::vector<uint32_t>{1, 4}));
    EXPECT_EQ(Uids(client, "Archive"), (std::vector<uint32_t>{1}));
}
