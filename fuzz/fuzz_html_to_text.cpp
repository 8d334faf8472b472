// HTML to text on arbitrary bytes: the output never outgrows the input.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mime/html_to_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CString html(reinterpret_cast<const char*>(data), static_cast<int>(size));
    CString text;
    HtmlToText(html, text);
    if (text.GetLength() > html.GetLength()) __builtin_trap();
    return 0;
}
