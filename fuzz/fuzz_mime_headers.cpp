// Header blocks with encoded words: the header reader on the input's lines, and the encoded-word
// decoder on the input as one value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mime/encoded_word.h"
#include "mime/header_fields.h"
#include "platform/line_array.h"

namespace {

bool SameBlock(const MimeHeaderBlock& a, const MimeHeaderBlock& b) {
    return a.to == b.to && a.cc == b.cc && a.from == b.from && a.subject == b.subject &&
           a.replyTo == b.replyTo && a.date == b.date && a.received == b.received &&
           a.contentType == b.contentType && a.transferEncoding == b.transferEncoding &&
           a.boundary == b.boundary && a.disposition == b.disposition;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    LineArray lines;
    lines.AppendLines(text);
    // Every start and a range cut short, as nested parses use them. A range cut short reads
    // exactly what an array ending there reads: nothing past its end.
    const int half = lines.GetSize() / 2;
    std::string firstHalf;
    for (int i = 0; i < half; ++i) (firstHalf += lines[i]) += "\r\n";
    LineArray cut;
    cut.AppendLines(std::string_view(firstHalf));
    for (int start = 0; start < lines.GetSize() && start < 4; ++start) {
        for (int end : {lines.GetSize(), half}) {
            MimeHeaderBlock block;
            int position = start;
            ParseHeaders(position, lines, end, block);
            if (position < start || position > lines.GetSize()) __builtin_trap();
            if (end != half) continue;
            MimeHeaderBlock alone;
            int alonePosition = start;
            ParseHeaders(alonePosition, cut, half, alone);
            if (alonePosition != position || !SameBlock(block, alone)) __builtin_trap();
        }
    }
    CString value(text);
    DecodeEncodedWord(value);
    return 0;
}
