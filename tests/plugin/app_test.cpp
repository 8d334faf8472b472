// The application object over scripted servers: DeleteMsg and the attachment list, whose log
// lines follow the application's verbose flag; servers that lie, stall or die, as the host meets
// them; and the folder list built for the host with its limits.
#include <gtest/gtest.h>

#include <chrono>

#include "app_script.h"
#include "platform/files.h"
#include "session/folder_list.h"

using AppOperations = AppScript;

// Verbose: DeleteMsg logs around marking read, then deleted. Without a folder the seen flag goes
// to the selected folder and the deleted flag to "inbox" (0); a refused deleted flag is reported
// (2), a refused seen flag is not. The attachment list's "Finishing" line comes before and after
// its "ATT: " line; a message that is not cached answers 2 after the first line only. After a
// refused quiet logon the application is quiet, whatever the session kept from the first.
TEST_F(AppOperations, DeleteMsgAndAttachmentListLogLinesFollowTheApplicationsFlag) {
    const std::vector<std::string> filed = {"Content-Type: multipart/mixed; boundary=b",
                                            "",
                                            "--b",
                                            "Content-Type: application/octet-stream; name=\"a.txt\"",
                                            "Content-Disposition: attachment; filename=\"a.txt\"",
                                            "",
                                            "first",
                                            "--b--"};
    const std::string size = std::to_string(CrLf(filed).size());
    std::string literal;  // the message's lines as the lines of a reply
    for (const std::string& line : filed) literal += line + " | ";
    const std::string afterLogon = R"(AEG3 UID STORE 7 +FLAGS.SILENT \seen => AEG3 OK Done.
        AEG4 SELECT "inbox" => * 3 EXISTS | AEG4 OK Done.
        AEG5 UID STORE 7 +FLAGS.SILENT \deleted => AEG5 OK Done.
        AEG6 SELECT "Work" => * 2 EXISTS | AEG6 OK Done.
        AEG7 UID STORE 8 +FLAGS.SILENT \seen => AEG7 OK Done.
        AEG8 UID STORE 8 +FLAGS.SILENT \deleted => AEG8 NO [CANNOT] read-only
        AEG9 SELECT "Inbox" => * 1 EXISTS | AEG9 OK Done.
        AEG10 UID FETCH 5 rfc822.size => * 1 FETCH (UID 5 RFC822.SIZE )" +
                                   size + R"() | AEG10 OK Done.
        AEG11 UID FETCH 5 RFC822 => * 1 FETCH (UID 5 RFC822 {)" +
                                   size + "} | " + literal + R"() | AEG11 OK Done.
        AEG12 UID FETCH 5 FLAGS => * 1 FETCH (UID 5 FLAGS (\Seen)) | AEG12 OK Done.
        AEG13 SELECT "Work" => * 2 EXISTS | AEG13 OK Done.
        AEG14 UID STORE 9 +FLAGS.SILENT \seen => AEG14 NO [CANNOT] read-only
        AEG15 UID STORE 9 +FLAGS.SILENT \deleted => AEG15 OK Done.)";
    ASSERT_EQ(LogOn(afterLogon), 0);
    const std::string begin = "IMAP: Beginning to delete message.\nF: Ann <ann@example.test> S: Minutes",
                      end = "IMAP: Finished delete message.\nF: Ann <ann@example.test> S: Minutes",
                      finishing = "IMAP: Finishing getting attachments for message.",
                      file = "ATT: " + std::string(files::TempDirectory().c_str()) +
                             "a.txt";  // the module's spelling
    const char* work = "Work";
    const struct {
        FolderRef folder;
        uint32_t uid;
        bool attachments;  // GetMessageAttachment, else DeleteMsg
        int32_t result;
        std::vector<std::string> lines;  // without the session's traces
    } rows[] = {
        {nullptr, 7, false, 0, {begin, end}},
        {&work, 8, false, 2, {begin, end}},
        {nullptr, 5, true, 0, {finishing, file, finishing}},
        {nullptr, 6, true, 2, {finishing}},
        {&work, 9, false, 0, {}},  // after a refused quiet logon
        {nullptr, 5, true, 0, {}},
        {nullptr, 6, true, 2, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.uid);
        const UidRef id(row.uid);
        if (&row == &rows[2]) {  // the message downloaded, so its attachments are cached
            MailMsg* record = nullptr;
            ASSERT_EQ(app.GetMsg(nullptr, &id.ref, &record), 0);
            FreeMailMsgRecord(record);
        } else if (&row == &rows[4]) {
            ASSERT_EQ(app.Logon(nullptr, 0), 16394);
        }
        HostKit_Clear();
        if (row.attachments) {
            AttachmentList* list = nullptr;
            EXPECT_EQ(app.GetMessageAttachment(nullptr, 4, id.bytes, &list), row.result);
            EXPECT_EQ(list ? list->count : -1, row.result == 0 ? 1 : -1);
            delete list;  // the file stays for the next row
        } else {
            const MailMsg message{
                .idLength = 4, .id = id.bytes, .from = "Ann <ann@example.test>", .subject = "Minutes"};
            EXPECT_EQ(app.DeleteMsg(row.folder, &message), row.result);
        }
        std::vector<std::string> lines = LogLines();
        std::erase_if(lines, [](const std::string& line) { return line.rfind("IMAP SEND:", 0) == 0; });
        EXPECT_EQ(lines, row.lines);
    }
    HostKit_Clear();
    app.Initialize();
    const UidRef nineId(9);
    const MailMsg nine{.idLength = 4, .id = nineId.bytes};
    EXPECT_EQ(app.DeleteMsg(&work, &nine), -1);
    EXPECT_TRUE(LogLines().empty());
}

namespace {

// What the host gets from one call: the status, and for GetMsg of UID 5 the record's subject.
std::string ListInbox(MailPlugInApp& app) {
    MailMsg** records = nullptr;
    uint32_t count = 0;
    const int32_t status = app.GetMsgIds(nullptr, &records, &count);
    if (records) ReleaseMailMsgArray(records, static_cast<int32_t>(count));
    return std::to_string(status);
}
std::string FetchFive(MailPlugInApp& app) {
    const UidRef five(5);
    MailMsg* record = nullptr;
    const int32_t status = app.GetMsg(nullptr, &five.ref, &record);
    const std::string subject = record ? Text(record->subject) : "no record";
    FreeMailMsgRecord(record);
    return std::to_string(status) + " " + subject;
}
std::string SendOne(MailPlugInApp& app) {
    const MailMsg message{
        .from = "alice@example.test", .to = "bob@example.test", .subject = "Hi", .body = "x"};
    return std::to_string(app.SendMsg(&message));
}

// GetMsg of UID 5 up to its RFC822 fetch, whose answer the row writes.
std::string UpToTheFetch(const std::string& size) {
    return "AEG3 SELECT \"Inbox\" => * 1 EXISTS | AEG3 OK done\n"
           "AEG4 UID FETCH 5 rfc822.size => * 1 FETCH (UID 5 RFC822.SIZE " +
           size +
           ") | AEG4 OK done\n"
           "AEG5 UID FETCH 5 RFC822 => * 1 FETCH (UID 5 RFC822 {";
}

}  // namespace

// Servers that lie, stall or die: each row gives what the host gets, and the next command then
// works or fails cleanly. The sanitizer build runs the same table (no crash, no bad access).
TEST(HostileServers, StatusCodesAndTheNextCommand) {
    const std::string selectsEmpty = "!delay 1000\nAEG4 SELECT \"Inbox\" => * 0 EXISTS | AEG4 OK done\n";
    std::string trickle = "AEG3 SELECT \"Inbox\" => * 1 EXISTS\n";
    for (int i = 0; i < 20; ++i) trickle += "!delay 100\n< x$\n";
    using Act = std::string (*)(MailPlugInApp&);
    const struct {
        const char* name;
        bool smtp;               // SMTP only (else IMAP only, after the logon of kLogon)
        std::string transcript;  // the rest of the server's side
        Act act;
        std::string got;
        Act next;  // null: none
        std::string nextGot;
        double maxSeconds = 5;
        double minSeconds = 0;
    } rows[] = {
        {"16 MB line without an end", false,
         "AEG3 SELECT \"Inbox\" => " + std::string(16 << 20, 'x') + "$\n" + selectsEmpty, ListInbox, "213",
         ListInbox, "0", 20},
        // A server may trickle for ever: no wait of the transport ends a response that keeps
        // coming, so only the host's own deadline releases it (this one stops after 2 s).
        {"trickle one byte under the pause", false, trickle + selectsEmpty, ListInbox, "213", ListInbox, "0",
         6, 2},
        {"close in the middle of a literal", false,
         UpToTheFetch("1000") + "1000} | From: a@example.test | Subject: cut |  | half a$\n!close", FetchFive,
         "0 no record", ListInbox, "213"},
        {"literal announced at 4 GB", false,
         UpToTheFetch("4294967296") +
             "4294967296} | From: a@example.test | Subject: big |  | body | ) | AEG5 OK done\n"
             "AEG6 UID FETCH 5 FLAGS => * 1 FETCH (UID 5 FLAGS (\\Seen)) | AEG6 OK done\n"
             "AEG7 UID SEARCH NOT DELETED SINCE 01-Jan-1990 => * SEARCH | AEG7 OK done",
         FetchFive, "0 big", ListInbox, "213"},
        {"EXISTS of 2^31", false,
         "AEG3 SELECT \"Inbox\" => * 2147483648 EXISTS | AEG3 OK done\n"
         "AEG4 UID SEARCH NOT DELETED SINCE 01-Jan-1990 => * SEARCH 9 | AEG4 OK done\n"
         "AEG5 UID FETCH 9 (FLAGS BODY.PEEK[HEADER.FIELDS (Received)]) => * 1 FETCH (UID 9 FLAGS (\\Seen)) | "
         "AEG5 OK done",
         ListInbox, "0", nullptr, ""},
        {"SMTP: recipient reply cut mid-line, its end late", true,
         "< 220 mail.localhost ESMTP\nHELO COM => 250 mail.localhost\n"
         "MAIL FROM: <alice@example.test> => 250 2.1.0 Ok\nRCPT TO: <bob@example.test> => 250 2.1$\n"
         "!delay 600\n< .5 Ok\nDATA => 354 go ahead\n!delay 500\n< 250 2.0.0 queued",
         SendOne, "0", nullptr, ""},
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
        EXPECT_EQ(row.act(app), row.got);
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        EXPECT_GE(seconds.count(), row.minSeconds);
        EXPECT_LT(seconds.count(), row.maxSeconds);
        EXPECT_EQ(row.next ? row.next(app) : "", row.nextGot);
        const scripted::Outcome outcome = server.Finish();
        EXPECT_TRUE(outcome.ok) << outcome.failure;
        app.Uninitialize();
    }
    testing_hooks::RestoreTransportWaits();
}

// Kinds come from the whole name in any case, and an Inbox is added when none is listed (over
// the last of fifty). Names over 15 characters are left out without using one of the places.
TEST(FolderListForHost, NamesKindsAndLimits) {
    using Listing = std::vector<std::pair<std::string, int32_t>>;
    std::vector<std::string> longThenFifty(10, "A-name-that-is-too-long"), sixty;
    Listing fortyNineAndInbox;
    for (int i = 0; i < 60; ++i) sixty.push_back(i == 54 ? "INBOX" : "F" + std::to_string(i));
    for (int i = 0; i < 50; ++i) longThenFifty.push_back("F" + std::to_string(i));
    for (int i = 0; i < 49; ++i) fortyNineAndInbox.emplace_back("F" + std::to_string(i), -1);
    fortyNineAndInbox.emplace_back("Inbox", 0);
    const std::pair<std::vector<std::string>, Listing> cases[] = {
        {{"INBOX", "Drafts", "Sent Items", "Trash"},
         {{"INBOX", 0}, {"Drafts", 2}, {"Sent Items", -1}, {"Trash", 4}}},
        {{"SENT", "outbox", "Inboxes"}, {{"SENT", 3}, {"outbox", 1}, {"Inboxes", -1}, {"Inbox", 0}}},
        {{"ExactlyFifteen!", "SixteenCharacter", "Inbox"}, {{"ExactlyFifteen!", -1}, {"Inbox", 0}}},
        {longThenFifty, fortyNineAndInbox},
        {sixty, fortyNineAndInbox},
        {{}, {}},
    };
    for (const auto& [names, expected] : cases) {
        SCOPED_TRACE(names.empty() ? "no names"
                                   : names.front() + " and " + std::to_string(names.size() - 1) + " more");
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
        if (count == 0) {
            EXPECT_EQ(entries, nullptr) << "no array for an empty list";
        }
        ReleaseFolderList(entries, static_cast<int32_t>(count));
    }
}
