#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "../support/test_kit.h"
#include "platform/files.h"

namespace {

TEST(FilesTest, TempDirectoryEndsWithASeparator) {
    const char* saved = std::getenv("TMPDIR");
    const std::string previous = saved ? saved : "";
    const std::pair<const char*, const char*> cases[] = {
        {nullptr, "/tmp/"}, {"", "/tmp/"}, {"/var/tmp", "/var/tmp/"}, {"/var/tmp/", "/var/tmp/"}};
    for (const auto& [value, expected] : cases) {
        value ? setenv("TMPDIR", value, 1) : unsetenv("TMPDIR");
        EXPECT_EQ(files::TempDirectory(), expected) << (value ? value : "(unset)");
    }
    saved ? setenv("TMPDIR", previous.c_str(), 1) : unsetenv("TMPDIR");
}

// The attachment rules (writable, not empty) apply to ReadWholeFile only; the plain reader takes
// any regular file. A new file replaces an old one whole; a link planted at the name is refused.
TEST(FilesTest, WriteReadRemoveAndOpenRules) {
    TempDir dir;
    const std::string path = dir.File("a(1).bin"), bytes("first\0second", 12);
    EXPECT_FALSE(files::Exists(path.c_str()));
    ASSERT_TRUE(files::WriteNew(path.c_str(), bytes.data(), bytes.size()));
    EXPECT_TRUE(files::Exists(path.c_str()));
    const struct {
        std::string path;
        bool whole, plain;
        std::string content;
    } cases[] = {
        {path, true, true, bytes},
        {dir.Write("ro.txt", "data", 0444), false, true, "data"},
        {dir.Write("empty.txt", ""), false, true, ""},
        {dir.path, false, false, ""},
        {dir.File("missing"), false, false, ""},
    };
    for (const auto& c : cases) {
        std::string out = "stale";
        EXPECT_EQ(files::ReadWholeFile(c.path.c_str(), out), c.whole) << c.path;
        EXPECT_EQ(out, c.whole ? c.content : "") << c.path;
        out = "stale";
        EXPECT_EQ(files::ReadPlainFile(c.path.c_str(), out), c.plain) << c.path;
        EXPECT_EQ(out, c.content) << c.path;
    }
    std::string read;
    ASSERT_TRUE(files::WriteNew(path.c_str(), "xy", 2));
    ASSERT_TRUE(files::ReadPlainFile(path.c_str(), read));
    EXPECT_EQ(read, "xy");
    EXPECT_TRUE(files::Remove(path.c_str()));
    EXPECT_FALSE(files::Exists(path.c_str()));
    EXPECT_FALSE(files::Remove(path.c_str()));
    EXPECT_FALSE(files::WriteNew(dir.File("no/such/dir").c_str(), "x", 1));
    ASSERT_EQ(::symlink(dir.File("elsewhere").c_str(), dir.File("planted").c_str()), 0);
    EXPECT_FALSE(files::WriteNew(dir.File("planted").c_str(), "x", 1));
    EXPECT_FALSE(files::Exists(dir.File("elsewhere").c_str())) << "the link's target is never created";
    EXPECT_FALSE(files::Exists(nullptr));
}

}  // namespace
