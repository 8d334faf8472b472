#include <windows.h>

#include <cstring>

#include "platform/files.h"

namespace files {

CString TempDirectory() {
    char path[MAX_PATH + 1];
    const DWORD length = ::GetTempPathA(sizeof path, path);
    if (length == 0 || length > MAX_PATH) return CString(".\\");
    CString dir(path);
    if (dir.GetAt(dir.GetLength() - 1) != '\\') dir += '\\';
    return dir;
}

bool Exists(const char* path) {
    return path && *path && ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool Remove(const char* path) { return path && *path && ::DeleteFileA(path) != 0; }

namespace {
// Writes all bytes, in pieces a DWORD can count; false when they could not all be written.
bool WriteAll(HANDLE file, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}
}  // namespace

bool WriteNew(const char* path, const void* data, size_t size) {
    if (!path || !*path) return false;
    // Read and write, shared for reading, always created anew.
    HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = WriteAll(file, data, size);
    return ::CloseHandle(file) && ok;
}

namespace {
FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return FileIdentity{
        info.dwVolumeSerialNumber, (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
        static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                             info.ftLastWriteTime.dwLowDateTime)};
}
}  // namespace

NewFile::NewFile(const char* path) {
    if (!path || !*path) return;
    // CREATE_NEW: the name is taken atomically; nothing already there is opened or truncated.
    HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        m_taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return;
    }
    m_handle = file;
    m_open = m_ok = true;
    m_path = path;
}

NewFile::~NewFile() {
    if (!m_open) return;
    m_ok = false;  // never finished: removed
    Close();
}

bool NewFile::Write(const void* data, size_t size) {
    if (!m_open || !m_ok) return false;
    m_ok = WriteAll(static_cast<HANDLE>(m_handle), data, size);
    return m_ok;
}

bool NewFile::Close(FileIdentity* identity) {
    if (!m_open) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    m_ok =
        m_ok && ::GetFileInformationByHandle(static_cast<HANDLE>(m_handle), &info);  // after the last write
    m_ok = ::CloseHandle(static_cast<HANDLE>(m_handle)) && m_ok;
    m_handle = nullptr;
    m_open = false;
    if (!m_ok) {
        ::DeleteFileA(m_path.c_str());  // ours: created above
        return false;
    }
    if (identity) *identity = IdentityOf(info);
    return true;
}

bool IsSameFile(const char* path, const FileIdentity& identity) {
    if (!path || !*path) return false;
    // Attributes only, shared every way, a link looked at itself rather than followed.
    HANDLE file =
        ::CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool read = ::GetFileInformationByHandle(file, &info);
    ::CloseHandle(file);
    if (!read || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    return IdentityOf(info) == identity;
}

ExclusiveFile::ExclusiveFile(const char* path) {
    if (!path || !*path) return;
    // A read-only file is refused even where the system would let this process write it
    // (an administrator's process on a file system that maps the attribute to permissions).
    const DWORD attributes = ::GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return;
    // Read and write access (0xC0000000), no sharing, existing files only.
    HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const DWORD size = ::GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE || size == 0) {  // an empty file cannot be mapped
        ::CloseHandle(file);
        return;
    }
    HANDLE mapping = ::CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    if (mapping) {
        m_view = static_cast<const unsigned char*>(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        ::CloseHandle(mapping);
    }
    ::CloseHandle(file);  // the view keeps the file open, and unshared
    if (!m_view) return;
    m_open = true;
    m_size = size;
}

ExclusiveFile::~ExclusiveFile() {
    if (m_view) ::UnmapViewOfFile(m_view);
}

size_t ExclusiveFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
    if (!m_view || !buffer || offset >= m_size) return 0;
    const size_t available = static_cast<size_t>(m_size - offset);
    const size_t n = count < available ? count : available;
    std::memcpy(buffer, m_view + offset, n);
    return n;
}

bool ReadPlainFile(const char* path, std::string& out) {
    out.clear();
    if (!path || !*path) return false;
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[16384];
    bool ok = true;
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file, chunk, sizeof chunk, &n, nullptr)) ok = false;
        if (!ok || n == 0) break;
        out.append(chunk, n);
    }
    ::CloseHandle(file);
    if (!ok) out.clear();
    return ok;
}

}  // namespace files
