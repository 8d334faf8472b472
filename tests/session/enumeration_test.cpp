// Listing a folder: ids with read state, header records from the listing's status records
// without server traffic, and the whole Inbox at once.
#include <gtest/gtest.h>

#include <cstdint>

#include "session_script.h"

namespace {

constexpr uint32_t kRead = ZQ_FLAG_READ;
constexpr uint32_t kDownloaded = ZQ_FLAG_DOWNLOADED;
const std::string kSearch = "UID SEARCH NOT DELETED SINCE 01-Jan-1990";

std::string ReceivedInfo(uint32_t uid) {
    return "UID FETCH " + std::to_string(uid) + " (FLAGS BODY.PEEK[HEADER.FIELDS (Received)])";
}

std::string ReceivedAnswer(uint32_t uid, const std::string& flags, const std::string& received) {
    return FetchAnswer(uid, "FLAGS (" + flags + ") BODY[HEADER.FIELDS (RECEIVED)]", received + "\r\n");
}

const std::string kReceivedOctober = "Received: from mx by imap; Tue, 1 Oct 2024 10:00:00 +0000\r\n";
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
    // Lists the folder, keeping the records for the checks.
    int32_t ListIds(FolderRef folder = nullptr) {
        Release();
        return session.GetMsgIds(folder, &records, &count);
    }
    int32_t Headers(const std::vector<uint32_t>& uids, FolderRef folder = nullptr) {
        std::vector<UidRef> refs;
        refs.reserve(uids.size());
        std::vector<const MessageIdRef*> pointers;
        for (uint32_t uid : uids) {
            refs.emplace_back(uid);
            pointers.push_back(&refs.back().ref);
        }
        Release();
        const int32_t n = static_cast<int32_t>(uids.size());
        return session.GetMsgHeaders(folder, &records, &count, pointers.data(), &n);
    }

    const TimeZoneUtc utc;
    MailMsg** records = nullptr;
    uint32_t count = 0;
};

TEST_F(EnumerationTest, IdsCarryTheReadStateAndHeadersComeFromTheListingWithoutTraffic) {
    ScriptLogon();
    Select();
    Cmd(kSearch, "* SEARCH 4 7 9\r\n");
    Cmd(ReceivedInfo(4), ReceivedAnswer(4, "\\Seen", kReceivedOctober));
    Cmd(ReceivedInfo(7), ReceivedAnswer(7, "", kReceivedSeptember));
    Cmd(ReceivedInfo(9), "", "NO Message vanished.");
    LogOn();

    ASSERT_EQ(ListIds(), 0);  // a null folder reference lists the Inbox
    ASSERT_EQ(count, 3u);
    const uint32_t uids[] = {4, 7, 9};
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(RecordUid(records[i]), uids[i]);
        EXPECT_EQ(records[i]->date, 0) << "ids carry no date";
        EXPECT_EQ(records[i]->flags & kDownloaded, 0u);
        EXPECT_EQ(records[i]->from, nullptr);
    }
    EXPECT_NE(records[0]->flags & kRead, 0u);
    EXPECT_EQ(records[1]->flags & kRead, 0u);
    EXPECT_EQ(records[2]->flags & kRead, 0u) << "a failed flag query lists the message unread";

    // Three ids of which one was never listed: two records, in the host's order.
    ASSERT_EQ(Headers({9, 5, 4}), 0);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(RecordUid(records[0]), 9u);
    EXPECT_EQ(records[0]->date, 0);
    EXPECT_EQ(records[0]->flags & kRead, 0u);
    EXPECT_EQ(RecordUid(records[1]), 4u);
    EXPECT_EQ(records[1]->date, 1727776800);  // 2024-10-01 10:00:00 UTC
    EXPECT_NE(records[1]->flags & kRead, 0u);
    ASSERT_EQ(Headers({7}), 0);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(records[0]->date, 1727684100);  // 2024-09-30 08:15:00 UTC
    Verify();
}

TEST_F(EnumerationTest, HeadersKeepTheFirstListingsStateAfterARelisting) {
    const char* work = "Work";
    ScriptLogon();
    Select("Work", 1);
    Cmd(kSearch, "* SEARCH 12\r\n");
    Cmd(ReceivedInfo(12), ReceivedAnswer(12, "\\Seen", kReceivedOctober));
    Cmd(kSearch, "* SEARCH 12\r\n");
    Cmd(ReceivedInfo(12), ReceivedAnswer(12, "", kReceivedSeptember));
    LogOn();
    ASSERT_EQ(ListIds(&work), 0);
    ASSERT_EQ(ListIds(&work), 0);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(records[0]->flags & kRead, 0u) << "the listing itself shows the current state";
    ASSERT_EQ(Headers({12}, &work), 0);
    ASSERT_EQ(count, 1u);
    EXPECT_NE(records[0]->flags & kRead, 0u);
    EXPECT_EQ(records[0]->date, 1727776800);
    // Another folder's listing is not this one's.
    ASSERT_EQ(Headers({12}), 0);
    EXPECT_EQ(count, 0u);
    Verify();
}

TEST_F(EnumerationTest, EmptyFolderAndUnknownFoldersLeaveTheHostsArrayAlone) {
    const char* nope = "Nope";
    const char* empty = "";
    ScriptLogon();
    Select("Inbox", 0);  // nothing to search
    LogOn();
    MailMsg** untouched = reinterpret_cast<MailMsg**>(0x1234);
    records = untouched;
    count = 99;
    EXPECT_EQ(session.GetMsgIds(&empty, &records, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(records, untouched);
    EXPECT_EQ(session.GetMsgIds(&nope, &records, &count), 8);
    const UidRef id(4);
    const MessageIdRef* ids[] = {&id.ref};
    const int32_t one = 1, none = 0;
    EXPECT_EQ(session.GetMsgHeaders(&nope, &records, &count, ids, &one), 16);
    // Counts no array can have are refused before the host's ids are read.
    const int32_t negative = -1, absurd = INT32_MAX;
    EXPECT_EQ(session.GetMsgHeaders(nullptr, &records, &count, ids, &negative), 16);
    EXPECT_EQ(session.GetMsgHeaders(nullptr, &records, &count, ids, &absurd), 16);
    count = 99;
    EXPECT_EQ(session.GetMsgHeaders(&nope, &records, &count, ids, &none), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(records, untouched);
    records = nullptr;
    Verify();
}

TEST_F(EnumerationTest, HeaderOnlyInboxDownloadNeverClearsTheSeenFlagAndCachesNothing) {
    const std::string header = CrLf({"From: Alice <alice@example.test>", "Subject: Only the header",
                                     "Date: Tue, 1 Oct 2024 10:00:00 +0000", ""});
    ScriptLogon();
    Select();
    Cmd(kSearch, "* SEARCH 4 7\r\n");
    for (uint32_t uid : {4u, 7u}) {
        const std::string n = std::to_string(uid);
        Cmd("UID FETCH " + n + " rfc822.size", SizeAnswer(uid, 900));
        Cmd("UID FETCH " + n + " RFC822.HEADER", FetchAnswer(uid, "RFC822.HEADER", header));
        Cmd("UID FETCH " + n + " FLAGS", "* 1 FETCH (UID " + n + " FLAGS (" + (uid == 4 ? "\\Seen" : "") + "))\r\n");
    }
    LogOn();
    ASSERT_EQ(session.GetAllMsgs(&records, &count, 1), 0);
    ASSERT_EQ(count, 2u);
    for (uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(Text(records[i]->subject), "Only the header");
        EXPECT_EQ(records[i]->body, nullptr);
        EXPECT_EQ(records[i]->attachments, nullptr);
        EXPECT_NE(records[i]->flags & kDownloaded, 0u);
        EXPECT_EQ(records[i]->partial, 1u);
        EXPECT_EQ(records[i]->date, 1727776800);
    }
    EXPECT_NE(records[0]->flags & kRead, 0u);
    EXPECT_EQ(records[1]->flags & kRead, 0u);
    EXPECT_TRUE(session.FindFolder("Inbox")->messages.empty());
    const UidRef id(4);
    EXPECT_EQ(session.GetAttachments(nullptr, 4, id.bytes, nullptr), 2);
    Verify();
}

TEST_F(EnumerationTest, InboxThatCannotBeSelectedFailsTheWholeDownload) {
    ScriptLogon();
    Cmd("SELECT \"Inbox\"", "", "NO Mailbox locked.");
    LogOn();
    EXPECT_EQ(session.GetAllMsgs(&records, &count, 0), 16);
    EXPECT_EQ(records, nullptr);
    Verify();
}

TEST(SessionWithoutConnection, ListingAndDownloadAnswerNoConnection) {
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
    EXPECT_EQ(session.GetAttachments(nullptr, 4, id.bytes, nullptr), 2);
    EXPECT_EQ(records, nullptr);
    EXPECT_EQ(record, nullptr);
}

}  // namespace
