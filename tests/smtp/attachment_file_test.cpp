#include "smtp/attachment_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "../support/test_kit.h"
#include "smtp/attachment_list.h"

namespace {

// Display names start after the last separator of either kind; an empty item ends the list.
TEST(SplitAttachmentListTest, PathsAndDisplayNames) {
    const struct {
        const char* list;
        std::vector<const char*> paths;
        std::vector<const char*> names;
    } cases[] = {
        {"/tmp/x/a.txt,C:\\dir\\b.pdf", {"/tmp/x/a.txt", "C:\\dir\\b.pdf"}, {"a.txt", "b.pdf"}},
        {"a,", {"a", ""}, {"a", ""}},
        {"a,,b", {"a"}, {"a"}},
        {",a", {}, {}},
        {" a , b", {" a ", " b"}, {" a ", " b"}},
        {"/dir/", {"/dir/"}, {""}},
    };
    for (const auto& c : cases) {
        CStringArray paths;
        CStringArray names;
        smtp::SplitAttachmentList(c.list, paths, names);
        ASSERT_EQ(paths.GetSize(), static_cast<int>(c.paths.size())) << c.list;
        ASSERT_EQ(names.GetSize(), static_cast<int>(c.names.size())) << c.list;
        for (int i = 0; i < paths.GetSize(); ++i) {
            EXPECT_EQ(paths[i], c.paths[i]) << c.list;
            EXPECT_EQ(names[i], c.names[i]) << c.list;
        }
    }
}

TEST(AttachmentFileTest, ReadResultCodes) {
    TempDir dir;
    AttachmentFile file(CString(dir.Write("five.bin", "12345").c_str()));
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Size(), 5u);
    char buffer[8] = {};
    uint32_t count = 0;
    EXPECT_EQ(file.Read(buffer, count), AttachmentReadResult::BadArgument);
    count = 3;
    EXPECT_EQ(file.Read(nullptr, count), AttachmentReadResult::BadArgument);
    EXPECT_EQ(file.Read(buffer, count), AttachmentReadResult::More);
    EXPECT_EQ(std::string(buffer, count), "123");
    count = 8;
    EXPECT_EQ(file.Read(buffer, count), AttachmentReadResult::End);
    EXPECT_EQ(std::string(buffer, count), "45");
    // Like a file opened without sharing: a second open while the first holds it fails.
    EXPECT_FALSE(AttachmentFile(CString(dir.path.c_str()) + "/five.bin").IsOpen());

    AttachmentFile missing(CString(dir.path.c_str()) + "/missing.bin");
    count = 3;
    EXPECT_EQ(missing.Read(nullptr, count), AttachmentReadResult::NotOpen);
}

// Missing, empty, read-only and non-regular files do not open (root included).
TEST(AttachmentFileTest, OpenRules) {
    TempDir dir;
    const std::string fifo = dir.path + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::pair<std::string, bool> cases[] = {
        {dir.Write("ok.txt", "x"), true},
        {dir.Write("empty.txt", ""), false},
        {dir.Write("readonly.txt", "x", 0444), false},
        // Only write protection is refused by the module; reading a write-only file is up to the
        // system, which lets root read it.
        {dir.Write("owner-only.txt", "x", 0200), geteuid() == 0},
        {dir.path + "/missing.txt", false},
        {dir.path, false},
        {fifo, false},
    };
    for (const auto& [path, opens] : cases) {
        const AttachmentFile file(CString(path.c_str()));
        EXPECT_EQ(file.IsOpen(), opens) << path;
        EXPECT_EQ(file.Size(), opens ? 1u : 0u) << path;
    }
}

// A whole-file or a record lock held by another process: not open until that process ends.
TEST(AttachmentFileTest, FileLockedByAnotherProcessDoesNotOpen) {
    TempDir dir;
    const std::string path = dir.Write("held.txt", "held");
    for (const bool recordLock : {false, true}) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            const int fd = open(path.c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            const bool locked = recordLock ? fcntl(fd, F_SETLK, &lock) == 0 : flock(fd, LOCK_EX) == 0;
            (void)!write(ready[1], locked ? "L" : "F", 1);
            pause();
            _exit(0);
        }
        close(ready[1]);
        char status = 0;
        EXPECT_TRUE(read(ready[0], &status, 1) == 1 && status == 'L');
        close(ready[0]);
        EXPECT_FALSE(AttachmentFile(CString(path.c_str())).IsOpen()) << "record lock " << recordLock;
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        EXPECT_TRUE(AttachmentFile(CString(path.c_str())).IsOpen()) << "record lock " << recordLock;
    }
}

}  // namespace
