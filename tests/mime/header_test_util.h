// Helpers shared by the MIME tests: message lines from one text, as the IMAP engine splits them.
#pragma once

#include <string>

#include "mime/lines.h"
#include "platform/cstring.h"

// Message text written with LF line ends, as the server sends it: with CR LF.
inline std::string Crlf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char ch : text) {
        if (ch == '\n') out += '\r';
        out += ch;
    }
    return out;
}

inline CStringArray LinesOf(const std::string& text) {
    CStringArray lines;
    SplitMessageLines(text, lines);
    return lines;
}
