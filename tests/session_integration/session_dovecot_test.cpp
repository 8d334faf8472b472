// The session against the real server: a plain message, a multipart/alternative one and one
// with attachments are seeded, listed, downloaded whole or in part, and their files handed out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dovecot_fixture.h"
#include "host_string.h"
#include "private_temp_dir.h"
#include "session/folder_list.h"
#include "session/imap_session.h"

namespace {

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}
const std::string kAlternative = Lines({"From: Alice <alice@example.test>", "To: Bob <bob@example.test>",
                                        "Subject: Alternative", "Date: Tue, 1 Oct 2024 11:00:00 +0000",
                                        "MIME-Version: 1.0", "Content-Type: multipart/alternative; boundary=\"zzALTzz\"",
                                        "", "--zzALTzz", "Content-Type: text/plain; charset=us-ascii", "",
                                        "Plain alternative.", "--zzALTzz", "Content-Type: text/html; charset=us-ascii",
                                        "", "<p>Html alternative.</p>", "--zzALTzz--"});

const std::string kWithFiles =
    Lines({"From: Alice <alice@example.test>", "To: Bob <bob@example.test>", "Subject: With files",
           "Date: Tue, 1 Oct 2024 12:00:00 +0000", "MIME-Version: 1.0",
           "Content-Type: multipart/mixed; boundary=\"zzMIXzz\"", "", "--zzMIXzz", "Content-Type: text/plain", "",
           "See the two files.", "--zzMIXzz", "Content-Type: text/plain; name=\"notes.txt\"",
           "Content-Disposition: attachment; filename=\"notes.txt\"", "Content-Transfer-Encoding: base64", "",
           "bm90ZXMgZm9yIGJvYg==", "--zzMIXzz", "Content-Type: application/octet-stream; name=\"data.bin\"",
           "Content-Disposition: attachment; filename=\"data.bin\"", "Content-Transfer-Encoding: base64", "",
           "AAECAwQ=", "--zzMIXzz--"});

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Text(const char* text) { return text ? text : ""; }

struct IdRef {
    explicit IdRef(uint32_t uid) : bytes{static_cast<uint8_t>(uid), 0, 0, 0}, ref{4, bytes} {}
    uint8_t bytes[4];
    MessageIdRef ref;
};

class SessionDovecotTest : public DovecotTest {
protected:
    void SetUp() override {
        DovecotTest::SetUp();
        if (HasFatalFailure()) return;
        Seed("INBOX", {MessageText("plain one"), kAlternative, kWithFiles});
    }
    void TearDown() override {
        for (MailMsg* record : taken) FreeMailMsgRecord(record);
        session.Reset();
        DovecotTest::TearDown();
    }
    void LogOn(int32_t maxMessageSize = 0) {
        name = HostString(user);
        secret = HostString(m_env["ZQ_POOL_PASSWORD"]);
        const char* e = empty.c_str();
        const LogonParameters params{host.c_str(), e, std::atoi(m_env["ZQ_IMAP_PORT"].c_str()), -1, 0, e, -1,
                                     name.c_str(), secret.c_str(), e, e, /*attachments=*/1, /*preferHtml=*/0,
                                     0, 0, /*useImap=*/1, /*useSmtp=*/0, 0, maxMessageSize, 0, e, e, e, e};
        ASSERT_EQ(session.Logon(&params, 0), 0);
        ASSERT_EQ(session.imapConnected, 1);
    }
    MailMsg* Get(uint32_t uid) {
        const IdRef id(uid);
        MailMsg* record = nullptr;
        EXPECT_EQ(session.GetMsg(nullptr, &id.ref, &record), 0);
        if (record) taken.push_back(record);
        return record;
    }
    bool SeenOnServer(uint32_t uid) {
        bool seen = true;
        EXPECT_EQ(session.imap.GetSeenFlag("INBOX", uid, seen), ImapResult::Ok);
        return seen;
    }

    PrivateTempDir temp;
    ImapSession session;
    std::vector<MailMsg*> taken;
    HostString empty{""}, host{"127.0.0.1"}, name, secret;
};

TEST_F(SessionDovecotTest, ListsDownloadsAndHandsOutAttachmentFiles) {
    LogOn();
    MailMsg** records = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(session.GetMsgIds(nullptr, &records, &count), 0);
    ASSERT_EQ(count, 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(records[i]->idLength, 4u);
        EXPECT_EQ(records[i]->id[0], i + 1);
        EXPECT_EQ(records[i]->flags & ZQ_FLAG_READ, 0u);
    }
    EXPECT_EQ(ReleaseMailMsgArray(records, static_cast<int32_t>(count)), 0);

    const MailMsg* plain = Get(1);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(Text(plain->subject), "plain one");
    EXPECT_EQ(Text(plain->from), "Alice <alice@example.test>");
    EXPECT_EQ(Text(plain->body).rfind("Hello from plain one.", 0), 0u);
    EXPECT_EQ(plain->partial, 0u);
    const MailMsg* alternative = Get(2);
    ASSERT_NE(alternative, nullptr);
    EXPECT_EQ(Text(alternative->body).rfind("Plain alternative.", 0), 0u);
    EXPECT_EQ(Text(alternative->body).find("<p>"), std::string::npos);
    const MailMsg* files = Get(3);
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(Text(files->body).rfind("See the two files.", 0), 0u);
    EXPECT_FALSE(SeenOnServer(1) || SeenOnServer(3)) << "downloading must not mark a message read";

    const std::vector<std::string> paths = {temp.File("notes.txt"), temp.File("data.bin")};
    EXPECT_EQ(Text(files->attachments), paths[0] + "," + paths[1]);
    EXPECT_EQ(Contents(paths[0]), "notes for bob");
    EXPECT_EQ(Contents(paths[1]), std::string("\x00\x01\x02\x03\x04", 5));
    const IdRef three(3), missing(40);
    AttachmentList* list = nullptr;
    ASSERT_EQ(session.GetAttachments(nullptr, 4, three.bytes, &list), 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::vector<std::string>(list->path, list->path + list->count), paths);
    EXPECT_EQ(ReleaseAttachmentList(&list), 0);
    for (const std::string& path : paths) EXPECT_FALSE(std::filesystem::exists(path)) << path;
    EXPECT_TRUE(temp.Escaped().empty());
    EXPECT_EQ(session.GetAttachments(nullptr, 4, missing.bytes, &list), 2);
}

TEST_F(SessionDovecotTest, LargeMessageComesInPartThenWholeFromTheCache) {
    LogOn(/*maxMessageSize=*/200);
    MailMsg** records = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(session.GetAllMsgs(&records, &count, /*headersOnly=*/1), 0);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(Text(records[2]->subject), "With files");
    EXPECT_EQ(records[2]->body, nullptr);
    EXPECT_EQ(ReleaseMailMsgArray(records, static_cast<int32_t>(count)), 0);
    const MailMsg* first = Get(3);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->partial, 1u);
    EXPECT_EQ(Text(first->body).rfind("See the two files.", 0), 0u);
    EXPECT_EQ(first->attachments, nullptr);
    EXPECT_TRUE(temp.Names().empty()) << "no attachment comes down with a partial message";
    const MailMsg* cached = Get(3);
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(cached->partial, 0u);
    // Not multipart/mixed: fetched whole even above the limit.
    const MailMsg* alternative = Get(2);
    ASSERT_NE(alternative, nullptr);
    EXPECT_EQ(alternative->partial, 0u);
    EXPECT_EQ(Text(alternative->body).rfind("Plain alternative.", 0), 0u);
}

}  // namespace
