// IMAP conversations with a scripted server: the logon, traces and yields, folders, selection,
// searches, flags and moves. The rules of the response readers show in the replies' effects.
#include <gtest/gtest.h>

#include <cstdint>

#include "imap_script.h"

using namespace std::chrono_literals;

namespace {
std::vector<std::string> Names(const CStringArray& array) {
    std::vector<std::string> names;
    for (const CString& s : array) names.push_back(s.str());
    return names;
}
}  // namespace

// The inbox is found in any case, or appended; a name is taken after the quoted delimiter.
TEST_F(ImapBare, ListParsing) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        // LIST lines, the folders
        {kDefaultList, {"Sent", "Work", "Work Archive", "INBOX"}},
        // "noselect" anywhere in the line, or no closing quote after the delimiter's opening one
        {"* LIST (\\Noselect) \"/\" \"Old\"\r\n* LIST () \"/\" inbox\r\n* LIST () \"/\r\n"
         "* LIST (\\HasChildren) \"/\" \"NoSelect folder\"\r\n",
         {"inbox"}},
        {"* LIST () \".\" \"Drafts\"\r\n* LIST () \".\" \"My \"\"quoted\"\" box\"\r\n* LIST () \".\" "
         "\"\"\r\n",
         {"Drafts", "My quoted box", "", "Inbox"}},
    };
    for (const auto& [lines, folders] : cases) {
        SCOPED_TRACE(lines);
        scripted::Server server;
        ImapClient client;
        ScriptLogonOn(server, lines);
        LogOnTo(server, client);
        EXPECT_EQ(Names(client.Folders()), folders);
        CStringArray copy;
        copy.Add("stale");
        EXPECT_EQ(client.GetFolderList(copy), ImapResult::Ok);
        EXPECT_EQ(Names(copy), folders);
        EXPECT_TRUE(server.PlayedAsScripted());
    }
}

// An APPEND announces the length and sends the text with a line end; without an answer
// nothing more is sent.
TEST_F(ImapScript, SelectReadsExistsAndComparesWholeNamesAppendAnnouncesTheLength) {
    const std::string text = "Subject: hi\r\n\r\nHello \"world\"\r\n";
    Script(R"(AEG3 SELECT "Work" => * FLAGS () | * 23 EXISTS | * 9 EXISTS | AEG3 OK Select completed.
           # A name that merely contains the selected one is another folder; no number counts 0.
           AEG4 SELECT "Work Archive" => *EXISTS | AEG4 OK Select completed.
           # " OK" anywhere after the tag succeeds; only the tagged line: the selection stays.
           AEG5 SELECT "Sent" => AEG5 NO Mailbox is busy; please retry, OK later
           AEG6 SELECT "Sent" => * OK [ALERT] first | * 2 EXISTS | AEG6 NO Mailbox is locked
           AEG7 SELECT "Work" => * FLAGS () | AEG7 OK Select completed.
           AEG8 SELECT "inbox" => * 3 EXISTS | AEG8 OK Select completed.  # no name: the inbox
           AEG9 SELECT "Sent" => * 1 exists | AEG9 OK Select completed.
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
    EXPECT_EQ(client.AppendMessage("Sent", ""), ImapResult::NotReady);
    EXPECT_EQ(client.AppendMessage("", text.c_str()), ImapResult::NotReady);
    EXPECT_EQ(client.AppendMessage("Nowhere", text.c_str()), ImapResult::UnknownFolder);
    EXPECT_EQ(client.AppendMessage("Sent", text.c_str()), ImapResult::Ok);
    EXPECT_EQ(client.SelectedCount(), 1);
    EXPECT_EQ(client.AppendMessage("sent", text.c_str()), ImapResult::AppendFailed);
    EXPECT_EQ(client.AppendMessage("Sent", "x"), ImapResult::AppendFailed);
}

// A rename and a delete with moving first select the folder when it is not the selected one.
TEST_F(ImapScript, CreateRenameDeleteExpunge) {
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

// Numbers are read like atoi and the list grows past the announced count; a refused search
// falls back to one FETCH per sequence number and goes on after a refused one.
TEST_F(ImapScript, EmptyFolderAnswersWithoutNumbersTokensAndFallback) {
    std::vector<uint32_t> uids{99};
    int count = -1;
    Script(R"(AEG3 SELECT "Sent" => * 0 EXISTS | AEG3 OK Select completed.
           AEG4 SELECT "Work" => * 3 EXISTS | AEG4 OK Select completed.
           AEG5 UID SEARCH NOT DELETED => * SEARCH | AEG5 OK Search completed.
           AEG6 UID SEARCH NOT DELETED => * SEARCH  | AEG6 OK Search completed.
           AEG7 UID SEARCH NOT DELETED => AEG7 OK Search completed, but said nothing else.
           AEG8 UID SEARCH NOT DELETED => * | AEG8 OK Search completed.
           AEG9 UID SEARCH NOT DELETED => * SEARCH 10 11 12 13  x7 99999999999 2147483648 4294967295  | AEG9 OK done
           AEG10 UID SEARCH NOT DELETED => AEG10 BAD Error in IMAP command
           AEG11 FETCH 1 UID => * 1 FETCH (Uid 41 FLAGS ()) | AEG11 OK done  # to the first parenthesis
           AEG12 FETCH 2 UID => AEG12 NO gone
           AEG13 FETCH 3 UID => * 3 FETCH (UID 43) | AEG13 OK Fetch completed.)");
    LogOn();
    EXPECT_EQ(client.GetMessageUids("Sent", uids, count), ImapResult::Ok);  // no SEARCH, the list untouched
    EXPECT_EQ(uids, std::vector<uint32_t>{99});
    EXPECT_EQ(count, 0);
    EXPECT_EQ(client.GetMessageUids("Nowhere", uids, count), ImapResult::UnknownFolder);
    EXPECT_EQ(client.GetMessageUids("", uids, count), ImapResult::NotReady);
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::NoUids);
    EXPECT_TRUE(uids.empty());
    EXPECT_EQ(count, 0);
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::Ok);  // empty text after the space
    EXPECT_TRUE(uids.empty());
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::NoUids);
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::NoUids);
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::Ok);
    EXPECT_EQ(count, 9);
    // Numbers past the signed range wrap around (99999999999 mod 2^32, INT32_MIN, -1), never saturate.
    EXPECT_EQ(uids, (std::vector<uint32_t>{10, 11, 12, 13, 0, 0, 1215752191u,
                                           static_cast<uint32_t>(INT32_MIN), 4294967295u}));
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::Ok);
    EXPECT_EQ(uids, (std::vector<uint32_t>{41, 43}));
    EXPECT_EQ(count, 2);
}

// A move copies, then marks each message deleted, and goes on after a failure.
TEST_F(ImapScript, SeenFlagSizeDeletedFlagMoveAndFallbackOnAServerGone) {
    std::vector<uint32_t> uids{99};
    int count = -1;
    Script(R"(AEG3 UID STORE 7 +FLAGS.SILENT \seen => AEG3 OK Store completed.  # the selected folder
           AEG4 SELECT "Work" => * 4 EXISTS | AEG4 OK Select completed.
           AEG5 UID STORE 7 -FLAGS.SILENT \seen => AEG5 NO [CANNOT] read-only
           AEG6 UID FETCH 7 FLAGS => * 1 FETCH (UID 7 FLAGS (\Answered)) | AEG6 OK Fetch completed.
           AEG7 UID FETCH 8 FLAGS => * 2 FETCH (UID 8 FLAGS (\Seen)) | AEG7 OK Fetch completed.
           AEG8 UID FETCH 7 rfc822.size => * 1 FETCH (UID 7 RFC822.SIZE 2217) | AEG8 OK Fetch completed.
           AEG9 UID FETCH 9 rfc822.size => AEG9 NO no such message
           AEG10 UID FETCH 6 rfc822.size => * 1 FETCH (RFC822.SIZE 12 UID 6) | AEG10 OK done  # the last word
           AEG11 UID STORE 4294967295 +FLAGS.SILENT \deleted => * 1 FETCH (FLAGS) | AEG11 OK Store completed.
           AEG12 UID STORE 8 +FLAGS.SILENT \deleted => AEG12 NO [CANNOT] read-only
           AEG13 UID COPY 5 "Work Archive" => AEG13 OK [COPYUID 1 5 1] Copy completed.
           AEG14 UID STORE 5 +FLAGS.SILENT \deleted => AEG14 OK Store completed.
           AEG15 UID COPY 6 "Work Archive" => AEG15 NO [TRYCREATE] no
           AEG16 UID COPY 7 "Work Archive" => AEG16 OK Copy completed.
           AEG17 UID STORE 7 +FLAGS.SILENT \deleted => AEG17 OK Store completed.
           AEG18 UID COPY 8 "Sent" => AEG18 NO no
           AEG19 UID COPY 9 "Sent" => AEG19 OK Copy completed.
           AEG20 UID STORE 9 +FLAGS.SILENT \deleted => AEG20 NO no
           AEG21 SELECT "Work Archive" => * 100000000 EXISTS | AEG21 OK Select completed.
           AEG22 UID SEARCH NOT DELETED => AEG22 BAD Error in IMAP command)");
    server.Close();
    LogOn();
    EXPECT_EQ(client.SetSeenFlag(nullptr, 7, true), ImapResult::Ok);
    EXPECT_EQ(client.SetSeenFlag("Work", 0, true), ImapResult::NotReady);
    EXPECT_EQ(client.SetSeenFlag("Nowhere", 7, true), ImapResult::UnknownFolder);
    EXPECT_EQ(client.SetSeenFlag("Work", 7, false), ImapResult::SeenFlagFailed);
    bool seen = true;
    EXPECT_EQ(client.GetSeenFlag("Work", 0, seen), ImapResult::NotReady);
    EXPECT_EQ(client.GetSeenFlag("", 7, seen), ImapResult::NotReady);
    EXPECT_EQ(client.GetSeenFlag("Work", 7, seen), ImapResult::Ok);
    EXPECT_FALSE(seen);
    EXPECT_EQ(client.GetSeenFlag("work", 8, seen), ImapResult::Ok);
    EXPECT_TRUE(seen);
    EXPECT_EQ(client.GetMessageSize("Work", 7), 2217u);
    EXPECT_EQ(client.GetMessageSize("Work", 9), 0u);
    EXPECT_EQ(client.GetMessageSize("Work", 6), 6u);
    EXPECT_EQ(client.GetMessageSize("Nowhere", 9), 0u);
    EXPECT_EQ(client.MarkDeleted("Work", 4294967295u), ImapResult::Ok);  // the whole unsigned range
    EXPECT_EQ(client.MarkDeleted("Work", 8), ImapResult::DeleteFailed);
    EXPECT_EQ(client.MarkDeleted("Work", 0), ImapResult::NotReady);
    const uint32_t three[] = {5, 6, 7};
    EXPECT_EQ(client.MoveMessages("Work", "Work Archive", 3, nullptr), ImapResult::NotReady);
    EXPECT_EQ(client.MoveMessages("Work", "", 3, three), ImapResult::NotReady);
    EXPECT_EQ(client.MoveMessages("Work", "Work Archive", 0, three), ImapResult::NothingMoved);
    EXPECT_EQ(client.MoveMessages("Work", "Nowhere", 3, three), ImapResult::UnknownFolder);
    EXPECT_EQ(client.MoveMessages("Nowhere", "Work", 3, three), ImapResult::UnknownFolder);
    EXPECT_EQ(client.MoveMessages("Work", "Work Archive", 3, three), ImapResult::Ok);
    const uint32_t two[] = {8, 9};
    EXPECT_EQ(client.MoveMessages("WORK", "Sent", 2, two), ImapResult::NothingMoved);

    // The fallback walk stops when the server is gone, not after a hundred million exchanges.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.GetMessageUids("Work Archive", uids, count), ImapResult::NoUids);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_TRUE(uids.empty());
}

// Only a last line holding the current tag is dropped from an answer's lines (the read loop ends
// at that line, so no conversation brings another one).
TEST(ImapEngine, LineSplitDropsOnlyTheCurrentTagsLine) {
    ImapClient client;
    client.Disconnect();
    EXPECT_EQ(client.NextTag(), "AEG1");
    LineArray lines;
    EXPECT_EQ(client.SplitResponseLines(CString("* stale\r\nAEG0 OK older\r\n"), lines), 2);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()),
              (std::vector<std::string>{"* stale", "AEG0 OK older"}));
}

// Each command is traced with its answer (a FETCH by its first line, LOGIN never, an answer
// without CR not at all); a failing socket is not traced.
TEST_F(ImapScript, TracesAndLostSocket) {
    const std::string select = "* FLAGS (\\Seen)\r\n* 2 EXISTS\r\nAEG3 OK [READ-WRITE] Select completed.\r\n";
    Cmd("AEG3 SELECT \"Work\"\r\n", select);
    Script(R"(AEG4 UID FETCH 7 FLAGS => * 1 FETCH (UID 7 FLAGS (\Seen)) | AEG4 OK Fetch completed.
           AEG5 UID FETCH 8 FLAGS => AEG5 NO no such message$)");
    server.Expect("AEG6 SELECT \"Sent\"\r\n").Close();
    LogOn();
    EXPECT_TRUE(client.SelectFolder("Work"));
    bool seen = false;
    EXPECT_EQ(client.GetSeenFlag("Work", 7, seen), ImapResult::Ok);
    EXPECT_TRUE(seen);
    EXPECT_EQ(client.GetSeenFlag("Work", 8, seen), ImapResult::SeenFlagFailed);
    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], std::string("IMAP SEND:LIST \"\" \"%\"\nIMAP RECV:") + kDefaultList +
                          "AEG2 OK List completed.\r\n");
    EXPECT_EQ(log[1], "IMAP SEND:SELECT \"Work\"\nIMAP RECV:" + select);
    EXPECT_EQ(log[2], "IMAP SEND:UID FETCH 7 FLAGS\nIMAP RECV:* 1 FETCH (UID 7 FLAGS (\\Seen))");
    for (int i = 0; i < HostKit_CallCount(); ++i)
        EXPECT_EQ(std::string(HostKit_Call(i)->text).find("secret"), std::string::npos);
    HostKit_Clear();
    EXPECT_FALSE(client.SelectFolder("Sent"));
    EXPECT_TRUE(LogLines().empty());
}

// Without a connection each command answers its code and sends nothing; a failed connect is
// logged with the socket's text unless the logging flag is off. Then three connections: both
// LOGIN forms refused (no LIST, nothing traced, Logout sends nothing without a login); the server
// gone after the first LOGIN; a refused LIST, which still logs in.
TEST_F(ImapBare, StateChecksConnectFailuresRefusedLoginLostServerAndRefusedList) {
    EXPECT_EQ(client.Connect(nullptr), ImapResult::NoSettings);
    EXPECT_EQ(client.Login(), ImapResult::NotConnected);
    CStringArray folders;
    EXPECT_EQ(client.GetFolderList(folders), ImapResult::CommandFailed);
    EXPECT_FALSE(client.SelectFolder("INBOX"));
    EXPECT_FALSE(client.Expunge());
    EXPECT_EQ(client.OpenFolder(""), ImapResult::NotReady);
    EXPECT_EQ(client.AppendMessage("INBOX", "x"), ImapResult::NotReady);
    std::vector<uint32_t> uids;
    int count = 7;
    EXPECT_EQ(client.GetMessageUids("INBOX", uids, count), ImapResult::NotReady);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(client.SetSeenFlag("INBOX", 1, true), ImapResult::NotReady);
    EXPECT_TRUE(LogLines().empty());

    ImapSettings refused = settings;
    refused.port = scripted::Server().Port();  // nothing listens there now
    EXPECT_EQ(client.Connect(&refused), ImapResult::ConnectFailed);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(LogLines(), std::vector<std::string>{
                              "IMAP: Could not connect socket.\nThere is no connection for the socket"});
    HostKit_Clear();
    refused.logging = 0;
    EXPECT_EQ(client.Connect(&refused), ImapResult::ConnectFailed);
    EXPECT_TRUE(LogLines().empty());

    const std::string quoted = "AEG1 LOGIN \"bob\" \"secret\"\r\n";
    server.Send(kGreeting);
    Cmd(quoted, "AEG1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n");
    Cmd("AEG2 LOGIN bob secret\r\n", "AEG2 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n");
    server.ExpectClose().Accept().Send(kGreeting).Expect(quoted).Close();
    server.Accept().Send(kGreeting).Exchange(quoted, "AEG1 OK Logged in\r\n");
    Cmd("AEG2 LIST \"\" \"%\"\r\n", "* BAD something\r\nAEG2 NO List refused.\r\n");
    server.Start();
    ASSERT_EQ(client.Connect(&settings), ImapResult::Ok);
    EXPECT_EQ(client.Login(), ImapResult::LoginRefused);
    EXPECT_FALSE(client.IsLoggedIn());
    EXPECT_EQ(client.Logout(), ImapResult::NotConnected);
    EXPECT_TRUE(LogLines().empty());
    for (const ImapResult login : {ImapResult::ReceiveFailed, ImapResult::Ok}) {
        client.Disconnect();
        ASSERT_EQ(client.Connect(&settings), ImapResult::Ok);
        EXPECT_EQ(client.Login(), login);
        EXPECT_EQ(client.IsLoggedIn(), login == ImapResult::Ok);
    }
    EXPECT_FALSE(client.IsFolderListLoaded());
    EXPECT_TRUE(client.IsFolderKnown("Anything"));  // an unloaded list knows every folder
}

// Disconnect logs out and forgets the selection and the folders; the next connection starts at
// AEG1, and a refused quoted LOGIN is tried again in the bare form with the next tag. With the
// logging flag off nothing is traced, and each command yields once before its send and once after
// its answer (read in one chunk: no yields of the read loop). The second connection's settings
// bring both search criteria.
TEST_F(ImapBare, DisconnectLogsOutAndTheNextConnectionStartsAtTagOne) {
    ScriptLogonOn(server);
    Script(R"(AEG3 SELECT "Work" => * 4 EXISTS | AEG3 OK Select completed.
           AEG4 LOGOUT => * BYE Logging out | AEG4 OK Logout completed.)");
    server.ExpectClose().Accept().Send(kGreeting);
    Script(R"(AEG1 LOGIN "carol" "p@ss "w0rd" => AEG1 BAD Invalid arguments.
           AEG2 LOGIN carol p@ss "w0rd => AEG2 OK Logged in
           AEG3 LIST "" "%" => * LIST () "/" INBOX | * LIST () "/" Work | AEG3 OK List completed.
           # Both criteria in the search; the fallback with unread only asks the flags first.
           AEG4 SELECT "Work" => * 3 EXISTS | AEG4 OK Select completed.
           AEG5 UID SEARCH NOT DELETED SINCE 5-Mar-2024 NOT SEEN => AEG5 NO refused
           AEG6 FETCH 1 FLAGS => * 1 FETCH (FLAGS (\Seen)) | AEG6 OK Fetch completed.
           AEG7 FETCH 2 FLAGS => * 2 FETCH (FLAGS ()) | AEG7 OK Fetch completed.
           AEG8 FETCH 3 FLAGS => AEG8 NO refused
           AEG9 FETCH 2 UID => * 2 FETCH (UID) | AEG9 OK Fetch completed.
           # Second call: every message seen, so no candidates.
           AEG10 UID SEARCH NOT DELETED SINCE 5-Mar-2024 NOT SEEN => AEG10 NO refused
           AEG11 FETCH 1 FLAGS => * 1 FETCH (FLAGS (\Seen)) | AEG11 OK Fetch completed.
           AEG12 FETCH 2 FLAGS => * 2 FETCH (FLAGS (\SEEN)) | AEG12 OK Fetch completed.
           AEG13 FETCH 3 FLAGS => * 3 FETCH (FLAGS (\Seen)) | AEG13 OK Fetch completed.
           AEG14 LOGOUT => * BYE not yet | AEG14 NO Logout refused.)");
    LogOn();
    ImapSettings carol = settings;
    carol.userName = "carol";
    carol.password = "p@ss \"w0rd";
    carol.logging = 0;
    carol.unreadOnly = 1;
    carol.sinceDate = "5-Mar-2024";
    EXPECT_EQ(client.Connect(&carol), ImapResult::Ok);  // connected: the first settings stay
    EXPECT_EQ(client.Settings().userName, "bob");
    EXPECT_TRUE(client.SelectFolder("Work"));
    EXPECT_EQ(client.Disconnect(), ImapResult::Ok);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.SelectedFolder(), "");
    EXPECT_EQ(client.SelectedCount(), 0);
    EXPECT_TRUE(client.Folders().IsEmpty());
    HostKit_Clear();
    ASSERT_EQ(client.Connect(&carol), ImapResult::Ok);
    ASSERT_EQ(client.Login(), ImapResult::Ok);
    EXPECT_TRUE(client.IsFolderListLoaded());
    std::vector<uint32_t> uids{99};
    int count = -1;
    // The only candidate's answer has no number before ")": nothing stored.
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::NoUids);
    EXPECT_TRUE(uids.empty());
    EXPECT_EQ(client.GetMessageUids("Work", uids, count), ImapResult::Ok);
    EXPECT_TRUE(uids.empty());
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(LogLines().empty());
    HostKit_Clear();
    EXPECT_EQ(client.Logout(), ImapResult::LogoutRefused);
    EXPECT_TRUE(client.IsLoggedIn());
    ASSERT_EQ(HostKit_CallCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(HostKit_Call(i)->function, "SyncYieldCycles");
        EXPECT_EQ(HostKit_Call(i)->number1, 10);
    }
}
