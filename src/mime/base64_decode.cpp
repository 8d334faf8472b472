#include "mime/base64_decode.h"

#include <cstring>
#include <vector>

#include "platform/large_buffer.h"

namespace {

constexpr unsigned char kSkip = 0xFF;
constexpr unsigned char kEnd = 0xFE;

struct DecodeTable {
    unsigned char value[256];
    constexpr DecodeTable() : value() {
        for (int i = 0; i < 256; ++i) value[i] = kSkip;
        for (int i = 0; i < 26; ++i) {
            value['A' + i] = static_cast<unsigned char>(i);
            value['a' + i] = static_cast<unsigned char>(26 + i);
        }
        for (int i = 0; i < 10; ++i) value['0' + i] = static_cast<unsigned char>(52 + i);
        value[static_cast<unsigned char>('+')] = 62;
        value[static_cast<unsigned char>('/')] = 63;
        value[static_cast<unsigned char>('=')] = kEnd;
        value[static_cast<unsigned char>('}')] = kEnd;
    }
};
constexpr DecodeTable kTable;

// Each character's value already in its place within a 24-bit group; bit 31 marks a character
// outside the alphabet, so one test covers four characters.
struct PlacedTables {
    uint32_t shifted[4][256];
    constexpr PlacedTables() : shifted() {
        for (int i = 0; i < 256; ++i) {
            const unsigned v = kTable.value[i];
            for (int k = 0; k < 4; ++k) shifted[k][i] = v >= 64 ? 0x80000000u : v << (18 - 6 * k);
        }
    }
};
constexpr PlacedTables kPlaced;

inline uint32_t Group(const unsigned char* in) {
    return kPlaced.shifted[0][in[0]] | kPlaced.shifted[1][in[1]] | kPlaced.shifted[2][in[2]] |
           kPlaced.shifted[3][in[3]];
}

// The three bytes of a group, first byte first, in one four-byte store (the fourth byte is
// scratch, overwritten by what follows or left in the slack).
inline void Store(unsigned char* out, uint32_t group) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(group >> 16),
                                    static_cast<unsigned char>(group >> 8), static_cast<unsigned char>(group),
                                    0};
    std::memcpy(out, bytes, 4);
}

// Decoding state carried from one piece of text to the next.
struct Decoder {
    unsigned group[4] = {0, 0, 0, 0};
    int held = 0;
    bool ended = false;

    // Decodes in[0, size) to out, which has room for size * 3 / 4 + 4 bytes (scratch included);
    // returns the number of bytes written.
    size_t Run(const unsigned char* in, size_t size, unsigned char* out) {
        unsigned char* const start = out;
        size_t i = 0;
        while (i < size && !ended) {
            if (held == 0) {
                // Whole groups of four alphabet characters, the bulk of line-broken data, two at a
                // time; line breaks between groups are stepped over without leaving this loop.
                while (i + 8 <= size) {
                    const uint32_t first = Group(in + i);
                    const uint32_t second = Group(in + i + 4);
                    if (((first | second) & 0x80000000u) == 0) {
                        Store(out, first);
                        Store(out + 3, second);
                        out += 6;
                        i += 8;
                    } else if ((first & 0x80000000u) == 0) {
                        Store(out, first);
                        out += 3;
                        i += 4;
                    } else if (kTable.value[in[i]] == kSkip) {
                        ++i;
                    } else {
                        break;
                    }
                }
                while (i + 4 <= size) {
                    const uint32_t v = Group(in + i);
                    if (v & 0x80000000u) break;
                    Store(out, v);
                    out += 3;
                    i += 4;
                }
                if (i >= size) break;
            }
            // One character at a time: a skipped one, an end mark, or a group across a gap.
            const unsigned v = kTable.value[in[i++]];
            if (v == kSkip) continue;
            if (v == kEnd) {
                ended = true;
                if (held == 0) break;
                // The missing values count as zero; only the bytes the held values fill are kept.
                *out++ = static_cast<unsigned char>(group[0] << 2 | group[1] >> 4);
                if (held == 3) *out++ = static_cast<unsigned char>((group[1] & 15) << 4 | group[2] >> 2);
                break;
            }
            group[held++] = v;
            if (held == 4) {
                *out++ = static_cast<unsigned char>(group[0] << 2 | group[1] >> 4);
                *out++ = static_cast<unsigned char>((group[1] & 15) << 4 | group[2] >> 2);
                *out++ = static_cast<unsigned char>((group[2] & 3) << 6 | group[3]);
                held = 0;
                group[1] = group[2] = 0;
            }
        }
        return static_cast<size_t>(out - start);
    }
};

// Text decoded per piece by Base64DecodeTo: 48 KB of text, at most 36 KB of bytes.
constexpr size_t kPiece = 48 * 1024;

}  // namespace

int32_t Base64Decode(const CString& text, std::unique_ptr<unsigned char[]>& bytes, int32_t& length) {
    const size_t size = static_cast<size_t>(text.GetLength());
    // Room for every byte the text can decode to, the decoder's scratch and a zero after them,
    // and no more: memory written but never read costs as much as the decoding on a large
    // attachment.
    const size_t room = size / 4 * 3 + 4;
    bytes = std::make_unique_for_overwrite<unsigned char[]>(room);
    AdviseLargeBuffer(bytes.get(), room);
    Decoder decoder;
    const size_t n = decoder.Run(reinterpret_cast<const unsigned char*>(text.c_str()), size, bytes.get());
    std::memset(bytes.get() + n, 0, room - n);
    length = static_cast<int32_t>(n);
    return 0;
}

int32_t Base64DecodeText(const CString& text, CString& result) {
    std::unique_ptr<unsigned char[]> bytes;
    int32_t length = 0;
    Base64Decode(text, bytes, length);
    const char* data = reinterpret_cast<const char*>(bytes.get());
    result = CString(data, static_cast<int>(std::strlen(data)));
    return 0;
}

size_t Base64DecodeTo(std::string_view text, const std::function<bool(const unsigned char*, size_t)>& sink) {
    std::vector<unsigned char> buffer(kPiece / 4 * 3 + 4);
    Decoder decoder;
    size_t total = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t at = 0; at < text.size() && !decoder.ended;) {
        const size_t piece = std::min(kPiece, text.size() - at);
        const size_t n = decoder.Run(in + at, piece, buffer.data());
        at += piece;
        total += n;
        if (n > 0 && !sink(buffer.data(), n)) break;
    }
    return total;
}
