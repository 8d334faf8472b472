// A session logged on to a scripted server, with short waits, UTC times and a private temporary
// directory: every command the session sends is checked byte for byte, tags included.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "host_string.h"
#include "hostkit.h"
#include "net/transport_waits.h"
#include "private_temp_dir.h"
#include "scripted_server.h"
#include "session/folder_list.h"
#include "session/imap_session.h"

inline std::string CrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// The untagged answer of a FETCH that carries one literal.
inline std::string FetchAnswer(uint32_t uid, const std::string& item, const std::string& literal) {
    return "* 1 FETCH (UID " + std::to_string(uid) + " " + item + " {" + std::to_string(literal.size()) + "}\r\n" +
           literal + ")\r\n";
}

struct Attachment {
    std::string name;
    std::string body;
    bool base64 = false;
};

// A multipart/mixed message with a text part and the given attachments.
inline std::string MessageWith(const std::vector<Attachment>& attachments) {
    std::vector<std::string> lines = {"From: a@example.test", "Subject: Files",
                                      "Content-Type: multipart/mixed; boundary=\"zzBzz\"", "", "--zzBzz",
                                      "Content-Type: text/plain", "", "See the files.", ""};
    for (const Attachment& a : attachments) {
        lines.insert(lines.end(), {"--zzBzz", "Content-Type: application/octet-stream; name=\"" + a.name + "\"",
                                   "Content-Disposition: attachment; filename=\"" + a.name + "\""});
        if (a.base64) lines.push_back("Content-Transfer-Encoding: base64");
        lines.insert(lines.end(), {"", a.body, ""});
    }
    lines.push_back("--zzBzz--");
    return CrLf(lines);
}

struct LogonOptions {
    int32_t attachments = 1;
    int32_t preferHtml = 0;
    int32_t maxMessageSize = 0;
    uint32_t flags = 0;  // 2: verbose
};

class SessionScript : public ::testing::Test {
protected:
    void SetUp() override {
        testing_hooks::OverrideTransportWaits({std::chrono::milliseconds(3000), std::chrono::milliseconds(150)});
        HostKit_Clear();
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        if (!verified) server.Finish(std::chrono::milliseconds(0));
        session.Reset();
        testing_hooks::RestoreTransportWaits();
    }

    // One command with the next tag; `untagged` is the answer before the tagged status line.
    void Cmd(const std::string& command, const std::string& untagged = "", const std::string& status = "OK Done.") {
        const std::string tag = "AEG" + std::to_string(++m_tag);
        server.Exchange(tag + " " + command + "\r\n", untagged + tag + " " + status + "\r\n");
        expected += tag + " " + command + "\r\n";
    }
    // UID FETCH of one item, answered with a literal under the item's name in capitals.
    void Fetch(uint32_t uid, const std::string& item, const std::string& literal) {
        std::string named = item;
        std::transform(named.begin(), named.end(), named.begin(), [](unsigned char c) { return std::toupper(c); });
        Cmd("UID FETCH " + std::to_string(uid) + " " + item, FetchAnswer(uid, named, literal));
    }
    void Size(uint32_t uid, size_t size) {
        const std::string n = std::to_string(uid);
        Cmd("UID FETCH " + n + " rfc822.size", "* 1 FETCH (UID " + n + " RFC822.SIZE " + std::to_string(size) + ")\r\n");
    }
    void Whole(uint32_t uid, const std::string& text) {
        Size(uid, text.size());
        Fetch(uid, "RFC822", text);
    }
    void Flags(uint32_t uid, const std::string& flags) {
        const std::string n = std::to_string(uid);
        Cmd("UID FETCH " + n + " FLAGS", "* 1 FETCH (UID " + n + " FLAGS (" + flags + "))\r\n");
    }
    void Select(const std::string& folder = "Inbox", int exists = 3) {
        Cmd("SELECT \"" + folder + "\"", "* " + std::to_string(exists) + " EXISTS\r\n");
    }
    // Greeting, LOGIN and LIST (INBOX and Work), as the session's logon sends them, then the
    // SELECT of `folder` unless it is empty.
    void ScriptLogon(const std::string& folder = "Inbox", int exists = 3) {
        server.Send("* OK [CAPABILITY IMAP4rev1 LITERAL+] ready.\r\n");
        Cmd("LOGIN \"bob\" \"secret\"", "", "OK Logged in");
        Cmd("LIST \"\" \"%\"", "* LIST (\\HasNoChildren) \"/\" Work\r\n* LIST (\\HasNoChildren) \"/\" INBOX\r\n");
        if (!folder.empty()) Select(folder, exists);
    }
    // The server plays what was scripted before LogOn starts it.
    void LogOn(const LogonOptions& options = {}) {
        server.Start();
        const char* e = empty.c_str();
        const LogonParameters params{host.c_str(), e, static_cast<int32_t>(server.Port()), -1, 0, e, -1,
                                     user.c_str(), password.c_str(), e, e, options.attachments,
                                     options.preferHtml, 0, 0, /*useImap=*/1, /*useSmtp=*/0, 0,
                                     options.maxMessageSize, 0, e, e, e, e};
        ASSERT_EQ(session.Logon(&params, options.flags), 0);
        ASSERT_EQ(session.imapConnected, 1);
    }
    void Verify() {
        verified = true;
        const scripted::Outcome outcome = server.Finish();
        EXPECT_TRUE(outcome.ok) << outcome.failure;
        EXPECT_EQ(scripted::Printable(outcome.received), scripted::Printable(expected));
    }
    std::vector<std::string> LogLines(const std::string& prefix = "") const {
        std::vector<std::string> lines;
        for (int i = 0; i < HostKit_CallCount(); ++i) {
            const HostKitCall* call = HostKit_Call(i);
            if (std::string(call->function) == "MLOGAdd" && std::string(call->text).rfind(prefix, 0) == 0)
                lines.push_back(call->text);
        }
        return lines;
    }

    PrivateTempDir temp;
    scripted::Server server;
    ImapSession session;
    std::string expected;
    bool verified = false;
    HostString empty{""}, host{"127.0.0.1"}, user{"bob"}, password{"secret"};

private:
    int m_tag = 0;
};

// The four id bytes of a UID, as the host hands them back.
struct UidRef {
    explicit UidRef(uint32_t uid)
        : bytes{static_cast<uint8_t>(uid), static_cast<uint8_t>(uid >> 8), static_cast<uint8_t>(uid >> 16),
                static_cast<uint8_t>(uid >> 24)},
          ref{4, bytes} {}
    uint8_t bytes[4];
    MessageIdRef ref;
};

inline uint32_t RecordUid(const MailMsg* record) {
    return record->idLength == 4 ? (record->id[0] | record->id[1] << 8 | record->id[2] << 16 |
                                    static_cast<uint32_t>(record->id[3]) << 24)
                                 : 0;
}

inline std::string Text(const char* text) { return text ? text : ""; }
