// The Win32 back end of the platform layer, run under wine: sockets (every result code loopback
// can provoke), the open rules of attachment files, the temporary directory, the code page,
// the registry's MIME database, the zone, the host libraries by name and by ordinal, the
// resources with and without the language library, and record memory.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // RegDeleteTreeA, for the test's own registry keys
#include <windows.h>
#undef LoadString

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "host_journal.h"
#include "mime/date_parse.h"
#include "net/socket_connection.h"
#include "net/transport_waits.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/global_memory.h"
#include "platform/host_binding.h"
#include "platform/resources.h"
#include "platform/timezone.h"
#include "scripted_server.h"
#include "smtp/content_type_table.h"

using namespace std::chrono_literals;

namespace {

struct ScopedWaits {
    ScopedWaits() { testing_hooks::OverrideTransportWaits({1500ms, 300ms}); }
    ~ScopedWaits() { testing_hooks::RestoreTransportWaits(); }
};

TEST(Win32Sockets, ConnectResultPerServer) {
    uint16_t closedPort = 0;
    {
        scripted::Server probe;  // bound, then released: nothing listens there afterwards
        closedPort = probe.Port();
    }
    const struct {
        const char* server;
        int port;
        SocketResult result;
        const char* error;
    } cases[] = {
        {"no-such-host.invalid", 25, SocketResult::BadServer,
         "The supplied server 'no-such-host.invalid' is invalid"},
        {"127.0.0.1", closedPort, SocketResult::ConnectFailed, "There is no connection for the socket"},
    };
    for (const auto& c : cases) {
        SocketConnection socket(SocketSettings::For(c.server, c.port, 1500, 1500));
        EXPECT_EQ(socket.Connect(), SocketResult::NotInitialized) << c.server;
        ASSERT_EQ(socket.Startup(), SocketResult::Ok);
        EXPECT_EQ(socket.Connect(), c.result) << c.server;
        EXPECT_EQ(socket.LastError(), c.error);
        EXPECT_FALSE(socket.IsConnected());
    }
}

TEST(Win32Sockets, ReceiveAndSendOutcomes) {
    ScopedWaits waits;
    const struct {
        const char* name;
        std::function<void(scripted::Server&)> play;
        SocketResult result;
        std::string text;
    } cases[] = {
        {"peer closes before sending", [](auto& s) { s.Close(); }, SocketResult::NoData, ""},
        {"silent peer", [](auto& s) { s.Delay(2500ms); }, SocketResult::NoData, ""},
        {"peer close ends the response", [](auto& s) { s.Send("* BYE going away\r\n").Close(); },
         SocketResult::Ok, "* BYE going away\r\n"},
        {"tagged line after an untagged one",
         [](auto& s) { s.Send("* 1 EXISTS\r\nAEG1 OK SELECT completed\r\n"); }, SocketResult::Ok,
         "* 1 EXISTS\r\nAEG1 OK SELECT completed\r\n"},
    };
    for (const auto& c : cases) {
        scripted::Server server;
        c.play(server);
        server.Start();
        SocketConnection socket(SocketSettings::For("127.0.0.1", server.Port(), 1500, 1500));
        ASSERT_EQ(socket.Startup(), SocketResult::Ok);
        ASSERT_EQ(socket.Connect(), SocketResult::Ok) << c.name;
        CString out;
        EXPECT_EQ(socket.Receive(out, "AEG1"), c.result) << c.name;
        EXPECT_EQ(std::string(out.c_str()), c.text) << c.name;
        server.Finish(5s);
    }
    // A send into a connection the peer reset: reset or aborted, never a crash.
    scripted::Server server;
    server.Reset();
    server.Start();
    SocketConnection socket(SocketSettings::For("127.0.0.1", server.Port(), 1500, 1500));
    ASSERT_EQ(socket.Startup(), SocketResult::Ok);
    ASSERT_EQ(socket.Connect(), SocketResult::Ok);
    server.Finish(5s);
    SocketResult sent = SocketResult::Ok;
    for (int i = 0; i < 50 && sent == SocketResult::Ok; ++i) sent = socket.Send("A1 NOOP\r\n"), Sleep(10);
    EXPECT_TRUE(sent == SocketResult::ConnectionReset || sent == SocketResult::ConnectionAborted)
        << static_cast<int>(sent);
    EXPECT_EQ(socket.Send(""), SocketResult::BadParameter);
}

std::string TempFile(const char* name, const std::string& bytes) {
    const std::string path = std::string(files::TempDirectory().c_str()) + name;
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
    if (!bytes.empty() || std::string(name).find("empty") != std::string::npos)
        EXPECT_TRUE(files::WriteNew(path.c_str(), bytes.data(), bytes.size())) << path;
    return path;
}

TEST(Win32Files, TemporaryDirectoryAndOpenRules) {
    char system[MAX_PATH + 1];
    ASSERT_GT(::GetTempPathA(sizeof system, system), 0u);
    EXPECT_EQ(std::string(files::TempDirectory().c_str()), system);
    EXPECT_EQ(system[std::strlen(system) - 1], '\\');

    const std::string plain = TempFile("zq-plain.bin", std::string("ab\0cd", 5));
    const std::string empty = TempFile("zq-empty.bin", "");
    const std::string readOnly = TempFile("zq-readonly.bin", "x");
    ::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string held = TempFile("zq-held.bin", "held");
    HANDLE other = ::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const struct {
        std::string path;
        bool open;
        uint32_t size;
    } cases[] = {
        {plain, true, 5},
        {empty, false, 0},
        {readOnly, false, 0},
        {held, false, 0},
        {TempFile("zq-missing.bin", ""), false, 0},
    };
    for (const auto& c : cases) {
        const files::ExclusiveFile file(c.path.c_str());
        EXPECT_EQ(file.IsOpen(), c.open) << c.path;
        EXPECT_EQ(file.Size(), c.size) << c.path;
    }
    ::CloseHandle(other);
    {
        const files::ExclusiveFile file(plain.c_str());
        char buffer[8] = {};
        EXPECT_EQ(file.ReadAt(1, buffer, sizeof buffer), 4u);
        EXPECT_EQ(std::string(buffer, 4), std::string("b\0cd", 4));
    }
    EXPECT_TRUE(files::Exists(plain.c_str()));
    EXPECT_TRUE(files::Remove(plain.c_str()));
    EXPECT_FALSE(files::Exists(plain.c_str()));
    EXPECT_FALSE(files::Remove(plain.c_str()));
    ::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const std::string& p : {empty, readOnly, held}) files::Remove(p.c_str());
}

// Attachment files: a name in use is never opened nor truncated, a new file stays ours until
// something rewrites it, and one left unfinished is removed again.
TEST(Win32Files, NewFileTakesOnlyFreeNames) {
    std::string bytes;
    const std::string taken = TempFile("zq-taken.bin", "theirs");
    {
        files::NewFile file(taken.c_str());
        EXPECT_TRUE(file.NameTaken());
        EXPECT_FALSE(file.IsOpen());
        EXPECT_FALSE(file.Write("x", 1));
    }
    EXPECT_TRUE(files::ReadPlainFile(taken.c_str(), bytes));
    EXPECT_EQ(bytes, "theirs");

    const std::string fresh = TempFile("zq-fresh.bin", "");
    files::FileIdentity identity;
    {
        files::NewFile file(fresh.c_str());
        ASSERT_TRUE(file.IsOpen());
        EXPECT_FALSE(file.NameTaken());
        EXPECT_TRUE(file.Write("ab", 2) && file.Write("cd", 2));
        EXPECT_TRUE(file.Close(&identity));
    }
    EXPECT_TRUE(files::ReadPlainFile(fresh.c_str(), bytes));
    EXPECT_EQ(bytes, "abcd");
    EXPECT_TRUE(files::IsSameFile(fresh.c_str(), identity));
    ::Sleep(20);
    EXPECT_TRUE(files::WriteNew(fresh.c_str(), "abcd", 4));  // rewritten by someone else
    EXPECT_FALSE(files::IsSameFile(fresh.c_str(), identity));

    const std::string unfinished = TempFile("zq-unfinished.bin", "");
    {
        files::NewFile file(unfinished.c_str());
        EXPECT_TRUE(file.Write("x", 1));
    }
    EXPECT_FALSE(files::Exists(unfinished.c_str()));
    for (const std::string& p : {taken, fresh}) files::Remove(p.c_str());
}

TEST(Win32CodePage, SystemConversionToTheAnsiCodePage) {
    ASSERT_EQ(::GetACP(), 1252u) << "the rows below are Windows-1252";
    const struct {
        std::u16string text;
        std::string ansi;
    } cases[] = {
        {u"plain", "plain"},
        {u"caf\u00e9 \u20ac\u2122", "caf\xe9 \x80\x99"},
        {u"e\u0301", "\xe9"},     // composed by the composite check
        {u"\u4e00\u0416", "??"},  // not in the code page: the default character
    };
    for (const auto& c : cases) {
        std::string out = "<";
        const int added = codepage::WideToAnsi(reinterpret_cast<const uint16_t*>(c.text.data()),
                                               static_cast<int>(c.text.size()), out);
        EXPECT_EQ(out, "<" + c.ansi);
        EXPECT_EQ(added, static_cast<int>(c.ansi.size()));
    }
    EXPECT_EQ(codepage::AnsiByteOf(0x20AC), 0x80);
    EXPECT_EQ(codepage::AnsiByteOf(0x4E00), -1);
}

// The database as the module reads it, from a key of the test's own under the classes root.
TEST(Win32MimeDatabase, RegistryEntriesInEnumerationOrder) {
    const char* root = "ZqTestMimeDatabase";
    const std::string base = std::string(root) + "\\Content Type";
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, root);
    auto put = [&](const char* type, const char* extension, DWORD kind = REG_SZ) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CLASSES_ROOT, (base + "\\" + type).c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (extension && kind == REG_SZ)
            ::RegSetValueExA(key, "Extension", 0, REG_SZ, reinterpret_cast<const BYTE*>(extension),
                             static_cast<DWORD>(std::strlen(extension) + 1));
        const DWORD number = 7;
        if (kind == REG_DWORD)
            ::RegSetValueExA(key, "Extension", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                             sizeof number);
        ::RegCloseKey(key);
    };
    put("application/pdf", ".PDF");
    put("application/x-number", nullptr, REG_DWORD);  // not a string: left out
    put("image/png", nullptr);                        // no value: left out
    put("text/css", ".css");
    put("text/plain", ".txt");
    put(std::string(130, 'z').c_str(), ".zzz");  // a name past 128 characters ends the enumeration

    ContentTypeTable table(base.c_str());
    const struct {
        const char* extension;
        const char* type;
        bool answer;
    } cases[] = {
        {"pdf", "application/pdf", true},
        {"c", "text/css", true},
        {"T", "text/plain", true},
        {"zzz", ContentTypeTable::kDefaultType, true},
        {"", ContentTypeTable::kDefaultType, false},
    };
    for (const auto& c : cases) {
        CString type;
        EXPECT_EQ(table.Lookup(c.extension, type), c.answer) << c.extension;
        EXPECT_EQ(std::string(type.c_str()), c.type) << c.extension;
    }
    EXPECT_EQ(table.GetCount(), 3);
    ContentTypeTable missing("ZqTestNoSuchKey\\Content Type");
    CString type;
    EXPECT_TRUE(missing.Lookup("pdf", type));
    EXPECT_FALSE(missing.IsLoaded());
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, root);
}

// Run with TZ=Europe/Berlin in the environment wine starts with (a CTest entry of its own).
TEST(Win32Zone, SystemZoneRules) {
    const char* tz = std::getenv("TZ");
    if (!tz || std::string(tz) != "Europe/Berlin") GTEST_SKIP() << "needs TZ=Europe/Berlin when wine starts";
    TimeZoneInformation info;
    EXPECT_EQ(GetTimeZoneInformation(info, 2024) == TimeZoneId::Standard ||
                  GetTimeZoneInformation(info, 2024) == TimeZoneId::Daylight,
              true);
    EXPECT_EQ(info.Bias, -60);
    EXPECT_EQ(info.DaylightBias, -60);
    EXPECT_EQ(info.StandardDate.wMonth, 10);
    EXPECT_EQ(info.DaylightDate.wMonth, 3);
    EXPECT_EQ(info.StandardDate.wDay, 5);
    EXPECT_EQ(CurrentLocalZone().standardOffsetEast, 3600);
}

TEST(Win32HostLibraries, ByNameAndByOrdinal) {
    host::ResetBinding();
    HostKit_Clear();
    host::Log("a log line");
    host::YieldCycles(10);
    host::SyncLog("entry", 22, 0);
    void* handleVariable = nullptr;
    void* language =
        host::LoadLanguageLibrary("ZQ_IMAPLANG.DLL", resources::InstanceHandle(), &handleVariable);
    host::ReleaseLanguageLibrary(language, resources::InstanceHandle());
    const struct {
        const char* library;
        const char* function;
        const char* text;
        long number1;
    } expected[] = {
        {"ZARAVEZUV", "MLOGAdd", "a log line", 0}, {"ZIDU20", "SyncYieldCycles", "", 10},
        {"REVED20", "Ordinal_52", "entry", 22},    {"TavikCmn", "Ordinal_2", "ZQ_IMAPLANG.DLL", 0},
        {"TavikCmn", "Ordinal_3", "", 0},
    };
    ASSERT_EQ(HostKit_CallCount(), 5);
    for (int i = 0; i < 5; ++i) {
        const HostKitCall* call = HostKit_Call(i);
        EXPECT_STREQ(call->library, expected[i].library);
        EXPECT_STREQ(call->function, expected[i].function);
        EXPECT_STREQ(call->text, expected[i].text);
        EXPECT_EQ(call->number1, expected[i].number1);
    }
    EXPECT_NE(language, nullptr);
    EXPECT_NE(language, resources::InstanceHandle());  // the language library was found
    EXPECT_EQ(handleVariable, language);
    // Ordinals only: the stand-ins carry no names for them.
    HMODULE reved = ::GetModuleHandleA("REVED20.dll");
    ASSERT_NE(reved, nullptr);
    EXPECT_EQ(::GetProcAddress(reved, "Ordinal_52"), nullptr);
    EXPECT_NE(::GetProcAddress(reved, MAKEINTRESOURCEA(52)), nullptr);
}

TEST(Win32Resources, LanguageLibraryThenOwnTable) {
    void* instance = resources::InstanceHandle();
    ASSERT_NE(instance, nullptr);
    HMODULE language = ::LoadLibraryExA("ZQ_IMAPLANG.DLL", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(language, nullptr);
    const struct {
        void* handle;
        unsigned id;
        const char* text;
    } cases[] = {
        {instance, 4327, "OSTRAVO INFO -- %s"}, {instance, 4328, "Server logon failed for user '%s'"},
        {instance, 4000, "MsgPlugIns"},         {instance, 4999, ""},
        {language, 4327, "LANG INFO [%s]"},     {language, 4328, "Anmeldung fehlgeschlagen: '%s'"},
        {language, 4325, "Zoquerel"},  // not in the language library: the module's own
        {nullptr, 4323, "ImapPlugin"},
    };
    for (const auto& c : cases) {
        resources::SetResourceHandle(c.handle);
        EXPECT_EQ(std::string(resources::LoadString(c.id).c_str()), c.text) << c.id;
    }
    resources::SetResourceHandle(nullptr);
    ::FreeLibrary(language);
}

TEST(Win32RecordMemory, FixedZeroFilledGlobalBlocks) {
    auto* block = static_cast<unsigned char*>(AllocRecordBlock(300));
    ASSERT_NE(block, nullptr);
    EXPECT_GE(::GlobalSize(block), 300u);
    EXPECT_EQ(::GlobalHandle(block), static_cast<HGLOBAL>(block));  // fixed: the address is the handle
    for (int i = 0; i < 300; ++i) ASSERT_EQ(block[i], 0) << i;
    EXPECT_TRUE(FreeRecordBlock(block));
    EXPECT_FALSE(FreeRecordBlock(nullptr));
    EXPECT_EQ(AllocRecordBlock(0), nullptr);
}

}  // namespace
