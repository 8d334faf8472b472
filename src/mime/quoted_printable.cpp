#include "mime/quoted_printable.h"

#include <cstring>

namespace {
int HexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    return -1;
}
}  // namespace

bool QuotedPrintableDecode(CString& text) {
    if (text.IsEmpty()) return true;
    std::string& s = text.str();
    // The text is a C string to the decoder: it ends at its first NUL.
    size_t end = std::strlen(s.c_str());
    if (end >= 3 && s[end - 3] == '=') end -= 3;
    // The output is never longer than the input, so it is written over the copy in place.
    size_t out = 0;
    size_t i = 0;
    while (i < end) {
        // A run of ordinary bytes moves in one piece, and not at all before anything was dropped.
        size_t run = i;
        while (run < end && s[run] != '=' && s[run] != '\r') ++run;
        if (out != i) std::memmove(&s[out], &s[i], run - i);
        out += run - i;
        i = run;
        if (i >= end) break;
        const char ch = s[i];
        if (ch == '=') {
            const int high = i + 1 < end ? HexValue(s[i + 1]) : -1;
            if (high < 0) {
                ++i;  // only the "=" goes; the next character is read as an ordinary one
                continue;
            }
            const int low = i + 2 < end ? HexValue(s[i + 2]) : -1;
            s[out++] = static_cast<char>(low < 0 ? high * 16 : high * 16 + low);
            i += 3;
            continue;
        }
        ++i;  // a CR
    }
    s.resize(out);
    // The decoded text is taken up to its first NUL, as a C string.
    const size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    return true;
}
