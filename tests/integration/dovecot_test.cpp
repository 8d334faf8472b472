#include <algorithm>

#include "dovecot_fixture.h"

namespace {
bool Lists(const CStringArray& folders, const char* name) {
    return std::any_of(folders.begin(), folders.end(), [&](const CString& f) { return f == name; });
}
std::vector<uint32_t> Uids(ImapClient& client, const char* folder, ImapResult expected = ImapResult::Ok) {
    std::vector<uint32_t> uids;
    int count = 0;
    EXPECT_EQ(client.GetMessageUids(folder, uids, count), expected) << folder;
    EXPECT_EQ(static_cast<size_t>(count), uids.size());
    return uids;
}
}  // namespace

// A refused login tries both forms; the quote in carol's password goes out unescaped, which
// the server cannot parse in either form. A new user sees INBOX listed in capitals.
TEST_F(DovecotTest, LoginFormsListAndLogout) {
    ImapSettings carol = SettingsFor("carol", m_env["ZQ_PASSWORD_carol"]);
    ASSERT_EQ(carol.password, "p@ss \"w0rd");
    ASSERT_EQ(client.Connect(&carol), ImapResult::Ok);
    EXPECT_EQ(client.Login(), ImapResult::LoginRefused);
    EXPECT_EQ(client.CurrentTag(), "AEG2");  // quoted, then bare
    client.Disconnect();

    ASSERT_EQ(client.Connect(&settings), ImapResult::Ok);
    EXPECT_EQ(client.CurrentTag(), "");
    EXPECT_EQ(client.Login(), ImapResult::Ok);
    EXPECT_EQ(client.CurrentTag(), "AEG2");  // LOGIN AEG1 accepted, LIST AEG2
    EXPECT_TRUE(client.IsFolderListLoaded());
    EXPECT_TRUE(client.IsInboxListed());
    EXPECT_TRUE(Lists(client.Folders(), "INBOX"));
    EXPECT_EQ(client.Logout(), ImapResult::Ok);
    EXPECT_FALSE(client.IsLoggedIn());
}

// Search with its criteria, sizes and the seen flag; then moves, deletes and folder operations,
// and what a new session sees of them.
TEST_F(DovecotTest, MessageAndFolderOperationsAndWhatANewSessionSees) {
    const std::vector<std::string> texts = {MessageText("one"), MessageText("two", 5000),
                                            MessageText("three")};
    Seed("INBOX", texts);
    Seed("Archive", {MessageText("old")});
    LogOn();
    EXPECT_EQ(client.OpenFolder(""), ImapResult::Ok);
    EXPECT_EQ(client.SelectedCount(), 3);
    EXPECT_EQ(Uids(client, "INBOX"), (std::vector<uint32_t>{1, 2, 3}));
    for (uint32_t uid = 1; uid <= 3; ++uid)
        EXPECT_EQ(client.GetMessageSize("INBOX", uid), texts[uid - 1].size());
    EXPECT_EQ(client.GetMessageSize("INBOX", 99), 0u);
    bool seen = true;
    EXPECT_EQ(client.GetSeenFlag("INBOX", 2, seen), ImapResult::Ok);
    EXPECT_FALSE(seen);
    EXPECT_EQ(client.SetSeenFlag("INBOX", 2, true), ImapResult::Ok);
    EXPECT_EQ(client.GetSeenFlag("INBOX", 2, seen), ImapResult::Ok);
    EXPECT_TRUE(seen);
    EXPECT_EQ(client.SetSeenFlag(nullptr, 3, true), ImapResult::Ok);
    EXPECT_EQ(client.SetSeenFlag(nullptr, 3, false), ImapResult::Ok);
    EXPECT_EQ(client.GetSeenFlag("INBOX", 3, seen), ImapResult::Ok);
    EXPECT_FALSE(seen);
    client.Disconnect();
    // Unread only, and the SINCE criterion on either side of the messages' dates.
    settings.unreadOnly = 1;
    settings.sinceDate = "01-Jan-1990";
    LogOn();
    EXPECT_EQ(Uids(client, "INBOX"), (std::vector<uint32_t>{1, 3}));
    client.Disconnect();
    settings.unreadOnly = 0;
    settings.sinceDate = "01-Jan-2090";
    LogOn();
    EXPECT_TRUE(Uids(client, "INBOX", ImapResult::NoUids).empty());
    client.Disconnect();
    settings.sinceDate = "";

    LogOn();
    ASSERT_TRUE(client.IsFolderKnown("Archive"));
    const uint32_t move[] = {2, 77};  // 77 does not exist: the server copies nothing and says OK
    EXPECT_EQ(client.MoveMessages("INBOX", "Archive", 2, move), ImapResult::Ok);
    EXPECT_EQ(client.MarkDeleted("INBOX", 3), ImapResult::Ok);
    EXPECT_EQ(Uids(client, "INBOX"), (std::vector<uint32_t>{1}));  // NOT DELETED
    EXPECT_TRUE(client.Expunge());
    EXPECT_EQ(Uids(client, "Archive"), (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(client.CreateFolder("Projects"), ImapResult::Ok);
    EXPECT_EQ(client.CreateFolder("Projects"), ImapResult::CommandFailed);  // already there
    EXPECT_EQ(client.RenameFolder("Projects", "Plans 2024"), ImapResult::Ok);
    const std::string text = MessageText("appended", 300);
    EXPECT_EQ(client.AppendMessage("Plans 2024", text.c_str()), ImapResult::Ok);
    EXPECT_EQ(client.AppendMessage("Plans 2024", text.c_str()), ImapResult::Ok);
    EXPECT_TRUE(client.SelectFolder("Plans 2024"));
    EXPECT_EQ(client.SelectedCount(), 2);
    EXPECT_EQ(client.GetMessageSize("Plans 2024", 1), text.size());
    EXPECT_EQ(client.CreateFolder("Scratch"), ImapResult::Ok);
    EXPECT_EQ(client.DeleteFolder("Scratch", false, nullptr), ImapResult::Ok);
    EXPECT_EQ(client.DeleteFolder("Plans 2024", true, "INBOX"), ImapResult::Ok);
    EXPECT_EQ(client.DeleteFolder("Plans 2024", false, nullptr),
              ImapResult::Ok);  // unknown now: nothing sent
    client.Disconnect();

    LogOn();
    for (const char* gone : {"Plans 2024", "Scratch", "Projects"})
        EXPECT_FALSE(Lists(client.Folders(), gone)) << gone;
    EXPECT_EQ(client.OpenFolder("INBOX"), ImapResult::Ok);
    EXPECT_EQ(client.SelectedCount(), 3);  // the one kept and the two copies made before the delete
    EXPECT_EQ(Uids(client, "INBOX").size(), 3u);
}
