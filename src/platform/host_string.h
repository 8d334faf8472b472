// The host's string fields: a pointer to NUL-terminated characters with a 12-byte header in
// front (reference count, length, allocated length), as the host's class library lays them out.
#pragma once

#include <cstdint>

#include "platform/cstring.h"

struct HostStringHeader {
    int32_t references;
    int32_t length;
    int32_t allocated;
};
static_assert(sizeof(HostStringHeader) == 12);  // three int32 words on every build

// The length word of the header; 0 for a null pointer.
int32_t HostStringLength(const char* text);
// A copy of the text (its header's length, as the class library's assignment takes it).
CString CopyHostString(const char* text);
