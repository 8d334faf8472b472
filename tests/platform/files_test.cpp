#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "../support/test_kit.h"

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

TEST(FilesTest, WriteExistsReadRemove) {
    TempDir dir;
    const std::string path = dir.path + "/a(1).bin";
    EXPECT_FALSE(files::Exists(path.c_str()));
    const std::string bytes("first\0second", 12);
    ASSERT_TRUE(files::WriteNew(path.c_str(), bytes.data(), bytes.size()));
    EXPECT_TRUE(files::Exists(path.c_str()));
    std::string read;
    ASSERT_TRUE(files::ReadWholeFile(path.c_str(), read));
    EXPECT_EQ(read, bytes);

    // Created anew: a shorter second write leaves nothing of the first.
    ASSERT_TRUE(files::WriteNew(path.c_str(), "xy", 2));
    ASSERT_TRUE(files::ReadPlainFile(path.c_str(), read));
    EXPECT_EQ(read, "xy");

    EXPECT_TRUE(files::Remove(path.c_str()));
    EXPECT_FALSE(files::Exists(path.c_str()));
    EXPECT_FALSE(files::Remove(path.c_str()));
    EXPECT_FALSE(files::WriteNew((dir.path + "/no/such/dir").c_str(), "x", 1));
    // A link planted at the name is refused, and its target is never created.
    const std::string link = dir.path + "/planted", target = dir.path + "/elsewhere";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    EXPECT_FALSE(files::WriteNew(link.c_str(), "x", 1));
    EXPECT_FALSE(files::Exists(target.c_str()));
    EXPECT_FALSE(files::Exists(nullptr));
}

// The attachment rules apply to ReadWholeFile only; the plain reader takes any regular file.
TEST(FilesTest, OpenRulesOfTheWholeFileReader) {
    TempDir dir;
    const std::string readOnly = dir.Write("ro.txt", "data", 0444);
    const std::string empty = dir.Write("empty.txt", "");
    std::string out = "stale";
    EXPECT_FALSE(files::ReadWholeFile(readOnly.c_str(), out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(files::ReadWholeFile(empty.c_str(), out));
    EXPECT_TRUE(files::ReadPlainFile(readOnly.c_str(), out));
    EXPECT_EQ(out, "data");
    EXPECT_TRUE(files::ReadPlainFile(empty.c_str(), out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(files::ReadPlainFile(dir.path.c_str(), out));
    EXPECT_FALSE(files::ReadPlainFile((dir.path + "/missing").c_str(), out));
}

}  // namespace
