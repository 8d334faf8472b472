// Application-layer operations end to end over a scripted server: DeleteMsg and the attachment
// list, whose log lines follow the application's verbose flag.
#include <gtest/gtest.h>

#include "app_script.h"
#include "platform/files.h"

using AppOperations = AppScript;

// Marked read, then deleted. Without a folder: seen in the selected folder, deleted in "inbox"
// (0). In Work a refused seen flag is not reported, a refused deleted flag is (2). After a
// refused quiet logon the lines stop; not logged on: -1 and nothing at all.
TEST_F(AppOperations, DeleteMsgMarksReadThenDeletedAndLogsAroundIt) {
    ASSERT_EQ(LogOn(R"(AEG3 UID STORE 7 +FLAGS.SILENT \seen => AEG3 OK Done.
        AEG4 SELECT "inbox" => * 3 EXISTS | AEG4 OK Done.
        AEG5 UID STORE 7 +FLAGS.SILENT \deleted => AEG5 OK Done.
        AEG6 SELECT "Work" => * 2 EXISTS | AEG6 OK Done.
        AEG7 UID STORE 8 +FLAGS.SILENT \seen => AEG7 NO [CANNOT] read-only
        AEG8 UID STORE 8 +FLAGS.SILENT \deleted => AEG8 NO [CANNOT] read-only
        AEG9 UID STORE 9 +FLAGS.SILENT \seen => AEG9 OK Done.
        AEG10 UID STORE 9 +FLAGS.SILENT \deleted => AEG10 OK Done.)"),
              0);
    const UidRef ids[] = {UidRef(7), UidRef(8), UidRef(9)};
    MailMsg seven{.idLength = 4, .id = ids[0].bytes, .from = "Ann <ann@example.test>", .subject = "Minutes"};
    MailMsg eight = seven, nine = seven;
    eight.id = ids[1].bytes;
    nine.id = ids[2].bytes;
    const char* work = "Work";
    const std::vector<std::string> lines = {
        "IMAP: Beginning to delete message.\nF: Ann <ann@example.test> S: Minutes",
        "IMAP: Finished delete message.\nF: Ann <ann@example.test> S: Minutes"};
    const struct {
        FolderRef folder;
        const MailMsg& record;
        int32_t result;
    } rows[] = {{nullptr, seven, 0}, {&work, eight, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(RecordUid(&row.record));
        HostKit_Clear();
        EXPECT_EQ(app.DeleteMsg(row.folder, &row.record), row.result);
        EXPECT_EQ(LogLines("IMAP: "), lines);
    }
    HostKit_Clear();
    EXPECT_EQ(app.Logon(nullptr, 0), 16394);
    EXPECT_EQ(app.DeleteMsg(&work, &nine), 0);
    EXPECT_TRUE(LogLines("IMAP: ").empty()) << "the session's traces follow its own flag";
    HostKit_Clear();
    app.Initialize();
    EXPECT_EQ(app.DeleteMsg(&work, &nine), -1);
    EXPECT_TRUE(LogLines().empty());
}

// Verbose: the "Finishing" line before and after the "ATT: " lines; a message that is not cached
// answers 2 after the first line only. After a refused second Logon without verbose logging the
// application is quiet, whatever the session kept from the first.
TEST_F(AppOperations, AttachmentListLinesFollowTheApplicationsFlag) {
    const auto attachment = [](const std::string& name, const std::string& body) {
        return std::pair{"Content-Type: application/octet-stream; name=\"" + name +
                             "\"\nContent-Disposition: attachment; filename=\"" + name + "\"",
                         body + "\n\n"};
    };
    const std::string message = Crlf("From: a@example.test\nSubject: Files\n" +
                                     Mixed("zzBzz", {{"Content-Type: text/plain", "See the files.\n\n"},
                                                     attachment("a.txt", "first"),
                                                     attachment("b.txt", "second")}));
    const std::string size = std::to_string(message.size());
    std::string literal = message;  // its lines as the lines of a reply
    for (size_t at; (at = literal.find("\r\n")) != std::string::npos;) literal.replace(at, 2, " | ");
    ASSERT_EQ(
        LogOn(
            "AEG3 SELECT \"Inbox\" => * 1 EXISTS | AEG3 OK Done.\n"
            "AEG4 UID FETCH 5 rfc822.size => * 1 FETCH (UID 5 RFC822.SIZE " +
            size +
            ") | AEG4 OK Done.\n"
            "AEG5 UID FETCH 5 RFC822 => * 1 FETCH (UID 5 RFC822 {" +
            size + "} | " + literal +
            ") | AEG5 OK Done.\nAEG6 UID FETCH 5 FLAGS => * 1 FETCH (UID 5 FLAGS (\\Seen)) | AEG6 OK Done."),
        0);
    const UidRef five(5), six(6);
    MailMsg* record = nullptr;
    ASSERT_EQ(app.GetMsg(nullptr, &five.ref, &record), 0);
    ASSERT_NE(record, nullptr);
    FreeMailMsgRecord(record);

    const std::string finishing = "IMAP: Finishing getting attachments for message.";
    const std::string dir =
        files::TempDirectory().c_str();  // the module's own spelling (a drive path on Windows)
    const std::vector<std::string> verbose = {finishing, "ATT: " + dir + "a.txt", "ATT: " + dir + "b.txt",
                                              finishing};
    const struct {
        const char* name;
        const UidRef& id;
        int32_t result;
        int count;
        std::vector<std::string> lines;
    } rows[] = {
        {"verbose, cached", five, 0, 2, verbose},
        {"verbose, not cached", six, 2, -1, {finishing}},
        {"after a refused quiet logon, cached", five, 0, 2, {}},
        {"after a refused quiet logon, not cached", six, 2, -1, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.lines.empty()) {
            ASSERT_EQ(app.Logon(nullptr, 0), 16394);
        }
        HostKit_Clear();
        AttachmentList* list = nullptr;
        EXPECT_EQ(app.GetMessageAttachment(nullptr, 4, row.id.bytes, &list), row.result);
        EXPECT_EQ(list ? list->count : -1, row.count);
        EXPECT_EQ(LogLines(), row.lines);
        delete list;  // the files stay for the next row
    }
}
