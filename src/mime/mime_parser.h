// Takes a downloaded message (an array of lines) apart into its header block and a flat list of
// parts: leaves and multipart containers, attachments recognised, forwarded messages folded in.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "mime/header_fields.h"
#include "mime/line_gram_index.h"
#include "mime/mime_part.h"
#include "mime/mime_part_list.h"
#include "mime/text_match.h"
#include "platform/cstring.h"
#include "platform/line_array.h"

// Nesting of multipart levels and forwarded messages followed before the rest of a level is
// taken as it stands; far beyond real mail, it keeps hostile nesting off the stack's limit.
inline constexpr int kMaxMimeNesting = 100;

class MimeParser {
public:
    MimeParser() = default;
    // Frees every listed part.
    virtual ~MimeParser() = default;
    MimeParser(const MimeParser&) = delete;
    MimeParser& operator=(const MimeParser&) = delete;

    // Parses lines [start, end) (the array must outlive the parser's use of it). With
    // decodeQuotedPrintable, quoted-printable part bodies are decoded. False only for an empty
    // array.
    bool Parse(int start, int end, const LineArray& lines, bool decodeQuotedPrintable);

    // The first plain (or HTML) text part among the first three listed parts, or null.
    MimePart* FindTextPart(bool wantHtml) const;
    // Attachment parts in list order; the cursor becomes null once the tail has been passed.
    MimePart* FirstAttachment(const MimePartList::Node*& cursor) const;
    MimePart* NextAttachment(const MimePartList::Node*& cursor) const;

    const MimeHeaderBlock& HeaderFields() const { return m_header; }
    const MimePartList& Parts() const { return m_parts; }

    // Decodes the first encoded word of text (reads no parser state; see encoded_word.h).
    static void DecodeEncodedWord(CString& text);

    // Reads the header block at position (see ParseHeaders in header_fields.h).
    bool ParseHeaders(int& position, const LineArray& lines);

    // Line searches over [from, lineEnd) of the array being parsed.
    int FindLineContaining(int from, const CString& text) const;
    int FindLastBoundaryLine(int from, const CString& text) const;
    int FindRegisteredBoundaryLine(int from) const;
    CString JoinLines(int first, int end, bool withoutBreaks) const;

private:
    // endsOnItsHeader: the part's end is the line of its last header (the range's last line).
    bool ParsePart(int& position, const CString& enclosingBoundary, MimePart& part, bool& endsOnItsHeader);
    bool WalkMultipart(int& position, const CString& boundary);
    // Parses the part on the boundary line at position, walks its own level, lists it. False
    // when the part ended on the line it began on, which ends the walk.
    bool TakePart(int& position, const CString& boundary);
    void WalkNested(int& position, const CString& boundary);
    void HandleEmbeddedMessage(int& position, const CString& enclosingBoundary);
    void MergeEmbeddedMessage(MimeParser& inner);
    bool IsDuplicateAttachment(const MimePart& part) const;
    void AppendPart(std::unique_ptr<MimePart> part);
    // Appends part unless it duplicates a listed attachment.
    void AddPart(std::unique_ptr<MimePart> part);
    int FirstEmptyLine(int from) const;

    MimeHeaderBlock m_header;
    MimePartList m_parts;
    int32_t m_lineEnd = 0;

    const LineArray* m_lines = nullptr;
    std::vector<std::unique_ptr<MimePart>> m_owned;
    int m_depth = 0;
    // Attachments by a cheap key (type, boundary, body length and ends), so the duplicate test
    // does not walk the list. Bodies are hashed whole only under a key that two attachments
    // share; from then on that key's attachments are found by whole hash.
    struct AttachmentGroup {
        bool hashed = false;
        const MimePart* first = nullptr;  // most keys have one attachment: no list for them
        std::vector<const MimePart*> more;
    };
    const MimePart* m_firstAttachment = nullptr;
    mutable std::unordered_map<size_t, AttachmentGroup> m_attachmentGroups;
    mutable std::unordered_multimap<size_t, const MimePart*> m_attachmentsByHash;
    // Forward searches for the next empty line repeat; the last answer covers later queries.
    mutable int m_emptyFrom = -1;
    mutable int m_emptyAt = -1;
    mutable CString m_missingText;
    mutable int m_missingFrom = -1;
    // Per piece length (index 0 for one byte): lines scanned by failed searches, and the index
    // that takes over once they are too many.
    mutable std::array<int64_t, LineGramIndex::kMaxGram> m_failedScanLines{};
    mutable std::array<std::unique_ptr<LineGramIndex>, LineGramIndex::kMaxGram> m_gramIndex;
    // A walk searches for its boundary once per part: the prepared finder is kept for it.
    mutable CString m_finderText;
    mutable std::optional<NoCaseFinder> m_finder;
};
