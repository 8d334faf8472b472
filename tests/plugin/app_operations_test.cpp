// Application-layer operations end to end over a scripted server: DeleteMsg (marked read, then
// deleted; "inbox" by default; results 0 and 2; its log lines) and the attachment list's log
// lines, which follow the application's verbose flag.
#include <gtest/gtest.h>

#include "app_script.h"
#include "platform/files.h"
#include "session/message_id.h"

namespace {

class AppOperations : public AppScript {
protected:
    // A host record with a UID id and the texts DeleteMsg logs.
    struct Record {
        explicit Record(uint32_t uid) : id(uid) {
            message.idLength = 4;
            message.id = id.bytes;
            message.from = "Ann <ann@example.test>";
            message.subject = "Minutes";
        }
        UidRef id;
        MailMsg message{};
    };
};

const std::string kDeleteLines[] = {
    "IMAP: Beginning to delete message.\nF: Ann <ann@example.test> S: Minutes",
    "IMAP: Finished delete message.\nF: Ann <ann@example.test> S: Minutes"};

}  // namespace

// Without a folder: seen in the selected folder, deleted in "inbox" (0). In Work: a refused seen
// flag is not reported, a refused deleted flag is (2). After a refused quiet logon the
// application's lines stop (the session's traces follow its own flag); not logged on: -1 and
// nothing at all.
TEST_F(AppOperations, DeleteMsgMarksReadThenDeletedAndLogsAroundIt) {
    ScriptLogon();
    Cmd("UID STORE 7 +FLAGS.SILENT \\seen");
    Cmd("SELECT \"inbox\"", "* 3 EXISTS\r\n");
    Cmd("UID STORE 7 +FLAGS.SILENT \\deleted");
    Cmd("SELECT \"Work\"", "* 2 EXISTS\r\n");
    Cmd("UID STORE 8 +FLAGS.SILENT \\seen", "", "NO [CANNOT] read-only");
    Cmd("UID STORE 8 +FLAGS.SILENT \\deleted", "", "NO [CANNOT] read-only");
    Cmd("UID STORE 9 +FLAGS.SILENT \\seen");
    Cmd("UID STORE 9 +FLAGS.SILENT \\deleted");
    ASSERT_EQ(LogOn(2), 0);
    const Record seven(7), eight(8), nine(9);
    const char* work = "Work";
    const struct {
        FolderRef folder;
        const Record* record;
        int32_t result;
    } rows[] = {
        {nullptr, &seven, 0},
        {&work, &eight, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(RecordUid(&row.record->message));
        HostKit_Clear();
        EXPECT_EQ(app.DeleteMsg(row.folder, &row.record->message), row.result);
        EXPECT_EQ(LogLines("IMAP: "),
                  std::vector<std::string>(std::begin(kDeleteLines), std::end(kDeleteLines)));
    }
    // Quiet after a non-verbose refused logon: the lines follow the application's flag.
    HostKit_Clear();
    EXPECT_EQ(app.Logon(nullptr, 0), 16394);
    EXPECT_EQ(app.DeleteMsg(&work, &nine.message), 0);
    EXPECT_TRUE(LogLines("IMAP: ").empty());
    HostKit_Clear();
    app.Initialize();
    EXPECT_EQ(app.DeleteMsg(&work, &nine.message), -1);
    EXPECT_TRUE(LogLines().empty());
}

// Verbose: the "Finishing" line before and after the "ATT: " lines; a message that is not cached
// answers 2 after the first line only. After a refused second Logon without verbose logging the
// application is quiet, whatever the session kept from the first.
TEST_F(AppOperations, AttachmentListLinesFollowTheApplicationsFlag) {
    const std::string message = CrLf({"From: a@example.test",
                                      "Subject: Files",
                                      "Content-Type: multipart/mixed; boundary=\"zzBzz\"",
                                      "",
                                      "--zzBzz",
                                      "Content-Type: text/plain",
                                      "",
                                      "See the files.",
                                      "",
                                      "--zzBzz",
                                      "Content-Type: application/octet-stream; name=\"a.txt\"",
                                      "Content-Disposition: attachment; filename=\"a.txt\"",
                                      "",
                                      "first",
                                      "",
                                      "--zzBzz",
                                      "Content-Type: application/octet-stream; name=\"b.txt\"",
                                      "Content-Disposition: attachment; filename=\"b.txt\"",
                                      "",
                                      "second",
                                      "",
                                      "--zzBzz--"});
    ScriptLogon();
    Cmd("SELECT \"Inbox\"", "* 1 EXISTS\r\n");
    Cmd("UID FETCH 5 rfc822.size",
        "* 1 FETCH (UID 5 RFC822.SIZE " + std::to_string(message.size()) + ")\r\n");
    Cmd("UID FETCH 5 RFC822",
        "* 1 FETCH (UID 5 RFC822 {" + std::to_string(message.size()) + "}\r\n" + message + ")\r\n");
    Cmd("UID FETCH 5 FLAGS", "* 1 FETCH (UID 5 FLAGS (\\Seen))\r\n");
    ASSERT_EQ(LogOn(2), 0);
    const UidRef five(5), six(6);
    MailMsg* record = nullptr;
    ASSERT_EQ(app.GetMsg(nullptr, &five.ref, &record), 0);
    ASSERT_NE(record, nullptr);
    FreeMailMsgRecord(record);

    const std::string finishing = "IMAP: Finishing getting attachments for message.";
    // The module's own spelling of the directory (on Windows a drive path).
    const std::string dir = files::TempDirectory().c_str();
    const std::vector<std::string> verboseLines = {finishing, "ATT: " + dir + "a.txt", "ATT: " + dir + "b.txt",
                                                   finishing};
    const struct {
        const char* name;
        bool refusedQuietLogon;
        const UidRef* id;
        int32_t result;
        int count;
        std::vector<std::string> lines;
    } rows[] = {
        {"verbose, cached", false, &five, 0, 2, verboseLines},
        {"verbose, not cached", false, &six, 2, -1, {finishing}},
        {"after a refused quiet logon, cached", true, &five, 0, 2, {}},
        {"after a refused quiet logon, not cached", true, &six, 2, -1, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.refusedQuietLogon) {
            ASSERT_EQ(app.Logon(nullptr, 0), 16394);
        }
        HostKit_Clear();
        AttachmentList* list = nullptr;
        EXPECT_EQ(app.GetMessageAttachment(nullptr, 4, row.id->bytes, &list), row.result);
        EXPECT_EQ(list ? list->count : -1, row.count);
        EXPECT_EQ(LogLines(), row.lines);
        if (list) delete list;  // the files stay for the next row
    }
}
