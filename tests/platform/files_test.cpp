// Files on both systems: writing, reading under the attachment rules or without them, removing,
// and new files that never open a name in use.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "../support/test_kit.h"

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
    EXPECT_FALSE(files::Exists(nullptr));
    chmod(cases[1].path.c_str(), 0644);  // so that the directory can go
#ifndef _WIN32
    ASSERT_EQ(::symlink(dir.File("elsewhere").c_str(), dir.File("planted").c_str()), 0);
    EXPECT_FALSE(files::WriteNew(dir.File("planted").c_str(), "x", 1));
    EXPECT_FALSE(files::Exists(dir.File("elsewhere").c_str())) << "the link's target is never created";
#endif
}

// A new file never opens a name in use, stays ours until something rewrites it, and is removed
// again when left unfinished. The reader reads from any offset, short at the end.
TEST(FilesTest, NewFilesAndReadsAtAnOffset) {
    TempDir dir;
    const std::string taken = dir.Write("taken.bin", "theirs"), fresh = dir.File("fresh.bin");
    std::string bytes;
    {
        files::NewFile file(taken.c_str());
        EXPECT_TRUE(file.NameTaken());
        EXPECT_FALSE(file.IsOpen() || file.Write("x", 1));
    }
    EXPECT_TRUE(files::ReadPlainFile(taken.c_str(), bytes));
    EXPECT_EQ(bytes, "theirs");
    files::FileIdentity identity;
    {
        files::NewFile file(fresh.c_str());
        ASSERT_TRUE(file.IsOpen());
        EXPECT_FALSE(file.NameTaken());
        EXPECT_TRUE(file.Write("ab\0c", 4) && file.Write("d", 1) && file.Close(&identity));
    }
    EXPECT_TRUE(files::IsSameFile(fresh.c_str(), identity));
    {
        const files::ExclusiveFile file(fresh.c_str());
        char buffer[8] = {};
        EXPECT_EQ(file.ReadAt(1, buffer, sizeof buffer), 4u);
        EXPECT_EQ(std::string(buffer, 4), std::string("b\0cd", 4));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(files::WriteNew(fresh.c_str(), "abcd", 4));  // rewritten by someone else
    EXPECT_FALSE(files::IsSameFile(fresh.c_str(), identity));
    const std::string unfinished = dir.File("unfinished.bin");
    EXPECT_TRUE(files::NewFile(unfinished.c_str()).Write("x", 1));
    EXPECT_FALSE(files::Exists(unfinished.c_str()));
}
