// HTML to plain text for the text of forwarded messages that carry only HTML.
#pragma once

#include "platform/cstring.h"

// Tag buffer limits: at most kHtmlTagCollect characters of a tag are kept (then ">" and the end).
inline constexpr int kHtmlTagBuffer = 256;
inline constexpr int kHtmlTagCollect = 253;

// One pass: tags go, "</p>", "<br>" and "</title>" become LF, script content goes, entities are
// removed by position, source line breaks become one space. A text without "<" comes back as
// it was.
void HtmlToText(const CString& html, CString& result);
