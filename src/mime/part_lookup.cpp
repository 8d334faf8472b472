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
    const auto group = m_attachmentGroups.find(AttachmentKey(part));
    if (group == m_attachmentGroups.end()) return false;
    // The key is shared now: its attachments move to the whole-hash index, each hashed once.
    if (!group->second.hashed) {
        AttachmentGroup& shared = group->second;
        if (shared.first) m_attachmentsByHash.emplace(BodyHash(*shared.first), shared.first);
        for (const MimePart* listed : shared.more) m_attachmentsByHash.emplace(BodyHash(*listed), listed);
        shared = AttachmentGroup{true, nullptr, {}};
    }
    const auto [first, last] = m_attachmentsByHash.equal_range(BodyHash(part));
    for (auto it = first; it != last; ++it) {
        const MimePart& listed = *it->second;
        if (listed.contentType == part.contentType && listed.boundary == part.boundary && listed.body == part.body)
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
        AttachmentGroup& group = m_attachmentGroups[AttachmentKey(*raw)];
        if (group.hashed)
            m_attachmentsByHash.emplace(BodyHash(*raw), raw);
        else if (group.first == nullptr)
            group.first = raw;
        else
            group.more.push_back(raw);
    }
}

void MimeParser::AddPart(std::unique_ptr<MimePart> part) {
    if (!IsDuplicateAttachment(*part)) AppendPart(std::move(part));
}
