#include "mime/text_match.h"

#include <cstring>

#include "platform/cstring.h"

namespace {
inline unsigned char Fold(char ch) { return static_cast<unsigned char>(AsciiLower(ch)); }

// How rare a byte is in message lines, for NoCaseFinder's first test: 0 for letters and spaces,
// which it never uses (a letter has two cases), then digits, "=", other punctuation.
int AnchorRank(char ch) {
    if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == ' ') return 0;
    if (ch >= '0' && ch <= '9') return 1;
    return ch == '=' ? 2 : 3;
}
}  // namespace

bool StartsWithNoCase(std::string_view prefix, std::string_view text) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Fold(prefix[i]) != Fold(text[i])) return false;
    return true;
}

bool ContainsNoCase(std::string_view needle, std::string_view text) {
    if (needle.empty() || text.empty() || needle.size() > text.size()) return false;
    // Short needles (header names, media types) are searched directly: at most 16 comparisons
    // per position keeps it linear without preparing a finder.
    if (needle.size() <= 16) {
        const unsigned char first = Fold(needle[0]);
        for (size_t pos = 0; pos + needle.size() <= text.size(); ++pos) {
            if (Fold(text[pos]) != first) continue;
            size_t k = 1;
            while (k < needle.size() && Fold(text[pos + k]) == Fold(needle[k])) ++k;
            if (k == needle.size()) return true;
        }
        return false;
    }
    return NoCaseFinder(needle).In(text);
}

NoCaseFinder::NoCaseFinder(std::string_view needle) : m_needle(needle) {
    const size_t m = m_needle.size();
    // A text without the needle's rarest non-letter byte cannot hold the needle: boundaries are
    // made of punctuation that base64 lines and most text lines lack, so a library scan for that
    // byte rejects most lines at once. Punctuation other than "=" first, then "=", then digits.
    int best = 0;
    for (char ch : m_needle) {
        if (AnchorRank(ch) > best) {
            best = AnchorRank(ch);
            m_anchor = static_cast<unsigned char>(ch);
        }
    }
    const auto cap = [](size_t shift) { return static_cast<uint8_t>(shift > 255 ? 255 : shift); };
    std::memset(m_skip, cap(m == 0 ? 1 : m), sizeof m_skip);
    for (size_t i = 0; i + 1 < m; ++i) {
        const unsigned char c = Fold(m_needle[i]);
        m_skip[c] = cap(m - 1 - i);
        if (c >= 'a' && c <= 'z') m_skip[c - 32] = cap(m - 1 - i);
    }
}

bool NoCaseFinder::In(std::string_view text) const {
    const size_t m = m_needle.size();
    const size_t n = text.size();
    if (m == 0 || n == 0 || m > n) return false;
    if (m_anchor >= 0 && std::memchr(text.data(), m_anchor, n) == nullptr) return false;
    const char* t = text.data();
    const char* p = m_needle.data();
    const unsigned char last = Fold(p[m - 1]);
    // Skip search; its worst case is quadratic, so a budget of comparisons hands hard texts to
    // the table scan, which never looks at a byte twice.
    size_t budget = 2 * n + 64;
    size_t pos = 0;
    while (pos + m <= n) {
        const unsigned char c = static_cast<unsigned char>(t[pos + m - 1]);
        if (Fold(static_cast<char>(c)) == last) {
            size_t k = 0;
            while (k + 1 < m && Fold(t[pos + k]) == Fold(p[k])) ++k;
            if (k + 1 >= m) return true;
            if (k + 1 > budget) return ScanWithTable(text);
            budget -= k + 1;
        }
        pos += m_skip[c];
    }
    return false;
}

bool NoCaseFinder::ScanWithTable(std::string_view text) const {
    const size_t m = m_needle.size();
    if (m_table.empty()) {
        m_table.assign(m + 1, 0);
        m_table[0] = -1;
        int k = -1;
        for (size_t i = 0; i < m; ++i) {
            while (k >= 0 && Fold(m_needle[static_cast<size_t>(k)]) != Fold(m_needle[i]))
                k = m_table[static_cast<size_t>(k)];
            ++k;
            m_table[i + 1] = k;
        }
    }
    int k = 0;
    for (char ch : text) {
        const unsigned char c = Fold(ch);
        while (k >= 0 && Fold(m_needle[static_cast<size_t>(k)]) != c) k = m_table[static_cast<size_t>(k)];
        ++k;
        if (static_cast<size_t>(k) == m) return true;
    }
    return false;
}

bool NoCaseFinder::NeedleContains(std::string_view text) const {
    if (text.empty() || text.size() > m_needle.size()) return false;
    return NoCaseFinder(text).In(m_needle);
}
