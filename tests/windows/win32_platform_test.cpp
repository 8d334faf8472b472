// The Win32 back end of the platform layer under wine: the temporary directory and file sharing,
// the code page, the registry's MIME database, the zone, the host libraries, the resources and
// record memory.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // RegDeleteTreeA, for the test's own registry keys
#include <windows.h>
#undef LoadString

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

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

// The temporary directory is the system's. A file open elsewhere is not opened for reading; the
// other rules are the files tests' of tests/platform.
TEST(Win32Files, SystemTempDirectoryAndFilesHeldElsewhere) {
    char system[MAX_PATH + 1];
    ASSERT_GT(::GetTempPathA(sizeof system, system), 0u);
    EXPECT_EQ(std::string(files::TempDirectory().c_str()), system);
    EXPECT_EQ(system[std::strlen(system) - 1], '\\');
    const std::string held = std::string(system) + "zq-held.bin";
    ASSERT_TRUE(files::WriteNew(held.c_str(), "held", 4));
    HANDLE other = ::CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    std::string bytes;
    EXPECT_FALSE(files::ReadWholeFile(held.c_str(), bytes));
    ::CloseHandle(other);
    EXPECT_TRUE(files::ReadWholeFile(held.c_str(), bytes));
    EXPECT_EQ(bytes, "held");
    EXPECT_TRUE(files::Remove(held.c_str()));
}

TEST(Win32CodePage, SystemConversionToTheAnsiCodePage) {
    ASSERT_EQ(::GetACP(), 1252u) << "the rows below are Windows-1252";
    // Composed by the composite check; not in the code page: the default character.
    const std::pair<std::u16string, std::string> cases[] = {
        {u"caf\u00e9 \u20ac\u2122", "caf\xe9 \x80\x99"}, {u"e\u0301", "\xe9"}, {u"\u4e00\u0416", "??"}};
    for (const auto& [text, ansi] : cases) {
        std::string out = "<";
        const auto* units = reinterpret_cast<const uint16_t*>(text.data());
        EXPECT_EQ(codepage::WideToAnsi(units, static_cast<int>(text.size()), out),
                  static_cast<int>(ansi.size()));
        EXPECT_EQ(out, "<" + ansi);
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
    const std::tuple<std::string, DWORD, const void*> entries[] = {
        {"application/pdf", REG_SZ, ".PDF"},
        {"application/x-number", REG_DWORD, &number},  // not a string: left out
        {"image/png", REG_SZ, nullptr},                // no value: left out
        {"text/css", REG_SZ, ".css"},
        {"text/plain", REG_SZ, ".txt"},
        {std::string(130, 'z'), REG_SZ, ".zzz"},  // a name past 128 characters ends the enumeration
    };
    for (const auto& [type, kind, extension] : entries) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CLASSES_ROOT, (base + "\\" + type).c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const DWORD size = kind == REG_SZ ? 5 : sizeof number;  // the extensions with their NUL
        if (extension) ::RegSetValueExA(key, "Extension", 0, kind, static_cast<const BYTE*>(extension), size);
        ::RegCloseKey(key);
    }
    ContentTypeTable table(base.c_str());
    const std::tuple<const char*, const char*, bool> cases[] = {{"pdf", "application/pdf", true},
                                                                {"c", "text/css", true},
                                                                {"T", "text/plain", true},
                                                                {"zzz", ContentTypeTable::kDefaultType, true},
                                                                {"", ContentTypeTable::kDefaultType, false}};
    for (const auto& [extension, expected, answer] : cases) {
        CString type;
        EXPECT_EQ(table.Lookup(extension, type), answer) << extension;
        EXPECT_EQ(std::string(type.c_str()), expected) << extension;
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
    const int fields[] = {info.Bias, info.DaylightBias, info.StandardDate.wMonth, info.DaylightDate.wMonth,
                          info.StandardDate.wDay};
    EXPECT_EQ(std::vector<int>(std::begin(fields), std::end(fields)), std::vector<int>({-60, -60, 10, 3, 5}));
    EXPECT_EQ(CurrentLocalZone().standardOffsetEast, 3600);
}

// The host libraries by name and by ordinal, then the strings: the language library's own first,
// else the module's table.
TEST(Win32HostLibraries, ByNameAndByOrdinalAndTheLanguageLibrarysStrings) {
    host::ResetBinding();
    HostKit_Clear();
    host::Log("a log line");
    host::YieldCycles(10);
    host::SyncLog("entry", 22, 0);
    void* instance = resources::InstanceHandle();
    ASSERT_NE(instance, nullptr);
    void* handleVariable = nullptr;
    void* language = host::LoadLanguageLibrary("ZQ_IMAPLANG.DLL", instance, &handleVariable);
    ASSERT_NE(language, nullptr);
    EXPECT_NE(language, instance);  // the language library was found
    EXPECT_EQ(handleVariable, language);
    const std::tuple<void*, unsigned, const char*> cases[] = {
        {instance, 4327, "OSTRAVO INFO -- %s"}, {instance, 4328, "Server logon failed for user '%s'"},
        {instance, 4000, "MsgPlugIns"},         {instance, 4999, ""},
        {language, 4327, "LANG INFO [%s]"},     {language, 4328, "Anmeldung fehlgeschlagen: '%s'"},
        {language, 4325, "Zoquerel"},  // not in the language library: the module's own
        {nullptr, 4323, "ImapPlugin"},
    };
    for (const auto& [handle, id, text] : cases) {
        resources::SetResourceHandle(handle);
        EXPECT_EQ(std::string(resources::LoadString(id).c_str()), text) << id;
    }
    resources::SetResourceHandle(nullptr);
    host::ReleaseLanguageLibrary(language, instance);
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
    // Ordinals only: the stand-ins carry no names for them.
    HMODULE reved = ::GetModuleHandleA("REVED20.dll");
    ASSERT_NE(reved, nullptr);
    EXPECT_EQ(::GetProcAddress(reved, "Ordinal_52"), nullptr);
    EXPECT_NE(::GetProcAddress(reved, MAKEINTRESOURCEA(52)), nullptr);
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
