// Listing a folder: ids with read state, header records from the listing without server
// traffic, the whole Inbox at once. Failure paths: no connection, no memory part-way or at
// unload, and the folder list's release (allocations counted on the test thread: leak checking
// cannot run under the emulator).
#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <new>

#include "allocation_hook.h"
#include "imap/message_retrieval.h"
#include "session_script.h"

namespace {

const std::string kSearch = "UID SEARCH NOT DELETED SINCE 01-Jan-1990";
// Folded over three lines, as servers write it.
const std::string kReceivedOctober = CrLf(
    {"Received: from mx (mx [127.0.0.1])", "\tby imap.example.test;", " Tue, 1 Oct 2024 10:00:00 +0000"});
const std::string kReceivedSeptember = "Received: from mx by imap; Mon, 30 Sep 2024 08:15:00 +0000\r\n";
MailMsg** const kUntouched = reinterpret_cast<MailMsg**>(0x1234);

class EnumerationTest : public SessionScript {
protected:
    void TearDown() override {
        Release();
        SessionScript::TearDown();
    }
    // An array without records is not released by the release export: the test frees it itself.
    void Release() {
        if (records && count == 0 && records != kUntouched) delete[] records;
        if (records && count > 0) ReleaseMailMsgArray(records, static_cast<int32_t>(count));
        records = nullptr;
    }
    // The listing's flag and Received query of one message; no header answers `status` alone.
    void ReceivedInfo(uint32_t uid, const std::string& flags, const std::string& received,
                      const std::string& status = "OK Done.") {
        Cmd("UID FETCH " + std::to_string(uid) + " (FLAGS BODY.PEEK[HEADER.FIELDS (Received)])",
            received.empty()
                ? ""
                : FetchAnswer(uid, "FLAGS (" + flags + ") BODY[HEADER.FIELDS (RECEIVED)]", received + "\r\n"),
            status);
    }
    // The records of an id or header listing that succeeded.
    std::vector<std::string> ListIds(FolderRef folder = nullptr) {
        Release();
        EXPECT_EQ(session.GetMsgIds(folder, &records, &count), 0);
        return Listed();
    }
    std::vector<std::string> Headers(const std::vector<uint32_t>& uids, FolderRef folder = nullptr) {
        std::vector<UidRef> refs(uids.begin(), uids.end());
        std::vector<const MessageIdRef*> pointers;
        for (const UidRef& ref : refs) pointers.push_back(&ref.ref);
        Release();
        const int32_t n = static_cast<int32_t>(uids.size());
        EXPECT_EQ(session.GetMsgHeaders(folder, &records, &count, pointers.data(), &n), 0);
        return Listed();
    }
    std::vector<std::string> Listed() const {
        std::vector<std::string> rows;
        for (uint32_t i = 0; i < count; ++i) rows.push_back(Describe(records[i]));
        return rows;
    }
    using Rows = std::vector<std::string>;
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
    const std::string from = " from=Alice <alice@example.test> replyTo=Alice <alice@example.test>";
    EXPECT_EQ(Listed(), (Rows{"4" + from + " subject=Only the header date=1727776800 read downloaded partial",
                              "7" + from + " subject=Only the header date=1727776800 downloaded partial"}));
    const UidRef id(4);
    EXPECT_EQ(session.GetAttachments(nullptr, 4, id.bytes, nullptr, false), 2);

    // A null folder reference lists the Inbox; ids carry no date; a failed flag query lists the
    // message unread.
    EXPECT_EQ(ListIds(), (Rows{"4 date=0 read", "7 date=0", "9 date=0"}));
    // One id was never listed: two records, in the host's order.
    EXPECT_EQ(Headers({9, 5, 4}), (Rows{"9 date=0", "4 date=1727776800 read"}));
    EXPECT_EQ(Headers({7}), Rows{"7 date=1727684100"});
    ListIds(&work);
    EXPECT_EQ(ListIds(&work), Rows{"12 date=0"}) << "the listing itself shows the current state";
    EXPECT_EQ(Headers({12}, &work), Rows{"12 date=1727776800 read"});
    EXPECT_EQ(Headers({12}), Rows{}) << "another folder's listing is not this one's";
}

// An Inbox that cannot be selected fails the whole download; an empty folder is not searched;
// unknown folders and impossible counts leave the host's array alone. A day limit of 1 searches
// since yesterday's local date.
TEST_F(EnumerationTest, UnselectableEmptyAndUnknownFolders) {
    const std::time_t yesterday = std::time(nullptr) - 24 * 3600;  // the fixture's zone is UTC
    char since[32];
    std::strftime(since, sizeof since, "%d-%b-%Y", std::gmtime(&yesterday));
    const char* nope = "Nope";
    const char* blank = "";
    const char* work = "Work";
    ScriptLogon("");
    Cmd("SELECT \"Inbox\"", "", "NO Mailbox locked.");
    Select("Inbox", 0);
    Select("Work", 2);
    Cmd(std::string("UID SEARCH NOT DELETED SINCE ") + since, "* SEARCH 4\r\n");
    ReceivedInfo(4, "", "", "NO Gone.");
    LogOn({.attachments = 0, .daysBack = 1});
    EXPECT_EQ(session.GetAllMsgs(&records, &count, 0), 16);
    EXPECT_EQ(records, nullptr);
    records = kUntouched;
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
    EXPECT_EQ(records, kUntouched);
    EXPECT_EQ(ListIds(&work), Rows{"4 date=0"});
}

// A listing whose second answer is too large for the memory left fails with an exception (the
// export turns it into 213); the host keeps count 0 and its own pointer. Ids, then a download.
class FailingListing : public EnumerationTest, public testing::WithParamInterface<bool> {};

TEST_P(FailingListing, LeavesCountAndPointerAgreeing) {
    const bool download = GetParam();
    const std::string big(256 * 1024, 'y');
    ScriptLogon();
    Cmd(kSearch, "* SEARCH 4 7\r\n");
    if (download) {
        Whole(4, CrLf({"From: a@example.test", "Subject: one", "", "short"}));
        Flags(4, "\\Seen");
        Whole(7, CrLf({"From: a@example.test", "Subject: two", "", big}));
    } else {
        ReceivedInfo(4, "\\Seen", kReceivedSeptember);
        ReceivedInfo(7, "\\Seen", "Received: " + big + "\r\n");
    }
    LogOn();
    records = kUntouched;
    count = 99;
    {
        const allocation_hook::FailFrom lowMemory(64 * 1024);
        EXPECT_THROW(
            download ? session.GetAllMsgs(&records, &count, 0) : session.GetMsgIds(nullptr, &records, &count),
            std::bad_alloc);
    }
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(records, kUntouched);
}
INSTANTIATE_TEST_SUITE_P(IdsThenDownload, FailingListing, testing::Bool());

// The SINCE date of a listing with a day limit: the local date that many days back, month names
// in English whatever the locale; no limit lists everything since 1990. Rows: zone, local "now"
// (as seconds), day limit, SINCE text.
TEST(SinceDate, LocalDateThatManyDaysBack) {
    struct Row {
        const char* zone;
        int32_t now;
        int32_t daysBack;
        const char* since;
    } rows[] = {
        {kZoneWest, 1704164400, 1, "31-Dec-2023"},   // 2024-01-01 22:00 local, already the 2nd in UTC
        {"<+13>-13", 1704027600, 1, "31-Dec-2023"},  // 2024-01-01 02:00 local, still 2023 in UTC
        {kZoneWest, 1705338000, 1, "14-Jan-2024"},   // 2024-01-15 12:00
        {kZoneWest, 1705338000, 15, "31-Dec-2023"},
        {kZoneWest, 1709301600, 1, "29-Feb-2024"},  // 2024-03-01 09:00, a leap year
        {kZoneWest, 1709301600, 366, "01-Mar-2023"},
        {kZoneWest, 1709301600, 0, "01-Jan-1990"},
        {kZoneWest, 1709301600, -3, "01-Jan-1990"},
        {kZoneWest, 1709301600, 1000000, "13-Dec-1901"},  // stops at the first 32-bit time
        {"UTC0", 1709301600, 30, "31-Jan-2024"},
    };
    setlocale(LC_TIME, "C");
    for (const Row& row : rows) {
        const ZoneGuard zone(row.zone);
        EXPECT_EQ(std::string(ImapSession::SinceDate(row.daysBack, row.now).c_str()), row.since)
            << row.zone << " " << row.now << " - " << row.daysBack;
    }
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

// Destroying a logged-on session while no memory is left (LOGOUT cannot even be formatted) ends
// quietly: at unload an exception would terminate the host.
class SessionAtUnload : public SessionScript {};

TEST_F(SessionAtUnload, DestroyedWithoutMemoryNeverThrows) {
    // What the client manages to send while failing is not pinned: the server hangs up first.
    Script(R"(< * OK ready.
        AEG1 LOGIN "bob" "secret" => AEG1 OK Logged in
        AEG2 LIST "" "%" => * LIST () "/" INBOX | AEG2 OK done
        !close)");
    auto* unloading = new ImapSession;
    LogOn({.attachments = 0}, unloading);
    const long refusedBefore = allocation_hook::FailFrom::Refused();
    {
        const allocation_hook::FailFrom noMemory(1);
        delete unloading;
    }
    EXPECT_GT(allocation_hook::FailFrom::Refused(), refusedBefore)
        << "no allocation failed: nothing was proven";
}

// Every block the folder list's build leaves alive (array, entries, names, the renamed Inbox
// entry's new name) is freed by its release.
TEST(FolderListRelease, FreesEveryBlockTheBuildMade) {
    CStringArray few, many;
    for (const char* name : {"INBOX", "Sent", "Drafts", "Work", "A folder name too long"})
        few.Add(CString(name));
    for (int i = 1; i <= 60; ++i) many.Add(CString(i == 55 ? "Inbox" : ("F" + std::to_string(i)).c_str()));
    for (const CStringArray* names : {&few, &many}) {
        SCOPED_TRACE(names->GetSize());
        FolderEntry** list = nullptr;
        uint32_t count = 0;
        const auto before = allocation_hook::ThisThread();
        ASSERT_EQ(BuildFolderList(*names, &list, &count), 0);
        const auto built = allocation_hook::ThisThread();
        const long alive = (built.allocations - before.allocations) - (built.releases - before.releases);
        EXPECT_GE(alive, 1 + 2 * static_cast<long>(count));  // the array, each entry and its name
        EXPECT_EQ(ReleaseFolderList(list, static_cast<int32_t>(count)), 0);
        const auto released = allocation_hook::ThisThread();
        EXPECT_EQ(released.releases - built.releases, alive);
        EXPECT_EQ(released.allocations, built.allocations);
    }
}
