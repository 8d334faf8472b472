#include "mime/line_gram_index.h"

#include <algorithm>

#include "mime/text_match.h"
#include "platform/cstring.h"

namespace {
inline unsigned char Fold(char ch) { return static_cast<unsigned char>(AsciiLower(ch)); }
}  // namespace

uint32_t LineGramIndex::Bucket(const char* p) const {
    uint32_t h = 0;
    for (size_t i = 0; i < m_gram; ++i) h = h * 251u + Fold(p[i]);
    return (h * 2654435761u) >> (32 - kBucketBits);
}

LineGramIndex::LineGramIndex(const LineArray& lines, int end, size_t gram)
    : m_lines(lines), m_end(end), m_gram(gram < 1 ? 1 : gram > kMaxGram ? kMaxGram : gram) {
    // Two passes: count the entries of each bucket, then place them; a line is listed once per
    // bucket (its entries for one bucket are consecutive, so the last entry tells).
    std::vector<int32_t> lastLine(kBuckets, -1);
    std::vector<uint32_t> count(kBuckets + 1, 0);
    for (int pass = 0; pass < 2; ++pass) {
        std::fill(lastLine.begin(), lastLine.end(), -1);
        for (int i = 0; i < end; ++i) {
            const std::string_view line = lines[i];
            for (size_t k = 0; k + m_gram <= line.size(); ++k) {
                const uint32_t b = Bucket(line.data() + k);
                if (lastLine[b] == i) continue;
                lastLine[b] = i;
                if (pass == 0)
                    ++count[b + 1];
                else
                    m_lineOf[m_start[b] + count[b]++] = i;
            }
        }
        if (pass == 0) {
            m_start.assign(kBuckets + 1, 0);
            for (uint32_t b = 0; b < kBuckets; ++b) m_start[b + 1] = m_start[b] + count[b + 1];
            m_lineOf.assign(m_start[kBuckets], 0);
            std::fill(count.begin(), count.end(), 0);
        }
    }
}

int LineGramIndex::FindLineContaining(int from, std::string_view text) const {
    if (!Usable(text) || from >= m_end) return -1;
    uint32_t best = 0;
    uint32_t bestSize = UINT32_MAX;
    for (size_t k = 0; k + m_gram <= text.size(); ++k) {
        const uint32_t b = Bucket(text.data() + k);
        const uint32_t size = m_start[b + 1] - m_start[b];
        if (size < bestSize) {
            best = b;
            bestSize = size;
        }
    }
    const int32_t* first = m_lineOf.data() + m_start[best];
    const int32_t* last = m_lineOf.data() + m_start[best + 1];
    const NoCaseFinder finder(text);
    for (const int32_t* it = std::lower_bound(first, last, std::max(from, 0)); it != last; ++it)
        if (finder.In(m_lines[*it])) return *it;
    return -1;
}
