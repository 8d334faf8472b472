// The text forms of an outgoing message: recipient lists, dot-stuffing, the body wrap, the
// base64 encoder and the UTC date.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "../support/test_kit.h"
#include "smtp/address_list.h"
#include "smtp/base64_encode.h"
#include "smtp/body_wrap.h"
#include "smtp/dot_stuffing.h"
#include "smtp/mail_date.h"

namespace {

using Rows = std::vector<std::pair<const char*, const char*>>;

// One table per function from a text to a text; a row names its input and the text it gives.
TEST(TextForms, AddressesUnquotingAndDotStuffing) {
    const std::pair<std::string (*)(const char*), Rows> tables[] = {
        // The header reading splits on ";" only and stops at an empty item.
        {[](const char* in) { return smtp::FormatHeaderList(in).str(); },
         {{"Ann <a@x.org>;b@y.org", "Ann <a@x.org>, <b@y.org>"},
          {"a@x.org,b@y.org", "<a@x.org,b@y.org>"},
          {"a@x.org;;b@y.org", "<a@x.org>"},
          {"a@x.org; ;b@y.org", "<a@x.org>, , <b@y.org>"},
          {";a@x.org", ""},
          {"a@x.org;", "<a@x.org>"},
          {" a@x.org ; b@y.org ", "<a@x.org>, <b@y.org>"},
          {"\"Doe, J\" <j@x.org>", "\"Doe, J\" <j@x.org>"}}},
        {[](const char* in) { return smtp::ExtractAddress(in).str(); },
         {{" \"Ann\" <'a@x.org'>", "a@x.org"},
          {"b> <a", ""},
          {"a@x.org (Ann", "a@x.org (Ann"},
          {"(Ann) a@x.org", ""},
          {"Ann <a@x.org> (home)", "a@x.org"}}},
        // Matching quotes go repeatedly; what is inside is not trimmed again.
        {[](const char* in) { return smtp::Unquote(in).str(); },
         {{"  \"'a'\"  ", "a"}, {"\"", "\""}, {"\"a'", "\"a'"}, {"' a '", " a "}, {"\"\"\"", "\""}}},
        // The terminator line stays single; a period elsewhere in a line is left alone.
        {[](const char* in) { return smtp::DotStuffed(in); },
         {{"a\r\n.\r\n", "a\r\n.\r\n"},
          {"a\r\n.\r\n\r\n.\r\n", "a\r\n..\r\n\r\n.\r\n"},
          {"a\n.b\r\n.\r\n", "a\n..b\r\n.\r\n"},
          {"x.\r\ny. .\r\n.\r\n", "x.\r\ny. .\r\n.\r\n"},
          {".a", "..a"}}},
    };
    for (const auto& [function, rows] : tables) {
        for (const auto& [in, out] : rows) EXPECT_EQ(function(in), out) << in;
    }
}

// The envelope reading splits on "," and ";" outside double quotes and keeps bare addresses,
// one command each.
TEST(TextForms, OneRecipientCommandPerAddress) {
    const Rows rows = {
        {"a@x.org,b@y.org", "a@x.org b@y.org"},
        {"a@x.org;;b@y.org", "a@x.org b@y.org"},
        {"a@x.org, ,b@y.org", "a@x.org b@y.org"},
        {"a@x.org,", "a@x.org"},
        {"\"Doe, John\" <j@x.org>", "j@x.org"},
        {"\"Ann\" <a@x.org>, b@y.org", "a@x.org b@y.org"},
        {"j@x.org (John Doe)", "j@x.org"},
        {"'j@x.org'", "j@x.org"},
        {"\"j@x.org\"", ""},
        {"Ann <a@x.org", ""},
        {" , ; ", ""},
        // An unbalanced quote stays open to the end: everything after it is one item.
        {"\"Ann <a@x.org>, b@y.org", "a@x.org"},
    };
    for (const auto& [list, addresses] : rows) {
        std::vector<std::string> expected, commands;
        std::istringstream words(addresses);
        for (std::string address; words >> address;) expected.push_back("RCPT TO: <" + address + ">\r\n");
        for (const CString& command : smtp::RecipientCommands(list)) commands.push_back(command.str());
        EXPECT_EQ(commands, expected) << list;
    }
}

std::string R(char ch, size_t n) { return std::string(n, ch); }

// The break is the first space from index 55 to 65, else index 65; a last line without a
// line end is never wrapped.
TEST(TextForms, BodyLineEndsAndTheWrapAt65) {
    const std::string a65 = R('a', 65);
    const std::pair<std::string, std::string> rows[] = {
        {a65 + "\n", a65 + "\r\n"},  // 65 pass unchanged
        {R('a', 66) + "\n", a65 + "\r\na \r\n"},
        {R('a', 70) + "\n", a65 + "\r\naaaaa \r\n"},
        {R('a', 70), R('a', 70) + "\r\n"},
        {R('x', 60) + " " + R('y', 20) + "\n", R('x', 60) + "\r\n" + R('y', 20) + " \r\n"},
        {R('x', 65) + " yyyyy\n", R('x', 65) + "\r\nyyyyy \r\n"},
        {R('x', 66) + " yyyyy\n", R('x', 65) + "\r\nx yyyyy \r\n"},
        {R('x', 50) + " " + R('y', 20) + "\n", R('x', 50) + " " + R('y', 14) + "\r\n" + R('y', 6) + " \r\n"},
        {R('a', 200) + "\n", a65 + "\r\n" + a65 + "\r\n" + a65 + "\r\naaaaa \r\n"},
        {"one\ntwo\n", "one\r\ntwo\r\n"},
        {"one\rtwo\r\nthree", "onetwo\r\nthree\r\n"},  // a lone CR disappears
        {"\n\n", "\r\n\r\n"},
    };
    for (const auto& [body, sent] : rows) {
        std::string out = "H:";
        smtp::AppendWrappedBody(body, out);
        EXPECT_EQ(out, "H:" + sent) << body;
    }
}

// Both output forms give the same text; fill characters come after the line break and do not
// count towards the 70 characters of a line.
TEST(TextForms, Base64GroupsLineBreaksAndFill) {
    const std::string a70 = R('A', 70);
    const std::pair<std::string, std::string> rows[] = {
        {"", ""},
        {"M", "TQ=="},
        {"Ma", "TWE="},
        {"Man", "TWFu"},
        {"\xfb\xef\xff", "++//"},
        {R('A', 52), "QUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQQ\r\n=="},
        {std::string(105, '\0'), a70 + "\r\n" + a70 + "\r\n"},
    };
    for (const auto& [input, output] : rows) {
        CString appended("prefix:");
        ASSERT_TRUE(smtp::Base64Encode(input.data(), input.size(), appended));
        EXPECT_EQ(appended, CString("prefix:") + output.c_str()) << "input length " << input.size();
        const std::unique_ptr<char[]> buffer = smtp::Base64Encode(input.data(), input.size());
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(buffer.get(), output) << "input length " << input.size();
        EXPECT_EQ(smtp::Base64EncodedLength(input.size()), output.size());
    }
}

// English names and +0000 whatever the machine's zone: west, east and at UTC.
TEST(TextForms, DateInUtcIndependentOfTheLocalZone) {
    const std::pair<int32_t, const char*> rows[] = {{1078391107, "Thu, 04 Mar 2004 09:05:07 +0000"},
                                                    {951868799, "Tue, 29 Feb 2000 23:59:59 +0000"},
                                                    {0x7FFFFFFF, "Tue, 19 Jan 2038 03:14:07 +0000"}};
    for (const char* zone : {kZoneWest, "JST-9", "UTC0"}) {
        const ZoneGuard pinned(zone);
        for (const auto& [seconds, text] : rows) {
            MailDate date;
            date.SetTime(seconds);
            CString formatted("previous text is replaced");
            EXPECT_TRUE(date.FormatUtc(formatted));
            EXPECT_EQ(formatted, text) << zone;
        }
    }
}

}  // namespace
