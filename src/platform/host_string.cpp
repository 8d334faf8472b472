#include "platform/host_string.h"

#include <cstring>

int32_t HostStringLength(const char* text) {
    if (!text) return 0;
    HostStringHeader header;
    std::memcpy(&header, text - sizeof(HostStringHeader), sizeof header);
    return header.length;
}

CString CopyHostString(const char* text) {
    const int32_t length = HostStringLength(text);
    if (length <= 0) return CString();
    return CString(text, length);
}
