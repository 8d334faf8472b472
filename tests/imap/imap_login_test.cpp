#include <gtest/gtest.h>

#include "imap_script.h"

class ImapLogin : public ImapBare {};

// Three connections: both forms refused (no LIST, nothing traced, and Logout sends nothing
// without a login); the server gone after the first LOGIN; a refused LIST, which still logs in.
TEST_F(ImapLogin, RefusedLoginLostServerAndRefusedList) {
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

// Without a connection each command answers its code and sends nothing. A failed connect is
// logged with the socket's text, unless the logging flag is off.
TEST_F(ImapLogin, StateChecksAndConnectFailures) {
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
    ImapSettings unknown = settings;
    unknown.server = "no-such-host.invalid";
    EXPECT_EQ(client.Connect(&unknown), ImapResult::ConnectFailed);
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{
                  "IMAP: Could not connect socket.\nThere is no connection for the socket",
                  "IMAP: Could not connect socket.\nThe supplied server 'no-such-host.invalid' is invalid"}));
    HostKit_Clear();
    refused.logging = 0;
    EXPECT_EQ(client.Connect(&refused), ImapResult::ConnectFailed);
    EXPECT_TRUE(LogLines().empty());
}

// Disconnect logs out and forgets the selection and the folders; the next connection starts at
// AEG1, and a refused quoted LOGIN is tried again in the bare form with the next tag.
TEST_F(ImapLogin, DisconnectLogsOutAndTheNextConnectionStartsAtTagOne) {
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
    for (const std::string& line : LogLines()) EXPECT_EQ(line.find("LOGIN"), std::string::npos) << line;
}
