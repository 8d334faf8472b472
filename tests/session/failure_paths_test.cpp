// What the session leaves behind when memory runs out: listings that fail part-way hand the host
// a count and a pointer that agree, a session destroyed at unload never throws, and the folder
// list's release frees every block its build made. Allocations are counted and failed on the
// test thread (leak checking cannot run under the emulator).
#include <gtest/gtest.h>

#include <new>

#include "allocation_hook.h"
#include "session_script.h"

namespace {

class FailurePaths : public SessionScript {
protected:
    // The answer to the received-info fetch of `uid`, `size` bytes long.
    void ReceivedInfo(uint32_t uid, size_t size) {
        Cmd("UID FETCH " + std::to_string(uid) + " (FLAGS BODY.PEEK[HEADER.FIELDS (Received)])",
            FetchAnswer(uid, "FLAGS (\\Seen) BODY[HEADER.FIELDS (RECEIVED)]",
                        "Received: from mx by imap; " + std::string(size, 'x') + "\r\n\r\n"));
    }
};

MailMsg** const kUntouched = reinterpret_cast<MailMsg**>(0x1234);

}  // namespace

// The second message's answer is too large for the memory left: the listing fails with an
// exception (the export turns it into 213) and the host keeps count 0 and its own pointer.
TEST_F(FailurePaths, IdListingThatFailsPartWayLeavesCountAndPointerAgreeing) {
    ScriptLogon("Inbox", 3);
    Cmd("UID SEARCH NOT DELETED SINCE 01-Jan-1990", "* SEARCH 4 7 9\r\n");
    ReceivedInfo(4, 10);
    ReceivedInfo(7, 256 * 1024);
    LogOn();
    MailMsg** records = kUntouched;
    uint32_t count = 99;
    {
        const allocation_hook::FailFrom lowMemory(64 * 1024);
        EXPECT_THROW(session.GetMsgIds(nullptr, &records, &count), std::bad_alloc);
    }
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(records, kUntouched);
}

TEST_F(FailurePaths, DownloadListingThatFailsPartWayLeavesCountAndPointerAgreeing) {
    ScriptLogon("Inbox", 3);
    Cmd("UID SEARCH NOT DELETED SINCE 01-Jan-1990", "* SEARCH 4 7\r\n");
    Whole(4, CrLf({"From: a@example.test", "Subject: one", "", "short"}));
    Flags(4, "\\Seen");
    Whole(7, CrLf({"From: a@example.test", "Subject: two", "", std::string(256 * 1024, 'y')}));
    LogOn();
    MailMsg** records = kUntouched;
    uint32_t count = 99;
    {
        const allocation_hook::FailFrom lowMemory(64 * 1024);
        EXPECT_THROW(session.GetAllMsgs(&records, &count, 0), std::bad_alloc);
    }
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(records, kUntouched);
}

// Destroying a logged-on session while no memory is left (LOGOUT cannot even be formatted) ends
// quietly: at unload an exception would terminate the host.
TEST_F(FailurePaths, SessionDestroyedAtUnloadNeverThrows) {
    scripted::Server own;  // its own: what the client manages to send while failing is not pinned
    own.Send("* OK ready.\r\n").Exchange("AEG1 LOGIN \"bob\" \"secret\"\r\n", "AEG1 OK Logged in\r\n");
    own.Exchange("AEG2 LIST \"\" \"%\"\r\n", "* LIST () \"/\" INBOX\r\nAEG2 OK done\r\n").Close();
    own.Start();
    auto* unloading = new ImapSession;
    const char* e = empty.c_str();
    const LogonParameters params{host.c_str(),
                                 e,
                                 static_cast<int32_t>(own.Port()),
                                 -1,
                                 0,
                                 e,
                                 -1,
                                 user.c_str(),
                                 password.c_str(),
                                 e,
                                 e,
                                 0,
                                 0,
                                 0,
                                 0,
                                 1,
                                 0,
                                 0,
                                 0,
                                 0,
                                 e,
                                 e,
                                 e,
                                 e};
    ASSERT_EQ(unloading->Logon(&params, 0), 0);
    ASSERT_EQ(unloading->imapConnected, 1);
    const long refusedBefore = allocation_hook::FailFrom::Refused();
    {
        const allocation_hook::FailFrom noMemory(1);
        delete unloading;
    }
    EXPECT_GT(allocation_hook::FailFrom::Refused(), refusedBefore)
        << "no allocation failed: nothing was proven";
    EXPECT_TRUE(own.Finish().ok);
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
