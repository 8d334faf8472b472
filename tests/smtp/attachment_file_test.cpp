#include "smtp/attachment_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "scoped_temp_dir.h"
#include "smtp/attachment_list.h"

namespace {

struct SplitCase {
    const char* list;
    std::vector<const char*> paths;
    std::vector<const char*> names;
};

TEST(SplitAttachmentListTest, PathsAndDisplayNames) {
    const SplitCase cases[] = {
        {"/tmp/a.txt", {"/tmp/a.txt"}, {"a.txt"}},
        {"/tmp/x/a.txt,C:\\dir\\b.pdf", {"/tmp/x/a.txt", "C:\\dir\\b.pdf"}, {"a.txt", "b.pdf"}},
        {"plain", {"plain"}, {"plain"}},
        {"a,", {"a", ""}, {"a", ""}},
        {"a,,b", {"a"}, {"a"}},
        {",a", {}, {}},
        {" a , b", {" a ", " b"}, {" a ", " b"}},
        {"/dir/", {"/dir/"}, {""}},
    };
    for (const SplitCase& c : cases) {
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
    ScopedTempDir dir;
    AttachmentFile file(CString(dir.Write("five.bin", "12345").c_str()));
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Size(), 5u);
    char buffer[8] = {};
    uint32_t count = 0;
    EXPECT_EQ(file.Read(buffer, count), AttachmentReadResult::BadArgument);
    count = 3;
    EXPECT_EQ(file.Read(nullptr, count), AttachmentReadResult::BadArgument);
    EXPECT_EQ(file.Read(buffer, count), AttachmentReadResult::More);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(std::string(buffer, 3), "123");
    count = 8;
    EXPECT_EQ(file.Read(buffer, count), AttachmentReadResult::End);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(std::string(buffer, 2), "45");
    count = 8;
    EXPECT_EQ(file.Read(buffer, count), AttachmentReadResult::End);

    // Like a file opened without sharing: a second open while the first holds it fails.
    EXPECT_FALSE(AttachmentFile(CString(dir.Path().c_str()) + "/five.bin").IsOpen());

    AttachmentFile exact(CString(dir.Write("other.bin", "12345").c_str()));
    ASSERT_TRUE(exact.IsOpen());
    count = 5;
    EXPECT_EQ(exact.Read(buffer, count), AttachmentReadResult::End);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(std::string(buffer, 5), "12345");

    AttachmentFile missing(CString(dir.Path().c_str()) + "/missing.bin");
    count = 3;
    EXPECT_EQ(missing.Read(nullptr, count), AttachmentReadResult::NotOpen);
    EXPECT_EQ(missing.Size(), 0u);
}

// Missing, empty, read-only and non-regular files do not open (root included).
TEST(AttachmentFileTest, OpenRules) {
    ScopedTempDir dir;
    const std::string fifo = dir.Path() + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::pair<std::string, bool> cases[] = {
        {dir.Write("ok.txt", "x"), true},
        {dir.Write("empty.txt", ""), false},
        {dir.Write("readonly.txt", "x", 0444), false},
        {dir.Write("owner-only.txt", "x", 0200), true},
        {dir.Path() + "/missing.txt", false},
        {dir.Path(), false},
        {fifo, false},
        {"", false},
    };
    for (const auto& [path, opens] : cases) {
        const AttachmentFile file(CString(path.c_str()));
        EXPECT_EQ(file.IsOpen(), opens) << path;
        EXPECT_EQ(file.Size(), opens ? 1u : 0u) << path;
    }
}

// Another process holding a lock on the file: the file counts as not open, and opens again
// once that process lets go.
class LockHolder {
public:
    LockHolder(const std::string& path, bool recordLock) {
        int ready[2];
        if (pipe(ready) != 0 || pipe(m_release) != 0) return;
        m_child = fork();
        if (m_child == 0) {
            close(m_release[1]);  // else the child never sees the release
            close(ready[0]);
            const int fd = open(path.c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            const bool locked = recordLock ? fcntl(fd, F_SETLK, &lock) == 0 : flock(fd, LOCK_EX) == 0;
            const char status = locked ? 'L' : 'F';
            (void)!write(ready[1], &status, 1);
            char ignored;
            (void)!read(m_release[0], &ignored, 1);
            _exit(0);
        }
        close(ready[1]);
        close(m_release[0]);
        char status = 0;
        m_locked = read(ready[0], &status, 1) == 1 && status == 'L';
        close(ready[0]);
    }
    ~LockHolder() { Release(); }
    void Release() {
        if (m_child <= 0) return;
        close(m_release[1]);
        int status = 0;
        waitpid(m_child, &status, 0);
        m_child = -1;
    }
    bool Locked() const { return m_locked; }

private:
    pid_t m_child = -1;
    int m_release[2] = {-1, -1};
    bool m_locked = false;
};

TEST(AttachmentFileTest, FileLockedByAnotherProcessDoesNotOpen) {
    ScopedTempDir dir;
    const std::string path = dir.Write("held.txt", "held");
    for (const bool recordLock : {false, true}) {
        LockHolder holder(path, recordLock);
        ASSERT_TRUE(holder.Locked());
        EXPECT_FALSE(AttachmentFile(CString(path.c_str())).IsOpen()) << "record lock " << recordLock;
        holder.Release();
        EXPECT_TRUE(AttachmentFile(CString(path.c_str())).IsOpen()) << "record lock " << recordLock;
    }
}

}  // namespace
