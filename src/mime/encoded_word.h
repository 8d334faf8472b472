// Decoding of the first RFC 2047 encoded word of a header value, found by position.
#pragma once

#include "platform/cstring.h"

// Decodes the first encoded word of text in place: the text before "=?" and after the first
// "?=" stay around the decoded bytes; UTF-8 words (only the "utf-8"/"UTF-8" spellings) are
// converted to the ANSI code page, other charsets pass through as bytes. A text that does not
// have the shape is left unchanged.
void DecodeEncodedWord(CString& text);
