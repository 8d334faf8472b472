#include <gtest/gtest.h>

#include "imap_script.h"

using namespace std::chrono_literals;

class ImapLogin : public ImapScript {};

TEST_F(ImapLogin, QuotedFormFirstThenBareFormWithConsecutiveTags) {
    settings.userName = "carol";
    settings.password = "p@ss \"w0rd";
    server.Send(kGreeting);
    Cmd("AEG1 LOGIN \"carol\" \"p@ss \"w0rd\"\r\n", "AEG1 BAD Invalid arguments.\r\n");
    Cmd("AEG2 LOGIN carol p@ss \"w0rd\r\n", "AEG2 OK Logged in\r\n");
    Cmd("AEG3 LIST \"\" \"%\"\r\n", "* LIST () \"/\" INBOX\r\nAEG3 OK List completed.\r\n");
    LogOn();
    EXPECT_TRUE(client.IsLoggedIn());
    EXPECT_TRUE(client.IsFolderListLoaded());
    Verify();
    // LOGIN lines are never traced; the LIST is.
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("IMAP SEND:LIST", 0), 0u);
}

TEST_F(ImapLogin, BothFormsRefusedIsLoginRefusedAndNoList) {
    server.Send(kGreeting);
    Cmd("AEG1 LOGIN \"bob\" \"secret\"\r\n", "AEG1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n");
    Cmd("AEG2 LOGIN bob secret\r\n", "AEG2 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n");
    Play();
    ASSERT_EQ(client.Connect(&settings), ImapResult::Ok);
    EXPECT_EQ(client.Login(), ImapResult::LoginRefused);
    EXPECT_FALSE(client.IsLoggedIn());
    EXPECT_EQ(client.Logout(), ImapResult::NotConnected);  // not logged in: nothing is sent
    Verify();
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(ImapLogin, FailedListStillLogsIn) {
    server.Send(kGreeting);
    Cmd("AEG1 LOGIN \"bob\" \"secret\"\r\n", "AEG1 OK Logged in\r\n");
    Cmd("AEG2 LIST \"\" \"%\"\r\n", "* BAD something\r\nAEG2 NO List refused.\r\n");
    LogOn();
    EXPECT_TRUE(client.IsLoggedIn());
    EXPECT_FALSE(client.IsFolderListLoaded());
    EXPECT_TRUE(client.IsFolderKnown("Anything"));  // an unloaded list knows every folder
    Verify();
}

TEST_F(ImapLogin, ServerClosingAfterTheGreetingIsReceiveFailed) {
    server.Send(kGreeting).Delay(300ms).Close();
    Play();
    ASSERT_EQ(client.Connect(&settings), ImapResult::Ok);
    EXPECT_EQ(client.Login(), ImapResult::ReceiveFailed);
    EXPECT_FALSE(client.IsLoggedIn());
    server.Finish();
    verified = true;
}

// Without a connection each command answers its code and sends nothing.
TEST_F(ImapLogin, StateChecksSendNothing) {
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
    verified = true;
    EXPECT_EQ(server.Finish(0ms).connections, 0);
}

TEST_F(ImapLogin, ConnectFailuresAreLoggedWithTheSocketText) {
    ImapSettings refused = settings;
    {
        scripted::Server probe;
        refused.port = probe.Port();
    }  // nothing listens there now
    EXPECT_EQ(client.Connect(&refused), ImapResult::ConnectFailed);
    EXPECT_FALSE(client.IsConnected());
    ImapSettings unknown = settings;
    unknown.server = "no-such-host.invalid";
    EXPECT_EQ(client.Connect(&unknown), ImapResult::ConnectFailed);
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "IMAP: Could not connect socket.\nThere is no connection for the socket");
    EXPECT_EQ(log[1], "IMAP: Could not connect socket.\nThe supplied server 'no-such-host.invalid' is invalid");
    // Without the logging flag the failure stays silent.
    HostKit_Clear();
    refused.logging = 0;
    EXPECT_EQ(client.Connect(&refused), ImapResult::ConnectFailed);
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(ImapLogin, DisconnectLogsOutAndTheNextConnectionStartsAtTagOne) {
    ScriptLogon();
    Cmd("AEG3 SELECT \"Work\"\r\n", "* 4 EXISTS\r\nAEG3 OK Select completed.\r\n");
    Cmd("AEG4 LOGOUT\r\n", "* BYE Logging out\r\nAEG4 OK Logout completed.\r\n");
    server.ExpectClose().Accept().Send(kGreeting);
    Cmd("AEG1 LOGIN \"bob\" \"secret\"\r\n", "AEG1 OK Logged in\r\n");
    Cmd("AEG2 LIST \"\" \"%\"\r\n", "* LIST () \"/\" INBOX\r\nAEG2 OK List completed.\r\n");
    Cmd("AEG3 LOGOUT\r\n", "AEG3 NO not now\r\n");
    LogOn();
    ImapSettings other = settings;
    other.userName = "mallory";
    EXPECT_EQ(client.Connect(&other), ImapResult::Ok);  // connected: the first settings stay
    EXPECT_EQ(client.Settings().userName, "bob");
    EXPECT_TRUE(client.SelectFolder("Work"));
    EXPECT_EQ(client.Disconnect(), ImapResult::Ok);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.SelectedFolder(), "");
    EXPECT_EQ(client.SelectedCount(), 0);
    EXPECT_TRUE(client.Folders().IsEmpty());
    ASSERT_EQ(client.Connect(&settings), ImapResult::Ok);
    ASSERT_EQ(client.Login(), ImapResult::Ok);
    EXPECT_EQ(client.Logout(), ImapResult::LogoutRefused);
    EXPECT_TRUE(client.IsLoggedIn());
    Verify();
}
