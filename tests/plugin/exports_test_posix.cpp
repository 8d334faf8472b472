// The exports as a host sees them through dlopen: the export table, guard, status codes, log
// lines, message boxes, release functions, the calls into the host libraries around Logon, and
// the i386 layouts of the records that cross them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <iterator>
#include <set>
#include <sstream>

#include "app_script.h"
#include "records/cmsg.h"
#include "session/folder_list.h"
#include "session/logon_settings.h"

// Leak checking cannot run under the emulator: this program's free stands before the C
// library's for every module, the loaded plug-in included, and crosses off the blocks a test
// waits to see given back.
void* g_awaited[8];
#if !defined(__SANITIZE_ADDRESS__)  // else the sanitizer owns the heap
extern "C" void __libc_free(void*);
extern "C" void free(void* block) {
    for (void*& awaited : g_awaited)
        if (awaited == block) awaited = nullptr;
    __libc_free(block);
}
#endif

namespace {

const std::string kPlugin = std::string(ZQ_BINARY_DIR) + "/bin/ZQ_VORUDozOzad.so";

// IMAP on a closed port (never usable here), SMTP on another (tried when sending) unless left out.
LogonParameters Account(bool useSmtp, bool withLogText) {
    static const HostString logText{"sync"};
    LogonParameters params = ScriptedLogon(1, useSmtp ? 1 : -1);
    if (withLogText) params.logonLogText = logText.c_str();
    return params;
}

// The built plug-in, loaded afresh for each test as a host loads it.
class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        HostKit_Clear();
        handle = dlopen(kPlugin.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle) dlclose(handle);
    }
    // An export called with the types of its arguments.
    template <typename R = int32_t, typename... A>
    R Call(const char* name, A... args) {
        void* symbol = dlsym(handle, name);
        if (!symbol) throw std::runtime_error(std::string("missing export ") + name);
        return reinterpret_cast<R (*)(A...)>(symbol)(args...);
    }
    int32_t Logon(const LogonParameters* p, uint32_t flags) {
        return Call("Logon", p, flags, (void*)nullptr);
    }
    static std::vector<std::string> Log() { return scripted::JournalTexts("MLOGAdd"); }

    void* handle = nullptr;
};

}  // namespace

TEST_F(ExportsTest, ExactlyTheTwentySevenExports) {
    std::istringstream names(
        "DeleteMsg FreeAttachment FreeFolderList FreeMailMsg GetAllMsgs GetFolderList GetMessageAttachment "
        "GetMsg "
        "GetMsgHeaders GetMsgIds HostSupportsPartialMessages IMAP4AddFolder IMAP4Append IMAP4Commit "
        "IMAP4CopyMessage IMAP4DeleteFolder IMAP4RenameFolder IMAP4SelectFolder IMAP4SetSeenFlag Initialize "
        "Logoff Logon SendMsg SetMsg SetMsgPriority SetMsgReadStatus Uninitialize");
    const std::set<std::string> expected{std::istream_iterator<std::string>(names), {}};
    std::set<std::string> defined;
    FILE* nm = popen(("nm -D --defined-only " + kPlugin).c_str(), "r");
    ASSERT_NE(nm, nullptr);
    for (char line[256]; fgets(line, sizeof line, nm);) {
        std::istringstream words(line);  // address, type, name
        std::string address, type, name;
        words >> address >> type >> name;
        defined.insert(name);
    }
    EXPECT_EQ(pclose(nm), 0);
    ASSERT_EQ(expected.size(), 27u);
    EXPECT_EQ(defined, expected);
}

TEST_F(ExportsTest, GuardedExportsAnswerMinusOneAndLogNothingBeforeLogon) {
    ASSERT_EQ(Call("Initialize"), 0);
    const char* name = "Inbox";
    const FolderRef folder = &name;
    MailMsg** records = nullptr;
    uint32_t count = 77;
    const MailMsg message{};
    const int32_t idCount = 0;
    AttachmentList* list = nullptr;
    const auto* id = reinterpret_cast<const uint8_t*>("\1\0\0\0");
    EXPECT_EQ(Call("GetMsgIds", folder, &records, &count), -1);
    EXPECT_EQ(Call("GetMsgHeaders", folder, &records, &count, (const MessageIdRef* const*)nullptr, &idCount),
              -1);
    EXPECT_EQ(Call("GetAllMsgs", (void*)nullptr, &records, &count, 0), -1);
    EXPECT_EQ(Call("SendMsg", &message), -1);
    EXPECT_EQ(Call("DeleteMsg", folder, &message), -1);
    EXPECT_EQ(Call("SetMsgReadStatus", folder, &message, 1), -1);
    EXPECT_EQ(Call("GetMessageAttachment", folder, 4u, id, &list), -1);
    EXPECT_EQ(Call("IMAP4AddFolder", "x"), -1);
    EXPECT_EQ(Call("IMAP4Append", "x", "text"), -1);
    EXPECT_EQ(Call("IMAP4Commit"), -1);
    EXPECT_EQ(Call("IMAP4CopyMessage", 1u, "a", "b"), -1);
    EXPECT_EQ(Call("IMAP4DeleteFolder", "x"), -1);
    EXPECT_EQ(Call("IMAP4RenameFolder", "x", "y"), -1);
    EXPECT_EQ(Call("IMAP4SelectFolder", "x"), -1);
    EXPECT_EQ(Call("IMAP4SetSeenFlag", "x", 1u, 1), -1);
    EXPECT_EQ(records, nullptr);
    EXPECT_EQ(count, 77u) << "a refused call touches nothing";
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(HostKit_CallCount(), 0) << "nothing reaches the host libraries";
}

// Not guarded: without a connection the folder list and GetMsg answer 8; the message boxes show
// their texts and return 0.
TEST_F(ExportsTest, UnguardedExportsBeforeAnyLogon) {
    FolderEntry** folders = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(Call("GetFolderList", &folders, &count), 8);
    const UidRef one(1);
    MailMsg* record = nullptr;
    EXPECT_EQ(Call("GetMsg", (FolderRef) nullptr, &one.ref, &record), 8);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(Call<uint8_t>("HostSupportsPartialMessages"), 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Call("SetMsg", (void*)nullptr), 0);
    EXPECT_EQ(Call("SetMsgPriority", (void*)nullptr, (void*)nullptr, (void*)nullptr), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Undefined functionality for IMAPPlugIn SetMsg (Save) Call\n"
              "Undefined functionality for IMAPPlugIn SetMsgPriority Call\n");
    EXPECT_EQ(Call("Logoff"), 0);
    EXPECT_EQ(Call("Uninitialize"), 0);
}

// The release exports check only null and the count, and give back every block they own;
// FreeAttachment deletes only attachment files the module itself wrote, so files the host made
// and named stay.
TEST_F(ExportsTest, ReleaseExports) {
    EXPECT_EQ(Call("FreeMailMsg", (MailMsg**)nullptr, 3), 211);
    EXPECT_EQ(Call("FreeFolderList", (FolderEntry**)nullptr, 3), 211);
    EXPECT_EQ(Call("FreeAttachment", (AttachmentList**)nullptr), 0);
    AttachmentList* list = nullptr;
    EXPECT_EQ(Call("FreeAttachment", &list), 0);
    // A count of 0 leaves the array alone: a bogus address must not be touched.
    EXPECT_EQ(Call("FreeMailMsg", reinterpret_cast<MailMsg**>(16), 0), 0);
    EXPECT_EQ(Call("FreeFolderList", reinterpret_cast<FolderEntry**>(16), 0), 0);
    // A negative count releases the array only; entries that are not real pointers are not read.
    g_awaited[5] = new MailMsg* [2] { reinterpret_cast<MailMsg*>(16), nullptr };
    g_awaited[6] = new FolderEntry* [1] { reinterpret_cast<FolderEntry*>(16) };
    EXPECT_EQ(Call("FreeMailMsg", static_cast<MailMsg**>(g_awaited[5]), -1), 0);
    EXPECT_EQ(Call("FreeFolderList", static_cast<FolderEntry**>(g_awaited[6]), -5), 0);

    TempDir dir;
    list = new AttachmentList{.count = 2};
    for (int i = 0; i < 3; ++i)
        std::snprintf(list->path[i], sizeof list->path[i], "%s",
                      dir.Write("file" + std::to_string(i), "x").c_str());
    EXPECT_EQ(Call("FreeAttachment", &list), 0);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"file0", "file1", "file2"}));

    CMsg message;
    message.m_id.SetData("\x07\0\0\0", 4);
    message.m_strFrom = "a@example.test";
    MailMsg** records = AllocMailMsgArray(3);
    for (int i = 0; i < 3; ++i) message.ToMailMsg(&records[i]);
    list = new AttachmentList{.count = 1, .path = {"/nonexistent/zq-file"}};
    std::copy(records, records + 3, g_awaited);
    g_awaited[3] = records;
    g_awaited[4] = list;
    EXPECT_EQ(Call("FreeMailMsg", records, 3), 0);
    EXPECT_EQ(Call("FreeAttachment", &list), 0);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(std::count(g_awaited, g_awaited + 7, nullptr), 7)
        << "three records, the arrays, the attachment block";
#endif
}

// "IMAP Login" comes first only with verbose logging and a log text. The language library is
// loaded before anything else and released last, with the same instance handle.
TEST_F(ExportsTest, LogonLogsInsideTheLanguageLibrarysLoadAndRelease) {
    for (const auto& [flags, withText] : {std::pair{0u, true}, std::pair{2u, false}}) {
        const LogonParameters quiet = Account(true, withText);
        ASSERT_EQ(Logon(&quiet, flags), 0);
    }
    const std::vector<std::string> quietLog = Log();
    EXPECT_EQ(std::count(quietLog.begin(), quietLog.end(), "IMAP Login"), 0);
    HostKit_Clear();
    const LogonParameters account = Account(true, true);
    ASSERT_EQ(Logon(&account, 2), 0);
    ASSERT_GE(HostKit_CallCount(), 3);
    const HostKitCall* load = HostKit_Call(0);
    const HostKitCall* release = HostKit_Call(HostKit_CallCount() - 1);
    EXPECT_STREQ(load->function, "Ordinal_2");
    EXPECT_STREQ(load->text, "ZQ_IMAPLANG.DLL");
    EXPECT_NE(load->pointer1, nullptr) << "the module's instance handle";
    EXPECT_NE(load->pointer2, nullptr) << "the address of a handle variable";
    EXPECT_STREQ(HostKit_Call(1)->function, "MLOGAdd");
    EXPECT_STREQ(HostKit_Call(1)->text, "IMAP Login");
    EXPECT_STREQ(release->function, "Ordinal_3");
    EXPECT_EQ(release->pointer2, load->pointer1) << "released with the same instance handle";
    EXPECT_EQ(Log().back(), "IMAP: Invalid connection. Cannot continue");
}

// A failed logon answers 16394 and leaves an earlier one standing; without SMTP a closed IMAP
// port fails the logon. Logged on with both servers out of reach, the listings answer 213 (the
// download between its two verbose lines), a send 212 between its two; one failed connection
// disables sending until the next logon.
TEST_F(ExportsTest, FailedLogonListingAndSending) {
    const LogonParameters both = Account(true, false), imapOnly = Account(false, false);
    EXPECT_EQ(Logon(nullptr, 2), 16394);
    EXPECT_EQ(Call("IMAP4Commit"), -1) << "never logged on";
    ASSERT_EQ(Logon(&both, 0), 0);
    EXPECT_EQ(Logon(nullptr, 0), 16394);
    EXPECT_EQ(Call("IMAP4Commit"), 8) << "a failed second logon leaves the first standing";
    EXPECT_EQ(Logon(&imapOnly, 0), 16394);
    EXPECT_EQ(Call("Uninitialize"), 0);
    EXPECT_EQ(Call("IMAP4Commit"), -1);

    ASSERT_EQ(Logon(&both, 2), 0);
    MailMsg** records = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(Call("GetMsgIds", (FolderRef) nullptr, &records, &count), 213);
    HostKit_Clear();
    EXPECT_EQ(Call("GetAllMsgs", (void*)nullptr, &records, &count, 0), 213);
    EXPECT_EQ(Log(), (std::vector<std::string>{"IMAP: Beginning to get all messages",
                                               "IMAP: Finished getting all messages"}));
    const MailMsg message{.from = "a@example.test", .to = "b@example.test", .subject = "Hi"};
    const std::vector<std::string> tried = {
        "IMAP: Beginning to send message.\nF: a@example.test S: Hi",
        "SMTP: Could not connect socket.\nThere is no connection for the socket",
        "SMTP: Socket for server '127.0.0.1' on port 1 failed to connect. ", "IMAP: Finished send message."};
    const std::pair<bool, std::vector<std::string>> sends[] = {
        {false, tried}, {false, {tried[0], tried[3]}}, {true, tried}};
    for (const auto& [logon, lines] : sends) {
        if (logon) {
            ASSERT_EQ(Logon(&both, 2), 0);
        }
        HostKit_Clear();
        EXPECT_EQ(Call("SendMsg", &message), 212);
        EXPECT_EQ(Log(), lines);
    }
}

// A failed IMAP logon without verbose logging writes one sync-log entry (category 22, flags 0):
// the module's own texts, or those of a language library when one is loaded.
TEST_F(ExportsTest, SyncLogEntryAfterAFailedImapLogon) {
    const std::string language = std::string(ZQ_BINARY_DIR) + "/bin/ZQ_IMAPLANG_TEST.so";
    const std::pair<const char*, const char*> cases[] = {
        {nullptr, "OSTRAVO INFO -- Server logon failed for user 'bob'"},
        {language.c_str(), "LANG INFO [Anmeldung fehlgeschlagen: 'bob']"}};
    for (const auto& [library, text] : cases) {
        library ? setenv("HOSTKIT_LANGUAGE_LIBRARY", library, 1) : unsetenv("HOSTKIT_LANGUAGE_LIBRARY");
        HostKit_Clear();
        const LogonParameters account = Account(true, true);
        ASSERT_EQ(Logon(&account, 1), 0);
        EXPECT_TRUE(Log().empty()) << "flag 1 alone is not verbose: no \"IMAP Login\" either";
        EXPECT_EQ(scripted::JournalTexts("Ordinal_52"), std::vector<std::string>{text});
        for (int i = 0; i < HostKit_CallCount(); ++i)
            if (std::string(HostKit_Call(i)->function) == "Ordinal_52") {
                EXPECT_EQ(HostKit_Call(i)->number1, 22);
                EXPECT_EQ(HostKit_Call(i)->number2, 0);
            }
    }
    unsetenv("HOSTKIT_LANGUAGE_LIBRARY");
}

// Offsets not already pinned by the static checks where the records are read.
TEST(HostRecordLayout, Offsets) {
    const std::pair<size_t, size_t> logon[] = {
        {offsetof(LogonParameters, imapServer), 0},
        {offsetof(LogonParameters, smtpServer), 4},
        {offsetof(LogonParameters, smtpPort), 12},
        {offsetof(LogonParameters, extraNumber1), 16},
        {offsetof(LogonParameters, extraText1), 20},
        {offsetof(LogonParameters, extraNumber2), 24},
        {offsetof(LogonParameters, password), 32},
        {offsetof(LogonParameters, sentFolder), 36},
        {offsetof(LogonParameters, displayName), 40},
        {offsetof(LogonParameters, preferHtml), 48},
        {offsetof(LogonParameters, unreadOnly), 52},
        {offsetof(LogonParameters, daysBack), 56},
        {offsetof(LogonParameters, useSmtp), 64},
        {offsetof(LogonParameters, extraNumber4), 68},
        {offsetof(LogonParameters, smtpAuth), 76},
        {offsetof(LogonParameters, smtpPassword), 84},
        {offsetof(MessageIdRef, data), 4},
        {offsetof(AttachmentList, path[9]), 2308},
        {offsetof(FolderEntry, reserved), 4},
        {offsetof(FolderEntry, extra), 8},
        {offsetof(FolderEntry, kind), 12},
    };
    for (const auto& [actual, expected] : logon) EXPECT_EQ(actual, expected);
}

// The host's texts are read by their header length; a null pointer reads as empty.
TEST(HostRecordLayout, HostStringsCopiedByTheirHeaderLength) {
    const HostString user("al ice"), empty("");
    const LogonSettings s = LogonSettings::FromHost({.userName = user.c_str(), .password = empty.c_str()});
    EXPECT_EQ(s.userName, "al ice");
    EXPECT_TRUE(s.password.IsEmpty());
    EXPECT_TRUE(s.smtpServer.IsEmpty());
}
