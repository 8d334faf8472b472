// The exports as a host sees them through dlopen: guard, status codes, log lines, message boxes,
// release functions, and the calls into the host libraries around Logon.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "host_string.h"
#include "loaded_plugin.h"

namespace {

using VoidFn = int32_t();
using LogonFn = int32_t(const LogonParameters*, uint32_t, void*);

struct Account {
    HostString empty{""};
    HostString imapServer{"127.0.0.1"};
    HostString user{"alice"};
    HostString logText{"sync"};
    LogonParameters params{};

    // IMAP requested on a closed port (never usable here) and SMTP configured.
    Account(bool useSmtp, bool withLogText) {
        const char* e = empty.c_str();
        params = LogonParameters{imapServer.c_str(), e, 1, -1, 0, e, -1, user.c_str(), e, e, e, 0, 0, 0, 0,
                                 1, useSmtp ? 1 : 0, 0, 0, 0, e, e, withLogText ? logText.c_str() : e, e};
    }
};

class ExportsTest : public ::testing::Test {
protected:
    LoadedPlugin plugin;
    int32_t Call(const char* name) { return plugin.Get<VoidFn>(name)(); }
    int32_t Logon(const LogonParameters* p, uint32_t flags) { return plugin.Get<LogonFn>("Logon")(p, flags, nullptr); }
};

}  // namespace

TEST_F(ExportsTest, GuardedExportsAnswerMinusOneAndLogNothingBeforeLogon) {
    ASSERT_EQ(Call("Initialize"), 0);
    const char* name = "Inbox";
    FolderRef folder = &name;
    MailMsg** records = nullptr;
    uint32_t count = 77;
    MailMsg message{};
    const int32_t idCount = 0;
    AttachmentList* list = nullptr;
    EXPECT_EQ(plugin.Get<int32_t(FolderRef, MailMsg***, uint32_t*)>("GetMsgIds")(folder, &records, &count), -1);
    EXPECT_EQ(plugin.Get<int32_t(FolderRef, MailMsg***, uint32_t*, const MessageIdRef* const*, const int32_t*)>(
                  "GetMsgHeaders")(folder, &records, &count, nullptr, &idCount), -1);
    EXPECT_EQ(plugin.Get<int32_t(void*, MailMsg***, uint32_t*, int32_t)>("GetAllMsgs")(nullptr, &records, &count, 0), -1);
    EXPECT_EQ(plugin.Get<int32_t(const MailMsg*)>("SendMsg")(&message), -1);
    EXPECT_EQ(plugin.Get<int32_t(FolderRef, const MailMsg*)>("DeleteMsg")(folder, &message), -1);
    EXPECT_EQ(plugin.Get<int32_t(FolderRef, const MailMsg*, int32_t)>("SetMsgReadStatus")(folder, &message, 1), -1);
    EXPECT_EQ(plugin.Get<int32_t(FolderRef, uint32_t, const uint8_t*, AttachmentList**)>("GetMessageAttachment")(
                  folder, 4, reinterpret_cast<const uint8_t*>("\1\0\0\0"), &list), -1);
    EXPECT_EQ(plugin.Get<int32_t(const char*)>("IMAP4AddFolder")("x"), -1);
    EXPECT_EQ(plugin.Get<int32_t(const char*, const char*)>("IMAP4Append")("x", "text"), -1);
    EXPECT_EQ(Call("IMAP4Commit"), -1);
    EXPECT_EQ(plugin.Get<int32_t(uint32_t, const char*, const char*)>("IMAP4CopyMessage")(1, "a", "b"), -1);
    EXPECT_EQ(plugin.Get<int32_t(const char*)>("IMAP4DeleteFolder")("x"), -1);
    EXPECT_EQ(plugin.Get<int32_t(const char*, const char*)>("IMAP4RenameFolder")("x", "y"), -1);
    EXPECT_EQ(plugin.Get<int32_t(const char*)>("IMAP4SelectFolder")("x"), -1);
    EXPECT_EQ(plugin.Get<int32_t(const char*, uint32_t, int32_t)>("IMAP4SetSeenFlag")("x", 1, 1), -1);
    EXPECT_EQ(records, nullptr);
    EXPECT_EQ(count, 77u) << "a refused call touches nothing";
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(HostKit_CallCount(), 0) << "nothing reaches the host libraries";
}

TEST_F(ExportsTest, UnguardedExportsBeforeAnyLogon) {
    FolderEntry** folders = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(plugin.Get<int32_t(FolderEntry***, uint32_t*)>("GetFolderList")(&folders, &count), 8);
    const MessageIdRef id{4, reinterpret_cast<const uint8_t*>("\1\0\0\0")};
    MailMsg* record = nullptr;
    EXPECT_EQ(plugin.Get<int32_t(FolderRef, const MessageIdRef*, MailMsg**)>("GetMsg")(nullptr, &id, &record), 8);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(plugin.Get<uint8_t()>("HostSupportsPartialMessages")(), 1);
    EXPECT_EQ(Call("Logoff"), 0);
    EXPECT_EQ(Call("Uninitialize"), 0);
}

TEST_F(ExportsTest, MessageBoxesShowTheirTextsAndReturnZero) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(plugin.Get<int32_t(void*)>("SetMsg")(nullptr), 0);
    EXPECT_EQ(plugin.Get<int32_t(void*, void*, void*)>("SetMsgPriority")(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Undefined functionality for IMAPPlugIn SetMsg (Save) Call\n"
              "Undefined functionality for IMAPPlugIn SetMsgPriority Call\n");
}

TEST_F(ExportsTest, ReleaseExportsCheckOnlyNullAndCount) {
    auto freeMsgs = plugin.Get<int32_t(MailMsg**, int32_t)>("FreeMailMsg");
    auto freeFolders = plugin.Get<int32_t(FolderEntry**, int32_t)>("FreeFolderList");
    auto freeAttachment = plugin.Get<int32_t(AttachmentList**)>("FreeAttachment");
    EXPECT_EQ(freeMsgs(nullptr, 3), 211);
    EXPECT_EQ(freeFolders(nullptr, 3), 211);
    EXPECT_EQ(freeAttachment(nullptr), 0);
    AttachmentList* none = nullptr;
    EXPECT_EQ(freeAttachment(&none), 0);
    // A count of 0 leaves the array alone: a bogus address must not be touched.
    EXPECT_EQ(freeMsgs(reinterpret_cast<MailMsg**>(16), 0), 0);
    EXPECT_EQ(freeFolders(reinterpret_cast<FolderEntry**>(16), 0), 0);
    // A negative count releases the array only; entries that are not real pointers are not read.
    EXPECT_EQ(freeMsgs(new MailMsg*[2]{reinterpret_cast<MailMsg*>(16), nullptr}, -1), 0);
    EXPECT_EQ(freeFolders(new FolderEntry*[1]{reinterpret_cast<FolderEntry*>(16)}, -5), 0);
}

TEST_F(ExportsTest, FreeAttachmentDeletesTheListedFiles) {
    char dir[] = "/tmp/zq-attach-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    auto* list = new AttachmentList{};
    list->count = 2;
    for (int i = 0; i < 3; ++i) {
        std::snprintf(list->path[i], sizeof list->path[i], "%s/file%d", dir, i);
        FILE* f = std::fopen(list->path[i], "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    const std::string kept = list->path[2];
    EXPECT_EQ(plugin.Get<int32_t(AttachmentList**)>("FreeAttachment")(&list), 0);
    EXPECT_NE(access((std::string(dir) + "/file0").c_str(), F_OK), 0);
    EXPECT_NE(access((std::string(dir) + "/file1").c_str(), F_OK), 0);
    EXPECT_EQ(access(kept.c_str(), F_OK), 0) << "only count entries are deleted";
    std::remove(kept.c_str());
    rmdir(dir);
}

TEST_F(ExportsTest, VerboseLogonLogsImapLoginFirstAndSucceedsSendOnly) {
    Account account(/*useSmtp=*/true, /*withLogText=*/true);
    ASSERT_EQ(Logon(&account.params, 2), 0);
    const auto log = JournalOf("MLOGAdd");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "IMAP Login");
    EXPECT_EQ(log.back(), "IMAP: Invalid connection. Cannot continue");
    EXPECT_EQ(Call("IMAP4Commit"), 8) << "logged on: the guard passes, no IMAP connection";
}

TEST_F(ExportsTest, QuietLogonAndEmptyLogTextLogNothing) {
    Account withText(true, true);
    ASSERT_EQ(Logon(&withText.params, 0), 0);
    Account withoutText(true, false);
    ASSERT_EQ(Logon(&withoutText.params, 2), 0);
    const auto log = JournalOf("MLOGAdd");
    for (const std::string& line : log) EXPECT_NE(line, "IMAP Login");
}

TEST_F(ExportsTest, FailedLogonAnswers16394AndKeepsLoggedOn) {
    EXPECT_EQ(Logon(nullptr, 2), 16394);
    EXPECT_EQ(Call("IMAP4Commit"), -1) << "never logged on";
    Account account(true, false);
    ASSERT_EQ(Logon(&account.params, 0), 0);
    EXPECT_EQ(Logon(nullptr, 0), 16394);
    EXPECT_EQ(Call("IMAP4Commit"), 8) << "a failed second logon leaves the first standing";
    Account imapOnly(false, false);
    EXPECT_EQ(Logon(&imapOnly.params, 0), 16394);
    EXPECT_EQ(Call("Uninitialize"), 0);
    EXPECT_EQ(Call("IMAP4Commit"), -1);
}

TEST_F(ExportsTest, LanguageLibraryIsLoadedAroundTheApplicationLogon) {
    Account account(true, true);
    ASSERT_EQ(Logon(&account.params, 2), 0);
    int load = -1, release = -1, firstLog = -1;
    for (int i = 0; i < HostKit_CallCount(); ++i) {
        const std::string fn = HostKit_Call(i)->function;
        if (fn == "Ordinal_2") load = i;
        if (fn == "Ordinal_3") release = i;
        if (fn == "MLOGAdd" && firstLog < 0) firstLog = i;
    }
    ASSERT_GE(load, 0);
    ASSERT_GE(release, 0);
    EXPECT_LT(load, firstLog);
    EXPECT_GT(release, firstLog);
    EXPECT_EQ(release, HostKit_CallCount() - 1);
    const HostKitCall* loadCall = HostKit_Call(load);
    const HostKitCall* releaseCall = HostKit_Call(release);
    EXPECT_STREQ(loadCall->text, "ZQ_IMAPLANG.DLL");
    EXPECT_NE(loadCall->pointer1, nullptr) << "the module's instance handle";
    EXPECT_NE(loadCall->pointer2, nullptr) << "the address of a handle variable";
    EXPECT_EQ(releaseCall->pointer2, loadCall->pointer1) << "released with the same instance handle";
}

TEST_F(ExportsTest, SyncLogEntryUsesTheModuleStringsWithoutALanguageLibrary) {
    Account account(true, false);
    ASSERT_EQ(Logon(&account.params, 1), 0);
    EXPECT_TRUE(JournalOf("MLOGAdd").empty());
    int entries = 0;
    for (int i = 0; i < HostKit_CallCount(); ++i) {
        const HostKitCall* call = HostKit_Call(i);
        if (std::string(call->function) != "Ordinal_52") continue;
        ++entries;
        EXPECT_STREQ(call->text, "OSTRAVO INFO -- Server logon failed for user 'alice'");
        EXPECT_EQ(call->number1, 22);
        EXPECT_EQ(call->number2, 0);
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(ExportsTest, SyncLogEntryComesFromTheLanguageLibraryWhenOneIsLoaded) {
    const std::string language = std::string(ZQ_BINARY_DIR) + "/bin/ZQ_IMAPLANG_TEST.so";
    setenv("HOSTKIT_LANGUAGE_LIBRARY", language.c_str(), 1);
    Account account(true, false);
    ASSERT_EQ(Logon(&account.params, 1), 0);
    unsetenv("HOSTKIT_LANGUAGE_LIBRARY");
    const auto entries = JournalOf("Ordinal_52");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], "LANG INFO [Anmeldung fehlgeschlagen: 'alice']");
}
