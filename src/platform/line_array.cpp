#include "platform/line_array.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/large_buffer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// The number of CRs in text: at least the number of lines less one.
size_t CountCrs(const char* p, const char* end) {
    const __m128i cr = _mm_set1_epi8('\r');
    size_t count = 0;
    while (end - p >= 16) {
        // Per byte lane, minus one for each CR (at most 255 blocks before the lanes are summed).
        __m128i lanes = _mm_setzero_si128();
        for (int n = 0; n < 255 && end - p >= 16; ++n, p += 16)
            lanes =
                _mm_sub_epi8(lanes, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), cr));
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count +=
            static_cast<size_t>(_mm_cvtsi128_si32(sums)) + static_cast<size_t>(_mm_extract_epi16(sums, 4));
    }
    for (; p < end; ++p) count += *p == '\r';
    return count;
}
#endif

}  // namespace

int LineArray::AppendLines(std::string_view text) { return AppendLines(std::string(text)); }

int LineArray::AppendLines(std::string&& text) {
    if (text.empty()) return 0;
    m_texts.push_back(std::make_unique<std::string>(std::move(text)));
    return AppendViews(*m_texts.back());
}

int LineArray::AppendViews(std::string_view text) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const size_t before = m_lines.size();
#if defined(__SSE2__)
    // Sixteen bytes at a time: each CR of a block that is not the character after another
    // line's CR ends a line. Room for every CR plus a last line, so the array grows once.
    m_lines.reserve(before + CountCrs(begin, end) + 1);
    AdviseLargeBuffer(m_lines.data(), m_lines.capacity() * sizeof(std::string_view));
    const __m128i crs = _mm_set1_epi8('\r');
    const char* line = begin;  // start of the line being read; end once the text is done
    const char* p = begin;
    for (; end - p >= 16 && line < end; p += 16) {
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), crs)));
        while (mask != 0) {
            const char* cr = p + __builtin_ctz(mask);
            mask &= mask - 1;
            if (cr < line) continue;  // the character after a CR, itself a CR
            m_lines.emplace_back(line, static_cast<size_t>(cr - line));
            line = AfterLineEnd(cr, end);
        }
    }
    while (line < end) {
        const char* cr = FindCr(std::max(p, line), end);
        m_lines.emplace_back(line, static_cast<size_t>(cr - line));
        line = AfterLineEnd(cr, end);
    }
#else
    // Counted first so the array grows once, not by doubling through a large message.
    size_t count = 0;
    for (const char* p = begin; p < end; ++count) p = AfterLineEnd(FindCr(p, end), end);
    m_lines.reserve(before + count);
    AdviseLargeBuffer(m_lines.data(), m_lines.capacity() * sizeof(std::string_view));
    for (const char* p = begin; p < end;) {
        const char* cr = FindCr(p, end);
        m_lines.emplace_back(p, static_cast<size_t>(cr - p));
        p = AfterLineEnd(cr, end);
    }
#endif
    return static_cast<int>(m_lines.size() - before);
}
