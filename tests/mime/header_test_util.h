// Helpers shared by the MIME tests: message lines from one text, as the IMAP engine splits them.
#pragma once

#include <string>

#include "mime/lines.h"
#include "platform/cstring.h"

inline CStringArray LinesOf(const std::string& text) {
    CStringArray lines;
    SplitMessageLines(text, lines);
    return lines;
}
