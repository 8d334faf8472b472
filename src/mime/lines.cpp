#include "mime/lines.h"

#include <cstring>

int SplitMessageLines(std::string_view text, CStringArray& lines, std::string_view tag) {
    const int before = lines.GetSize();
    // Counted first so the array grows once, not by doubling through a large message.
    size_t count = 0;
    for (const char* p = text.data(); p != nullptr && p < text.data() + text.size(); ++count) {
        const void* hit = std::memchr(p, '\r', static_cast<size_t>(text.data() + text.size() - p));
        p = hit ? static_cast<const char*>(hit) + 2 : nullptr;
    }
    lines.Reserve(before + static_cast<int>(count));
    size_t pos = 0;
    while (pos < text.size()) {
        const void* hit = std::memchr(text.data() + pos, '\r', text.size() - pos);
        const size_t cr =
            hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : text.size();
        lines.Add(CString(text.substr(pos, cr - pos)));
        pos = cr + 2;  // the CR and the one character after it
    }
    if (!tag.empty() && lines.GetSize() > before &&
        lines[lines.GetUpperBound()].view().find(tag) != std::string_view::npos)
        lines.RemoveAt(lines.GetUpperBound());
    return lines.GetSize();
}
