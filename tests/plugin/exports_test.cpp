// The exports as a host sees them through dlopen: the export table, guard, status codes, log
// lines, message boxes, release functions, and the calls into the host libraries around Logon.
#include <elf.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "../support/test_kit.h"
#include "host_string.h"
#include "loaded_plugin.h"

namespace {

using VoidFn = int32_t();
using LogonFn = int32_t(const LogonParameters*, uint32_t, void*);

// The defined, non-local names of the plug-in's dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols() {
    std::ifstream file(LoadedPlugin::Path(), std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (image.size() < sizeof(Elf32_Ehdr)) return names;
    const auto* header = reinterpret_cast<const Elf32_Ehdr*>(image.data());
    const auto* sections = reinterpret_cast<const Elf32_Shdr*>(image.data() + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) continue;
        const char* strings = image.data() + sections[sections[i].sh_link].sh_offset;
        const auto* symbols = reinterpret_cast<const Elf32_Sym*>(image.data() + sections[i].sh_offset);
        for (size_t s = 1; s < sections[i].sh_size / sizeof(Elf32_Sym); ++s)
            if (symbols[s].st_shndx != SHN_UNDEF && ELF32_ST_BIND(symbols[s].st_info) != STB_LOCAL)
                names.insert(strings + symbols[s].st_name);
    }
    return names;
}

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

TEST_F(ExportsTest, ExactlyTheTwentySevenExports) {
    const std::set<std::string> expected = {
        "DeleteMsg",        "FreeAttachment",    "FreeFolderList",    "FreeMailMsg",
        "GetAllMsgs",       "GetFolderList",     "GetMessageAttachment", "GetMsg",
        "GetMsgHeaders",    "GetMsgIds",         "HostSupportsPartialMessages", "IMAP4AddFolder",
        "IMAP4Append",      "IMAP4Commit",       "IMAP4CopyMessage",  "IMAP4DeleteFolder",
        "IMAP4RenameFolder", "IMAP4SelectFolder", "IMAP4SetSeenFlag", "Initialize",
        "Logoff",           "Logon",             "SendMsg",           "SetMsg",
        "SetMsgPriority",   "SetMsgReadStatus",  "Uninitialize",
    };
    ASSERT_EQ(expected.size(), 27u);
    EXPECT_EQ(DefinedDynamicSymbols(), expected);
}

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

// Not guarded: without a connection the folder list and GetMsg answer 8; the message boxes show
// their texts and return 0.
TEST_F(ExportsTest, UnguardedExportsBeforeAnyLogon) {
    FolderEntry** folders = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(plugin.Get<int32_t(FolderEntry***, uint32_t*)>("GetFolderList")(&folders, &count), 8);
    const MessageIdRef id{4, reinterpret_cast<const uint8_t*>("\1\0\0\0")};
    MailMsg* record = nullptr;
    EXPECT_EQ(plugin.Get<int32_t(FolderRef, const MessageIdRef*, MailMsg**)>("GetMsg")(nullptr, &id, &record), 8);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(plugin.Get<uint8_t()>("HostSupportsPartialMessages")(), 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(plugin.Get<int32_t(void*)>("SetMsg")(nullptr), 0);
    EXPECT_EQ(plugin.Get<int32_t(void*, void*, void*)>("SetMsgPriority")(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Undefined functionality for IMAPPlugIn SetMsg (Save) Call\n"
              "Undefined functionality for IMAPPlugIn SetMsgPriority Call\n");
    EXPECT_EQ(Call("Logoff"), 0);
    EXPECT_EQ(Call("Uninitialize"), 0);
}

// The release exports check only null and the count; FreeAttachment deletes the files of the
// counted entries.
TEST_F(ExportsTest, ReleaseExports) {
    auto freeMsgs = plugin.Get<int32_t(MailMsg**, int32_t)>("FreeMailMsg");
    auto freeFolders = plugin.Get<int32_t(FolderEntry**, int32_t)>("FreeFolderList");
    auto freeAttachment = plugin.Get<int32_t(AttachmentList**)>("FreeAttachment");
    EXPECT_EQ(freeMsgs(nullptr, 3), 211);
    EXPECT_EQ(freeFolders(nullptr, 3), 211);
    EXPECT_EQ(freeAttachment(nullptr), 0);
    AttachmentList* list = nullptr;
    EXPECT_EQ(freeAttachment(&list), 0);
    // A count of 0 leaves the array alone: a bogus address must not be touched.
    EXPECT_EQ(freeMsgs(reinterpret_cast<MailMsg**>(16), 0), 0);
    EXPECT_EQ(freeFolders(reinterpret_cast<FolderEntry**>(16), 0), 0);
    // A negative count releases the array only; entries that are not real pointers are not read.
    EXPECT_EQ(freeMsgs(new MailMsg*[2]{reinterpret_cast<MailMsg*>(16), nullptr}, -1), 0);
    EXPECT_EQ(freeFolders(new FolderEntry*[1]{reinterpret_cast<FolderEntry*>(16)}, -5), 0);

    TempDir dir;
    list = new AttachmentList{};
    list->count = 2;
    for (int i = 0; i < 3; ++i)
        std::snprintf(list->path[i], sizeof list->path[i], "%s", dir.Write("file" + std::to_string(i), "x").c_str());
    EXPECT_EQ(freeAttachment(&list), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(access((dir.path + "/file" + std::to_string(i)).c_str(), F_OK) == 0, i == 2) << "file" << i;
}

// "IMAP Login" comes first only with verbose logging and a log text. The language library is
// loaded before anything else and released last, with the same instance handle.
TEST_F(ExportsTest, LogonLogsInsideTheLanguageLibrarysLoadAndRelease) {
    for (const auto& [flags, withText] : {std::pair{0u, true}, std::pair{2u, false}}) {
        Account quiet(true, withText);
        ASSERT_EQ(Logon(&quiet.params, flags), 0);
    }
    const auto quietLog = JournalOf("MLOGAdd");
    EXPECT_EQ(std::count(quietLog.begin(), quietLog.end(), "IMAP Login"), 0);

    HostKit_Clear();
    Account account(true, true);
    ASSERT_EQ(Logon(&account.params, 2), 0);
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
    EXPECT_EQ(JournalOf("MLOGAdd").back(), "IMAP: Invalid connection. Cannot continue");
    EXPECT_EQ(Call("IMAP4Commit"), 8) << "logged on: the guard passes, no IMAP connection";
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

// Logged on with both servers out of reach: a failed listing answers 213, a failed send 212
// between its two verbose lines.
TEST_F(ExportsTest, FailedListingAndSendingAfterLogon) {
    Account account(true, false);
    ASSERT_EQ(Logon(&account.params, 2), 0);
    MailMsg** records = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(plugin.Get<int32_t(FolderRef, MailMsg***, uint32_t*)>("GetMsgIds")(nullptr, &records, &count), 213);
    MailMsg message{};
    message.from = "a@example.test";
    message.to = "b@example.test";
    message.subject = "Hi";
    HostKit_Clear();
    EXPECT_EQ(plugin.Get<int32_t(const MailMsg*)>("SendMsg")(&message), 212);
    const auto log = JournalOf("MLOGAdd");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front(), "IMAP: Beginning to send message.\nF: a@example.test S: Hi");
    EXPECT_EQ(log.back(), "IMAP: Finished send message.");
}

// A failed IMAP logon without verbose logging writes one sync-log entry (category 22, flags 0):
// the module's own texts, or those of a language library when one is loaded.
TEST_F(ExportsTest, SyncLogEntryAfterAFailedImapLogon) {
    const std::string language = std::string(ZQ_BINARY_DIR) + "/bin/ZQ_IMAPLANG_TEST.so";
    const std::pair<const char*, const char*> cases[] = {
        {nullptr, "OSTRAVO INFO -- Server logon failed for user 'alice'"},
        {language.c_str(), "LANG INFO [Anmeldung fehlgeschlagen: 'alice']"},
    };
    for (const auto& [library, text] : cases) {
        library ? setenv("HOSTKIT_LANGUAGE_LIBRARY", library, 1) : unsetenv("HOSTKIT_LANGUAGE_LIBRARY");
        HostKit_Clear();
        Account account(true, true);
        ASSERT_EQ(Logon(&account.params, 1), 0);
        EXPECT_TRUE(JournalOf("MLOGAdd").empty()) << "flag 1 alone is not verbose: no \"IMAP Login\" either";
        int entries = 0;
        for (int i = 0; i < HostKit_CallCount(); ++i) {
            const HostKitCall* call = HostKit_Call(i);
            if (std::string(call->function) != "Ordinal_52") continue;
            ++entries;
            EXPECT_STREQ(call->text, text);
            EXPECT_EQ(call->number1, 22);
            EXPECT_EQ(call->number2, 0);
        }
        EXPECT_EQ(entries, 1) << text;
    }
    unsetenv("HOSTKIT_LANGUAGE_LIBRARY");
}
