// What readers of the parser ask for: text parts, attachments, and the duplicate test.
#include <functional>
#include <string_view>

#include "mime/mime_parser.h"

namespace {
size_t AttachmentKey(const MimePart& part) {
    const std::hash<std::string_view> hash;
    size_t key = hash(part.contentType.view());
    key = key * 31 + hash(part.boundary.view());
    return key * 31 + hash(part.body.view());
}
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
    for (auto it = first; it != last; ++it) {
        const MimePart& listed = *it->second;
        if (listed.contentType == part.contentType && listed.boundary == part.boundary &&
            listed.body == part.body)
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
        m_attachmentIndex.emplace(AttachmentKey(*raw), raw);
    }
}

void MimeParser::AddPart(std::unique_ptr<MimePart> part) {
    if (!IsDuplicateAttachment(*part)) AppendPart(std::move(part));
}
