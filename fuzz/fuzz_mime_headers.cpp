// Header blocks with encoded words: the header reader on the input's lines, and the encoded-word
// decoder on the input as one value.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mime/encoded_word.h"
#include "mime/header_fields.h"
#include "platform/line_array.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    LineArray lines;
    lines.AppendLines(text);
    // Every start and a range cut short, as nested parses use them.
    for (int start = 0; start < lines.GetSize() && start < 4; ++start) {
        for (int end : {lines.GetSize(), lines.GetSize() / 2}) {
            MimeHeaderBlock block;
            int position = start;
            ParseHeaders(position, lines, end, block);
            if (position < start || position > lines.GetSize()) __builtin_trap();
        }
    }
    CString value(text);
    DecodeEncodedWord(value);
    return 0;
}
