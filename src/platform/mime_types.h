// The system's table of content types by file extension: /etc/mime.types on Debian, the MIME
// database of the registry on Windows.
#pragma once

#include <vector>

#include "platform/cstring.h"

namespace mime_types {

#ifdef _WIN32
// A key under the classes root: one subkey per content type, its "Extension" value the extension.
constexpr const char* kSystemTable = "MIME\\Database\\Content Type";
#else
constexpr const char* kSystemTable = "/etc/mime.types";
#endif

struct Pair {
    CString contentType;
    CString extension;  // lower case, with its leading dot: ".pdf"
};

// POSIX: one pair per extension (with the first type the file gives it), shortest extensions
// first and then by text; types listed without an extension give none. Windows: one pair per
// subkey in enumeration order; a subkey that cannot be opened keeps an empty extension, one
// without a string "Extension" value is left out. False when the table (file or key) cannot be
// read.
bool ReadTable(const char* path, std::vector<Pair>& pairs);

}  // namespace mime_types
