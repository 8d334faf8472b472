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
    // The decoding by pieces hands over exactly the bytes of the block.
    size_t at = 0;
    bool same = true;
    const size_t total = Base64DecodeTo(input.view(), [&](const unsigned char* piece, size_t n) {
        same = same && at + n <= static_cast<size_t>(length) && std::memcmp(piece, bytes.get() + at, n) == 0;
        at += n;
        return true;
    });
    if (!same || total != static_cast<size_t>(length) || at != total) __builtin_trap();

    CString text;
    Base64DecodeText(input, text);
    if (text.GetLength() > length) __builtin_trap();

    CString ansi = input;
    Utf8ToAnsi(ansi);
    if (ansi.GetLength() > input.GetLength()) __builtin_trap();
    return 0;
}
