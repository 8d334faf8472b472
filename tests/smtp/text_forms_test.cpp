// The text forms of an outgoing message: recipient lists, dot-stuffing, the body wrap, the
// base64 encoder and the UTC date.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "smtp/address_list.h"
#include "smtp/base64_encode.h"
#include "smtp/body_wrap.h"
#include "smtp/dot_stuffing.h"
#include "smtp/mail_date.h"

namespace {

struct TextCase {
    const char* in;
    const char* out;
};

// The header reading splits on ";" only and stops at an empty item.
TEST(AddressListTest, HeaderListSplitsOnSemicolons) {
    const TextCase cases[] = {
        {"Ann <a@x.org>;b@y.org", "Ann <a@x.org>, <b@y.org>"},
        {"a@x.org,b@y.org", "<a@x.org,b@y.org>"},
        {"a@x.org;;b@y.org", "<a@x.org>"},
        {"a@x.org; ;b@y.org", "<a@x.org>, , <b@y.org>"},
        {";a@x.org", ""},
        {"a@x.org;", "<a@x.org>"},
        {" a@x.org ; b@y.org ", "<a@x.org>, <b@y.org>"},
        {"\"Doe, J\" <j@x.org>", "\"Doe, J\" <j@x.org>"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(smtp::FormatHeaderList(c.in), c.out) << c.in;
}

// The envelope reading splits on "," and ";" outside double quotes and keeps bare addresses.
TEST(AddressListTest, OneRecipientCommandPerAddress) {
    const struct {
        const char* list;
        std::vector<const char*> addresses;
    } cases[] = {
        {"a@x.org,b@y.org", {"a@x.org", "b@y.org"}},
        {"a@x.org;;b@y.org", {"a@x.org", "b@y.org"}},
        {"a@x.org, ,b@y.org", {"a@x.org", "b@y.org"}},
        {"a@x.org,", {"a@x.org"}},
        {"\"Doe, John\" <j@x.org>", {"j@x.org"}},
        {"\"Ann\" <a@x.org>, b@y.org", {"a@x.org", "b@y.org"}},
        {"j@x.org (John Doe)", {"j@x.org"}},
        {"'j@x.org'", {"j@x.org"}},
        {"\"j@x.org\"", {}},
        {"Ann <a@x.org", {}},
        // An unbalanced quote stays open to the end: everything after it is one item.
        {"\"Ann <a@x.org>, b@y.org", {"a@x.org"}},
        {" , ; ", {}},
    };
    for (const auto& c : cases) {
        const CStringArray commands = smtp::RecipientCommands(c.list);
        ASSERT_EQ(commands.GetSize(), static_cast<int>(c.addresses.size())) << c.list;
        for (int i = 0; i < commands.GetSize(); ++i) {
            EXPECT_EQ(commands[i], CString("RCPT TO: <") + c.addresses[i] + ">\r\n") << c.list;
        }
    }
}

TEST(AddressListTest, ExtractAddressAndUnquote) {
    const TextCase extract[] = {
        {" \"Ann\" <'a@x.org'>", "a@x.org"}, {"b> <a", ""}, {"a@x.org (Ann", "a@x.org (Ann"},
        {"(Ann) a@x.org", ""}, {"Ann <a@x.org> (home)", "a@x.org"},
    };
    for (const TextCase& c : extract) EXPECT_EQ(smtp::ExtractAddress(c.in), c.out) << c.in;
    // Matching quotes go repeatedly; what is inside is not trimmed again.
    const TextCase unquote[] = {
        {"  \"'a'\"  ", "a"}, {"\"", "\""}, {"\"a'", "\"a'"}, {"' a '", " a "}, {"\"\"\"", "\""},
    };
    for (const TextCase& c : unquote) EXPECT_EQ(smtp::Unquote(c.in), c.out) << c.in;
}

// The terminator line stays single; a period elsewhere in a line is left alone.
TEST(DotStuffingTest, LinesBeginningWithAPeriodGainOne) {
    const std::pair<const char*, const char*> cases[] = {
        {"a\r\n.\r\n", "a\r\n.\r\n"},
        {"a\r\n.\r\n\r\n.\r\n", "a\r\n..\r\n\r\n.\r\n"},
        {"a\n.b\r\n.\r\n", "a\n..b\r\n.\r\n"},
        {"x.\r\ny. .\r\n.\r\n", "x.\r\ny. .\r\n.\r\n"},
        {".a", "..a"},
    };
    for (const auto& [text, wire] : cases) EXPECT_EQ(smtp::DotStuffed(text), wire) << text;
}

std::string R(char ch, size_t n) { return std::string(n, ch); }

// The break is the first space from index 55 to 65, else index 65; a last line without a
// line end is never wrapped.
TEST(BodyWrapTest, LineEndsAndTheWrapAt65) {
    const std::string a65 = R('a', 65);
    const struct {
        const char* name;
        std::string body;
        std::string sent;
    } cases[] = {
        {"65 pass unchanged", a65 + "\n", a65 + "\r\n"},
        {"66 break at 65", R('a', 66) + "\n", a65 + "\r\na \r\n"},
        {"70 with a line end", R('a', 70) + "\n", a65 + "\r\naaaaa \r\n"},
        {"70 without a line end", R('a', 70), R('a', 70) + "\r\n"},
        {"space at 60", R('x', 60) + " " + R('y', 20) + "\n", R('x', 60) + "\r\n" + R('y', 20) + " \r\n"},
        {"space at 65", R('x', 65) + " yyyyy\n", R('x', 65) + "\r\nyyyyy \r\n"},
        {"space at 66", R('x', 66) + " yyyyy\n", R('x', 65) + "\r\nx yyyyy \r\n"},
        {"space before 55 only", R('x', 50) + " " + R('y', 20) + "\n",
         R('x', 50) + " " + R('y', 14) + "\r\n" + R('y', 6) + " \r\n"},
        {"200 break every 65", R('a', 200) + "\n", a65 + "\r\n" + a65 + "\r\n" + a65 + "\r\naaaaa \r\n"},
        {"LF only", "one\ntwo\n", "one\r\ntwo\r\n"},
        {"lone CR disappears", "one\rtwo\r\nthree", "onetwo\r\nthree\r\n"},
        {"only line ends", "\n\n", "\r\n\r\n"},
    };
    for (const auto& c : cases) {
        std::string out = "H:";
        smtp::AppendWrappedBody(c.body, out);
        EXPECT_EQ(out, "H:" + c.sent) << c.name;
    }
}

// Both output forms give the same text; fill characters come after the line break and do not
// count towards the 70 characters of a line.
TEST(Base64EncodeTest, GroupsLineBreaksAndFill) {
    const std::pair<std::string, const char*> cases[] = {
        {"", ""},
        {"M", "TQ=="},
        {"Ma", "TWE="},
        {"Man", "TWFu"},
        {"\xfb\xef\xff", "++//"},
        {std::string(52, 'A'),
         "QUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQQ\r\n=="},
        {std::string(105, '\0'), "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\n"
                                 "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\n"},
    };
    for (const auto& [input, output] : cases) {
        CString appended("prefix:");
        ASSERT_TRUE(smtp::Base64Encode(input.data(), input.size(), appended));
        EXPECT_EQ(appended, CString("prefix:") + output) << "input length " << input.size();
        const std::unique_ptr<char[]> buffer = smtp::Base64Encode(input.data(), input.size());
        ASSERT_NE(buffer, nullptr);
        EXPECT_STREQ(buffer.get(), output) << "input length " << input.size();
        EXPECT_EQ(smtp::Base64EncodedLength(input.size()), std::string(output).size());
    }
}

CString Formatted(int32_t seconds) {
    MailDate date;
    date.SetTime(seconds);
    CString text("previous text is replaced");
    EXPECT_TRUE(date.FormatUtc(text));
    return text;
}

// English names and +0000 whatever the machine's zone: west, east and at UTC.
TEST(MailDateTest, FormatsUtcIndependentOfTheLocalZone) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    for (const char* zone : {"EST5EDT,M3.2.0,M11.1.0", "JST-9", "UTC0"}) {
        setenv("TZ", zone, 1);
        tzset();
        EXPECT_EQ(Formatted(1078391107), "Thu, 04 Mar 2004 09:05:07 +0000") << zone;
        EXPECT_EQ(Formatted(951868799), "Tue, 29 Feb 2000 23:59:59 +0000") << zone;
        EXPECT_EQ(Formatted(0x7FFFFFFF), "Tue, 19 Jan 2038 03:14:07 +0000") << zone;
    }
    saved ? setenv("TZ", previous.c_str(), 1) : unsetenv("TZ");
    tzset();
}

}  // namespace
