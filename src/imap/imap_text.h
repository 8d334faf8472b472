// Small readers for numbers inside response text.
#pragma once

#include <cstdint>
#include <string_view>

// The leading decimal number of `text` the way the C library's atoi reads it (leading blanks
// skipped, an optional sign, then digits; 0 when there are none), except that an overlong
// number wraps around instead of being undefined.
inline int32_t LeadingDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}
