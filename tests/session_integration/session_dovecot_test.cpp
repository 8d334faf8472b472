// The session against the real server: a plain message, a multipart/alternative one and one
// with attachments are seeded, listed, downloaded whole or in part, and their files handed out.
#include <gtest/gtest.h>

#include <filesystem>

#include "dovecot_fixture.h"
#include "session_script.h"

namespace {

const std::string kAlternative =
    CrLf({"From: Alice <alice@example.test>", "Subject: Alternative", "MIME-Version: 1.0",
          "Content-Type: multipart/alternative; boundary=\"zzALTzz\"", "", "--zzALTzz",
          "Content-Type: text/plain", "", "Plain alternative.", "--zzALTzz", "Content-Type: text/html", "",
          "<p>Html alternative.</p>", "--zzALTzz--"});

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
    // The record's body and attachment paths, and whether it is partial.
    std::string Get(uint32_t uid) {
        const UidRef id(uid);
        MailMsg* record = nullptr;
        EXPECT_EQ(session.GetMsg(nullptr, &id.ref, &record), 0);
        if (record) taken.push_back(record);
        const std::string text = Describe(record);
        const size_t body = text.find(" body="), date = text.find(" date=");
        return text.substr(body, date - body) + (record && record->partial ? " partial" : "");
    }
    // The listing of ids (or of the whole Inbox, headers only), released at once.
    std::vector<std::string> Listed(bool allHeaders) {
        MailMsg** records = nullptr;
        uint32_t count = 0;
        EXPECT_EQ(allHeaders ? session.GetAllMsgs(&records, &count, 1)
                             : session.GetMsgIds(nullptr, &records, &count),
                  0);
        std::vector<std::string> rows;
        for (uint32_t i = 0; i < count; ++i) rows.push_back(Describe(records[i]));
        EXPECT_EQ(records ? ReleaseMailMsgArray(records, static_cast<int32_t>(count)) : 0, 0);
        return rows;
    }

    TempDir temp{true};
    ImapSession session;
    std::vector<MailMsg*> taken;
};

// Without a size limit: every message whole, none marked read, the attachment files written,
// handed out and deleted. With one: the mixed message comes in part without its files, then
// whole from the cache; a message that is not multipart/mixed comes whole above the limit.
TEST_F(SessionDovecotTest, ListsDownloadsWholeOrInPartAndHandsOutAttachmentFiles) {
    Seed("INBOX",
         {MessageText("plain one"), kAlternative,
          MessageWith({{"notes.txt", "bm90ZXMgZm9yIGJvYg==", true}, {"data.bin", "AAECAwQ=", true}})});
    const std::string notes = temp.File("notes.txt"), data = temp.File("data.bin");
    const std::vector<std::string> unread = {"1 date=0", "2 date=0", "3 date=0"};
    LogOn(0);
    EXPECT_EQ(Listed(false), unread);
    EXPECT_EQ(Get(1), " body=Hello from plain one.\r\n");
    EXPECT_EQ(Get(2), " body=Plain alternative.\r\n");
    EXPECT_EQ(Get(3), " body=See the files.\r\n\r\n attachments=" + notes + "," + data);
    EXPECT_EQ(Listed(false), unread) << "downloading must not mark a message read";
    EXPECT_EQ(temp.Read(notes), "notes for bob");
    EXPECT_EQ(temp.Read(data), std::string("\x00\x01\x02\x03\x04", 5));
    const UidRef three(3), missing(40);
    AttachmentList* list = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, three.bytes, &list, false), 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::vector<std::string>(list->path, list->path + list->count), (std::vector{notes, data}));
    EXPECT_EQ(ReleaseAttachmentList(&list), 0);
    EXPECT_TRUE(temp.Names().empty());
    EXPECT_TRUE(temp.Escaped().empty());
    EXPECT_EQ(session.GetAttachments(nullptr, 4, missing.bytes, &list, false), 2);

    LogOn(200);
    const std::string alice = " from=Alice <alice@example.test> replyTo=Alice <alice@example.test>";
    EXPECT_EQ(
        Listed(true),
        (std::vector<std::string>{
            "1" + alice + " to=Bob <bob@example.test> subject=plain one date=1727776800 downloaded partial",
            "2" + alice + " subject=Alternative date=0 downloaded partial",
            "3 from=a@example.test replyTo=a@example.test subject=Files date=0 downloaded partial"}));
    EXPECT_EQ(Get(3), " body=See the files.\r\n\r\n\r\n partial");
    EXPECT_TRUE(temp.Names().empty()) << "no attachment comes down with a partial message";
    EXPECT_EQ(Get(3), " body=See the files.\r\n\r\n\r\n") << "the cached copy, no longer partial";
    EXPECT_EQ(Get(2), " body=Plain alternative.\r\n");
}

}  // namespace
