// The outgoing Base64 encoder: a CR LF after every 70 alphabet characters, with the "=" fill
// written after that line break (so 52 bytes give 70 characters, CR LF, then "==").
#pragma once

#include <cstddef>
#include <memory>

#include "platform/cstring.h"

namespace smtp {

// Characters the encoding of count bytes takes, line breaks included, without a NUL.
size_t Base64EncodedLength(size_t count);

// Appends the encoding to text. False, with text unchanged, when the memory is not there.
bool Base64Encode(const void* bytes, size_t count, CString& text);

// The encoding in a new NUL-terminated buffer owned by the caller; null when it cannot be
// allocated.
std::unique_ptr<char[]> Base64Encode(const void* bytes, size_t count);

}  // namespace smtp
