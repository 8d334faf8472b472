#include "session/attachment_files.h"

#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>

#include "mime/base64_decode.h"
#include "mime/text_match.h"
#include "platform/files.h"

namespace {

// Clashes tried before an attachment is given up; far beyond any real directory.
constexpr int kMaxNameTries = 10000;
// Below this, no useful name fits beside the directory.
constexpr int kMinNameRoom = 16;

bool IsUnsafeCharacter(unsigned char ch) { return ch < 0x20 || ch == 0x7f || ch == ','; }

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
    if (safe.empty()) safe = "attachment";
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

bool FileExistsInDirectory(const char* name, const char* directory) {
    if (!name || !*name) return false;
    CString path = (directory && *directory) ? CString(directory) : files::TempDirectory();
    if (path[path.GetLength() - 1] != '/') path += '/';
    path += name;
    // A link counts even when it points nowhere: writing through it could leave the directory.
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path.c_str(), error);
    return !error && std::filesystem::exists(status);
}

CString WriteAttachmentFile(const MimePart& part, const CString& directory) {
    if (part.body.IsEmpty()) return CString();
    const int room = kMaxAttachmentPath - directory.GetLength();
    const CString safe = SafeAttachmentName(part.fileName);
    CString name = AttachmentCandidateName(safe, 0, room);
    for (int counter = 1; !name.IsEmpty() && FileExistsInDirectory(name, directory); ++counter)
        name = counter > kMaxNameTries ? CString() : AttachmentCandidateName(safe, counter, room);
    if (name.IsEmpty()) return CString();

    const CString path = directory + name;
    if (ContainsNoCase("base64", part.transferEncoding.view())) {
        // Decoded a piece at a time into the file: no block the size of the attachment.
        files::NewFile file(path);
        Base64DecodeTo(part.body.view(),
                       [&file](const unsigned char* bytes, size_t size) { return file.Write(bytes, size); });
        if (!file.Close()) return CString();
    } else if (!files::WriteNew(path, part.body.c_str(), static_cast<size_t>(part.body.GetLength()))) {
        return CString();
    }
    return path;
}
