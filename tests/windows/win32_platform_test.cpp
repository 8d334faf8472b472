// The Win32 back end of the platform layer, run under wine: the open rules of attachment files,
// the temporary directory, the code page, the registry's MIME database, the zone, the host
// libraries by name and by ordinal, the resources with and without the language library, and
// record memory. The transport's own tests (tests/net) run under wine as well.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // RegDeleteTreeA, for the test's own registry keys
#include <windows.h>
#undef LoadString

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "host_journal.h"
#include "mime/date_parse.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/global_memory.h"
#include "platform/host_binding.h"
#include "platform/resources.h"
#include "platform/timezone.h"
#include "smtp/content_type_table.h"

namespace {

// A path in the temporary directory, cleared first; the file is created with `bytes` unless none.
std::string TempFile(const char* name, std::string_view bytes = {}) {
    const std::string path = std::string(files::TempDirectory().c_str()) + name;
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
    EXPECT_TRUE(!bytes.data() || files::WriteNew(path.c_str(), bytes.data(), bytes.size())) << path;
    return path;
}

// The temporary directory is the system's. A file is opened for reading only when it is
// non-empty, writable and not open elsewhere. A new file never opens a name in use, stays ours
// until something rewrites it, and is removed again when left unfinished.
TEST(Win32Files, OpenRulesAndNewFiles) {
    char system[MAX_PATH + 1];
    ASSERT_GT(::GetTempPathA(sizeof system, system), 0u);
    EXPECT_EQ(std::string(files::TempDirectory().c_str()), system);
    EXPECT_EQ(system[std::strlen(system) - 1], '\\');
    const std::string plain = TempFile("zq-plain.bin", std::string_view("ab\0cd", 5));
    const std::string readOnly = TempFile("zq-readonly.bin", "x");
    ::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string held = TempFile("zq-held.bin", "held");
    HANDLE other = ::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const std::pair<std::string, uint32_t> sizes[] = {{plain, 5},
                                                      {TempFile("zq-empty.bin", ""), 0},
                                                      {readOnly, 0},
                                                      {held, 0},
                                                      {TempFile("zq-missing.bin"), 0}};
    for (const auto& [path, size] : sizes) {
        const files::ExclusiveFile file(path.c_str());
        EXPECT_EQ(file.IsOpen(), size > 0) << path;
        EXPECT_EQ(file.Size(), size) << path;
    }
    ::CloseHandle(other);
    {
        const files::ExclusiveFile file(plain.c_str());
        char buffer[8] = {};
        EXPECT_EQ(file.ReadAt(1, buffer, sizeof buffer), 4u);
        EXPECT_EQ(std::string(buffer, 4), std::string("b\0cd", 4));
    }
    EXPECT_TRUE(files::Exists(plain.c_str()) && files::Remove(plain.c_str()));
    EXPECT_FALSE(files::Exists(plain.c_str()));
    EXPECT_FALSE(files::Remove(plain.c_str()));
    ::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

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
    const std::string fresh = TempFile("zq-fresh.bin");
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
    const std::string unfinished = TempFile("zq-unfinished.bin");
    EXPECT_TRUE(files::NewFile(unfinished.c_str()).Write("x", 1));
    EXPECT_FALSE(files::Exists(unfinished.c_str()));
    for (const auto& [path, size] : sizes) files::Remove(path.c_str());
    for (const std::string& path : {taken, fresh}) files::Remove(path.c_str());
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
    const DWORD number = 7;
    const struct {
        std::string type;
        DWORD kind;
        const void* extension;
    } entries[] = {
        {"application/pdf", REG_SZ, ".PDF"},
        {"application/x-number", REG_DWORD, &number},  // not a string: left out
        {"image/png", REG_SZ, nullptr},                // no value: left out
        {"text/css", REG_SZ, ".css"},
        {"text/plain", REG_SZ, ".txt"},
        {std::string(130, 'z'), REG_SZ, ".zzz"},  // a name past 128 characters ends the enumeration
    };
    for (const auto& e : entries) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CLASSES_ROOT, (base + "\\" + e.type).c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const DWORD size = e.kind == REG_SZ ? 5 : sizeof number;  // the extensions with their NUL
        if (e.extension)
            ::RegSetValueExA(key, "Extension", 0, e.kind, static_cast<const BYTE*>(e.extension), size);
        ::RegCloseKey(key);
    }
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
    const TimeZoneId id = GetTimeZoneInformation(info, 2024);
    EXPECT_TRUE(id == TimeZoneId::Standard || id == TimeZoneId::Daylight);
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
    std::string journal;
    for (int i = 0; i < HostKit_CallCount(); ++i) {
        const HostKitCall* call = HostKit_Call(i);
        journal += std::string(call->library) + " " + call->function + " '" + call->text + "' " +
                   std::to_string(call->number1) + "\n";
    }
    EXPECT_EQ(
        journal,
        "ZARAVEZUV MLOGAdd 'a log line' 0\nZIDU20 SyncYieldCycles '' 10\nREVED20 Ordinal_52 'entry' 22\n"
        "TavikCmn Ordinal_2 'ZQ_IMAPLANG.DLL' 0\nTavikCmn Ordinal_3 '' 0\n");
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
