#include "smtp/content_type_table.h"

#include <gtest/gtest.h>

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

// One entry per extension, lower case with its dot, in file order; the lookup is a plain
// substring test ("c" finds ".css" before ".c"); a path's extension starts at its last ".",
// even one in a directory name.
TEST(ContentTypeTableTest, FirstEntryContainingTheExtensionWins) {
    ScopedTempDir dir;
    ContentTypeTable table(dir.Write("mime.types", kTable).c_str());
    const struct {
        const char* extension;
        const char* type;
        bool answer;
    } cases[] = {
        {"PDF", "application/pdf", true},
        {"c", "text/css", true},
        {"tex", "text/plain", true},
        {".xlb", "application/vnd.ms-excel", true},
        {"zip", "application/octet-stream", true},
        {"", "application/octet-stream", false},
        {nullptr, "application/octet-stream", false},
    };
    for (const auto& c : cases) {
        CString type("stale");
        EXPECT_EQ(table.Lookup(c.extension, type), c.answer) << (c.extension ? c.extension : "(null)");
        EXPECT_EQ(type, c.type) << (c.extension ? c.extension : "(null)");
    }
    const std::pair<const char*, const char*> paths[] = {
        {"/home/u/report.PDF", "application/pdf"},
        {"/home/u/notes", "application/octet-stream"},
        {"/home/u.d/notes", "application/octet-stream"},
        {"/tmp/archive.tar.c", "text/css"},
    };
    for (const auto& [path, expected] : paths) {
        CString type;
        table.Lookup(AttachmentFile(path).Extension(), type);
        EXPECT_EQ(type, expected) << path;
    }
    EXPECT_EQ(table.GetCount(), 7);
}

// A table that cannot be read loads nothing and is tried again on the next lookup.
TEST(ContentTypeTableTest, MissingTableIsRetriedUntilItLoads) {
    ScopedTempDir dir;
    ContentTypeTable table((dir.Path() + "/mime.types").c_str());
    CString type;
    EXPECT_TRUE(table.Lookup("pdf", type));
    EXPECT_EQ(type, "application/octet-stream");
    dir.Write("mime.types", kTable);
    EXPECT_TRUE(table.Lookup("pdf", type));
    EXPECT_EQ(type, "application/pdf");
}

// The system table (package media-types) is the default source.
TEST(ContentTypeTableTest, SystemTableKnowsCommonTypes) {
    ContentTypeTable table;
    CString type;
    EXPECT_TRUE(table.Lookup("pdf", type));
    EXPECT_EQ(type, "application/pdf");
}

}  // namespace
