// The logon a host hands over, and the scripted IMAP logon it starts, for the application object
// and the loaded plug-in alike.
#pragma once

#include "../support/test_kit.h"
#include "conversation.h"
#include "host_string.h"
#include "plugin/mail_plugin_app.h"

// A logon as a host hands it over, on loopback: a port of -1 leaves that protocol out.
inline const HostString kEmpty{""}, kHost{"127.0.0.1"}, kUser{"bob"}, kPassword{"secret"};
inline LogonParameters ScriptedLogon(int32_t imapPort, int32_t smtpPort = -1) {
    LogonParameters p = ImapLogon(kEmpty.c_str(), kHost.c_str(), imapPort, kUser.c_str(), kPassword.c_str());
    p.smtpServer = kHost.c_str();
    p.smtpPort = smtpPort;
    p.attachments = 1;
    p.useImap = imapPort != -1;
    p.useSmtp = smtpPort != -1;
    return p;
}

// Greeting, LOGIN and LIST (INBOX and Work) as the logon sends them.
inline constexpr const char* kLogon = R"(< * OK ready.
    AEG1 LOGIN "bob" "secret" => AEG1 OK Logged in
    AEG2 LIST "" "%" => * LIST (\HasNoChildren) "/" Work | * LIST (\HasNoChildren) "/" INBOX | AEG2 OK Done.
)";
