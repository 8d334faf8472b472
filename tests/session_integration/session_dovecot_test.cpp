// The session against the real server: a plain message, a multipart/alternative one and one
// with attachments are seeded, listed, downloaded whole or in part, and their files handed out.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dovecot_fixture.h"
#include "../support/test_kit.h"
#include "session/folder_list.h"
#include "session/imap_session.h"

namespace {

const std::string kAlternative = CrLf({"From: Alice <alice@example.test>", "To: Bob <bob@example.test>",
                                       "Subject: Alternative", "Date: Tue, 1 Oct 2024 11:00:00 +0000",
                                       "MIME-Version: 1.0", "Content-Type: multipart/alternative; boundary=\"zzALTzz\"",
                                       "", "--zzALTzz", "Content-Type: text/plain; charset=us-ascii", "",
                                       "Plain alternative.", "--zzALTzz", "Content-Type: text/html; charset=us-ascii",
                                       "", "<p>Html alternative.</p>", "--zzALTzz--"});
const std::string kWithFiles =
    CrLf({"From: Alice <alice@example.test>", "To: Bob <bob@example.test>", "Subject: With files",
          "Date: Tue, 1 Oct 2024 12:00:00 +0000", "MIME-Version: 1.0",
          "Content-Type: multipart/mixed; boundary=\"zzMIXzz\"", "", "--zzMIXzz", "Content-Type: text/plain", "",
          "See the two files.", "--zzMIXzz", "Content-Type: text/plain; name=\"notes.txt\"",
          "Content-Disposition: attachment; filename=\"notes.txt\"", "Content-Transfer-Encoding: base64", "",
          "bm90ZXMgZm9yIGJvYg==", "--zzMIXzz", "Content-Type: application/octet-stream; name=\"data.bin\"",
          "Content-Disposition: attachment; filename=\"data.bin\"", "Content-Transfer-Encoding: base64", "",
          "AAECAwQ=", "--zzMIXzz--"});

class SessionDovecotTest : public DovecotTest {
protected:
    void TearDown() override {
        for (MailMsg* record : taken) FreeMailMsgRecord(record);
        session.Reset();
        DovecotTest::TearDown();
    }
    void LogOn(int32_t maxMessageSize) {
        session.Reset();
        HostLogon logon = PoolLogon();
        logon.params.attachments = 1;
        logon.params.maxMessageSize = maxMessageSize;
        ASSERT_EQ(session.Logon(&logon.params, 0), 0);
        ASSERT_EQ(session.imapConnected, 1);
    }
    // A record that did not come fails here and reads as empty below.
    MailMsg* Get(uint32_t uid) {
        const UidRef id(uid);
        MailMsg* record = nullptr;
        EXPECT_EQ(session.GetMsg(nullptr, &id.ref, &record), 0);
        if (record) taken.push_back(record);
        EXPECT_NE(record, nullptr) << uid;
        return record ? record : &m_none;
    }
    // The listing of ids (or of the whole Inbox, headers only), released at once.
    std::vector<std::string> Listed(bool allHeaders) {
        MailMsg** records = nullptr;
        uint32_t count = 0;
        EXPECT_EQ(allHeaders ? session.GetAllMsgs(&records, &count, 1) : session.GetMsgIds(nullptr, &records, &count), 0);
        std::vector<std::string> rows;
        for (uint32_t i = 0; i < count; ++i)
            rows.push_back(std::to_string(RecordUid(records[i])) + (records[i]->flags & ZQ_FLAG_READ ? " read " : " ") +
                           Text(records[i]->subject) + (records[i]->body ? " with body" : ""));
        EXPECT_EQ(records ? ReleaseMailMsgArray(records, static_cast<int32_t>(count)) : 0, 0);
        return rows;
    }

    TempDir temp{true};
    ImapSession session;
    std::vector<MailMsg*> taken;
    MailMsg m_none{};
};

// Without a size limit: every message whole, none marked read, the attachment files written,
// handed out and deleted. With one: the mixed message comes in part without its files, then
// whole from the cache; a message that is not multipart/mixed comes whole above the limit.
TEST_F(SessionDovecotTest, ListsDownloadsWholeOrInPartAndHandsOutAttachmentFiles) {
    Seed("INBOX", {MessageText("plain one"), kAlternative, kWithFiles});
    LogOn(0);
    EXPECT_EQ(Listed(false), (std::vector<std::string>{"1 ", "2 ", "3 "}));
    const MailMsg* plain = Get(1);
    EXPECT_EQ(Text(plain->subject), "plain one");
    EXPECT_EQ(Text(plain->from), "Alice <alice@example.test>");
    EXPECT_EQ(Text(plain->body).rfind("Hello from plain one.", 0), 0u);
    EXPECT_EQ(plain->partial, 0u);
    const MailMsg* alternative = Get(2);
    EXPECT_EQ(Text(alternative->body).rfind("Plain alternative.", 0), 0u);
    EXPECT_EQ(Text(alternative->body).find("<p>"), std::string::npos);
    const MailMsg* files = Get(3);
    EXPECT_EQ(Text(files->body).rfind("See the two files.", 0), 0u);
    EXPECT_EQ(Listed(false), (std::vector<std::string>{"1 ", "2 ", "3 "})) << "downloading must not mark a message read";

    const std::vector<std::string> paths = {temp.File("notes.txt"), temp.File("data.bin")};
    EXPECT_EQ(Text(files->attachments), paths[0] + "," + paths[1]);
    EXPECT_EQ(temp.Read(paths[0]), "notes for bob");
    EXPECT_EQ(temp.Read(paths[1]), std::string("\x00\x01\x02\x03\x04", 5));
    const UidRef three(3), missing(40);
    AttachmentList* list = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, three.bytes, &list), 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::vector<std::string>(list->path, list->path + list->count), paths);
    EXPECT_EQ(ReleaseAttachmentList(&list), 0);
    for (const std::string& path : paths) EXPECT_FALSE(std::filesystem::exists(path)) << path;
    EXPECT_TRUE(temp.Escaped().empty());
    EXPECT_EQ(session.GetAttachments(nullptr, 4, missing.bytes, &list), 2);

    LogOn(200);
    EXPECT_EQ(Listed(true), (std::vector<std::string>{"1 plain one", "2 Alternative", "3 With files"}));
    const MailMsg* first = Get(3);
    EXPECT_EQ(first->partial, 1u);
    EXPECT_EQ(Text(first->body).rfind("See the two files.", 0), 0u);
    EXPECT_EQ(first->attachments, nullptr);
    EXPECT_TRUE(temp.Names().empty()) << "no attachment comes down with a partial message";
    EXPECT_EQ(Get(3)->partial, 0u);
    const MailMsg* whole = Get(2);
    EXPECT_EQ(whole->partial, 0u);
    EXPECT_EQ(Text(whole->body).rfind("Plain alternative.", 0), 0u);
}

}  // namespace
