// The outgoing message text: fixed header lines, the 8-bit text body wrapped at 65 characters,
// and, for a multipart message, one base64 part per attachment file between fixed delimiters.
// The three steps run in this order on one text; each returns 0.
#pragma once

#include <cstdint>

#include "platform/cstring.h"
#include "records/cmsg.h"
#include "smtp/content_type_table.h"

namespace smtp {

constexpr const char* kBoundary = "====_NextPart_====";
constexpr const char* kDelimiterLine = "--====_NextPart_====";
constexpr const char* kClosingDelimiterLine = "--====_NextPart_====--";
constexpr const char* kTextPartHeader =
    "Content-Type: text/plain; charset=\"ISO-8859-1\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
constexpr const char* kExcludedNote = "\r\n\r\n***Attachments excluded by request.***\r\n";

// What the composer takes from the client besides the message.
struct Composition {
    CString displayName;
    bool includeAttachments = false;
    int32_t time = 0;  // the moment of composition, seconds since 1970 UTC
    ContentTypeTable* contentTypes = nullptr;
};

// Multipart exactly when attachments are listed and wanted.
bool IsMultipart(const CMsg& message, const Composition& with);

// Empties text and writes the header section.
int ComposeHeaders(const CMsg& message, const Composition& with, CString& text);
// Appends the body; with attachments listed but not wanted, first adds the excluded note to
// the message's own body.
int ComposeBody(CMsg& message, const Composition& with, CString& text);
// Appends one part per listed file and the closing delimiter line.
int ComposeAttachments(const CMsg& message, const Composition& with, CString& text);

}  // namespace smtp
