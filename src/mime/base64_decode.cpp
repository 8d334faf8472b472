#include "mime/base64_decode.h"

#include <cstring>

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

// Returns the number of bytes written to out (room for at least size * 3 / 4 + 1 bytes).
size_t Decode(const unsigned char* in, size_t size, unsigned char* out) {
    unsigned char* const start = out;
    size_t i = 0;
    // Fast path: whole groups of four alphabet characters, the bulk of line-broken data.
    while (i + 4 <= size) {
        const uint32_t v = kPlaced.shifted[0][in[i]] | kPlaced.shifted[1][in[i + 1]] |
                           kPlaced.shifted[2][in[i + 2]] | kPlaced.shifted[3][in[i + 3]];
        if (v & 0x80000000u) break;
        out[0] = static_cast<unsigned char>(v >> 16);
        out[1] = static_cast<unsigned char>(v >> 8);
        out[2] = static_cast<unsigned char>(v);
        out += 3;
        i += 4;
        // A line break between groups: step over it and stay on the fast path.
        while (i < size && kTable.value[in[i]] == kSkip) ++i;
    }
    unsigned group[4] = {0, 0, 0, 0};
    int held = 0;
    for (; i < size; ++i) {
        const unsigned v = kTable.value[in[i]];
        if (v == kSkip) continue;
        if (v == kEnd) {
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

}  // namespace

int32_t Base64Decode(const CString& text, std::unique_ptr<unsigned char[]>& bytes, int32_t& length) {
    const size_t size = static_cast<size_t>(text.GetLength());
    // Room for every byte the text can decode to and a zero after them, and no more: memory
    // written but never read costs as much as the decoding on a large attachment.
    const size_t room = size / 4 * 3 + 3;
    bytes = std::make_unique_for_overwrite<unsigned char[]>(room);
    AdviseLargeBuffer(bytes.get(), room);
    const size_t n = Decode(reinterpret_cast<const unsigned char*>(text.c_str()), size, bytes.get());
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
