#include "session/attachment_files.h"

#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "mime/base64_decode.h"
#include "mime/text_match.h"
#include "platform/files.h"
#include "session/created_files.h"

namespace {

// Clashes tried before an attachment is given up; far beyond any real directory.
constexpr int kMaxNameTries = 10000;
// Below this, no useful name fits beside the directory.
constexpr int kMinNameRoom = 16;

// Control characters, the list separator, and what some file systems refuse or read as a
// drive, a stream or a wildcard: a name means the same single file everywhere.
bool IsUnsafeCharacter(unsigned char ch) {
    return ch < 0x20 || ch == 0x7f || ch == ',' || ch == ':' || ch == '*' || ch == '?' || ch == '"' ||
           ch == '<' || ch == '>' || ch == '|';
}

// Names that open a device instead of a file on some systems, whatever extension follows.
bool IsDeviceName(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    std::string upper(stem);
    for (char& ch : upper) ch = (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" || upper == "CONIN$" ||
        upper == "CONOUT$")
        return true;
    return upper.size() == 4 && (upper.rfind("COM", 0) == 0 || upper.rfind("LPT", 0) == 0) &&
           upper[3] >= '0' && upper[3] <= '9';
}

}  // namespace

CString SafeAttachmentName(const CString& fileName) {
    std::string_view name = fileName.view();
    const size_t separator = name.find_last_of("/\\");
    if (separator != std::string_view::npos) name.remove_prefix(separator + 1);
    std::string safe;
    safe.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(name[i]);
        if (IsUnsafeCharacter(ch)) {
            safe += '_';
        } else if (ch == '.' && i + 1 < name.size() && name[i + 1] == '.') {
            safe += "__";  // no ".." ever reaches a path
            ++i;
        } else {
            safe += static_cast<char>(ch);
        }
    }
    if (safe == ".") safe = "_";
    // Trailing dots and blanks are dropped by some file systems: two names would meet in one file.
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
    if (safe.empty()) safe = "attachment";
    if (IsDeviceName(safe)) safe.insert(0, "_");
    return CString(std::move(safe));
}

CString AttachmentCandidateName(const CString& safeName, int counter, int room) {
    if (room < kMinNameRoom) return CString();
    const std::string_view name = safeName.view();
    std::string suffix;
    if (counter > 0) suffix = "(" + std::to_string(counter) + ")";
    const size_t limit = static_cast<size_t>(room);

    // The counter goes before the first "."; a long name keeps the last extension instead.
    size_t split = name.find('.');
    if (split == std::string_view::npos) split = name.size();
    if (name.size() + suffix.size() > limit && name.size() - split > limit / 2) {
        split = name.rfind('.');
        if (split == std::string_view::npos || name.size() - split > limit / 2) split = name.size();
    }
    std::string_view stem = name.substr(0, split);
    const std::string_view extension = name.substr(split);
    if (stem.size() + suffix.size() + extension.size() > limit)
        stem = stem.substr(0, limit - suffix.size() - extension.size());
    std::string candidate;
    candidate.reserve(stem.size() + suffix.size() + extension.size());
    candidate.append(stem).append(suffix).append(extension);
    return CString(std::move(candidate));
}

CString WriteAttachmentFile(const MimePart& part, const CString& directory) {
    if (part.body.IsEmpty()) return CString();
    const int room = kMaxAttachmentPath - directory.GetLength();
    const CString safe = SafeAttachmentName(part.fileName);
    const bool base64 = ContainsNoCase("base64", part.transferEncoding.view());
    // Each name is taken atomically; a name already in use (by anything) moves on to the next.
    for (int counter = 0; counter <= kMaxNameTries; ++counter) {
        const CString name = AttachmentCandidateName(safe, counter, room);
        if (name.IsEmpty()) return CString();
        const CString path = directory + name;
        files::NewFile file(path);
        if (file.NameTaken()) continue;
        if (!file.IsOpen()) return CString();
        if (base64) {
            // Decoded a piece at a time into the file: no block the size of the attachment.
            Base64DecodeTo(part.body.view(), [&file](const unsigned char* bytes, size_t size) {
                return file.Write(bytes, size);
            });
        } else {
            file.Write(part.body.c_str(), static_cast<size_t>(part.body.GetLength()));
        }
        files::FileIdentity identity;
        if (!file.Close(&identity)) return CString();
        try {
            created_files::Remember(path, identity);
        } catch (...) {
            files::Remove(path);  // a file nobody knows of would never be released
            throw;
        }
        return path;
    }
    return CString();
}
