// The exports as a host sees them through dlopen, and the i386 layouts of the records they take.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "app_script.h"
#include "records/cmsg.h"
#include "session/folder_list.h"

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
    // IMAP on a closed port, SMTP on another unless left out; a null text reads as empty.
    int32_t Logon(uint32_t flags, bool useSmtp = true, const char* logText = "") {
        const HostString text{logText};
        LogonParameters params = ScriptedLogon(1, useSmtp ? 1 : -1);
        params.logonLogText = text.c_str();
        params.extraText2 = nullptr;
        return Call("Logon", &params, flags, (void*)nullptr);
    }
    static std::vector<std::string> Log() { return scripted::JournalTexts("MLOGAdd"); }

    void* handle = nullptr;
};

}  // namespace

// The dynamic symbol table defines 27 symbols; the tests below resolve each of the 27 exports by
// its name (Call throws on a missing one), so those are all there is.
TEST_F(ExportsTest, ExactlyTheTwentySevenExports) {
    FILE* nm = popen(("nm -D --defined-only " + kPlugin + " | wc -l").c_str(), "r");
    ASSERT_NE(nm, nullptr);
    int defined = 0;
    ASSERT_EQ(fscanf(nm, "%d", &defined), 1);
    EXPECT_EQ(pclose(nm), 0);
    EXPECT_EQ(defined, 27);
}

// Before any logon the guarded exports answer -1 and touch nothing. A failed logon answers 16394
// and leaves an earlier one standing. With both servers out of reach the listings answer 213, a
// send 212; one failed connection disables sending until the next logon.
TEST_F(ExportsTest, StatusCodesAndLogLinesWithoutAServer) {
    ASSERT_EQ(Call("Initialize"), 0);
    const char* name = "Inbox";
    const FolderRef folder = &name;
    MailMsg** records = nullptr;
    MailMsg* record = nullptr;
    uint32_t count = 77;
    const MailMsg message{.from = "a@example.test", .to = "b@example.test", .subject = "Hi"};
    const int32_t idCount = 0;
    AttachmentList* list = nullptr;
    const UidRef one(1);
    EXPECT_EQ(Call("GetMsgIds", folder, &records, &count), -1);
    EXPECT_EQ(Call("GetMsgHeaders", folder, &records, &count, (const MessageIdRef* const*)nullptr, &idCount),
              -1);
    EXPECT_EQ(Call("GetAllMsgs", (void*)nullptr, &records, &count, 0), -1);
    EXPECT_EQ(Call("SendMsg", &message), -1);
    EXPECT_EQ(Call("DeleteMsg", folder, &message), -1);
    EXPECT_EQ(Call("SetMsgReadStatus", folder, &message, 1), -1);
    EXPECT_EQ(Call("GetMessageAttachment", folder, 4u, one.bytes, &list), -1);
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

    FolderEntry** folders = nullptr;
    EXPECT_EQ(Call("GetFolderList", &folders, &count), 8);
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

    EXPECT_EQ(Call("Logon", (LogonParameters*)nullptr, 2u, (void*)nullptr), 16394);
    EXPECT_EQ(Call("IMAP4Commit"), -1) << "never logged on";
    ASSERT_EQ(Logon(0), 0);
    EXPECT_EQ(Call("Logon", (LogonParameters*)nullptr, 0u, (void*)nullptr), 16394);
    EXPECT_EQ(Call("IMAP4Commit"), 8) << "a failed second logon leaves the first standing";
    EXPECT_EQ(Logon(0, false), 16394);
    EXPECT_EQ(Call("Uninitialize"), 0);
    EXPECT_EQ(Call("IMAP4Commit"), -1);

    ASSERT_EQ(Logon(2), 0);
    EXPECT_EQ(Call("GetMsgIds", (FolderRef) nullptr, &records, &count), 213);
    HostKit_Clear();
    EXPECT_EQ(Call("GetAllMsgs", (void*)nullptr, &records, &count, 0), 213);
    EXPECT_EQ(Log(), (std::vector<std::string>{"IMAP: Beginning to get all messages",
                                               "IMAP: Finished getting all messages"}));
    const std::vector<std::string> tried = {
        "IMAP: Beginning to send message.\nF: a@example.test S: Hi",
        "SMTP: Could not connect socket.\nThere is no connection for the socket",
        "SMTP: Socket for server '127.0.0.1' on port 1 failed to connect. ", "IMAP: Finished send message."};
    const std::pair<bool, std::vector<std::string>> sends[] = {
        {false, tried}, {false, {tried[0], tried[3]}}, {true, tried}};
    for (const auto& [logon, lines] : sends) {
        if (logon) {
            ASSERT_EQ(Logon(2), 0);
        }
        HostKit_Clear();
        EXPECT_EQ(Call("SendMsg", &message), 212);
        EXPECT_EQ(Log(), lines);
    }
}

// The release exports check only null and the count, and give back every block they own.
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

// The host-kit journal of each Logon: inside the language library's load and release, "IMAP
// Login" only when verbose with a log text; flag 1 alone writes one sync-log entry (category 22).
TEST_F(ExportsTest, HostLibraryCallsAroundLogon) {
    const std::string language = std::string(ZQ_BINARY_DIR) + "/bin/ZQ_IMAPLANG_TEST.so";
    const std::string failed[] = {
        "MLOGAdd IMAP: Could not connect socket.\nThere is no connection for the socket 0 0",
        "MLOGAdd IMAP: Socket for server '127.0.0.1' on port 1 failed to connect.  0 0",
        "MLOGAdd IMAP: Invalid connection. Cannot continue 0 0"};
    const struct {
        uint32_t flags;
        const char* logText;
        const char* library;
        std::vector<std::string> calls;  // between the load and the release
    } rows[] = {
        {2, "sync", nullptr, {"MLOGAdd IMAP Login 0 0", failed[0], failed[1], failed[2]}},
        {2, "", nullptr, {failed[0], failed[1], failed[2]}},
        {0, "sync", nullptr, {}},
        {1, "sync", nullptr, {"Ordinal_52 OSTRAVO INFO -- Server logon failed for user 'bob' 22 0"}},
        {1, "sync", language.c_str(), {"Ordinal_52 LANG INFO [Anmeldung fehlgeschlagen: 'bob'] 22 0"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.flags) + " " + row.logText + (row.library ? " language" : ""));
        row.library ? setenv("HOSTKIT_LANGUAGE_LIBRARY", row.library, 1)
                    : unsetenv("HOSTKIT_LANGUAGE_LIBRARY");
        HostKit_Clear();
        ASSERT_EQ(Logon(row.flags, true, row.logText), 0);
        std::vector<std::string> calls = {"Ordinal_2 ZQ_IMAPLANG.DLL 0 0"}, journal;
        calls.insert(calls.end(), row.calls.begin(), row.calls.end());
        calls.push_back("Ordinal_3  0 0");
        for (int i = 0; i < HostKit_CallCount(); ++i) {
            const HostKitCall& c = *HostKit_Call(i);
            journal.push_back(std::string(c.function) + " " + c.text + " " + std::to_string(c.number1) + " " +
                              std::to_string(c.number2));
        }
        EXPECT_EQ(journal, calls);
        ASSERT_GE(HostKit_CallCount(), 2);
        const HostKitCall* load = HostKit_Call(0);
        const HostKitCall* release = HostKit_Call(HostKit_CallCount() - 1);
        EXPECT_NE(load->pointer1, nullptr) << "the module's instance handle";
        EXPECT_NE(load->pointer2, nullptr) << "the address of a handle variable";
        EXPECT_EQ(release->pointer2, load->pointer1) << "released with the same instance handle";
    }
    unsetenv("HOSTKIT_LANGUAGE_LIBRARY");
}

#define AT(field) offsetof(LogonParameters, field)

// Every field of the logon record is 4 bytes, in this order; the other records' offsets.
TEST(HostRecordLayout, Offsets) {
    const size_t logon[] = {AT(imapServer),   AT(smtpServer),   AT(imapPort),       AT(smtpPort),
                            AT(extraNumber1), AT(extraText1),   AT(extraNumber2),   AT(userName),
                            AT(password),     AT(sentFolder),   AT(displayName),    AT(attachments),
                            AT(preferHtml),   AT(unreadOnly),   AT(daysBack),       AT(useImap),
                            AT(useSmtp),      AT(extraNumber4), AT(maxMessageSize), AT(smtpAuth),
                            AT(smtpUser),     AT(smtpPassword), AT(logonLogText),   AT(extraText2)};
    for (size_t i = 0; i < std::size(logon); ++i) EXPECT_EQ(logon[i], 4 * i) << i;
    EXPECT_EQ(sizeof(LogonParameters), sizeof logon);
    EXPECT_EQ(offsetof(MessageIdRef, data), 4u);
    EXPECT_EQ(offsetof(FolderEntry, reserved), 4u);
    EXPECT_EQ(offsetof(FolderEntry, extra), 8u);
    EXPECT_EQ(offsetof(FolderEntry, kind), 12u);
}
