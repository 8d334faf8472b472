// Message text to lines, the way the IMAP engine splits a response.
#pragma once

#include <string_view>

#include "platform/cstring.h"

// Appends the CR LF-terminated lines of text to lines (the CR and the character after it go; a
// last segment without CR is kept). When tag is not empty and the last appended line contains
// it, that line is removed. Returns the element count of lines.
int SplitMessageLines(std::string_view text, CStringArray& lines, std::string_view tag = {});
