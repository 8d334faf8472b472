#include <gtest/gtest.h>

#include <tuple>

#include "imap_script.h"

namespace {
std::vector<std::string> Names(const CStringArray& array) {
    std::vector<std::string> names;
    for (const CString& s : array) names.push_back(s.str());
    return names;
}
}  // namespace

class ImapMailbox : public ImapScript {};

TEST_F(ImapBare, ListParsing) {
    // Case, LIST lines, the folders taken, whether the inbox was listed.
    const std::tuple<const char*, std::string, std::vector<std::string>, bool> cases[] = {
        {"usual server", kDefaultList, {"Sent", "Work", "Work Archive", "INBOX"}, true},
        {"noselect in any case is skipped",
         "* LIST (\\NoSelect \\HasChildren) \"/\" Archive\r\n* LIST (\\Noselect) \"/\" \"Old\"\r\n"
         "* LIST () \"/\" inbox\r\n",
         {"inbox"}, true},
        {"no inbox listed gets one appended",
         "* LIST () \".\" \"Drafts\"\r\n* LIST () \".\" \"My \"\"quoted\"\" box\"\r\n",
         {"Drafts", "My quoted box", "Inbox"}, false},
        {"line without two quotes is ignored", "* LIST () NIL INBOX\r\n* LIST (\\Marked) \"/\"\r\n", {"", "Inbox"},
         false},
    };
    for (const auto& [name, lines, folders, inboxListed] : cases) {
        SCOPED_TRACE(name);
        scripted::Server server;
        ImapClient client;
        ScriptLogonOn(server, lines);
        LogOnTo(server, client);
        EXPECT_EQ(Names(client.Folders()), folders);
        EXPECT_EQ(client.IsInboxListed(), inboxListed);
        CStringArray copy;
        copy.Add("stale");
        EXPECT_EQ(client.GetFolderList(copy), ImapResult::Ok);
        EXPECT_EQ(Names(copy), folders);
        EXPECT_TRUE(server.PlayedAsScripted());
    }
}

// An APPEND announces the length and sends the text with a line end; without an answer
// nothing more is sent.
TEST_F(ImapMailbox, SelectReadsExistsAndComparesWholeNamesAppendAnnouncesTheLength) {
    const std::string text = "Subject: hi\r\n\r\nHello \"world\"\r\n";
    Script(R"(AEG3 SELECT "Work" => * FLAGS () | * 23 EXISTS | * 1 RECENT | AEG3 OK Select completed.
           # A name that merely contains the selected one is another folder.
           AEG4 SELECT "Work Archive" => * 0 exists | AEG4 OK Select completed.
           # Only the tagged line: true, but the selection stays.
           AEG5 SELECT "Sent" => AEG5 OK Select completed.
           AEG6 SELECT "Sent" => * 2 EXISTS | AEG6 NO Mailbox is locked
           AEG7 SELECT "Work" => * FLAGS () | AEG7 OK Select completed.
           AEG8 SELECT "inbox" => * 3 EXISTS | AEG8 OK Select completed.  # no name: the inbox
           AEG9 SELECT "Sent" => * 1 EXISTS | AEG9 OK Select completed.
           AEG10 APPEND "Sent" {30} => + OK)");
    Cmd(text + "\r\n", "AEG10 OK [APPENDUID 1 2] Append completed.\r\n");
    Cmd("AEG11 APPEND \"sent\" {30}\r\n", "+ OK\r\n");
    Cmd(text + "\r\n", "AEG11 NO [OVERQUOTA] Quota exceeded\r\n");
    Cmd("AEG12 APPEND \"Sent\" {1}\r\n", "");
    server.Close();
    LogOn();
    EXPECT_TRUE(client.SelectFolder("Work"));
    EXPECT_EQ(client.SelectedFolder(), "Work");
    EXPECT_EQ(client.SelectedCount(), 23);
    EXPECT_EQ(client.OpenFolder("WORK"), ImapResult::Ok);  // letter case ignored: nothing sent
    EXPECT_EQ(client.OpenFolder("Work Archive"), ImapResult::Ok);
    EXPECT_EQ(client.SelectedCount(), 0);
    EXPECT_TRUE(client.SelectFolder("Sent"));
    EXPECT_EQ(client.SelectedFolder(), "Work Archive");
    EXPECT_EQ(client.OpenFolder("Sent"), ImapResult::SelectFailed);
    EXPECT_EQ(client.SelectedFolder(), "Work Archive");
    EXPECT_EQ(client.OpenFolder("Nowhere"), ImapResult::UnknownFolder);
    // Without an EXISTS line the count is kept.
    EXPECT_TRUE(client.SelectFolder("Work"));
    EXPECT_EQ(client.SelectedFolder(), "Work");
    EXPECT_EQ(client.SelectedCount(), 0);
    EXPECT_EQ(client.OpenFolder(""), ImapResult::Ok);
    EXPECT_EQ(client.OpenFolder(nullptr), ImapResult::Ok);
    ASSERT_EQ(text.size(), 30u);
    EXPECT_EQ(client.AppendMessage("Sent", ""), ImapResult::NotReady);
    EXPECT_EQ(client.AppendMessage("", text.c_str()), ImapResult::NotReady);
    EXPECT_EQ(client.AppendMessage("Nowhere", text.c_str()), ImapResult::UnknownFolder);
    EXPECT_EQ(client.AppendMessage("Sent", text.c_str()), ImapResult::Ok);
    EXPECT_EQ(client.AppendMessage("sent", text.c_str()), ImapResult::AppendFailed);
    EXPECT_EQ(client.AppendMessage("Sent", "x"), ImapResult::AppendFailed);
}

// A rename and a delete with moving first select the folder when it is not the selected one.
TEST_F(ImapMailbox, CreateRenameDeleteExpunge) {
    Script(R"(AEG3 CREATE "Projects" => AEG3 OK Create completed.
           AEG4 SUBSCRIBE "Projects" => AEG4 NO not subscribed
           AEG5 CREATE "Work" => AEG5 NO [ALREADYEXISTS] Mailbox already exists
           AEG6 SELECT "projects" => * 0 EXISTS | AEG6 OK Select completed.
           AEG7 RENAME "projects" "Plans" => AEG7 OK Rename completed.
           AEG8 SUBSCRIBE "Plans" => AEG8 OK Subscribe completed.
           AEG9 SELECT "Sent" => * 1 EXISTS | AEG9 NO cannot
           AEG10 EXPUNGE => * 1 EXPUNGE | AEG10 OK Expunge completed.
           AEG11 SELECT "Work" => * 5 EXISTS | AEG11 OK Select completed.
           AEG12 COPY 1:5 "Sent" => * 5 RECENT | AEG12 OK Copy completed.
           AEG13 DELETE "Work" => * OK gone | AEG13 OK Delete completed.
           AEG14 SELECT "Work Archive" => * 0 EXISTS | AEG14 OK Select completed.
           AEG15 COPY 1:0 "INBOX" => AEG15 BAD Invalid messageset
           AEG16 DELETE "Sent" => AEG16 NO [INUSE] busy)");
    LogOn();
    EXPECT_EQ(client.CreateFolder(""), ImapResult::NotReady);
    EXPECT_EQ(client.CreateFolder("Projects"), ImapResult::Ok);
    EXPECT_EQ(client.CreateFolder("Work"), ImapResult::CommandFailed);
    EXPECT_EQ(client.RenameFolder("Nowhere", "X"), ImapResult::UnknownFolder);
    EXPECT_EQ(client.RenameFolder("projects", ""), ImapResult::NotReady);
    EXPECT_EQ(client.RenameFolder("projects", "Plans"), ImapResult::Ok);
    EXPECT_EQ(Names(client.Folders()),
              (std::vector<std::string>{"Sent", "Work", "Work Archive", "INBOX", "Plans"}));
    EXPECT_EQ(client.RenameFolder("Sent", "Sent Items"), ImapResult::SelectFailed);
    EXPECT_TRUE(client.Expunge());

    EXPECT_EQ(client.DeleteFolder("", false, nullptr), ImapResult::NotReady);
    EXPECT_EQ(client.DeleteFolder("Nowhere", false, nullptr), ImapResult::Ok);  // nothing sent
    EXPECT_EQ(client.DeleteFolder("Work", true, nullptr), ImapResult::UnknownFolder);
    EXPECT_EQ(client.DeleteFolder("Work", true, "Nowhere"), ImapResult::UnknownFolder);
    EXPECT_EQ(client.DeleteFolder("Work", true, "Sent"), ImapResult::Ok);
    EXPECT_EQ(client.SelectedFolder(), "");  // the deleted folder was the selected one
    EXPECT_EQ(client.SelectedCount(), 0);
    EXPECT_FALSE(client.IsFolderKnown("work"));
    EXPECT_TRUE(client.IsFolderKnown("work archive"));
    EXPECT_EQ(client.DeleteFolder("Work Archive", true, "INBOX"), ImapResult::DeleteFailed);
    EXPECT_EQ(client.DeleteFolder("Sent", false, nullptr), ImapResult::DeleteFailed);
    EXPECT_EQ(Names(client.Folders()), (std::vector<std::string>{"Sent", "Work Archive", "INBOX", "Plans"}));
}
