// What the session leaves behind: destroyed at unload with no memory left it never throws, and
// the folder list's release frees every block its build made. Allocations are counted and failed
// on the test thread (leak checking cannot run under the emulator).
#include <gtest/gtest.h>

#include "allocation_hook.h"
#include "session_script.h"

// Destroying a logged-on session while no memory is left (LOGOUT cannot even be formatted) ends
// quietly: at unload an exception would terminate the host.
class SessionAtUnload : public SessionScript {};

TEST_F(SessionAtUnload, DestroyedWithoutMemoryNeverThrows) {
    scripted::Server own;  // its own: what the client manages to send while failing is not pinned
    scripted::Play(own, R"(< * OK ready.
        AEG1 LOGIN "bob" "secret" => AEG1 OK Logged in
        AEG2 LIST "" "%" => * LIST () "/" INBOX | AEG2 OK done
        !close)");
    own.Start();
    auto* unloading = new ImapSession;
    const LogonParameters params = BobOn(own.Port(), {.attachments = 0});
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
