// An index of the byte sequences of one length (letters folded) each line holds, for messages
// whose boundary searches keep failing: a line can hold a text only if it holds every piece of
// it, so the lines listed under the text's rarest piece are the only ones to check. A text as
// long as the pieces is its own piece, and its list holds just the lines that contain it; longer
// texts use pieces of five bytes, which keep the lists short even where boundaries differ only
// in a counter.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/line_array.h"

class LineGramIndex {
public:
    static constexpr size_t kMaxGram = 5;
    // The piece length that serves a text of this length (not empty).
    static size_t GramFor(std::string_view text) { return text.size() < kMaxGram ? text.size() : kMaxGram; }

    // Indexes the pieces of length gram (1 to kMaxGram) of lines [0, end).
    LineGramIndex(const LineArray& lines, int end, size_t gram);

    // The first line in [from, end) containing text without regard to case, -1 when none.
    // Texts shorter than the pieces cannot be looked up: Usable() says so.
    bool Usable(std::string_view text) const { return text.size() >= m_gram; }
    int FindLineContaining(int from, std::string_view text) const;

private:
    static constexpr int kBucketBits = 18;
    static constexpr uint32_t kBuckets = 1u << kBucketBits;
    uint32_t Bucket(const char* p) const;

    const LineArray& m_lines;
    int m_end;
    size_t m_gram;
    std::vector<uint32_t> m_start;  // bucket b lists m_lineOf[m_start[b] .. m_start[b + 1])
    std::vector<int32_t> m_lineOf;  // ascending line numbers per bucket
};
