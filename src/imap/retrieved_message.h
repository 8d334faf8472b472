// What one retrieval hands the session: the header fields, the text parts and up to ten
// attachment parts of a message, and whether its whole text was downloaded.
#pragma once

#include <cstdint>

#include "mime/header_fields.h"
#include "mime/mime_part.h"

inline constexpr int32_t kMaxRetrievedAttachments = 10;

struct RetrievedMessage {
    MimeHeaderBlock header;  // the eleven header strings, in the block's order
    MimePart plainPart;
    MimePart htmlPart;
    int32_t attachmentCount = 0;
    MimePart attachments[kMaxRetrievedAttachments];
    int32_t wholeMessage = 1;  // 0 when only a rebuilt text part (or the header) came down

    // Empty strings and parts, no attachments, whole.
    void Reset() { *this = RetrievedMessage(); }
};
