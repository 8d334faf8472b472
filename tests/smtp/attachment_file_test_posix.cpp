#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "../support/test_kit.h"
#include "smtp/attachment_file.h"

namespace {

// Beyond the platform's open rules: a write-only file opens only for root, a pipe never. An open
// file reads in pieces and holds the file like an open without sharing. A whole-file or a record
// lock held by another process: not open until that process ends.
TEST(AttachmentFileTest, OpenRulesReadResultCodesAndLocks) {
    TempDir dir;
    const std::string fifo = dir.path + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::pair<std::string, bool> rows[] = {
        {dir.Write("ok.txt", "x"), true},
        {dir.Write("owner-only.txt", "x", 0200), geteuid() == 0},
        {fifo, false},
    };
    for (const auto& [path, opens] : rows) {
        const AttachmentFile file(CString(path.c_str()));
        EXPECT_EQ(file.IsOpen(), opens) << path;
        EXPECT_EQ(file.Size(), opens ? 1u : 0u) << path;
    }
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
    EXPECT_FALSE(AttachmentFile(CString(dir.File("five.bin").c_str())).IsOpen());
    count = 3;
    EXPECT_EQ(AttachmentFile(CString(dir.File("missing.bin").c_str())).Read(nullptr, count),
              AttachmentReadResult::NotOpen);
    const CString path(dir.Write("held.txt", "held").c_str());
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
        EXPECT_FALSE(AttachmentFile(path).IsOpen()) << "record lock " << recordLock;
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        EXPECT_TRUE(AttachmentFile(path).IsOpen()) << "record lock " << recordLock;
    }
}

}  // namespace
