// Readers of the untagged lines the client looks at. Each is one bounded pass over its text;
// none assumes the server told the truth.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/cstring.h"
#include "platform/line_array.h"

// The message count of a SELECT answer: the number between the first and the second space of
// the first line holding "exists" in any letter case. False when no line holds it.
bool ParseExistsCount(const LineArray& lines, int32_t& count);

// The folder name of one LIST line: the text after the second double quote, quotes removed,
// leading blanks trimmed. False for lines without two quotes and for "noselect" folders.
bool ParseListName(const CString& line, CString& name);

// The numbers of a SEARCH line ("* SEARCH 3 5 8"), appended to `uids`: the text after the
// second space, split at single spaces. False when the line has no second space.
bool ParseSearchUids(std::string_view line, std::vector<uint32_t>& uids);

// The UID of a "FETCH n UID" answer: the number between the space after "uid" (any case) and
// the next ")". False when one of them is missing.
bool ParseFetchUid(std::string_view response, uint32_t& uid);

// The size of a "UID FETCH n rfc822.size" answer: the last word inside the first parentheses.
// 0 when the text has no such word.
uint32_t ParseMessageSize(std::string_view response);
