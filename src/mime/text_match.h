// The module's case-insensitive text tests. Only A-Z fold, as everywhere in the module.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// True when text begins with prefix, letters compared without case; an empty prefix matches.
bool StartsWithNoCase(std::string_view prefix, std::string_view text);

// True when needle occurs in text without regard to case; false when either is empty.
bool ContainsNoCase(std::string_view needle, std::string_view text);

// A needle prepared once and searched in many texts (the line searches of the parser).
// Linear in the text whatever the needle: a skip search that falls back to a prefix-table scan
// when a text makes it compare too much. It refers to the needle, which must outlive it.
class NoCaseFinder {
public:
    explicit NoCaseFinder(std::string_view needle);

    bool Empty() const { return m_needle.empty(); }
    size_t Length() const { return m_needle.size(); }
    // Same answer as ContainsNoCase(needle, text).
    bool In(std::string_view text) const;
    // True when text occurs in the needle (text not empty).
    bool NeedleContains(std::string_view text) const;

private:
    bool ScanWithTable(std::string_view text) const;

    std::string_view m_needle;         // folded as it is compared
    int m_anchor = -1;                 // a byte of the needle that no letter case changes
    uint8_t m_skip[256];               // Horspool shifts, capped: a shorter shift is still safe
    mutable std::vector<int> m_table;  // built on first need
};
