// The message header block: eleven known fields read from the header lines of a message.
#pragma once

#include <string_view>

#include "platform/cstring.h"
#include "platform/line_array.h"

// One value per known header; other parts copy it field by field in this order.
struct MimeHeaderBlock {
    CString to;
    CString cc;
    CString from;
    CString subject;
    CString replyTo;
    CString date;
    CString received;
    CString contentType;
    CString transferEncoding;
    CString boundary;
    CString disposition;
};

// The recognised names in matching order; the index selects the special handling.
struct HeaderField {
    const char* name;
    CString MimeHeaderBlock::*field;
};
inline constexpr int kHeaderFieldCount = 11;
extern const HeaderField HeaderFieldTable[kHeaderFieldCount];

// Reads the header block that starts at position into block, from lines [position, lineEnd)
// only; position ends on the line after the blank line that closes the block, or at lineEnd
// (unchanged when it starts there or beyond). True when the final position is above 0.
bool ParseHeaders(int& position, const LineArray& lines, int lineEnd, MimeHeaderBlock& block);

// The boundary parameter of a Content-Type value: the text between its first two double quotes,
// or, unquoted, what follows the "=" of "boundary=" up to a CR, LF, space or tab.
CString ExtractBoundary(const CString& value);

// The text between the first double quote of value and the next one; empty when there is no pair.
CString QuotedText(const CString& value);

// True for a line that continues the header before it.
inline bool IsContinuationLine(std::string_view line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// Appends the continuation lines from position (each with one LF) to value and moves position
// past them. Once a header folds, its tabs go: from the whole value, first line included.
void AppendContinuationLines(CString& value, const LineArray& lines, int& position, int lineEnd);
