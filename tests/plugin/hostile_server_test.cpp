// Servers that lie, stall or die, met through the application object as a host meets them: each
// row gives the status code the host gets, and the next command then works or fails cleanly.
// The sanitizer build runs the same table (no crash, no bad access).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "../support/test_kit.h"
#include "host_string.h"
#include "hostkit.h"
#include "net/transport_waits.h"
#include "plugin/mail_plugin_app.h"
#include "records/cmsg.h"
#include "scripted_server.h"
#include "session/folder_list.h"

using namespace std::chrono_literals;

namespace {

// The server's side: commands with their tags counted from the logon's two.
struct Script {
    scripted::Server& server;
    int tag = 2;
    std::string Next() { return "AEG" + std::to_string(++tag); }
    // A command, answered with `untagged` and a tagged OK.
    void Ok(const std::string& command, const std::string& untagged = "") {
        const std::string t = Next();
        server.Exchange(t + " " + command + "\r\n", untagged + t + " OK done\r\n");
    }
    // A command whose answer the row writes itself (the tag is `tag`).
    Script& Expect(const std::string& command) {
        server.Expect(Next() + " " + command + "\r\n");
        return *this;
    }
};

struct Row {
    const char* name;
    bool smtp;  // SMTP only (else IMAP only)
    std::function<void(Script&)> play;
    std::function<int32_t(MailPlugInApp&)> act;
    int32_t status;
    std::function<int32_t(MailPlugInApp&)> next;  // null: none
    int32_t nextStatus;
    double maxSeconds = 5;
    double minSeconds = 0;
    const char* subject = nullptr;  // of GetMsg's record, "(none)" without one; null: not checked
};

int32_t ListInbox(MailPlugInApp& app) {
    MailMsg** records = nullptr;
    uint32_t count = 0;
    const int32_t status = app.GetMsgIds(nullptr, &records, &count);
    if (records) ReleaseMailMsgArray(records, static_cast<int32_t>(count));
    return status;
}

// GetMsg of UID 5: the status, and the subject of the record ("(none)" without one).
std::string g_subject;
int32_t FetchFive(MailPlugInApp& app) {
    const UidRef five(5);
    MailMsg* record = nullptr;
    const int32_t status = app.GetMsg(nullptr, &five.ref, &record);
    g_subject = record ? Text(record->subject) : "(none)";
    FreeMailMsgRecord(record);
    return status;
}

int32_t SendOne(MailPlugInApp& app) {
    CMsg message;
    message.m_strFrom = "alice@example.test";
    message.m_strTo = "bob@example.test";
    message.m_strSubject = "Hi";
    message.m_strBody = "x";
    MailMsg* record = nullptr;
    message.ToMailMsg(&record);
    const int32_t status = app.SendMsg(record);
    FreeMailMsgRecord(record);
    return status;
}

const std::string kSelect = "SELECT \"Inbox\"";
const std::string kSearch = "UID SEARCH NOT DELETED SINCE 01-Jan-1990";
const std::string kReceived = "UID FETCH 9 (FLAGS BODY.PEEK[HEADER.FIELDS (Received)])";

// The next GetMsgIds over a working stream: SELECT again, nothing to list.
void SelectsEmpty(Script& s) { s.Ok(kSelect, "* 0 EXISTS\r\n"); }
// GetMsg of UID 5 up to its RFC822 fetch, whose answer the row writes.
void UpToTheFetch(Script& s, const std::string& size = "1000") {
    s.Ok(kSelect, "* 1 EXISTS\r\n");
    s.Ok("UID FETCH 5 rfc822.size", "* 1 FETCH (UID 5 RFC822.SIZE " + size + ")\r\n");
    s.Expect("UID FETCH 5 RFC822");
}

}  // namespace

TEST(HostileServers, StatusCodesAndTheNextCommand) {
    const std::string line16Mb(16 << 20, 'x');
    const std::string cutLiteral =
        "* 1 FETCH (UID 5 RFC822 {1000}\r\nFrom: a@example.test\r\nSubject: cut\r\n\r\nhalf a";
    const std::string bigLiteral =
        "* 1 FETCH (UID 5 RFC822 {4294967296}\r\nFrom: a@example.test\r\nSubject: big\r\n"
        "\r\nbody\r\n)\r\n";
    const Row rows[] = {
        {"16 MB line without an end", false,
         [&](Script& s) {
             s.Expect(kSelect).server.Send(line16Mb).Delay(1s);
             SelectsEmpty(s);
         },
         ListInbox, 213, ListInbox, 0, 20},
        // A server may trickle for ever: no wait of the transport ends a response that keeps
        // coming, so only the host's own deadline releases it (this one stops after 2 s).
        {"trickle one byte under the pause", false,
         [](Script& s) {
             s.Expect(kSelect).server.Send("* 1 EXISTS\r\n");
             for (int i = 0; i < 20; ++i) s.server.Delay(100ms).Send("x");
             s.server.Delay(1s);
             SelectsEmpty(s);
         },
         ListInbox, 213, ListInbox, 0, 6, 2.0},
        {"close in the middle of a literal", false,
         [&](Script& s) {
             UpToTheFetch(s);
             s.server.Send(cutLiteral).Close();
         },
         FetchFive, 0, ListInbox, 213, 5, 0, "(none)"},
        {"NUL bytes in an answer", false,
         [](Script& s) {
             s.Expect(kSelect).server.Send(std::string("* 2 EX\0ISTS\r\nAEG3 OK done\r\n", 26)).Delay(1s);
             SelectsEmpty(s);
         },
         ListInbox, 213, ListInbox, 0},
        {"wrong tag", false,
         [](Script& s) {
             s.Expect(kSelect).server.Send("* 1 EXISTS\r\nAEG99 OK done\r\n").Delay(1s);
             SelectsEmpty(s);
         },
         ListInbox, 213, ListInbox, 0},
        {"reset during FETCH", false,
         [&](Script& s) {
             UpToTheFetch(s);
             s.server.Send(cutLiteral).Delay(100ms).Reset();
         },
         FetchFive, 0, ListInbox, 213, 5, 0, "(none)"},
        {"literal announced at 4 GB", false,
         [&](Script& s) {
             UpToTheFetch(s, "4294967296");
             s.server.Send(bigLiteral + "AEG5 OK done\r\n");
             s.Ok("UID FETCH 5 FLAGS", "* 1 FETCH (UID 5 FLAGS (\\Seen))\r\n");
             s.Ok(kSearch, "* SEARCH\r\n");
         },
         FetchFive, 0, ListInbox, 213, 5, 0, "big"},
        {"EXISTS of 2^31", false,
         [](Script& s) {
             s.Ok(kSelect, "* 2147483648 EXISTS\r\n");
             s.Ok(kSearch, "* SEARCH 9\r\n");
             s.Ok(kReceived, "* 1 FETCH (UID 9 FLAGS (\\Seen))\r\n");
         },
         ListInbox, 0, nullptr, 0},
        {"EXISTS of 2^31 - 1, search refused, then gone", false,
         [](Script& s) {
             s.Ok(kSelect, "* 2147483647 EXISTS\r\n");
             const std::string t = s.Next();
             s.server.Exchange(t + " " + kSearch + "\r\n", t + " BAD Error in IMAP command\r\n").Close();
         },
         ListInbox, 213, ListInbox, 213, 3},
        {"SMTP: hello reply cut mid-line, then closed", true,
         [](Script& s) {
             s.server.Send("220 mail.localhost ESMTP\r\n").Expect("HELO COM\r\n").Send("25").Close();
         },
         SendOne, 212, SendOne, 212},
        {"SMTP: sender reply cut mid-line, then closed", true,
         [](Script& s) {
             s.server.Send("220 mail.localhost ESMTP\r\n").Exchange("HELO COM\r\n", "250 mail.localhost\r\n");
             s.server.Expect("MAIL FROM: <alice@example.test>\r\n").Send("25").Close();
         },
         SendOne, 212, SendOne, 212},
        {"SMTP: recipient reply cut mid-line, its end late", true,
         [](Script& s) {
             s.server.Send("220 mail.localhost ESMTP\r\n").Exchange("HELO COM\r\n", "250 mail.localhost\r\n");
             s.server.Exchange("MAIL FROM: <alice@example.test>\r\n", "250 2.1.0 Ok\r\n");
             s.server.Expect("RCPT TO: <bob@example.test>\r\n")
                 .Send("250 2.1")
                 .Delay(600ms)
                 .Send(".5 Ok\r\n");
             s.server.Expect("DATA\r\n").Send("354 go ahead\r\n").Delay(500ms).Send("250 2.0.0 queued\r\n");
         },
         SendOne, 0, nullptr, 0},
    };
    testing_hooks::OverrideTransportWaits({1000ms, 300ms});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TempDir temp{true};
        scripted::Server server;
        if (!row.smtp) {
            server.Send("* OK ready.\r\n")
                .Exchange("AEG1 LOGIN \"bob\" \"secret\"\r\n", "AEG1 OK Logged in\r\n");
            server.Exchange("AEG2 LIST \"\" \"%\"\r\n",
                            "* LIST (\\HasNoChildren) \"/\" INBOX\r\nAEG2 OK done\r\n");
        }
        Script script{server};
        row.play(script);
        server.Start();
        const HostString empty(""), host("127.0.0.1"), user("bob"), password("secret");
        const char* e = empty.c_str();
        const int32_t port = server.Port();
        const LogonParameters params{host.c_str(),
                                     host.c_str(),
                                     row.smtp ? -1 : port,
                                     row.smtp ? port : -1,
                                     0,
                                     e,
                                     -1,
                                     user.c_str(),
                                     password.c_str(),
                                     e,
                                     e,
                                     1,
                                     0,
                                     0,
                                     0,
                                     row.smtp ? 0 : 1,
                                     row.smtp ? 1 : 0,
                                     0,
                                     0,
                                     0,
                                     e,
                                     e,
                                     e,
                                     e};
        MailPlugInApp app;
        ASSERT_EQ(app.Logon(&params, 0), 0);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(row.act(app), row.status);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_GE(seconds, row.minSeconds);
        EXPECT_LT(seconds, row.maxSeconds);
        if (row.subject) {
            EXPECT_EQ(g_subject, row.subject);
        }
        if (row.next) {
            EXPECT_EQ(row.next(app), row.nextStatus);
        }
        const scripted::Outcome outcome = server.Finish();
        EXPECT_TRUE(outcome.ok) << outcome.failure;
        app.Uninitialize();
    }
    testing_hooks::RestoreTransportWaits();
}

// The greeting never comes: the logon fails after the first-byte waits, and the host then has
// no connection (8).
TEST(HostileServers, GreetingThatNeverComes) {
    testing_hooks::OverrideTransportWaits({500ms, 300ms});
    scripted::Server server;
    server.Expect("AEG1 LOGIN \"bob\" \"secret\"\r\n").Delay(2s);
    server.Start();
    const HostString empty(""), host("127.0.0.1"), user("bob"), password("secret");
    const char* e = empty.c_str();
    const LogonParameters params{host.c_str(),
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
                                 0,
                                 0,
                                 0,
                                 0,
                                 1,
                                 0,
                                 0,
                                 0,
                                 0,
                                 e,
                                 e,
                                 e,
                                 e};
    MailPlugInApp app;
    EXPECT_EQ(app.Logon(&params, 0), 16394);
    FolderEntry** folders = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(app.GetFolderList(&folders, &count), 8);
    EXPECT_EQ(ListInbox(app), -1);
    EXPECT_TRUE(server.Finish().ok);
    testing_hooks::RestoreTransportWaits();
}
