#include "mime/mime_parser.h"

#include <algorithm>
#include <cstring>

#include "mime/boundary_registry.h"
#include "mime/encoded_word.h"
#include "mime/quoted_printable.h"
#include "mime/text_match.h"

namespace {

// The part headers the parser knows, in matching order.
constexpr const char* PartHeaderTable[3] = {
    "Content-Disposition:", "Content-Type:", "Content-Transfer-Encoding:"};
constexpr int kDisposition = 0;
constexpr int kContentType = 1;

int MatchPartHeader(std::string_view line) {
    for (int i = 0; i < 3; ++i)
        if (StartsWithNoCase(PartHeaderTable[i], line)) return i;
    return -1;
}

CString UpToSemicolon(const CString& value) {
    const int semicolon = value.Find(';');
    return semicolon >= 0 ? value.Left(semicolon) : value;
}

CString Trimmed(CString text) {
    text.TrimLeft();
    text.TrimRight();
    return text;
}

}  // namespace

void MimeParser::DecodeEncodedWord(CString& text) { ::DecodeEncodedWord(text); }

bool MimeParser::ParseHeaders(int& position, const LineArray& lines) {
    return ::ParseHeaders(position, lines, m_lineEnd, m_header);
}

bool MimeParser::Parse(int start, int end, const LineArray& lines, bool decodeQuotedPrintable) {
    if (lines.GetSize() == 0) return false;
    m_lines = &lines;
    m_lineEnd = std::min(end, lines.GetSize());
    int position = start;
    if (ParseHeaders(position, lines)) {
        const CString boundary = m_header.boundary;
        RegisterBoundary(boundary);
        int line = FindLineContaining(position, boundary);
        if (line >= 0) {
            while (line >= 0) {
                position = line;
                if (!TakePart(position, boundary)) break;
                line = FindLineContaining(position, boundary);
            }
        } else {
            auto part = std::make_unique<MimePart>();
            part->contentType = m_header.contentType;
            part->transferEncoding = m_header.transferEncoding;
            part->disposition = m_header.disposition;
            if (part->contentType.IsEmpty()) {
                part->contentType = "text/plain";
            } else if (m_header.disposition.Find("filename=") >= 0) {
                part->fileName = Trimmed(QuotedText(m_header.disposition));
            }
            part->body = JoinLines(position, m_lineEnd, !part->fileName.IsEmpty());
            AppendPart(std::move(part));
        }
    }
    if (decodeQuotedPrintable) {
        for (const MimePartList::Node* node = m_parts.Head(); node != nullptr; node = m_parts.After(node)) {
            MimePart& part = *node->part;
            if (ContainsNoCase("quoted-printable", part.transferEncoding.view())) {
                QuotedPrintableDecode(part.body);
                part.transferEncoding.Empty();
            }
        }
    }
    // Bodies may have changed: the duplicate index is of no further use.
    m_attachmentGroups.clear();
    m_attachmentsByHash.clear();
    return true;
}

bool MimeParser::ParsePart(int& position, const CString& enclosingBoundary, MimePart& part,
                           bool& endsOnItsHeader) {
    bool stored = false;
    bool headerOnLastLine = false;
    for (;;) {
        if (position >= m_lineEnd) {
            position = m_lineEnd;
            break;
        }
        const std::string_view line = (*m_lines)[position];
        const int index = MatchPartHeader(line);
        if (index < 0) {
            ++position;  // the boundary line, other headers, continuation lines
            if (line.empty()) break;
            continue;
        }

        CString value(line);
        const bool lastLine = position + 1 >= m_lineEnd;
        if (!lastLine) {
            ++position;
            AppendContinuationLines(value, *m_lines, position, m_lineEnd);
        }
        // Header names hold no tabs, so the name is still the value's first bytes.
        value.str().erase(0, std::min(value.str().size(), std::strlen(PartHeaderTable[index])));
        value.TrimLeft();

        if (index == kContentType) {
            CString media = UpToSemicolon(value);
            if (ContainsNoCase("message/rfc822", value.view()) && FirstEmptyLine(position) >= 0) {
                HandleEmbeddedMessage(position, enclosingBoundary);
                return false;  // the forwarded message lives on in the enclosing parts
            }
            if (ContainsNoCase("boundary=", value.view())) {
                part.boundary = ExtractBoundary(value);
                RegisterBoundary(part.boundary);
                value = part.boundary;
            }
            if (ContainsNoCase("name=", value.view())) {
                CString name = QuotedText(value);
                DecodeEncodedWord(name);
                part.fileName = std::move(name);
            }
            value = Trimmed(std::move(media));
        } else if (index == kDisposition) {
            CString type = UpToSemicolon(value);
            if (ContainsNoCase("filename=", value.view())) {
                CString name = QuotedText(value);
                DecodeEncodedWord(name);
                part.fileName = std::move(name);
            }
            value = Trimmed(std::move(type));
        }

        DecodeEncodedWord(value);
        if (index == kDisposition)
            part.disposition = std::move(value);
        else if (index == kContentType)
            part.contentType = std::move(value);
        else
            part.transferEncoding = std::move(value);
        stored = true;
        headerOnLastLine = lastLine;
        if (lastLine) break;
    }
    if (!stored) return false;

    int end = FindLineContaining(position, part.boundary.IsEmpty() ? enclosingBoundary : part.boundary);
    if (end < 0) end = FindRegisteredBoundaryLine(position);
    part.body = JoinLines(position, end, false);
    endsOnItsHeader = headerOnLastLine && end == position;
    position = end;
    return true;
}

bool MimeParser::TakePart(int& position, const CString& boundary) {
    const int partStart = position;
    auto part = std::make_unique<MimePart>();
    bool endsOnItsHeader = false;
    if (ParsePart(position, boundary, *part, endsOnItsHeader)) {
        // Children are listed before their container. A part that ends on its own header (the
        // range's last line, holding the part's boundary) has no level below it: walking one
        // would only read that line again and again. Its boundary stays registered.
        if (!endsOnItsHeader && !part->boundary.IsEmpty()) WalkNested(position, part->boundary);
        AddPart(std::move(part));
    }
    // Truncated input can end a part where it began: that ends the walk.
    return position > partStart;
}

void MimeParser::WalkNested(int& position, const CString& boundary) {
    if (m_depth >= kMaxMimeNesting) {
        UnregisterBoundary(boundary);  // not walked: its level ends here
        return;
    }
    ++m_depth;
    WalkMultipart(position, boundary);
    --m_depth;
}

bool MimeParser::WalkMultipart(int& position, const CString& boundary) {
    CString closing;
    closing.Format("--%s--", boundary.c_str());
    int line = FindLineContaining(position, boundary);
    while (line >= 0 && line < m_lineEnd) {
        position = line;
        if ((*m_lines)[line] == closing.view()) break;
        if (!TakePart(position, boundary)) break;
        line = FindLineContaining(position, boundary);
    }
    UnregisterBoundary(boundary);
    return true;
}
