// What readers of the parser ask for: text parts, attachments, and the duplicate test.
#include <functional>
#include <string_view>

#include "mime/mime_parser.h"

namespace {
// Cheap to form for a body of any size: its length and at most 64 bytes at either end.
size_t AttachmentKey(const MimePart& part) {
    constexpr size_t kEnd = 64;
    const std::hash<std::string_view> hash;
    const std::string_view body = part.body.view();
    size_t key = hash(part.contentType.view());
    key = key * 31 + hash(part.boundary.view());
    key = key * 31 + body.size();
    if (body.size() <= 2 * kEnd) return key * 31 + hash(body);
    key = key * 31 + hash(body.substr(0, kEnd));
    return key * 31 + hash(body.substr(body.size() - kEnd));
}

size_t BodyHash(const MimePart& part) { return std::hash<std::string_view>()(part.body.view()); }
}  // namespace

MimePart* MimeParser::FindTextPart(bool wantHtml) const {
    const MimePartList::Node* node = m_parts.Head();
    for (int seen = 0; node != nullptr && seen < 3; ++seen, node = m_parts.After(node))
        if (IsTextPart(*node->part, wantHtml)) return node->part;
    return nullptr;
}

MimePart* MimeParser::FirstAttachment(const MimePartList::Node*& cursor) const {
    cursor = m_parts.Head();
    return NextAttachment(cursor);
}

MimePart* MimeParser::NextAttachment(const MimePartList::Node*& cursor) const {
    while (cursor != nullptr) {
        MimePart* part = cursor->part;
        cursor = m_parts.After(cursor);
        if (IsAttachmentPart(*part)) return part;
    }
    return nullptr;
}

bool MimeParser::IsDuplicateAttachment(const MimePart& part) const {
    if (m_firstAttachment == nullptr || !(m_firstAttachment->disposition == "attachment")) return false;
    const auto [first, last] = m_attachmentIndex.equal_range(AttachmentKey(part));
    if (first == last) return false;
    // Bodies that share a key are told apart by whole hashes, each body hashed at most once.
    const size_t bodyHash = BodyHash(part);
    for (auto it = first; it != last; ++it) {
        const IndexedAttachment& entry = it->second;
        if (!entry.hashed) {
            entry.bodyHash = BodyHash(*entry.part);
            entry.hashed = true;
        }
        const MimePart& listed = *entry.part;
        if (entry.bodyHash == bodyHash && listed.contentType == part.contentType &&
            listed.boundary == part.boundary && listed.body == part.body)
            return true;
    }
    return false;
}

void MimeParser::AppendPart(std::unique_ptr<MimePart> part) {
    MimePart* raw = part.get();
    m_owned.push_back(std::move(part));
    m_parts.Append(raw);
    if (IsAttachmentPart(*raw)) {
        if (m_firstAttachment == nullptr) m_firstAttachment = raw;
        m_attachmentIndex.emplace(AttachmentKey(*raw), IndexedAttachment{raw, 0, false});
    }
}

void MimeParser::AddPart(std::unique_ptr<MimePart> part) {
    if (!IsDuplicateAttachment(*part)) AppendPart(std::move(part));
}
