#include "smtp/attachment_file.h"

namespace {
CString ExtensionOf(const CString& path) {
    const int dot = path.ReverseFind('.');
    return dot < 0 ? CString() : path.Mid(dot + 1);
}
}  // namespace

AttachmentFile::AttachmentFile(const CString& path)
    : m_path(path), m_extension(ExtensionOf(path)), m_file(path.c_str()) {}

AttachmentReadResult AttachmentFile::Read(char* buffer, uint32_t& count) {
    if (!IsOpen()) return AttachmentReadResult::NotOpen;
    if (!buffer || count == 0) return AttachmentReadResult::BadArgument;
    const uint32_t size = Size();
    if (m_position >= size) return AttachmentReadResult::End;
    const uint32_t remaining = size - m_position;
    const uint32_t wanted = remaining < count ? remaining : count;
    const uint32_t got = static_cast<uint32_t>(m_file.ReadAt(m_position, buffer, wanted));
    m_position += got;
    // A file that shrank after it was opened ends early: the count tells what was copied.
    if (got < count) {
        count = got;
        return AttachmentReadResult::End;
    }
    return m_position == size ? AttachmentReadResult::End : AttachmentReadResult::More;
}
