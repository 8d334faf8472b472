// Listing a folder: ids with read state, header records from the listing without server
// traffic, and the whole Inbox at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "imap/message_retrieval.h"
#include "session_script.h"

namespace {

const std::string kSearch = "UID SEARCH NOT DELETED SINCE 01-Jan-1990";
// Folded over three lines, as servers write it.
const std::string kReceivedOctober =
    CrLf({"Received: from mx (mx [127.0.0.1])", "\tby imap.example.test;", " Tue, 1 Oct 2024 10:00:00 +0000"});
const std::string kReceivedSeptember = "Received: from mx by imap; Mon, 30 Sep 2024 08:15:00 +0000\r\n";

class EnumerationTest : public SessionScript {
protected:
    void TearDown() override {
        Release();
        SessionScript::TearDown();
    }
    // An array without records is not released by the release export: the test frees it itself.
    void Release() {
        if (records && count == 0) delete[] records;
        if (records && count > 0) ReleaseMailMsgArray(records, static_cast<int32_t>(count));
        records = nullptr;
    }
    void ReceivedInfo(uint32_t uid, const std::string& flags, const std::string& received,
                      const std::string& status = "OK Done.") {
        Cmd("UID FETCH " + std::to_string(uid) + " (FLAGS BODY.PEEK[HEADER.FIELDS (Received)])",
            received.empty() ? ""
                             : FetchAnswer(uid, "FLAGS (" + flags + ") BODY[HEADER.FIELDS (RECEIVED)]", received + "\r\n"),
            status);
    }
    int32_t ListIds(FolderRef folder = nullptr) {
        Release();
        return session.GetMsgIds(folder, &records, &count);
    }
    int32_t Headers(const std::vector<uint32_t>& uids, FolderRef folder = nullptr) {
        std::vector<UidRef> refs(uids.begin(), uids.end());
        std::vector<const MessageIdRef*> pointers;
        for (const UidRef& ref : refs) pointers.push_back(&ref.ref);
        Release();
        const int32_t n = static_cast<int32_t>(uids.size());
        return session.GetMsgHeaders(folder, &records, &count, pointers.data(), &n);
    }
    // UID, read bit and date of each record.
    using Rows = std::vector<std::tuple<uint32_t, bool, int32_t>>;
    Rows Listed() const {
        Rows rows;
        for (uint32_t i = 0; i < count; ++i)
            rows.emplace_back(RecordUid(records[i]), (records[i]->flags & ZQ_FLAG_READ) != 0, records[i]->date);
        return rows;
    }

    MailMsg** records = nullptr;
    uint32_t count = 0;
};

// A header-only Inbox download never clears the seen flag and caches nothing. Ids then carry
// the read state, and header records come from the listing without traffic; after a relisting
// they keep the first listing's state.
TEST_F(EnumerationTest, HeaderOnlyDownloadIdsAndHeadersFromTheListing) {
    const std::string header = CrLf({"From: Alice <alice@example.test>", "Subject: Only the header",
                                     "Date: Tue, 1 Oct 2024 10:00:00 +0000", ""});
    const char* work = "Work";
    ScriptLogon();
    Cmd(kSearch, "* SEARCH 4 7\r\n");
    for (uint32_t uid : {4u, 7u}) {
        Size(uid, 900);
        Fetch(uid, "RFC822.HEADER", header);
        Flags(uid, uid == 4 ? "\\Seen" : "");
    }
    Cmd(kSearch, "* SEARCH 4 7 9\r\n");
    ReceivedInfo(4, "\\Seen", kReceivedOctober);
    ReceivedInfo(7, "", kReceivedSeptember);
    ReceivedInfo(9, "", "", "NO Message vanished.");
    Select("Work", 1);
    Cmd(kSearch, "* SEARCH 12\r\n");
    ReceivedInfo(12, "\\Seen", kReceivedOctober);
    Cmd(kSearch, "* SEARCH 12\r\n");
    ReceivedInfo(12, "", kReceivedSeptember);
    LogOn();
    ASSERT_EQ(session.GetAllMsgs(&records, &count, 1), 0);
    EXPECT_EQ(Listed(), (Rows{{4, true, 1727776800}, {7, false, 1727776800}}));
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(Text(records[i]->subject), "Only the header");
        EXPECT_EQ(records[i]->body, nullptr);
        EXPECT_EQ(records[i]->attachments, nullptr);
        EXPECT_NE(records[i]->flags & ZQ_FLAG_DOWNLOADED, 0u);
        EXPECT_EQ(records[i]->partial, 1u);
    }
    EXPECT_TRUE(session.FindFolder("Inbox")->messages.empty());
    const UidRef id(4);
    EXPECT_EQ(session.GetAttachments(nullptr, 4, id.bytes, nullptr, false), 2);

    ASSERT_EQ(ListIds(), 0);  // a null folder reference lists the Inbox
    // Ids carry no date; a failed flag query lists the message unread.
    EXPECT_EQ(Listed(), (Rows{{4, true, 0}, {7, false, 0}, {9, false, 0}}));
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(records[i]->flags & ZQ_FLAG_DOWNLOADED, 0u);
        EXPECT_EQ(records[i]->from, nullptr);
    }
    // One id was never listed: two records, in the host's order.
    ASSERT_EQ(Headers({9, 5, 4}), 0);
    EXPECT_EQ(Listed(), (Rows{{9, false, 0}, {4, true, 1727776800}}));
    ASSERT_EQ(Headers({7}), 0);
    EXPECT_EQ(Listed(), (Rows{{7, false, 1727684100}}));

    ASSERT_EQ(ListIds(&work), 0);
    ASSERT_EQ(ListIds(&work), 0);
    EXPECT_EQ(Listed(), (Rows{{12, false, 0}})) << "the listing itself shows the current state";
    ASSERT_EQ(Headers({12}, &work), 0);
    EXPECT_EQ(Listed(), (Rows{{12, true, 1727776800}}));
    ASSERT_EQ(Headers({12}), 0);
    EXPECT_EQ(count, 0u) << "another folder's listing is not this one's";
}

// An Inbox that cannot be selected fails the whole download; an empty folder is not searched;
// unknown folders and impossible counts leave the host's array alone.
TEST_F(EnumerationTest, UnselectableEmptyAndUnknownFolders) {
    const char* nope = "Nope";
    const char* blank = "";
    ScriptLogon("");
    Cmd("SELECT \"Inbox\"", "", "NO Mailbox locked.");
    Select("Inbox", 0);
    LogOn();
    EXPECT_EQ(session.GetAllMsgs(&records, &count, 0), 16);
    EXPECT_EQ(records, nullptr);
    MailMsg** untouched = reinterpret_cast<MailMsg**>(0x1234);
    records = untouched;
    count = 99;
    EXPECT_EQ(session.GetMsgIds(&blank, &records, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(session.GetMsgIds(&nope, &records, &count), 8);
    const UidRef id(4);
    const MessageIdRef* ids[] = {&id.ref};
    // Counts no array can have are refused before the host's ids are read.
    for (const int32_t n : {1, -1, INT32_MAX})
        EXPECT_EQ(session.GetMsgHeaders(n == 1 ? &nope : nullptr, &records, &count, ids, &n), 16) << n;
    const int32_t none = 0;
    count = 99;
    EXPECT_EQ(session.GetMsgHeaders(&nope, &records, &count, ids, &none), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(records, untouched);
    records = nullptr;
}

TEST(SessionWithoutConnection, EveryOperationAnswersNoConnection) {
    ImapSession session;
    MailMsg** records = nullptr;
    MailMsg* record = nullptr;
    uint32_t count = 0;
    const UidRef id(4);
    const MessageIdRef* ids[] = {&id.ref};
    const int32_t one = 1;
    EXPECT_EQ(session.GetMsgIds(nullptr, &records, &count), 8);
    EXPECT_EQ(session.GetMsgHeaders(nullptr, &records, &count, ids, &one), 8);
    EXPECT_EQ(session.GetAllMsgs(&records, &count, 0), 8);
    EXPECT_EQ(session.GetMsg(nullptr, &id.ref, &record), 8);
    EXPECT_EQ(session.GetAttachments(nullptr, 4, id.bytes, nullptr, false), 2);
    EXPECT_EQ(records, nullptr);
    EXPECT_EQ(record, nullptr);
    RetrievedMessage message;
    bool seen = true;
    int32_t received = 5;
    EXPECT_EQ(RetrieveMessage(session.imap, "Inbox", 7, &message, false), ImapResult::NotReady);
    EXPECT_EQ(GetReceivedInfo(session.imap, "Inbox", 7, seen, received), ImapResult::NotReady);
    EXPECT_EQ(received, 5);
}

}  // namespace
