// One outgoing attachment file: its extension, size and bytes, opened under the reader's rules
// (see files::ExclusiveFile). A file that does not open still has a part, with no content.
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "platform/files.h"

// Results of AttachmentFile::Read.
enum class AttachmentReadResult : int {
    More = 0,         // bytes remain after this read
    End = 1,          // the end of the file was reached (possibly exactly by this read)
    NotOpen = 2,      // the file did not open
    BadArgument = 3,  // null buffer or zero count
};

class AttachmentFile {
public:
    explicit AttachmentFile(const CString& path);
    virtual ~AttachmentFile() = default;
    AttachmentFile(const AttachmentFile&) = delete;
    AttachmentFile& operator=(const AttachmentFile&) = delete;

    bool IsOpen() const { return m_file.IsOpen(); }
    const CString& Path() const { return m_path; }
    // The text after the last "." of the path; empty when there is none.
    const CString& Extension() const { return m_extension; }
    uint32_t Size() const { return m_file.Size(); }

    // Copies up to count bytes from the current position; count becomes the number copied.
    AttachmentReadResult Read(char* buffer, uint32_t& count);

private:
    CString m_path;
    CString m_extension;
    files::ExclusiveFile m_file;
    uint32_t m_position = 0;
};
