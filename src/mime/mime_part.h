// One listed part of a message: a leaf part or a multipart container.
#pragma once

#include "mime/text_match.h"
#include "platform/cstring.h"

// Six strings; other parts of the module copy it field by field in this order.
struct MimePart {
    CString disposition;       // Content-Disposition type ("attachment", "inline", ...)
    CString contentType;       // media type
    CString transferEncoding;  // emptied once the body is quoted-printable decoded
    CString fileName;          // from "filename=" or "name=", whichever header came later
    CString boundary;          // the part's own multipart boundary; empty for a leaf
    CString body;              // content lines joined, still transfer-encoded (except QP)
};

// Named, and disposed "attachment" or "inline".
inline bool IsAttachmentPart(const MimePart& part) {
    return !part.fileName.IsEmpty() && (ContainsNoCase("attachment", part.disposition.view()) ||
                                        ContainsNoCase("inline", part.disposition.view()));
}

// Unnamed, and of the wanted text type.
inline bool IsTextPart(const MimePart& part, bool wantHtml) {
    return part.fileName.IsEmpty() &&
           ContainsNoCase(wantHtml ? "text/html" : "text/plain", part.contentType.view());
}
