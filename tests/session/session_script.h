// A session logged on to a scripted server, with short waits, UTC times and a private temporary
// directory: every command the session sends is checked byte for byte, tags included.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/test_kit.h"
#include "conversation.h"
#include "host_string.h"
#include "session/folder_list.h"
#include "session/imap_session.h"

// The untagged answer of a FETCH that carries one literal.
inline std::string FetchAnswer(uint32_t uid, const std::string& item, const std::string& literal) {
    return "* 1 FETCH (UID " + std::to_string(uid) + " " + item + " {" + std::to_string(literal.size()) +
           "}\r\n" + literal + ")\r\n";
}

struct Attachment {
    std::string name;
    std::string body;
    bool base64 = false;
};

// A multipart/mixed message with a text part and the given attachments (an empty body: no
// line at all), with CR LF line ends.
inline std::string MessageWith(const std::vector<Attachment>& attachments) {
    std::vector<std::pair<std::string, std::string>> parts = {
        {"Content-Type: text/plain", "See the files.\n\n"}};
    for (const Attachment& a : attachments)
        parts.push_back({"Content-Type: application/octet-stream; name=\"" + a.name +
                             "\"\nContent-Disposition: attachment; filename=\"" + a.name + "\"" +
                             (a.base64 ? "\nContent-Transfer-Encoding: base64" : ""),
                         a.body.empty() ? "" : a.body + "\n\n"});
    return Crlf("From: a@example.test\nSubject: Files\n" + Mixed("zzBzz", parts));
}

// A record in one line, compared whole: its UID, the texts it has, its date and flags.
inline std::string Describe(const MailMsg* r) {
    if (!r) return "no record";
    std::string text = std::to_string(RecordUid(r));
    const char* const names[] = {"from", "replyTo", "to", "cc", "subject", "body", "attachments"};
    const char* const values[] = {r->from, r->replyTo, r->to, r->cc, r->subject, r->body, r->attachments};
    for (int i = 0; i < 7; ++i)
        if (values[i]) text += std::string(" ") + names[i] + "=" + values[i];
    return text + " date=" + std::to_string(r->date) + (r->flags & ZQ_FLAG_READ ? " read" : "") +
           (r->flags & ZQ_FLAG_DOWNLOADED ? " downloaded" : "") + (r->partial ? " partial" : "");
}

struct LogonOptions {
    int32_t attachments = 1;
    int32_t preferHtml = 0;
    int32_t maxMessageSize = 0;
    int32_t daysBack = 0;
    uint32_t flags = 0;  // 2: verbose
};

class SessionScript : public scripted::Conversation {
protected:
    SessionScript() : zone("UTC0") {}
    void TearDown() override {
        Conversation::TearDown();
        for (MailMsg* record : taken) FreeMailMsgRecord(record);
        session.Reset();
    }
    // GetMsg of one UID; the record (or null) stays owned by the fixture.
    MailMsg* Get(uint32_t uid, FolderRef folder = nullptr) {
        const UidRef id(uid);
        MailMsg* record = nullptr;
        EXPECT_EQ(session.GetMsg(folder, &id.ref, &record), 0);
        if (record) taken.push_back(record);
        return record;
    }

    // One command with the next tag; `untagged` is the answer before the tagged status line.
    void Cmd(const std::string& command, const std::string& untagged = "",
             const std::string& status = "OK Done.") {
        const std::string tag = "AEG" + std::to_string(++m_tag);
        server.Exchange(tag + " " + command + "\r\n", untagged + tag + " " + status + "\r\n");
    }
    // UID FETCH of one item, answered with a literal under the item's name in capitals.
    void Fetch(uint32_t uid, const std::string& item, const std::string& literal) {
        std::string named = item;
        for (char& c : named) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        Cmd("UID FETCH " + std::to_string(uid) + " " + item, FetchAnswer(uid, named, literal));
    }
    void Size(uint32_t uid, size_t size) {
        const std::string n = std::to_string(uid);
        Cmd("UID FETCH " + n + " rfc822.size",
            "* 1 FETCH (UID " + n + " RFC822.SIZE " + std::to_string(size) + ")\r\n");
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
        Cmd("LIST \"\" \"%\"",
            "* LIST (\\HasNoChildren) \"/\" Work\r\n* LIST (\\HasNoChildren) \"/\" INBOX\r\n");
        if (!folder.empty()) Select(folder, exists);
    }
    // The server plays what was scripted before LogOn starts it; bob logs on, IMAP only.
    void LogOn(const LogonOptions& o = {}, ImapSession* to = nullptr) {
        static const HostString empty(""), host("127.0.0.1"), user("bob"), password("secret");
        server.Start();
        LogonParameters p =
            ImapLogon(empty.c_str(), host.c_str(), server.Port(), user.c_str(), password.c_str());
        p.attachments = o.attachments;
        p.preferHtml = o.preferHtml;
        p.daysBack = o.daysBack;
        p.maxMessageSize = o.maxMessageSize;
        to = to ? to : &session;
        ASSERT_EQ(to->Logon(&p, o.flags), 0);
        ASSERT_EQ(to->imapConnected, 1);
    }
    ZoneGuard zone;
    TempDir temp{true};
    ImapSession session;
    std::vector<MailMsg*> taken;

private:
    int m_tag = 0;
};
