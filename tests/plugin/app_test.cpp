// The application object over scripted servers, and the folder list it builds for the host.
#include <gtest/gtest.h>

#include <chrono>

#include "app_script.h"
#include "platform/files.h"
#include "session/folder_list.h"

namespace {

// However a test ends: the application's session released, then the default transport waits.
struct ScopedApp : MailPlugInApp {
    ~ScopedApp() { Uninitialize(); }
};
struct ShortWaits {
    ShortWaits(int firstByteMs, int pauseMs) {
        testing_hooks::OverrideTransportWaits({scripted::Ms(firstByteMs), scripted::Ms(pauseMs)});
    }
    ~ShortWaits() { testing_hooks::RestoreTransportWaits(); }
};

enum Call { kDelete, kSend, kAttachments, kListInbox, kFetch };

// A call and what the host gets: the status, the list's count or the record's subject, the log
// lines but the session's traces.
std::string Do(MailPlugInApp& app, Call call, uint32_t uid = 5, FolderRef folder = nullptr) {
    HostKit_Clear();
    const UidRef id(uid);
    MailMsg message{.from = "ann@example.test", .to = "bob@example.test", .subject = "Minutes"};
    message.idLength = 4;
    message.id = id.bytes;
    MailMsg** records = nullptr;
    MailMsg* record = nullptr;
    AttachmentList* list = nullptr;
    uint32_t count = 0;
    std::string got;
    if (call == kDelete) got = std::to_string(app.DeleteMsg(folder, &message));
    if (call == kSend) got = std::to_string(app.SendMsg(&message));
    if (call == kAttachments) {
        got = std::to_string(app.GetMessageAttachment(folder, 4, id.bytes, &list));
        if (list) got += " " + std::to_string(list->count);
        delete list;  // the files stay for the next call
    } else if (call == kListInbox) {
        got = std::to_string(app.GetMsgIds(folder, &records, &count));
        if (records) ReleaseMailMsgArray(records, static_cast<int32_t>(count));
    } else if (call == kFetch) {
        got = std::to_string(app.GetMsg(folder, &id.ref, &record));
        got += record ? " " + Text(record->subject) : " -";
        FreeMailMsgRecord(record);
    }
    for (const std::string& line : scripted::JournalTexts("MLOGAdd"))
        if (line.rfind("IMAP SEND:", 0) != 0) got += " | " + line;
    return got;
}

}  // namespace

// Verbose: DeleteMsg logs around marking read, then deleted. Without a folder the seen flag goes
// to the selected folder and the deleted flag to "inbox" (0); a refused deleted flag is reported
// (2), a refused seen flag is not. The attachment list's "Finishing" line comes before and after
// its "ATT: " line; a message that is not cached answers 2 after the first line only. After a
// refused quiet logon the application is quiet, whatever the session kept from the first.
TEST(AppOperations, DeleteMsgAndAttachmentListLogLinesFollowTheApplicationsFlag) {
    const ShortWaits waits(3000, 150);
    const TempDir temp{true};
    const std::string message =
                          CrLf({"Content-Type: multipart/mixed; boundary=b", "", "--b",
                                "Content-Disposition: attachment; filename=\"a.txt\"", "", "first", "--b--"}),
                      size = std::to_string(message.size());
    scripted::Server server;
    scripted::Play(server, kLogon);
    scripted::Play(server, R"(AEG3 UID STORE 7 +FLAGS.SILENT \seen => AEG3 OK Done.
        AEG4 SELECT "inbox" => * 3 EXISTS | AEG4 OK Done.
        AEG5 UID STORE 7 +FLAGS.SILENT \deleted => AEG5 OK Done.
        AEG6 SELECT "Work" => * 2 EXISTS | AEG6 OK Done.
        AEG7 UID STORE 8 +FLAGS.SILENT \seen => AEG7 OK Done.
        AEG8 UID STORE 8 +FLAGS.SILENT \deleted => AEG8 NO [CANNOT] read-only
        AEG9 SELECT "Inbox" => * 1 EXISTS | AEG9 OK Done.
        AEG10 UID FETCH 5 rfc822.size => * 1 FETCH (UID 5 RFC822.SIZE )" +
                               size + R"() | AEG10 OK Done.
        AEG11 UID FETCH 5 RFC822 => * 1 FETCH (UID 5 RFC822 {)" +
                               size + "}\n");
    server.Send(message);
    scripted::Play(server, R"(< ) | AEG11 OK Done.
        AEG12 UID FETCH 5 FLAGS => * 1 FETCH (UID 5 FLAGS (\Seen)) | AEG12 OK Done.
        AEG13 SELECT "Work" => * 2 EXISTS | AEG13 OK Done.
        AEG14 UID STORE 9 +FLAGS.SILENT \seen => AEG14 NO [CANNOT] read-only
        AEG15 UID STORE 9 +FLAGS.SILENT \deleted => AEG15 OK Done.)");
    server.Start();
    const LogonParameters params = ScriptedLogon(server.Port());
    ScopedApp app;
    ASSERT_EQ(app.Logon(&params, 2), 0);
    const std::string from = "\nF: ann@example.test S: Minutes",
                      deleting = " | IMAP: Beginning to delete message." + from +
                                 " | IMAP: Finished delete message." + from,
                      finishing = " | IMAP: Finishing getting attachments for message.";
    const char* work = "Work";
    EXPECT_EQ(Do(app, kDelete, 7), "0" + deleting);
    EXPECT_EQ(Do(app, kDelete, 8, &work), "2" + deleting);
    ASSERT_EQ(Do(app, kFetch), "0 ") << "downloaded, so its attachments are cached";
    EXPECT_EQ(Do(app, kAttachments),
              "0 1" + finishing + " | ATT: " + files::TempDirectory().c_str() + "a.txt" + finishing);
    EXPECT_EQ(Do(app, kAttachments, 6), "2" + finishing);
    ASSERT_EQ(app.Logon(nullptr, 0), 16394);
    EXPECT_EQ(Do(app, kDelete, 9, &work), "0");
    EXPECT_EQ(Do(app, kAttachments), "0 1");
    EXPECT_EQ(Do(app, kAttachments, 6), "2");
    app.Initialize();
    EXPECT_EQ(Do(app, kDelete, 9, &work), "-1");
    EXPECT_TRUE(server.PlayedAsScripted());
}

// Servers that lie, stall or die: what the host gets, and the next command works or fails cleanly.
TEST(HostileServers, StatusCodesAndTheNextCommand) {
    const std::string
        selectsEmpty = "!delay 1000\nAEG4 SELECT \"Inbox\" => * 0 EXISTS | AEG4 OK done\n",
        fetch = "AEG3 SELECT \"Inbox\" => * 1 EXISTS | AEG3 OK done\nAEG4 UID FETCH 5 rfc822.size => ";
    std::string trickle = "AEG3 SELECT \"Inbox\" => * 1 EXISTS\n";
    for (int i = 0; i < 20; ++i) trickle += "!delay 100\n< x$\n";
    using Calls = std::vector<Call>;
    const Calls listTwice{kListInbox, kListInbox}, fetchThenList{kFetch, kListInbox}, list{kListInbox},
        send{kSend};
    const struct {
        const char* name;
        bool smtp;               // SMTP only (else IMAP only, after the logon of kLogon)
        std::string transcript;  // the rest of the server's side
        const Calls& calls;      // the first one timed
        std::string got;
        double maxSeconds = 5;
        double minSeconds = 0;
    } rows[] = {
        {"16 MB line without an end", false,
         "AEG3 SELECT \"Inbox\" => " + std::string(16 << 20, 'x') + "$\n" + selectsEmpty, listTwice, "213, 0",
         20},
        // A server may trickle for ever: no wait of the transport ends a response that keeps
        // coming, so only the host's own deadline releases it (this one stops after 2 s).
        {"trickle one byte under the pause", false, trickle + selectsEmpty, listTwice, "213, 0", 6, 2},
        {"close in the middle of a literal", false,
         fetch +
             "* 1 FETCH (UID 5 RFC822.SIZE 1000) | AEG4 OK done\nAEG5 UID FETCH 5 RFC822 => * 1 FETCH (UID 5 "
             "RFC822 {1000} | From: a@example.test | Subject: cut |  | half a$\n!close",
         fetchThenList, "0 -, 213"},
        {"literal announced at 4 GB", false,
         fetch +
             "* 1 FETCH (UID 5 RFC822.SIZE 4294967296) | AEG4 OK done\nAEG5 UID FETCH 5 RFC822 => * 1 FETCH "
             "(UID 5 RFC822 {4294967296} | From: a@example.test | Subject: big |  | body | ) | AEG5 OK done\n"
             "AEG6 UID FETCH 5 FLAGS => * 1 FETCH (UID 5 FLAGS (\\Seen)) | AEG6 OK done\n"
             "AEG7 UID SEARCH NOT DELETED SINCE 01-Jan-1990 => * SEARCH | AEG7 OK done",
         fetchThenList, "0 big, 213"},
        {"EXISTS of 2^31", false,
         "AEG3 SELECT \"Inbox\" => * 2147483648 EXISTS | AEG3 OK done\n"
         "AEG4 UID SEARCH NOT DELETED SINCE 01-Jan-1990 => * SEARCH 9 | AEG4 OK done\n"
         "AEG5 UID FETCH 9 (FLAGS BODY.PEEK[HEADER.FIELDS (Received)]) => * 1 FETCH (UID 9 FLAGS (\\Seen)) | "
         "AEG5 OK done",
         list, "0"},
        {"SMTP: recipient reply cut mid-line, its end late", true,
         "< 220 mail.localhost ESMTP\nHELO COM => 250 mail.localhost\n"
         "MAIL FROM: <ann@example.test> => 250 2.1.0 Ok\nRCPT TO: <bob@example.test> => 250 2.1$\n"
         "!delay 600\n< .5 Ok\nDATA => 354 go ahead\n!delay 500\n< 250 2.0.0 queued",
         send, "0"},
    };
    const ShortWaits waits(1000, 300);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TempDir temp{true};
        scripted::Server server;
        if (!row.smtp) scripted::Play(server, kLogon);
        scripted::Play(server, row.transcript);
        server.Start();
        const LogonParameters params =
            row.smtp ? ScriptedLogon(-1, server.Port()) : ScriptedLogon(server.Port());
        ScopedApp app;
        ASSERT_EQ(app.Logon(&params, 0), 0);
        const auto start = std::chrono::steady_clock::now();
        std::string got = Do(app, row.calls[0]);
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        EXPECT_GE(seconds.count(), row.minSeconds);
        EXPECT_LT(seconds.count(), row.maxSeconds);
        for (size_t i = 1; i < row.calls.size(); ++i) got += ", " + Do(app, row.calls[i]);
        EXPECT_EQ(got, row.got);
        const scripted::Outcome outcome = server.Finish();
        EXPECT_TRUE(outcome.ok) << outcome.failure;
    }
}

// Kinds come from the whole name in any case; names over 15 characters take none of the fifty
// places; an Inbox is added when none is among them (over the last of fifty); no names, no array.
TEST(FolderListForHost, NamesKindsAndLimits) {
    using Listing = std::vector<std::pair<std::string, int32_t>>;
    std::vector<std::string> sixty(10, "A-name-that-is-too-long");
    Listing fortyNineAndInbox;
    for (int i = 0; i < 60; ++i) sixty.push_back(i == 54 ? "INBOX" : "F" + std::to_string(i));
    for (int i = 0; i < 49; ++i) fortyNineAndInbox.emplace_back("F" + std::to_string(i), -1);
    fortyNineAndInbox.emplace_back("Inbox", 0);
    const std::pair<std::vector<std::string>, Listing> cases[] = {
        {{"INBOX", "Drafts", "Sent Items", "Trash"},
         {{"INBOX", 0}, {"Drafts", 2}, {"Sent Items", -1}, {"Trash", 4}}},
        {{"SENT", "outbox", "Inboxes", "ExactlyFifteen!", "SixteenCharacter"},
         {{"SENT", 3}, {"outbox", 1}, {"Inboxes", -1}, {"ExactlyFifteen!", -1}, {"Inbox", 0}}},
        {sixty, fortyNineAndInbox},
        {{}, {}},
    };
    for (const auto& [names, expected] : cases) {
        SCOPED_TRACE(names.size());
        CStringArray array;
        for (const std::string& name : names) array.Add(CString(name));
        FolderEntry** entries = nullptr;
        uint32_t count = 99;
        ASSERT_EQ(BuildFolderList(array, &entries, &count), 0);
        ASSERT_EQ(count, expected.size());
        Listing listed;
        for (uint32_t i = 0; i < count; ++i) {
            listed.emplace_back(entries[i]->name, entries[i]->kind);
            EXPECT_EQ(entries[i]->reserved, 0u) << i;
            EXPECT_EQ(entries[i]->extra, nullptr) << i;
        }
        EXPECT_EQ(listed, expected);
        EXPECT_EQ(entries == nullptr, count == 0) << "no array for an empty list";
        ReleaseFolderList(entries, static_cast<int32_t>(count));
    }
}
