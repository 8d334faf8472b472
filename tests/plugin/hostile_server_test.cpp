// Servers that lie, stall or die, met through the application object as a host meets them: each
// row gives the status code the host gets, and the next command then works or fails cleanly.
// The sanitizer build runs the same table (no crash, no bad access).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "app_script.h"
#include "session/folder_list.h"

using namespace std::string_literals;

namespace {

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
    const MailMsg message{
        .from = "alice@example.test", .to = "bob@example.test", .subject = "Hi", .body = "x"};
    return app.SendMsg(&message);
}

// The next GetMsgIds over a working stream: SELECT again, nothing to list.
const std::string kSelectsEmpty = "!delay 1000\nAEG4 SELECT \"Inbox\" => * 0 EXISTS | AEG4 OK done\n";
// GetMsg of UID 5 up to its RFC822 fetch, whose answer the row writes.
std::string UpToTheFetch(const std::string& size) {
    return "AEG3 SELECT \"Inbox\" => * 1 EXISTS | AEG3 OK done\n"
           "AEG4 UID FETCH 5 rfc822.size => * 1 FETCH (UID 5 RFC822.SIZE " +
           size +
           ") | AEG4 OK done\n"
           "AEG5 UID FETCH 5 RFC822 => * 1 FETCH (UID 5 RFC822 {";
}
const std::string kCutLiteral =
    UpToTheFetch("1000") + "1000} | From: a@example.test | Subject: cut |  | half a$\n";
const std::string kSearch = "UID SEARCH NOT DELETED SINCE 01-Jan-1990";
const std::string kSmtpHello = "< 220 mail.localhost ESMTP\nHELO COM => 250 mail.localhost\n";

}  // namespace

TEST(HostileServers, StatusCodesAndTheNextCommand) {
    std::string trickle = "AEG3 SELECT \"Inbox\" => * 1 EXISTS\n";
    for (int i = 0; i < 20; ++i) trickle += "!delay 100\n< x$\n";
    const struct {
        const char* name;
        bool smtp;               // SMTP only (else IMAP only, after the logon of kLogon)
        std::string transcript;  // the rest of the server's side
        std::function<int32_t(MailPlugInApp&)> act;
        int32_t status;
        std::function<int32_t(MailPlugInApp&)> next;  // null: none
        int32_t nextStatus;
        double maxSeconds = 5;
        double minSeconds = 0;
        const char* subject = nullptr;  // of GetMsg's record; null: not checked
    } rows[] = {
        {"16 MB line without an end", false,
         "AEG3 SELECT \"Inbox\" => " + std::string(16 << 20, 'x') + "$\n" + kSelectsEmpty, ListInbox, 213,
         ListInbox, 0, 20},
        // A server may trickle for ever: no wait of the transport ends a response that keeps
        // coming, so only the host's own deadline releases it (this one stops after 2 s).
        {"trickle one byte under the pause", false, trickle + kSelectsEmpty, ListInbox, 213, ListInbox, 0, 6,
         2},
        {"close in the middle of a literal", false, kCutLiteral + "!close", FetchFive, 0, ListInbox, 213, 5,
         0, "(none)"},
        {"NUL bytes in an answer", false,
         "AEG3 SELECT \"Inbox\" => * 2 EX\0ISTS | AEG3 OK done\n"s + kSelectsEmpty, ListInbox, 213, ListInbox,
         0},
        {"wrong tag", false, "AEG3 SELECT \"Inbox\" => * 1 EXISTS | AEG99 OK done\n" + kSelectsEmpty,
         ListInbox, 213, ListInbox, 0},
        {"reset during FETCH", false, kCutLiteral + "!delay 100\n!reset", FetchFive, 0, ListInbox, 213, 5, 0,
         "(none)"},
        {"literal announced at 4 GB", false,
         UpToTheFetch("4294967296") +
             "4294967296} | From: a@example.test | Subject: big |  | body | ) | AEG5 OK done\n"
             "AEG6 UID FETCH 5 FLAGS => * 1 FETCH (UID 5 FLAGS (\\Seen)) | AEG6 OK done\n"
             "AEG7 " +
             kSearch + " => * SEARCH | AEG7 OK done",
         FetchFive, 0, ListInbox, 213, 5, 0, "big"},
        {"EXISTS of 2^31", false,
         "AEG3 SELECT \"Inbox\" => * 2147483648 EXISTS | AEG3 OK done\nAEG4 " + kSearch +
             " => * SEARCH 9 | AEG4 OK done\nAEG5 UID FETCH 9 (FLAGS BODY.PEEK[HEADER.FIELDS (Received)]) => "
             "* 1 FETCH (UID 9 FLAGS (\\Seen)) | AEG5 OK done",
         ListInbox, 0, nullptr, 0},
        {"EXISTS of 2^31 - 1, search refused, then gone", false,
         "AEG3 SELECT \"Inbox\" => * 2147483647 EXISTS | AEG3 OK done\nAEG4 " + kSearch +
             " => AEG4 BAD Error in IMAP command\n!close",
         ListInbox, 213, ListInbox, 213, 3},
        {"SMTP: hello reply cut mid-line, then closed", true,
         "< 220 mail.localhost ESMTP\nHELO COM => 25$\n!close", SendOne, 212, SendOne, 212},
        {"SMTP: sender reply cut mid-line, then closed", true,
         kSmtpHello + "MAIL FROM: <alice@example.test> => 25$\n!close", SendOne, 212, SendOne, 212},
        {"SMTP: recipient reply cut mid-line, its end late", true,
         kSmtpHello + "MAIL FROM: <alice@example.test> => 250 2.1.0 Ok\n"
                      "RCPT TO: <bob@example.test> => 250 2.1$\n!delay 600\n< .5 Ok\n"
                      "DATA => 354 go ahead\n!delay 500\n< 250 2.0.0 queued",
         SendOne, 0, nullptr, 0},
    };
    testing_hooks::OverrideTransportWaits({scripted::Ms(1000), scripted::Ms(300)});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TempDir temp{true};
        scripted::Server server;
        if (!row.smtp) scripted::Play(server, kLogon);
        scripted::Play(server, row.transcript);
        server.Start();
        const LogonParameters params =
            row.smtp ? ScriptedLogon(-1, server.Port()) : ScriptedLogon(server.Port());
        MailPlugInApp app;
        ASSERT_EQ(app.Logon(&params, 0), 0);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(row.act(app), row.status);
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        EXPECT_GE(seconds.count(), row.minSeconds);
        EXPECT_LT(seconds.count(), row.maxSeconds);
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
    testing_hooks::OverrideTransportWaits({scripted::Ms(500), scripted::Ms(300)});
    scripted::Server server;
    scripted::Play(server, "AEG1 LOGIN \"bob\" \"secret\" =>\n!delay 2000");
    server.Start();
    const LogonParameters params = ScriptedLogon(server.Port());
    MailPlugInApp app;
    EXPECT_EQ(app.Logon(&params, 0), 16394);
    FolderEntry** folders = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(app.GetFolderList(&folders, &count), 8);
    EXPECT_EQ(ListInbox(app), -1);
    EXPECT_TRUE(server.Finish().ok);
    testing_hooks::RestoreTransportWaits();
}
