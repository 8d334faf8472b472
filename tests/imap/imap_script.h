// Exact-byte IMAP conversations: the usual logon is scripted first, the test's commands follow,
// and the client talks to the scripted server with short waits.
#pragma once

#include <string>
#include <vector>

#include "conversation.h"
#include "imap/imap_client.h"

inline constexpr const char* kGreeting = "* OK [CAPABILITY IMAP4rev1 LITERAL+] ready.\r\n";
inline constexpr const char* kDefaultList =
    "* LIST (\\HasNoChildren) \"/\" Sent\r\n"
    "* LIST (\\HasNoChildren) \"/\" \"Work\"\r\n"
    "* LIST (\\HasNoChildren) \"/\" \"Work Archive\"\r\n"
    "* LIST (\\HasNoChildren) \"/\" INBOX\r\n";

class ImapScript : public scripted::Conversation {
protected:
    explicit ImapScript(bool logon = true) {
        settings.server = "127.0.0.1";
        settings.port = server.Port();
        settings.userName = "bob";
        settings.password = "secret";
        settings.receiveTimeoutMs = 1500;
        settings.sendTimeoutMs = 1500;
        settings.logging = 1;
        if (logon) ScriptLogonOn(server);
    }
    void TearDown() override {
        Conversation::TearDown();
        client.Disconnect();
    }

    void Cmd(const std::string& command, const std::string& reply) { server.Exchange(command, reply); }
    // Greeting, quoted LOGIN accepted as AEG1, LIST as AEG2.
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
    void LogOn() { LogOnTo(server, client); }

    ImapClient client;
    ImapSettings settings;
};

// For tests that script the logon themselves or bring servers of their own.
class ImapBare : public ImapScript {
protected:
    ImapBare() : ImapScript(false) {}
};
