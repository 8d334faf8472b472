// Forwarded messages (message/rfc822 parts): parsed on their own, their text appended to the
// enclosing message's text parts, their attachments added to its list.
#include <memory>

#include "mime/html_to_text.h"
#include "mime/mime_parser.h"
#include "mime/quoted_printable.h"
#include "mime/text_match.h"

namespace {
constexpr const char* kHtmlBlock =
    "<BR><BR><B>Date:</B> %s<BR><B>From:</B> %s<BR><B>To:</B> %s<BR><B>cc:</B> %s<BR><B>Subject:</B> "
    "%s<BR><BR>";
constexpr const char* kTextBlock = "\r\n\r\nDate: %s\r\nFrom: %s\r\nTo: %s\r\ncc: %s\r\nSubject: %s\r\n\r\n";

void DecodeQuotedPrintableBody(MimePart* part) {
    if (part == nullptr || !ContainsNoCase("quoted-printable", part->transferEncoding.view())) return;
    QuotedPrintableDecode(part->body);
    part->transferEncoding.Empty();
}
}  // namespace

void MimeParser::HandleEmbeddedMessage(int& position, const CString& enclosingBoundary) {
    const int headerEnd = FirstEmptyLine(position);
    // The last boundary line can only lie before the first one when there is no first one.
    int end = FindLineContaining(position, enclosingBoundary);
    if (end < 0) end = FindLastBoundaryLine(position, enclosingBoundary);

    if (m_depth < kMaxMimeNesting) {
        auto inner = std::make_unique<MimeParser>();
        inner->m_depth = m_depth + 1;
        if (inner->Parse(headerEnd + 1, end, *m_lines, true)) {
            MergeEmbeddedMessage(*inner);
            // The inner parser goes right after this, so its attachments move rather than copy.
            const MimePartList::Node* cursor = nullptr;
            for (MimePart* a = inner->FirstAttachment(cursor); a != nullptr;
                 a = inner->NextAttachment(cursor)) {
                auto moved = std::make_unique<MimePart>(std::move(*a));
                AddPart(std::move(moved));
            }
        }
    }
    position = end;
}

void MimeParser::MergeEmbeddedMessage(MimeParser& inner) {
    const MimeHeaderBlock& h = inner.HeaderFields();
    CString htmlBlock;
    htmlBlock.Format(kHtmlBlock, h.date.c_str(), h.from.c_str(), h.to.c_str(), h.cc.c_str(),
                     h.subject.c_str());
    CString textBlock;
    textBlock.Format(kTextBlock, h.date.c_str(), h.from.c_str(), h.to.c_str(), h.cc.c_str(),
                     h.subject.c_str());

    MimePart* outerHtml = FindTextPart(true);
    MimePart* outerPlain = FindTextPart(false);
    const MimePart* innerHtml = inner.FindTextPart(true);
    const MimePart* innerPlain = inner.FindTextPart(false);
    DecodeQuotedPrintableBody(outerHtml);
    DecodeQuotedPrintableBody(outerPlain);

    if (outerHtml != nullptr) {
        if (innerHtml != nullptr) {
            outerHtml->body += htmlBlock;
            outerHtml->body += innerHtml->body;
        } else if (innerPlain != nullptr) {
            outerHtml->body += textBlock;
            outerHtml->body += innerPlain->body;
        }
    }
    if (outerPlain != nullptr) {
        if (innerPlain != nullptr) {
            outerPlain->body += textBlock;
            outerPlain->body += innerPlain->body;
        } else if (innerHtml != nullptr && !innerHtml->body.IsEmpty()) {
            CString text;
            HtmlToText(innerHtml->body, text);
            outerPlain->body += textBlock;
            outerPlain->body += text;
        }
    }
}
