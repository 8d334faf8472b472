// Files the module touches: the temporary directory, attachment files written for the host,
// and attachment files read for sending under the open rules below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/cstring.h"

namespace files {

// TMPDIR, else /tmp (Windows: GetTempPathA), always with a trailing separator.
CString TempDirectory();

// True when a file or directory of that path exists.
bool Exists(const char* path);
// Deletes one file; false when it could not be removed.
bool Remove(const char* path);
// Creates the file anew (an existing one is overwritten) and writes all bytes.
bool WriteNew(const char* path, const void* data, size_t size);

// What tells one file from a later one created at the same path (which may even get the same
// inode number back): device, inode and the time of its last change, in nanoseconds.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t changed = 0;
    bool operator==(const FileIdentity&) const = default;
};

// A file created only when nothing has that name yet (a link or a FIFO included: no existing
// object is ever opened), written a piece at a time so large data need not be in memory whole.
// A file that is not closed with success is removed again: it was ours.
class NewFile {
public:
    explicit NewFile(const char* path);
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    bool IsOpen() const { return m_open; }
    // Nothing was created because something already has the name.
    bool NameTaken() const { return m_taken; }
    // Writes all bytes; false when they could not all be written (or the file is not open).
    bool Write(const void* data, size_t size);
    // Closes the file: true when every write and the close succeeded, `identity` (when given)
    // then holding the file's identity; otherwise the file is removed.
    bool Close(FileIdentity* identity = nullptr);

private:
    std::string m_path;
    bool m_open = false;
    bool m_taken = false;
    bool m_ok = false;
    int m_fd = -1;             // POSIX: the descriptor
    void* m_handle = nullptr;  // Windows: the file handle
};

// True when `path` still names the file of that identity, unchanged since (a link at the path
// does not count).
bool IsSameFile(const char* path, const FileIdentity& identity);

// A file opened under the attachment reader's open rules: an existing, non-empty regular file
// that this process may open for reading and writing with no one else sharing it. On POSIX a
// file without any write permission bit counts as read-only even for root, who could otherwise
// write it, and while open the file holds an exclusive lock of both kinds (flock and fcntl),
// so a cooperating writer sees it as busy. On Windows the file is opened unshared and mapped
// whole. Everything ends with the object.
class ExclusiveFile {
public:
    explicit ExclusiveFile(const char* path);
    ~ExclusiveFile();
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    bool IsOpen() const { return m_open; }
    // Size when opened; 0 when not open.
    uint32_t Size() const { return m_size; }
    // Reads up to count bytes at offset; returns the number read (short at the end of the file).
    size_t ReadAt(uint64_t offset, void* buffer, size_t count) const;

private:
    bool m_open = false;
    int m_fd = -1;                          // POSIX: the descriptor
    const unsigned char* m_view = nullptr;  // Windows: the mapped file
    uint32_t m_size = 0;
};

// The whole file under the open rules; false (and out empty) when it does not open.
bool ReadWholeFile(const char* path, std::string& out);
// The whole file, read-only and without the rules (for system tables); false when unreadable.
bool ReadPlainFile(const char* path, std::string& out);

}  // namespace files
