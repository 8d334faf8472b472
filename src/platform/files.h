// Files the module touches: the temporary directory, attachment files written for the host,
// and attachment files read for sending under the open rules below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/cstring.h"

namespace files {

// TMPDIR, else /tmp, always with a trailing separator.
CString TempDirectory();

// True when a file or directory of that path exists.
bool Exists(const char* path);
// Deletes one file; false when it could not be removed.
bool Remove(const char* path);
// Creates the file anew (an existing one is overwritten) and writes all bytes.
bool WriteNew(const char* path, const void* data, size_t size);

// A file created anew as WriteNew creates it, written a piece at a time (large data need not
// be in memory whole). Closed by Close or with the object.
class NewFile {
public:
    explicit NewFile(const char* path);
    ~NewFile() { Close(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // Writes all bytes; false when they could not all be written (or the file is not open).
    bool Write(const void* data, size_t size);
    // True when the file was open, every write succeeded and the close did too.
    bool Close();

private:
    int m_fd = -1;
    bool m_ok = false;
};

// A file opened under the attachment reader's open rules: an existing, non-empty regular file
// that this process may write and that no other process holds locked. A file without any
// write permission bit counts as read-only even for root, who could otherwise write it.
// While open, the file holds an exclusive lock of both kinds (flock and fcntl), so a
// cooperating writer sees it as busy; the lock ends with the object.
class ExclusiveFile {
public:
    explicit ExclusiveFile(const char* path);
    ~ExclusiveFile();
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // Size when opened; 0 when not open.
    uint32_t Size() const { return m_size; }
    // Reads up to count bytes at offset; returns the number read (short at the end of the file).
    size_t ReadAt(uint64_t offset, void* buffer, size_t count) const;

private:
    int m_fd = -1;
    uint32_t m_size = 0;
};

// The whole file under the open rules; false (and out empty) when it does not open.
bool ReadWholeFile(const char* path, std::string& out);
// The whole file, read-only and without the rules (for system tables); false when unreadable.
bool ReadPlainFile(const char* path, std::string& out);

}  // namespace files
