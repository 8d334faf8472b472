// A fixture for exact-byte IMAP conversations: a scripted server, a client with short waits,
// and a record of every byte the client is expected to send.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "host_journal.h"
#include "hostkit.h"
#include "imap/imap_client.h"
#include "net/transport_waits.h"
#include "scripted_server.h"

inline constexpr const char* kGreeting = "* OK [CAPABILITY IMAP4rev1 LITERAL+] ready.\r\n";
inline constexpr const char* kDefaultList =
    "* LIST (\\HasNoChildren) \"/\" Sent\r\n"
    "* LIST (\\HasNoChildren) \"/\" \"Work\"\r\n"
    "* LIST (\\HasNoChildren) \"/\" \"Work Archive\"\r\n"
    "* LIST (\\HasNoChildren) \"/\" INBOX\r\n";

class ImapScript : public ::testing::Test {
protected:
    void SetUp() override {
        testing_hooks::OverrideTransportWaits({std::chrono::milliseconds(3000), std::chrono::milliseconds(150)});
        HostKit_Clear();
        settings.server = "127.0.0.1";
        settings.port = server.Port();
        settings.userName = "bob";
        settings.password = "secret";
        settings.receiveTimeoutMs = 1500;
        settings.sendTimeoutMs = 1500;
        settings.logging = 1;
    }
    void TearDown() override {
        if (!verified) server.Finish(std::chrono::milliseconds(0));
        client.Disconnect();
        testing_hooks::RestoreTransportWaits();
    }

    // Client bytes expected, and the server's answer.
    void Cmd(const std::string& command, const std::string& reply) {
        server.Exchange(command, reply);
        expected += command;
    }
    // The usual logon: greeting, quoted LOGIN accepted as AEG1, LIST as AEG2.
    void ScriptLogon(const std::string& listLines = kDefaultList) {
        ScriptLogonOn(server, listLines);
        expected += "AEG1 LOGIN \"bob\" \"secret\"\r\nAEG2 LIST \"\" \"%\"\r\n";
    }
    // The same on a server of a table case's own.
    static void ScriptLogonOn(scripted::Server& s, const std::string& listLines = kDefaultList) {
        s.Send(kGreeting).Exchange("AEG1 LOGIN \"bob\" \"secret\"\r\n", "AEG1 OK Logged in\r\n");
        s.Exchange("AEG2 LIST \"\" \"%\"\r\n", listLines + "AEG2 OK List completed.\r\n");
    }
    void LogOnTo(scripted::Server& s, ImapClient& c) {
        settings.port = s.Port();
        s.Start();
        ASSERT_EQ(c.Connect(&settings), ImapResult::Ok);
        ASSERT_EQ(c.Login(), ImapResult::Ok);
    }
    void Play() { server.Start(); }
    void LogOn() {
        Play();
        ASSERT_EQ(client.Connect(&settings), ImapResult::Ok);
        ASSERT_EQ(client.Login(), ImapResult::Ok);
    }
    // The script was played as written and the client sent nothing else.
    void Verify() {
        verified = true;
        EXPECT_TRUE(scripted::PlayedExactly(server.Finish(), expected));
    }
    std::vector<std::string> LogLines() const { return scripted::JournalTexts("MLOGAdd"); }

    scripted::Server server;
    ImapClient client;
    ImapSettings settings;
    std::string expected;
    bool verified = false;
};
