#include "smtp/content_type_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/mime_types.h"
#include "scoped_temp_dir.h"
#include "smtp/attachment_file.h"

namespace {

constexpr const char* kTable =
    "# comment line\n"
    "\n"
    "application/vnd.ms-excel\t\txls xlb\n"
    "application/pdf\t\t\t\tpdf\n"
    "image/x-none\n"
    "text/css\t\t\t\t\tcss   # trailing comment\n"
    "text/x-csrc\t\t\t\t\tc\n"
    "text/plain\t\t\t\t\tTXT text\r\n";

TEST(MimeTypesTest, OnePairPerExtensionInFileOrder) {
    ScopedTempDir dir;
    std::vector<mime_types::Pair> pairs;
    ASSERT_TRUE(mime_types::ReadTable(dir.Write("mime.types", kTable).c_str(), pairs));
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"application/vnd.ms-excel", ".xls"},
        {"application/vnd.ms-excel", ".xlb"},
        {"application/pdf", ".pdf"},
        {"text/css", ".css"},
        {"text/x-csrc", ".c"},
        {"text/plain", ".txt"},
        {"text/plain", ".text"},
    };
    ASSERT_EQ(pairs.size(), expected.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
        EXPECT_EQ(pairs[i].contentType, expected[i].first) << i;
        EXPECT_EQ(pairs[i].extension, expected[i].second) << i;
    }
    EXPECT_FALSE(mime_types::ReadTable((dir.Path() + "/missing").c_str(), pairs));
    EXPECT_TRUE(pairs.empty());
}

struct LookupCase {
    const char* extension;
    const char* type;
    bool answer;
};

// A plain substring test in file order: "c" finds ".css" before ".c".
TEST(ContentTypeTableTest, FirstEntryContainingTheExtensionWins) {
    ScopedTempDir dir;
    ContentTypeTable table(dir.Write("mime.types", kTable).c_str());
    EXPECT_FALSE(table.IsLoaded());
    const LookupCase cases[] = {
        {"pdf", "application/pdf", true},
        {"PDF", "application/pdf", true},
        {"c", "text/css", true},
        {"x", "application/vnd.ms-excel", true},
        {"txt", "text/plain", true},
        {"tex", "text/plain", true},
        {".pdf", "application/pdf", true},
        {"zip", "application/octet-stream", true},
        {"d/file", "application/octet-stream", true},
        {"", "application/octet-stream", false},
        {nullptr, "application/octet-stream", false},
    };
    for (const LookupCase& c : cases) {
        CString type("stale");
        EXPECT_EQ(table.Lookup(c.extension, type), c.answer) << (c.extension ? c.extension : "(null)");
        EXPECT_EQ(type, c.type) << (c.extension ? c.extension : "(null)");
    }
    EXPECT_TRUE(table.IsLoaded());
    EXPECT_EQ(table.GetCount(), 7);
}

// The extension comes from the last "." of the whole path, directories included.
TEST(ContentTypeTableTest, ExtensionsTakenFromPaths) {
    ScopedTempDir dir;
    ContentTypeTable table(dir.Write("mime.types", kTable).c_str());
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/report.PDF", "application/pdf"},
        {"/home/u/notes", "application/octet-stream"},
        {"/home/u.d/notes", "application/octet-stream"},
        {"/tmp/archive.tar.c", "text/css"},
    };
    for (const auto& [path, expected] : cases) {
        const AttachmentFile file(path);
        CString type;
        table.Lookup(file.Extension(), type);
        EXPECT_EQ(type, expected) << path;
    }
    EXPECT_EQ(AttachmentFile("/home/u.d/notes").Extension(), "d/notes");
    EXPECT_EQ(AttachmentFile("/home/u/notes").Extension(), "");
}

// A table that cannot be read loads nothing and is tried again on the next lookup.
TEST(ContentTypeTableTest, MissingTableIsRetriedUntilItLoads) {
    ScopedTempDir dir;
    const std::string path = dir.Path() + "/mime.types";
    ContentTypeTable table(path.c_str());
    CString type;
    EXPECT_TRUE(table.Lookup("pdf", type));
    EXPECT_EQ(type, "application/octet-stream");
    EXPECT_FALSE(table.IsLoaded());
    dir.Write("mime.types", kTable);
    EXPECT_TRUE(table.Lookup("pdf", type));
    EXPECT_EQ(type, "application/pdf");
    EXPECT_TRUE(table.IsLoaded());
}

// The system table (package media-types) is the default source.
TEST(ContentTypeTableTest, SystemTableKnowsCommonTypes) {
    ContentTypeTable table;
    CString type;
    EXPECT_TRUE(table.Lookup("pdf", type));
    EXPECT_EQ(type, "application/pdf");
    EXPECT_TRUE(table.IsLoaded());
    EXPECT_GT(table.GetCount(), 100);
}

}  // namespace
