#include "mime/quoted_printable.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

static_assert(std::endian::native == std::endian::little, "byte masks are read lowest address first");

struct HexTable {
    signed char value[256];
    constexpr HexTable() : value() {
        for (int i = 0; i < 256; ++i) value[i] = -1;
        for (int i = 0; i < 10; ++i) value['0' + i] = static_cast<signed char>(i);
        for (int i = 0; i < 6; ++i) {
            value['A' + i] = static_cast<signed char>(10 + i);
            value['a' + i] = static_cast<signed char>(10 + i);
        }
    }
};
constexpr HexTable kHex;

inline int HexValue(char ch) { return kHex.value[static_cast<unsigned char>(ch)]; }

// The "=" or CR at q[0] with the two characters after it: writes the decoded byte at *out
// (scratch when nothing is emitted) and moves out and i past what it emits and reads. An "=" before
// a hex digit makes one byte of the next two characters (the second counts as 0 when it is no
// hex digit) and takes both; any other "=" goes alone, the next character read as an ordinary
// one; a CR goes.
inline void Special(const unsigned char* q, char* p, size_t& out, size_t& i) {
    const int high = kHex.value[q[1]];
    const int low = kHex.value[q[2]];
    const bool escape = q[0] == '=' && high >= 0;
    p[out] = static_cast<char>(high * 16 + (low < 0 ? 0 : low));
    out += escape ? 1 : 0;
    i += escape ? 3 : 1;
}

// Decodes p[i, end) as the byte loop of the rules, reading from `in` (p's bytes as they were
// before anything was written) and writing to p[out...].
void DecodeTail(const unsigned char* in, size_t base, char* p, size_t& outRef, size_t& iRef, size_t end) {
    // Positions in locals: stores through p could alias the references, which would then be
    // read back from memory at every byte.
    size_t out = outRef;
    size_t i = iRef;
    while (i < end) {
        const unsigned char ch = in[i - base];
        if (ch != '=' && ch != '\r') {
            p[out++] = static_cast<char>(ch);
            ++i;
            continue;
        }
        const unsigned char q[3] = {ch, i + 1 < end ? in[i + 1 - base] : static_cast<unsigned char>(0),
                                    i + 2 < end ? in[i + 2 - base] : static_cast<unsigned char>(0)};
        Special(q, p, out, i);
    }
    outRef = out;
    iRef = i;
}

#if defined(__SSE2__)
// Sixteen bytes at a time: each window is stored whole where the output stands, and the output
// moves on by the bytes before the window's first "=" or CR; then that byte is decoded. Wide
// stores can overwrite text not read yet, so the text is read from a copy taken a few KB at a
// time, and no store reaches past what has been copied.
void DecodeWide(char* p, size_t& outRef, size_t& iRef, size_t end) {
    constexpr size_t kChunk = 4096;
    // A window, the two characters after it, and a store begun at the window's last byte.
    constexpr size_t kMargin = 34;
    alignas(16) unsigned char copy[kChunk];
    const __m128i equals = _mm_set1_epi8('=');
    const __m128i cr = _mm_set1_epi8('\r');
    size_t out = outRef;  // in locals, as in DecodeTail
    size_t i = iRef;
    size_t base = i;  // the copy holds the text's bytes [base, base + copied) as they were
    size_t copied = 0;
    for (;;) {
        // What the copy holds from i on moves to its front (the text there may be overwritten).
        const size_t kept = base + copied - i;
        std::memmove(copy, copy + (i - base), kept);
        const size_t more = std::min(kChunk - kept, end - (i + kept));
        std::memcpy(copy + kept, p + i + kept, more);
        base = i;
        copied = kept + more;
        const size_t stop = copied > kMargin ? base + copied - kMargin : base;
        while (i < stop) {
            const unsigned char* const w = copy + (i - base);
            const __m128i window = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
            unsigned mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(window, equals), _mm_cmpeq_epi8(window, cr))));
            if (mask == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + out), window);
                out += 16;
                i += 16;
                continue;
            }
            if ((mask & (mask << 1 | mask << 2)) != 0) {
                // Specials within two bytes of one another: one at a time, as the rules read them.
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + out), window);
                const size_t run = static_cast<size_t>(__builtin_ctz(mask));
                out += run;
                i += run;
                Special(copy + (i - base), p, out, i);
                continue;
            }
            // Every special of the window is decoded from the mask: none lies within the two
            // characters an escape before it takes.
            size_t from = 0;  // the window's bytes before this one are done
            while (mask != 0) {
                const size_t at = static_cast<size_t>(__builtin_ctz(mask));
                mask &= mask - 1;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + out),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + from)));
                out += at - from;
                size_t next = at;
                Special(w + at, p, out, next);
                from = next;
            }
            if (from < 16) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + out),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + from)));
                out += 16 - from;
                from = 16;
            }
            i += from;
        }
        if (base + copied == end) {
            DecodeTail(copy, base, p, out, i, end);
            outRef = out;
            iRef = i;
            return;
        }
    }
}
#endif

}  // namespace

bool QuotedPrintableDecode(CString& text) {
    if (text.IsEmpty()) return true;
    std::string& s = text.str();
    // The text is a C string to the decoder: it ends at its first NUL.
    const void* nul = std::memchr(s.data(), '\0', s.size());
    size_t end = nul ? static_cast<size_t>(static_cast<const char*>(nul) - s.data()) : s.size();
    if (end >= 3 && s[end - 3] == '=') end -= 3;
    // The output is never longer than the input, so it is written over the text in place.
    char* const p = s.data();
    size_t out = 0;
    size_t i = 0;
#if defined(__SSE2__)
    DecodeWide(p, out, i, end);
#else
    // A byte is written only where one has been read: the text is its own source.
    DecodeTail(reinterpret_cast<const unsigned char*>(p), 0, p, out, i, end);
#endif
    s.resize(out);
    // The decoded text is taken up to its first NUL, as a C string.
    const void* zero = std::memchr(s.data(), '\0', s.size());
    if (zero) s.resize(static_cast<size_t>(static_cast<const char*>(zero) - s.data()));
    return true;
}
