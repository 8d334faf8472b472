// The IMAP engine (tags, the tagged-OK rule, traces, yields), the logon and its state checks, and
// the edges of the response readers that the scripted conversations do not reach.
#include <gtest/gtest.h>

#include <tuple>

#include "imap/imap_response_parse.h"
#include "imap/imap_text.h"
#include "imap_script.h"

// Tags count from AEG1 in plain decimal; only the current tag's line is dropped from an answer's
// lines, and only an " OK" after the current tag makes it a success.
TEST(ImapEngine, TagsLineSplitAndTaggedOkRule) {
    const std::pair<const char*, std::vector<std::string>> splitCases[] = {
        {"* 2 EXISTS\r\n* 0 RECENT\r\nAEG1 OK done\r\n", {"* 2 EXISTS", "* 0 RECENT"}},
        {"AEG1 OK done\r\n", {}},
        {"* stale\r\nAEG0 OK older\r\n", {"* stale", "AEG0 OK older"}},
    };
    const std::pair<const char*, bool> okCases[] = {
        {"* 2 EXISTS\r\nAEG10 OK Select completed.\r\n", true},
        {"AEG10 NO [NONEXISTENT] Mailbox doesn't exist\r\n", false},
        {"AEG10 NO Mailbox is busy; please retry, OK later\r\n", true},  // " OK" anywhere after the tag
        {"* OK still working\r\n", false},
        {"* OK [ALERT] first\r\nAEG10 NO refused\r\n", false},  // " OK" before the tag does not count
        {"AEG1 OK\r\n", false},                                 // an older tag
    };
    ImapClient client;
    client.Disconnect();
    EXPECT_EQ(client.NextTag(), "AEG1");
    for (const auto& [text, expected] : splitCases) {
        LineArray lines;
        EXPECT_EQ(client.SplitResponseLines(CString(text), lines), static_cast<int>(expected.size())) << text;
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), expected) << text;
    }
    for (int i = 2; i <= 9; ++i) client.NextTag();
    EXPECT_EQ(client.NextTag(), "AEG10");
    EXPECT_EQ(client.CurrentTag(), "AEG10");
    for (const auto& [response, ok] : okCases) EXPECT_EQ(client.IsTaggedOk(response), ok) << response;
    client.Disconnect();
    EXPECT_EQ(client.CurrentTag(), "");
    EXPECT_EQ(client.NextTag(), "AEG1");
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

// The answer ends at its tagged line inside the first chunk: no yields of the read loop.
TEST_F(ImapScript, YieldsBeforeSendingAndAfterReceivingAndNoTraceWithoutLogging) {
    settings.logging = 0;
    Cmd("AEG3 SELECT \"Work\"\r\n", "* 2 EXISTS\r\nAEG3 OK Select completed.\r\n");
    LogOn();
    EXPECT_TRUE(LogLines().empty());
    HostKit_Clear();
    EXPECT_TRUE(client.SelectFolder("Work"));
    ASSERT_EQ(HostKit_CallCount(), 2);  // nothing logged either
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(HostKit_Call(i)->function, "SyncYieldCycles");
        EXPECT_EQ(HostKit_Call(i)->number1, 10);
    }
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
// AEG1, and a refused quoted LOGIN is tried again in the bare form with the next tag.
TEST_F(ImapBare, DisconnectLogsOutAndTheNextConnectionStartsAtTagOne) {
    ScriptLogonOn(server);
    Script(R"(AEG3 SELECT "Work" => * 4 EXISTS | AEG3 OK Select completed.
           AEG4 LOGOUT => * BYE Logging out | AEG4 OK Logout completed.)");
    server.ExpectClose().Accept().Send(kGreeting);
    Script(R"(AEG1 LOGIN "carol" "p@ss "w0rd" => AEG1 BAD Invalid arguments.
           AEG2 LOGIN carol p@ss "w0rd => AEG2 OK Logged in
           AEG3 LIST "" "%" => * LIST () "/" INBOX | AEG3 OK List completed.
           AEG4 LOGOUT => AEG4 NO not now)");
    LogOn();
    ImapSettings carol = settings;
    carol.userName = "carol";
    carol.password = "p@ss \"w0rd";
    EXPECT_EQ(client.Connect(&carol), ImapResult::Ok);  // connected: the first settings stay
    EXPECT_EQ(client.Settings().userName, "bob");
    EXPECT_TRUE(client.SelectFolder("Work"));
    EXPECT_EQ(client.Disconnect(), ImapResult::Ok);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.SelectedFolder(), "");
    EXPECT_EQ(client.SelectedCount(), 0);
    EXPECT_TRUE(client.Folders().IsEmpty());
    ASSERT_EQ(client.Connect(&carol), ImapResult::Ok);
    ASSERT_EQ(client.Login(), ImapResult::Ok);
    EXPECT_TRUE(client.IsFolderListLoaded());
    EXPECT_EQ(client.Logout(), ImapResult::LogoutRefused);
    EXPECT_TRUE(client.IsLoggedIn());
}

// The found/not found and selected-count cases of EXISTS are in the SELECT conversations.
TEST(ImapParse, ExistsListNameSearchUidsFetchUidAndSize) {
    const std::tuple<std::vector<const char*>, bool, int32_t> existsCases[] = {
        {{"* 7 exists", "* 9 EXISTS"}, true, 7},  // the first such line
        {{"*EXISTS"}, true, 0},                   // no spaces: no number
    };
    for (const auto& [texts, found, expected] : existsCases) {
        LineArray lines;
        for (const char* l : texts) lines.AppendLines(std::string(l) + "\r\n");
        int32_t count = -1;
        EXPECT_EQ(ParseExistsCount(lines, count), found) << texts[0];
        EXPECT_EQ(count, expected) << texts[0];
    }
    const std::tuple<const char*, bool, const char*> listCases[] = {
        {"* LIST (\\HasChildren) \"/\" \"NoSelect folder\"", false, ""},  // the test is on the whole line
        {"* LIST () \"/", false, ""},
        {"\"\"", true, ""},
    };
    for (const auto& [line, taken, expected] : listCases) {
        CString name;
        EXPECT_EQ(ParseListName(line, name), taken) << line;
        EXPECT_EQ(name, expected) << line;
    }
    const std::tuple<const char*, bool, std::vector<uint32_t>> searchCases[] = {
        {"* SEARCH 3 5 ", true, {3, 5}},  // the trailing space goes with the last token
        {"* SEARCH 4294967295", true, {4294967295u}},
        {"*", false, {}},
    };
    for (const auto& [line, parsed, expected] : searchCases) {
        std::vector<uint32_t> uids;
        EXPECT_EQ(ParseSearchUids(line, uids), parsed) << line;
        EXPECT_EQ(uids, expected) << line;
    }
    uint32_t uid = 0;
    EXPECT_TRUE(ParseFetchUid("* 1 FETCH (Uid 41 FLAGS ())\r\n", uid));  // up to the first ")"
    EXPECT_EQ(uid, 41u);
    EXPECT_FALSE(ParseFetchUid("* 1 FETCH (FLAGS ())\r\n", uid));
    // The message size is the last word before the parenthesis.
    const std::pair<const char*, uint32_t> sizeCases[] = {
        {"* 4 FETCH (RFC822.SIZE 12 UID 9)\r\n", 9},     // the last word, whatever it names
        {"* 4 FETCH (UID 9 RFC822.SIZE 2217 )\r\n", 0},  // a trailing blank leaves no word
        {"* 4 FETCH (UID 9 RFC822.SIZE 2217\r\n", 0},    // never closed
        {")(", 0},
    };
    for (const auto& [response, size] : sizeCases) EXPECT_EQ(ParseMessageSize(response), size) << response;
    EXPECT_EQ(LeadingDecimal("2147483648"), INT32_MIN);  // wraps, never undefined
}
