// The application object (as the exports reach it) logged on to a scripted IMAP server, with
// short waits, UTC times and a private temporary directory: host status codes, log lines and
// every byte the module sends are checked together.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

#include "../support/test_kit.h"
#include "conversation.h"
#include "host_string.h"
#include "plugin/mail_plugin_app.h"

class AppScript : public scripted::Conversation {
protected:
    AppScript() {
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        Conversation::TearDown();
        app.Uninitialize();
    }
    // One command with the next tag; `untagged` comes before the tagged status line.
    void Cmd(const std::string& command, const std::string& untagged = "",
             const std::string& status = "OK Done.") {
        const std::string tag = "AEG" + std::to_string(++m_tag);
        server.Exchange(tag + " " + command + "\r\n", untagged + tag + " " + status + "\r\n");
    }
    // Greeting, LOGIN and LIST (INBOX and Work) as the logon sends them.
    void ScriptLogon() {
        server.Send("* OK ready.\r\n");
        Cmd("LOGIN \"bob\" \"secret\"", "", "OK Logged in");
        Cmd("LIST \"\" \"%\"",
            "* LIST (\\HasNoChildren) \"/\" Work\r\n* LIST (\\HasNoChildren) \"/\" INBOX\r\n");
    }
    LogonParameters Params() const {
        const char* e = empty.c_str();
        return LogonParameters{host.c_str(),
                               e,
                               static_cast<int32_t>(server.Port()),
                               -1,
                               0,
                               e,
                               -1,
                               user.c_str(),
                               password.c_str(),
                               e,
                               e,
                               /*attachments=*/1,
                               0,
                               0,
                               0,
                               /*useImap=*/1,
                               0,
                               0,
                               0,
                               0,
                               e,
                               e,
                               e,
                               e};
    }
    // Starts the server and logs on through the application: its status code.
    int32_t LogOn(uint32_t flags = 2) {
        server.Start();
        const LogonParameters params = Params();
        return app.Logon(&params, flags);
    }

    TempDir temp{true};
    MailPlugInApp app;
    HostString empty{""}, host{"127.0.0.1"}, user{"bob"}, password{"secret"};
    int m_tag = 0;
};
