// The session against the real server: a plain message and one with attachments are seeded,
// listed, downloaded whole or in part, and their files written.
#include <gtest/gtest.h>

#include "dovecot_fixture.h"
#include "session_script.h"

namespace {

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
    std::string Get(uint32_t uid) {
        const UidRef id(uid);
        MailMsg* record = nullptr;
        EXPECT_EQ(session.GetMsg(nullptr, &id.ref, &record), 0);
        if (record) taken.push_back(record);
        return Describe(record);
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

// Without a size limit both come whole, stay unread and the files are written; with one the
// mixed message comes in part without its files, then whole from the cache.
TEST_F(SessionDovecotTest, ListsAndDownloadsWholeOrInPartWithTheirFiles) {
    Seed("INBOX", {MessageText("plain one"), MessageWith({{"notes.txt", "bm90ZXMgZm9yIGJvYg==", true},
                                                          {"data.bin", "AAECAwQ=", true}})});
    const std::string notes = temp.File("notes.txt"), data = temp.File("data.bin");
    const std::string alice =
        "1 from=Alice <alice@example.test> replyTo=Alice <alice@example.test> to=Bob "
        "<bob@example.test> subject=plain one";
    const std::string files = "2 from=a@example.test replyTo=a@example.test subject=Files";
    const std::vector<std::string> unread = {"1 date=0", "2 date=0"};
    LogOn(0);
    EXPECT_EQ(Listed(false), unread);
    EXPECT_EQ(Get(1), alice + " body=Hello from plain one.\r\n date=1727776800 downloaded");
    EXPECT_EQ(Get(2), files + " body=See the files.\r\n\r\n attachments=" + notes + "," + data +
                          " date=0 downloaded");
    EXPECT_EQ(Listed(false), unread) << "downloading must not mark a listed message read";
    EXPECT_EQ(temp.Read(notes), "notes for bob");
    EXPECT_EQ(temp.Read(data), std::string("\x00\x01\x02\x03\x04", 5));

    LogOn(200);
    EXPECT_EQ(Listed(true), (std::vector<std::string>{alice + " date=1727776800 downloaded partial",
                                                      files + " date=0 downloaded partial"}));
    // The part fetches set the real server's seen flag before the session asks for it.
    EXPECT_EQ(Get(2), files + " body=See the files.\r\n\r\n\r\n date=0 read downloaded partial");
    EXPECT_EQ(temp.Names(), (std::vector<std::string>{"data.bin", "notes.txt"}))
        << "none from a partial message";
    EXPECT_EQ(Get(2), files + " body=See the files.\r\n\r\n\r\n date=0 read downloaded") << "from the cache";
}

}  // namespace
