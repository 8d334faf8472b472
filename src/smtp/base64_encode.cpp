#include "smtp/base64_encode.h"

#include <cstdint>
#include <new>
#include <string>

namespace smtp {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kLineLength = 70;

size_t AlphabetCharacters(size_t count) {
    const size_t rest = count % 3;
    return count / 3 * 4 + (rest == 0 ? 0 : rest + 1);
}

// Writes exactly Base64EncodedLength(count) characters.
void EncodeInto(const unsigned char* in, size_t count, char* out) {
    size_t column = 0;
    auto put = [&](unsigned index) {
        *out++ = kAlphabet[index & 0x3F];
        if (++column == kLineLength) {
            *out++ = '\r';
            *out++ = '\n';
            column = 0;
        }
    };
    size_t i = 0;
    for (; i + 3 <= count; i += 3) {
        const uint32_t group = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
        put(group >> 18);
        put(group >> 12);
        put(group >> 6);
        put(group);
    }
    const size_t rest = count - i;
    if (rest == 0) return;
    const uint32_t group = (uint32_t{in[i]} << 16) | (rest == 2 ? uint32_t{in[i + 1]} << 8 : 0);
    put(group >> 18);
    put(group >> 12);
    if (rest == 2) put(group >> 6);
    for (size_t fill = rest; fill < 3; ++fill) *out++ = '=';
}

}  // namespace

size_t Base64EncodedLength(size_t count) {
    const size_t alphabet = AlphabetCharacters(count);
    const size_t fill = count % 3 == 0 ? 0 : 3 - count % 3;
    return alphabet + alphabet / kLineLength * 2 + fill;
}

bool Base64Encode(const void* bytes, size_t count, CString& text) {
    if (count == 0) return true;
    if (!bytes) return false;
    std::string& out = text.str();
    const size_t before = out.size();
    const size_t length = Base64EncodedLength(count);
    try {
        out.resize(before + length);
    } catch (const std::exception&) {  // bad_alloc or length_error: a huge file, not a crash
        return false;
    }
    EncodeInto(static_cast<const unsigned char*>(bytes), count, out.data() + before);
    return true;
}

std::unique_ptr<char[]> Base64Encode(const void* bytes, size_t count) {
    if (count > 0 && !bytes) return nullptr;
    const size_t length = Base64EncodedLength(count);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[length + 1]);
    if (!buffer) return nullptr;
    if (count > 0) EncodeInto(static_cast<const unsigned char*>(bytes), count, buffer.get());
    buffer[length] = '\0';
    return buffer;
}

}  // namespace smtp
