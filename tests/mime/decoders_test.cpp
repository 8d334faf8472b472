#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "mime/base64_decode.h"
#include "mime/encoded_word.h"
#include "mime/html_to_text.h"
#include "mime/quoted_printable.h"
#include "mime/utf8_to_ansi.h"

namespace {

// Both forms at once: the block holds every byte and a zero after them; the text form ends at
// the first zero byte.
std::string Base64(const std::string& in) {
    std::unique_ptr<unsigned char[]> bytes;
    int32_t length = -1;
    EXPECT_EQ(Base64Decode(CString(in), bytes, length), 0);
    EXPECT_EQ(bytes[static_cast<size_t>(length)], 0) << in;
    const std::string block(reinterpret_cast<const char*>(bytes.get()), static_cast<size_t>(length));
    CString text("stale");
    EXPECT_EQ(Base64DecodeText(CString(in), text), 0);
    EXPECT_EQ(text.str(), block.substr(0, block.find('\0'))) << in;
    return block;
}

template <auto Convert>
std::string InPlace(const std::string& in) {
    CString text(in);
    Convert(text);
    return text.str();
}

std::string Html(const std::string& in) {
    CString result("stale");
    HtmlToText(CString(in), result);
    return result.str();
}

TEST(DecodersTest, Table) {
    const auto Ansi = InPlace<Utf8ToAnsi>;
    const auto Word = InPlace<DecodeEncodedWord>;
    const struct {
        std::string (*decode)(const std::string&);
        const char* name;
        std::string in, out;
    } cases[] = {
        {Ansi, "two-byte e-acute after three letters", "caf\xC3\xA9", "caf\xE9"},
        {Ansi, "three-byte euro sign", "\xE2\x82\xAC 5", "\x80 5"},
        {Ansi, "three-byte character the code page lacks", "a\xE4\xB8\xAD!", "a?!"},
        {Ansi, "four-byte character keeps its low 16 bits", "\xF0\x90\x81\x81", "A"},
        {Ansi, "truncated sequence before ascii", "\xC3x", "\x03x"},
        {Ansi, "truncated three-byte sequence at the end", "ab\xE2\x82", "ab?"},
        {Ansi, "combining mark on a letter without composite is dropped", "q\xCC\x81", "q"},
        {Ansi, "combining mark alone is dropped", "\xCC\x81x", "x"},
        {Ansi, "overlong zero ends nothing", "a\xC0\x80!", "a!"},
        {Word, "base64 utf-8, lower letter", "=?UTF-8?b?w6l0w6k=?=", "\xE9t\xE9"},
        {Word, "mixed-case charset is not utf-8", "=?Utf-8?B?w6k=?=", "\xC3\xA9"},
        {Word, "q other charset with prefix and suffix", "Re: =?iso-8859-1?Q?caf=E9_au_lait?= !",
         "Re: caf\xE9_au_lait !"},
        {Word, "q final encoded byte is cut", "=?iso-8859-1?Q?caf=E9?=", "caf"},
        {Word, "utf-8 converts prefix and suffix too", "\xC3\xA9 =?utf-8?Q?x?= \xC3\xA9", "\xE9 x \xE9"},
        {Word, "two words: second stays", "=?utf-8?Q?a?= =?utf-8?Q?b?=", "a =?utf-8?Q?b?="},
        {Word, "two questions then Q shape decodes", "a?b?Q?x=41y?", "xAy"},
        {Word, "question mark before the word stops it", "FYI? =?utf-8?B?w6k=?=", "FYI? =?utf-8?B?w6k=?="},
        {Word, "question marks before the word split it", "ok?a?Q?b =?iso?Q?x?=", "ok?a?Q?b b "},
        {Word, "q word starting with equals repeats the rest", "=?iso-8859-1?Q?=E9t=E9?=", "\xE9tE9t=E9?="},
        {Word, "no payload end", "=?utf-8?Q?abc", "=?utf-8?Q?abc"},
        {Html, "paragraph ends and break tags in any case", "<p>One</P>a<BR>b<br>c<Br>", "One\na\nb\nc\n"},
        {Html, "only the bare tags break", "a<br/>b<br >c<br class=x>d</p class=x>e", "abcde"},
        {Html, "title text stays, then a line feed", "<html><title>Hi</title><body>x</body>", "Hi\nx"},
        {Html, "script content dropped whatever tags stand between",
         "a<script type=x>if (1 < 2) <b>x</b> y > z;</SCRIPT>b", "ab"},
        // Entities are found by where their ";" stands; an ampersand without one just goes.
        {Html, "entities", "<b>a&nbsp;b&lt;c</b>x&amp; fish & chips&lt", "abcxamp; fish  chipslt"},
        {Html, "line break, indentation and CR LF become one space", "<p>a\n     b\r\nc</p>", "a b c\n"},
        {Html, "line breaks inside a tag are collected", "<a\nhref=x>l</a>", "l"},
        {Html, "stray closing bracket is text-neutral outside script", "<b></b>a > b", "a  b"},
        {Html, "unterminated tag swallows the rest", "ok<b never closed", "ok"},
        {Html, "without any tag the input comes back unchanged", "a &amp; b\r\n  c", "a &amp; b\r\n  c"},
        // Tags longer than the buffer are cut but still end at ">". An overlong closing tag is no
        // longer recognised, so the script goes on; a break tag inside it still writes its line feed.
        {Html, "long script tag", "<script " + std::string(400, 'x') + ">hidden</script>shown", "shown"},
        {Html, "long closing tag", "<script>x</script" + std::string(300, ' ') + ">still hidden<br>", "\n"},
        {Html, "long break tag", "a<br" + std::string(300, ' ') + ">b", "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.decode(c.in), c.out) << c.name;
}

// The decoding rules one byte at a time, as written: what the word-wide decoders must match.
std::string ReferenceQuotedPrintable(const std::string& s) {
    size_t end = std::min(s.find('\0'), s.size());
    if (end >= 3 && s[end - 3] == '=') end -= 3;
    const auto hex = [](char c) {
        const size_t at = std::string("0123456789ABCDEFabcdef").find(c);
        return at == std::string::npos ? -1 : static_cast<int>(at < 16 ? at : at - 6);
    };
    std::string out;
    for (size_t i = 0; i < end; ++i) {
        if (s[i] == '\r') continue;
        const int high = s[i] == '=' && i + 1 < end ? hex(s[i + 1]) : -1;
        if (s[i] != '=') out += s[i];
        if (high < 0) continue;
        const int low = i + 2 < end ? hex(s[i + 2]) : -1;
        out += static_cast<char>(high * 16 + std::max(low, 0));
        i += 2;
    }
    return out.substr(0, out.find('\0'));
}

std::string ReferenceBase64(const std::string& s) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int held = 0;
    for (char c : s) {
        if (c == '=' || c == '}') {
            if (held > 0) out += static_cast<char>(held == 1 ? bits << 2 : bits >> (6 * held - 8));
            if (held == 3) out += static_cast<char>(bits >> 2);
            break;
        }
        const size_t value = alphabet.find(c);
        if (value == std::string::npos) continue;
        bits = bits << 6 | static_cast<unsigned>(value);
        if (++held < 4) continue;
        out += {static_cast<char>(bits >> 16), static_cast<char>(bits >> 8), static_cast<char>(bits)};
        held = 0;
        bits = 0;
    }
    return out;
}

// Random texts from an alphabet rich in what the decoders treat specially, long enough to cross
// the pieces and copies the decoders work in, at every length up to a few hundred.
TEST(DecodersTest, WordWideDecodersAgreeWithTheByteRules) {
    std::mt19937 random(7);
    const auto text = [&random](size_t length, const std::string& alphabet) {
        std::string out(length, ' ');
        for (char& c : out) c = alphabet[random() % alphabet.size()];
        return out;
    };
    // Soft breaks, hex in either case, non-hex after a digit, a final byte cut or not, CR LF, zero.
    for (const std::string in :
         {"long=\nline\n", "a=3Db=3dc\n", "=4zq\n", "caf=C3=A9", "caf=C3=A9\n", "a\r\nb\r\n", "ab=00cd\n"})
        EXPECT_EQ(InPlace<QuotedPrintableDecode>(in), ReferenceQuotedPrintable(in)) << in;
    // Pads, the brace end, skipped breaks and spaces, an open group, every value, zero bytes.
    for (const std::string in :
         {"TWE=", "TQ==", "TWFu}TWFu", "TW\r\nFu IFR\thbg==\r\n", "TWFuTW", "+/+/", "AGEAYg==", ""})
        EXPECT_EQ(Base64(in), ReferenceBase64(in)) << in;
    const std::string qpAlphabets[] = {"=\r\n3DaFgz \t", "=3dA\r", "abcdefghij=\n",
                                       std::string("a=0\r\n\0", 7)};
    for (size_t length = 0; length < 20000; length += length < 300 ? 1 : 97) {
        for (const std::string& alphabet : qpAlphabets) {
            const std::string in = text(length, alphabet);
            ASSERT_EQ(InPlace<QuotedPrintableDecode>(in), ReferenceQuotedPrintable(in)) << length << alphabet;
        }
        // Long plain runs with a few escapes and breaks, one of them where the decoder's first 4 KB
        // piece ends: the output trails the input by only a few bytes there.
        std::string sparse(length, 'x');
        for (size_t k = 0; k < length; ++k) sparse[k] = static_cast<char>('g' + k % 19);
        if (length > 5000) sparse.replace(4064 + length % 17, 3, "=41");
        for (int n = 0; n < 4 && length > 3; ++n)
            sparse.replace(random() % (length - 3), 3, n % 2 ? "=41" : "\r\n=");
        ASSERT_EQ(InPlace<QuotedPrintableDecode>(sparse), ReferenceQuotedPrintable(sparse)) << length;
    }
    const std::string data = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t length = 0; length < 120000; length += length < 300 ? 1 : 9973) {
        // Mostly alphabet, with line breaks, strays and now and then an end mark.
        std::string in = text(length, data + data + data + "\r\n");
        for (size_t at = 0; at < in.size(); at += 1 + random() % 5000) in[at] = "\r\n*"[random() % 3];
        if (length > 0 && random() % 2) in[length - 1 - random() % (length / 8 + 1)] = "}="[random() % 2];
        const std::string expected = ReferenceBase64(in);
        ASSERT_EQ(Base64(in), expected) << length;
        std::string pieces;
        const size_t total = Base64DecodeTo(in, [&pieces](const unsigned char* bytes, size_t size) {
            pieces.append(reinterpret_cast<const char*>(bytes), size);
            return true;
        });
        ASSERT_EQ(pieces, expected) << length;
        ASSERT_EQ(total, expected.size()) << length;
    }
    // A line break at every alignment of the fast path.
    std::string plain, encoded;
    for (int i = 0; i < 100; ++i) plain += "ABC", encoded += "QUJD";
    for (size_t at = 0; at < encoded.size(); at += 7)
        EXPECT_EQ(Base64(std::string(encoded).insert(at, "\r\n")), plain) << at;
    // A sink that refuses ends the decoding after its first piece.
    int calls = 0;
    EXPECT_LT(Base64DecodeTo(std::string(200000, 'A'),
                             [&calls](const unsigned char*, size_t) { return ++calls, false; }),
              150000u);
    EXPECT_EQ(calls, 1);
}

}  // namespace
