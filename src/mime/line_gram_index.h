// An index of the three-byte sequences (letters folded) each line holds, for messages whose
// boundary searches keep failing: a line can hold a text only if it holds every three-byte
// piece of it, so the lines listed under the text's rarest piece are the only ones to check.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/line_array.h"

class LineGramIndex {
public:
    // Indexes lines [0, end).
    LineGramIndex(const LineArray& lines, int end);

    // The first line in [from, end) containing text without regard to case, -1 when none.
    // Texts shorter than three bytes cannot be looked up: Usable() says so.
    static bool Usable(std::string_view text) { return text.size() >= 3; }
    int FindLineContaining(int from, std::string_view text) const;

private:
    static constexpr uint32_t kBuckets = 1u << 16;
    static uint32_t Bucket(unsigned char a, unsigned char b, unsigned char c);

    const LineArray& m_lines;
    int m_end;
    std::vector<uint32_t> m_start;  // bucket b lists m_lineOf[m_start[b] .. m_start[b + 1])
    std::vector<int32_t> m_lineOf;  // ascending line numbers per bucket
};
