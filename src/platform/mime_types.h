// The system's table of content types by file extension (Debian: /etc/mime.types).
#pragma once

#include <vector>

#include "platform/cstring.h"

namespace mime_types {

constexpr const char* kSystemTable = "/etc/mime.types";

struct Pair {
    CString contentType;
    CString extension;  // lower case, with its leading dot: ".pdf"
};

// One pair per extension (with the first type the file gives it), shortest extensions first and
// then by text; types listed without an extension give none. False when the file cannot be read.
bool ReadTable(const char* path, std::vector<Pair>& pairs);

}  // namespace mime_types
