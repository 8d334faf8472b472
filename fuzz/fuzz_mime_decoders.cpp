// The transfer decoders and the UTF-8 conversion on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mime/base64_decode.h"
#include "mime/quoted_printable.h"
#include "mime/utf8_to_ansi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CString input(reinterpret_cast<const char*>(data), static_cast<int>(size));

    CString qp = input;
    QuotedPrintableDecode(qp);
    if (qp.GetLength() > input.GetLength()) __builtin_trap();

    std::unique_ptr<unsigned char[]> bytes;
    int32_t length = 0;
    Base64Decode(input, bytes, length);
    // Four characters make three bytes at most, and a zero follows the decoded ones.
    if (length < 0 || length > input.GetLength() / 4 * 3 + 2) __builtin_trap();
    if (bytes[length] != 0) __builtin_trap();

    CString text;
    Base64DecodeText(input, text);
    if (text.GetLength() > length) __builtin_trap();

    CString ansi = input;
    Utf8ToAnsi(ansi);
    if (ansi.GetLength() > input.GetLength()) __builtin_trap();
    return 0;
}
