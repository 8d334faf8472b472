// The structure parser on a message, then everything a download reads from it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mime/base64_decode.h"
#include "mime/boundary_registry.h"
#include "platform/line_array.h"
#include "mime/mime_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each input starts from a freshly loaded module, so a finding reproduces on its own.
    BoundaryRegistry::Module().Clear();
    LineArray lines;
    lines.AppendLines(std::string_view(reinterpret_cast<const char*>(data), size));
    MimeParser parser;
    parser.Parse(0, lines.GetSize(), lines, true);
    parser.FindTextPart(false);
    parser.FindTextPart(true);
    const MimePartList::Node* cursor = nullptr;
    for (MimePart* part = parser.FirstAttachment(cursor); part; part = parser.NextAttachment(cursor)) {
        std::unique_ptr<unsigned char[]> bytes;
        int32_t length = 0;
        Base64Decode(part->body, bytes, length);
    }
    int count = 0;
    for (const MimePartList::Node* n = parser.Parts().Head(); n; n = parser.Parts().After(n)) ++count;
    if (count != parser.Parts().GetCount()) __builtin_trap();
    return 0;
}
