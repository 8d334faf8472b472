#include "mime/utf8_to_ansi.h"

#include <cstdint>
#include <memory>
#include <new>

#include "platform/codepage.h"

void Utf8ToAnsi(CString& text) {
    const std::string& in = text.str();
    // One unit per byte at most, plus the terminating one. Without memory the text stays as it is.
    const size_t capacity = in.size() + 1;
    std::unique_ptr<uint16_t[]> units(new (std::nothrow) uint16_t[capacity]());
    if (!units) return;
    size_t cur = 0;
    for (const char ch : in) {
        const unsigned b = static_cast<unsigned char>(ch);
        if (b < 128) {
            if (units[cur] != 0) ++cur;
            units[cur] = static_cast<uint16_t>(b);
            ++cur;
            continue;
        }
        if ((b & 0x40) != 0 && units[cur] != 0) ++cur;  // a lead byte starts a new character
        int clear = 7;
        while (clear >= 0 && (b & (1u << clear)) != 0) --clear;
        for (int bit = clear - 1; bit >= 0; --bit)
            units[cur] = static_cast<uint16_t>((units[cur] << 1) | ((b >> bit) & 1u));
    }
    // The units up to and including the current one; the conversion stops at a zero unit.
    size_t count = 0;
    while (count <= cur && count < capacity && units[count] != 0) ++count;
    std::string out;
    out.reserve(count);
    codepage::WideToAnsi(units.get(), static_cast<int>(count), out);
    text = CString(std::move(out));
}
