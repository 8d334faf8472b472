#include "platform/line_array.h"

#include <cstring>

#include "platform/large_buffer.h"

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
    for (const char* p = text.data(); p < end; ++count) {
        const void* cr = std::memchr(p, '\r', static_cast<size_t>(end - p));
        p = cr && static_cast<const char*>(cr) + 1 < end ? static_cast<const char*>(cr) + 2 : end;
    }
    m_lines.reserve(m_lines.size() + count);
    AdviseLargeBuffer(m_lines.data(), m_lines.capacity() * sizeof(std::string_view));
    for (const char* p = text.data(); p < end;) {
        const void* hit = std::memchr(p, '\r', static_cast<size_t>(end - p));
        const char* cr = hit ? static_cast<const char*>(hit) : end;
        m_lines.emplace_back(p, static_cast<size_t>(cr - p));
        p = cr + 1 < end ? cr + 2 : end;  // the CR and the one character after it
    }
    return static_cast<int>(count);
}
