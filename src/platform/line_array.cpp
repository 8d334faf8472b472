#include "platform/line_array.h"

#include <cstdint>
#include <cstring>

#include "platform/large_buffer.h"

namespace {

// The first CR in [p, end), or end. A machine word at a time: on lines of typical length this
// beats a library search call per line, most of all on emulated 32-bit code.
const char* FindCr(const char* p, const char* end) {
    constexpr uintptr_t kOnes = static_cast<uintptr_t>(-1) / 255;
    constexpr uintptr_t kCrs = kOnes * '\r';
    constexpr uintptr_t kHighs = kOnes * 0x80;
    while (static_cast<size_t>(end - p) >= sizeof(uintptr_t)) {
        uintptr_t word;
        std::memcpy(&word, p, sizeof word);
        const uintptr_t x = word ^ kCrs;  // a zero byte where a CR was
        if ((x - kOnes) & ~x & kHighs) break;
        p += sizeof word;
    }
    while (p < end && *p != '\r') ++p;
    return p;
}

// Past the CR at cr and the one character after it.
const char* AfterLineEnd(const char* cr, const char* end) { return end - cr > 2 ? cr + 2 : end; }

}  // namespace

int LineArray::AppendLines(std::string_view text) { return AppendLines(std::string(text)); }

int LineArray::AppendLines(std::string&& text) {
    if (text.empty()) return 0;
    m_texts.push_back(std::make_unique<std::string>(std::move(text)));
    return AppendViews(*m_texts.back());
}

int LineArray::AppendViews(std::string_view text) {
    const char* const end = text.data() + text.size();
    // Counted first so the array grows once, not by doubling through a large message.
    size_t count = 0;
    for (const char* p = text.data(); p < end; ++count) p = AfterLineEnd(FindCr(p, end), end);
    m_lines.reserve(m_lines.size() + count);
    AdviseLargeBuffer(m_lines.data(), m_lines.capacity() * sizeof(std::string_view));
    for (const char* p = text.data(); p < end;) {
        const char* cr = FindCr(p, end);
        m_lines.emplace_back(p, static_cast<size_t>(cr - p));
        p = AfterLineEnd(cr, end);
    }
    return static_cast<int>(count);
}
