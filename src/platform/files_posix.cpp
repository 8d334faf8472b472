#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/files.h"

namespace files {

CString TempDirectory() {
    const char* dir = std::getenv("TMPDIR");
    CString path = (dir && *dir) ? dir : "/tmp";
    if (path.GetAt(path.GetLength() - 1) != '/') path += '/';
    return path;
}

bool Exists(const char* path) {
    struct stat info {};
    return path && *path && ::stat(path, &info) == 0;
}

bool Remove(const char* path) { return path && ::unlink(path) == 0; }

namespace {
// Writes all bytes, going on after a signal; false when they could not all be written.
bool WriteAll(int fd, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
}  // namespace

bool WriteNew(const char* path, const void* data, size_t size) {
    if (!path || !*path) return false;
    // Never through a link planted at the name: the file is written where it is named or not at all.
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, data, size);
    return (::close(fd) == 0) && ok;
}

namespace {
FileIdentity IdentityOf(const struct stat& info) {
    return FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                        static_cast<int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec};
}
}  // namespace

NewFile::NewFile(const char* path) {
    if (!path || !*path) return;
    // O_EXCL: the name is taken atomically, and nothing already there (a link planted at the
    // name, a FIFO, another program's file) is opened, followed or truncated.
    m_fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    m_taken = m_fd < 0 && errno == EEXIST;
    m_open = m_ok = m_fd >= 0;
    if (m_open) m_path = path;
}

NewFile::~NewFile() {
    if (!m_open) return;
    m_ok = false;  // never finished: removed
    Close();
}

bool NewFile::Write(const void* data, size_t size) {
    if (!m_open || !m_ok) return false;
    m_ok = WriteAll(m_fd, data, size);
    return m_ok;
}

bool NewFile::Close(FileIdentity* identity) {
    if (!m_open) return false;
    struct stat info {};
    m_ok = m_ok && ::fstat(m_fd, &info) == 0;  // after the last write: its change time is final
    m_ok = (::close(m_fd) == 0) && m_ok;
    m_fd = -1;
    m_open = false;
    if (!m_ok) {
        ::unlink(m_path.c_str());  // ours: created above
        return false;
    }
    if (identity) *identity = IdentityOf(info);
    return true;
}

bool IsSameFile(const char* path, const FileIdentity& identity) {
    struct stat info {};
    if (!path || ::lstat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    return IdentityOf(info) == identity;
}

namespace {
// Another process's record lock anywhere in the file counts as holding the file.
bool LockedByRecordLock(int fd) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;
    if (::fcntl(fd, F_GETLK, &probe) != 0) return true;
    return probe.l_type != F_UNLCK;
}

bool TakeRecordLock(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_SETLK, &lock) == 0;
}
}  // namespace

ExclusiveFile::ExclusiveFile(const char* path) {
    if (!path || !*path) return;
    // Non-blocking open so that a FIFO at that path cannot stall the host; it fails S_ISREG below.
    const int fd = ::open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return;
    struct stat info {};
    const bool usable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) != 0 &&
                        info.st_size > 0 && static_cast<uint64_t>(info.st_size) <= UINT32_MAX &&
                        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && !LockedByRecordLock(fd) && TakeRecordLock(fd);
    if (!usable) {
        ::close(fd);  // also drops a flock taken above
        return;
    }
    m_fd = fd;
    m_open = true;
    m_size = static_cast<uint32_t>(info.st_size);
}

ExclusiveFile::~ExclusiveFile() {
    if (m_fd >= 0) ::close(m_fd);
}

size_t ExclusiveFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
    if (m_fd < 0 || !buffer) return 0;
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(m_fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // end of file (it may have shrunk) or a read error
        done += static_cast<size_t>(n);
    }
    return done;
}

bool ReadPlainFile(const char* path, std::string& out) {
    out.clear();
    if (!path || !*path) return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    char chunk[16384];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        out.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!ok) out.clear();
    return ok;
}

}  // namespace files
