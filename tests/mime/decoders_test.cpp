#include <gtest/gtest.h>

#include <string>

#include "mime/base64_decode.h"
#include "mime/quoted_printable.h"
#include "mime/utf8_to_ansi.h"

namespace {

std::string QuotedPrintable(const std::string& in) {
    CString text(in);
    EXPECT_TRUE(QuotedPrintableDecode(text));
    return text.str();
}

std::string Base64(const std::string& in, int32_t* lengthOut = nullptr) {
    std::unique_ptr<unsigned char[]> bytes;
    int32_t length = 0;
    EXPECT_EQ(Base64Decode(CString(in), bytes, length), 0);
    // A zero follows the decoded bytes: callers read the block as a text.
    EXPECT_EQ(bytes[static_cast<size_t>(length)], 0);
    if (lengthOut) *lengthOut = length;
    return std::string(reinterpret_cast<const char*>(bytes.get()), static_cast<size_t>(length));
}

std::string Base64Text(const std::string& in) { return Base64(in); }

std::string Ansi(const std::string& in) {
    CString text(in);
    Utf8ToAnsi(text);
    return text.str();
}

TEST(DecodersTest, Table) {
    const struct {
        std::string (*decode)(const std::string&);
        const char* name;
        std::string in, out;
    } cases[] = {
        {QuotedPrintable, "empty", "", ""},
        {QuotedPrintable, "soft break keeps the joined line feed", "long=\nline\n", "long\nline\n"},
        {QuotedPrintable, "upper hex", "a=3Db\n", "a=b\n"},
        {QuotedPrintable, "lower hex", "a=3db\n", "a=b\n"},
        {QuotedPrintable, "digit then non-hex keeps high nibble, letter lost", "=4zq\n", "@q\n"},
        {QuotedPrintable, "equals before space drops the equals only", "a= b\n", "a b\n"},
        {QuotedPrintable, "final encoded byte is cut", "caf=C3=A9", "caf\xC3"},
        {QuotedPrintable, "final encoded byte survives a line feed", "caf=C3=A9\n", "caf\xC3\xA9\n"},
        {QuotedPrintable, "carriage returns vanish, line feeds stay", "a\r\nb\r\n", "a\nb\n"},
        {QuotedPrintable, "equals at the very end", "ab=", "ab"},
        {QuotedPrintable, "high nibble at the end of text", "xab=4", "xab@"},
        {QuotedPrintable, "underscore is not a space", "a_b\n", "a_b\n"},
        {QuotedPrintable, "encoded zero ends the text", "ab=00cd\n", "ab"},
        {QuotedPrintable, "high bytes pass through", "\xE9t\xE9\n", "\xE9t\xE9\n"},
        {Base64Text, "one group", "TWFu", "Man"},
        {Base64Text, "one pad", "TWE=", "Ma"},
        {Base64Text, "two pads", "TQ==", "M"},
        {Base64Text, "brace ends the data", "TWFu}TWFu", "Man"},
        {Base64Text, "equals ends the data", "TWFu=TWFu", "Man"},
        {Base64Text, "line breaks and spaces skipped", "TW\r\nFu IFR\thbg==\r\n", "Man Tan"},
        {Base64Text, "incomplete group without end mark gives nothing", "TWFuTW", "Man"},
        {Base64Text, "end mark on an empty group", "TWFu==", "Man"},
        {Base64Text, "all alphabet values", "+/+/", "\xFB\xFF\xBF"},
        {Base64Text, "empty", "", ""},
        {Ansi, "two-byte e-acute after three letters", "caf\xC3\xA9", "caf\xE9"},
        {Ansi, "three-byte euro sign", "\xE2\x82\xAC 5", "\x80 5"},
        {Ansi, "three-byte character the code page lacks",
         "a\xE4\xB8\xAD"
         "b",
         "a?b"},
        {Ansi, "four-byte character keeps its low 16 bits", "\xF0\x90\x81\x81", "A"},
        {Ansi, "truncated sequence before ascii", "\xC3x", "\x03x"},
        {Ansi, "truncated three-byte sequence at the end", "ab\xE2\x82", "ab?"},
        {Ansi, "lone continuation bytes join", "\xA9", ")"},
        {Ansi, "combining acute composes", "e\xCC\x81t\xC3\xA9", "\xE9t\xE9"},
        {Ansi, "combining mark on a letter without composite is dropped", "q\xCC\x81", "q"},
        {Ansi, "combining mark alone is dropped", "\xCC\x81x", "x"},
        {Ansi, "overlong zero ends nothing",
         "a\xC0\x80"
         "b",
         "ab"},
        {Ansi, "empty", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.decode(c.in), c.out) << c.name;
}

TEST(Base64DecodeTest, ZeroBytesCountInLengthButCutTheText) {
    int32_t length = -1;
    EXPECT_EQ(Base64("AGEAYg==", &length), std::string("\0a\0b", 4));
    EXPECT_EQ(length, 4);
    CString text;
    EXPECT_EQ(Base64DecodeText("YQBi", text), 0);
    EXPECT_EQ(text, "a");
    EXPECT_EQ(Base64DecodeText("TWFu", text), 0);
    EXPECT_EQ(text, "Man");
}

TEST(Base64DecodeTest, FastAndSlowPathsAgreeOnEveryAlignment) {
    std::string plain, encoded;
    for (int i = 0; i < 100; ++i) plain += "ABC", encoded += "QUJD";
    for (size_t at = 0; at < encoded.size(); at += 7) {
        std::string broken = encoded;
        EXPECT_EQ(Base64(broken.insert(at, "\r\n")), plain) << at;
    }
}

}  // namespace
