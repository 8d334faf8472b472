#include "mime/header_fields.h"

#include <gtest/gtest.h>

#include "header_test_util.h"
#include "mime/encoded_word.h"
#include "mime/text_match.h"

namespace {

MimeHeaderBlock Parse(const std::string& text, int* positionOut = nullptr, int start = 0, int end = -1) {
    const LineArray lines = LinesOf(text);
    MimeHeaderBlock block;
    int position = start;
    ParseHeaders(position, lines, end < 0 ? lines.GetSize() : end, block);
    if (positionOut) *positionOut = position;
    return block;
}

TEST(TextMatchTest, CaseFoldingAndLinearSearch) {
    EXPECT_TRUE(StartsWithNoCase("cc:", "CC: a"));
    EXPECT_TRUE(StartsWithNoCase("", ""));
    EXPECT_FALSE(StartsWithNoCase("Subject:", "Subj"));
    EXPECT_FALSE(StartsWithNoCase("\xE9", "\xC9")) << "only A-Z fold";
    EXPECT_TRUE(ContainsNoCase("BOUNDARY=", "multipart/mixed; Boundary=x"));
    EXPECT_FALSE(ContainsNoCase("", "abc"));
    EXPECT_FALSE(ContainsNoCase("abcd", "abc"));
    EXPECT_TRUE(ContainsNoCase("aab", "aaaaaaaab"));
    // Texts that defeat a skip search still answer in linear time.
    const std::string hay(200000, 'a');
    EXPECT_FALSE(ContainsNoCase(std::string(1000, 'a') + "b", hay));
    EXPECT_TRUE(ContainsNoCase(std::string(1000, 'A') + "b", hay + "b"));
}

TEST(ParseHeadersTest, FieldCleaning) {
    using F = CString MimeHeaderBlock::*;
    const struct {
        const char* headers;
        F field;
        const char* value;
    } cases[] = {
        {"Subject: Hello\r\n there\r\n\r\nbody", &MimeHeaderBlock::subject, "Hello there\n"},
        {"Subject: Hello\r\n\tthere\r\n\r\n", &MimeHeaderBlock::subject, "Hellothere\n"},
        {"Subject:\tA\tB\r\n C\r\n\r\n", &MimeHeaderBlock::subject, "AB C\n"},  // tabs leave a folded value
        {"Subject:\tA\tB  \r\n\r\n", &MimeHeaderBlock::subject, "A\tB  "},      // unfolded: they stay
        {"Subject: one\r\nX-Subject: no\r\nSUBJECT: two\r\n\r\n", &MimeHeaderBlock::subject, "two"},
        {"To: a@x,\r\n b@y\r\n\r\n", &MimeHeaderBlock::to, "a@x, b@y "},
        {"CC: c@z\r\n\td@w\r\nBcc: e@v\r\n\r\n", &MimeHeaderBlock::cc, "c@zd@w "},
        {"Received: from a by b;\r\n Mon, 12 Jan 2004 10:00:00 +0100\r\n"
         "Received: from c by d; Tue, 13 Jan 2004 11:00:00 +0100\r\n (more)\r\n"
         "Date: Wed, 14 Jan 2004 12:00:00 +0100\r\n\r\n",
         &MimeHeaderBlock::received, "Mon, 12 Jan 2004 10:00:00 +0100"},
        {"Date: Wed, 14 Jan 2004 12:00:00 +0100\r\n\r\n", &MimeHeaderBlock::date,
         "Wed, 14 Jan 2004 12:00:00 +0100"},
        {"Received: by host\r\n  id 42\r\n  for x\r\n\r\n", &MimeHeaderBlock::received, "for x"},
        {"Received: by host with smtp\r\n\r\n", &MimeHeaderBlock::received, "Received: by host with smtp"},
        {"ReceivedX: no\r\nDate: Thu, 1 Jan 2004 00:00:00 +0000\r\n\r\n", &MimeHeaderBlock::received,
         "Thu, 1 Jan 2004 00:00:00 +0000"},
        {"From: f@x\r\nReply-To: r@x\r\nReturn-Path: <p@x>\r\n\r\n", &MimeHeaderBlock::replyTo, "<p@x>"},
        {"From: f@x\r\nReply-To: r@x\r\n\r\n", &MimeHeaderBlock::replyTo, "r@x"},
        {"From: f@x\r\n\r\n", &MimeHeaderBlock::replyTo, "f@x"},
        {"From: f@x\r\nReply-To: group: a@x;\r\n\r\n", &MimeHeaderBlock::replyTo, "f@x"},
        {"Subject: =?UTF-8?B?Q2Fmw6k=?=\r\n\r\n", &MimeHeaderBlock::subject, "Caf\xE9"},
        {"From: =?iso-8859-1?Q?J=F6rg?= <j@x>\r\n\r\n", &MimeHeaderBlock::from, "J\xF6rg <j@x>"},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.headers).*c.field, c.value) << c.headers;
}

TEST(ParseHeadersTest, ContentTypeAndBoundaryForms) {
    const struct {
        const char* line;
        const char* type;
        const char* boundary;
    } cases[] = {
        {"Content-Type: multipart/mixed; boundary=\"abc def\"", "multipart/mixed", "abc def"},
        {"Content-Type:  text/plain ; charset=us-ascii", "text/plain", ""},
        {"Content-Type: multipart/mixed; boundary=abc more", "multipart/mixed", "abc"},
        {"Content-Type: multipart/mixed; boundary=abc;x=y", "multipart/mixed", "abc;x=y"},
        {"Content-Type: multipart/mixed; BOUNDARY=xyz", "multipart/mixed", "xyz"},
        {"Content-Type: multipart/mixed; q=1; BOUNDARY=xyz", "multipart/mixed", "1;"},
        {"Content-Type: multipart/mixed; boundary=\"lone", "multipart/mixed", ""},
        {"Content-Type: multipart/alternative;\r\n\tboundary=\"b1\"", "multipart/alternative", "b1"},
        {"Content-Type: multipart/mixed; boundary=\"=?utf-8?Q?x?=\"", "multipart/mixed", "=?utf-8?Q?x?="},
    };
    for (const auto& c : cases) {
        const MimeHeaderBlock h = Parse(std::string(c.line) + "\r\n\r\n");
        EXPECT_EQ(h.contentType, c.type) << c.line;
        EXPECT_EQ(h.boundary, c.boundary) << c.line;
    }
}

TEST(ParseHeadersTest, PositionAndRangeEnd) {
    int position = -1;
    MimeHeaderBlock h = Parse("From: a\r\nX-Other: b\r\n cont\r\n\r\nbody\r\nSubject: no\r\n", &position);
    EXPECT_EQ(position, 4) << "the line after the blank line";
    EXPECT_EQ(h.subject, "") << "body lines are not headers";

    // The header on the last line of the range is stored and parsing stops after it.
    h = Parse("From: a\r\nSubject: last\r\nTo: outside\r\n", &position, 0, 2);
    EXPECT_EQ(h.subject, "last");
    EXPECT_EQ(h.to, "");
    EXPECT_EQ(position, 2);

    const LineArray none;
    MimeHeaderBlock empty;
    position = 0;
    EXPECT_FALSE(ParseHeaders(position, none, 0, empty));
}

std::string Decode(const std::string& in) {
    CString text(in);
    DecodeEncodedWord(text);
    return text.str();
}

TEST(DecodeEncodedWordTest, Table) {
    const struct {
        const char* name;
        const char* in;
        const char* out;
    } cases[] = {
        {"base64 utf-8", "=?UTF-8?B?w6l0w6k=?=", "\xE9t\xE9"},
        {"base64 lower utf-8", "=?utf-8?b?w6l0w6k=?=", "\xE9t\xE9"},
        {"mixed-case charset is not utf-8", "=?Utf-8?B?w6k=?=", "\xC3\xA9"},
        {"q other charset with prefix and suffix", "Re: =?iso-8859-1?Q?caf=E9_au_lait?= !",
         "Re: caf\xE9_au_lait !"},
        {"q final encoded byte is cut", "=?iso-8859-1?Q?caf=E9?=", "caf"},
        {"utf-8 converts prefix and suffix too", "\xC3\xA9 =?utf-8?Q?x?= \xC3\xA9", "\xE9 x \xE9"},
        {"two words: second stays", "=?utf-8?Q?a?= =?utf-8?Q?b?=", "a =?utf-8?Q?b?="},
        {"two questions are left alone", "Why? Really? Yes", "Why? Really? Yes"},
        {"two questions then a B word shape", "Why? Really?B?x", "Why? Really?B?x"},
        {"two questions then Q shape decodes", "a?b?Q?x=41y?", "xAy"},
        {"question mark before the word stops it", "FYI? =?utf-8?B?w6k=?=", "FYI? =?utf-8?B?w6k=?="},
        {"question marks before the word split it", "ok?a?Q?b =?iso?Q?x?=", "ok?a?Q?b b "},
        {"q word starting with equals repeats the rest", "=?iso-8859-1?Q?=E9t=E9?=", "\xE9tE9t=E9?="},
        {"unknown encoding letter", "=?utf-8?X?abc?=", "=?utf-8?X?abc?="},
        {"no payload end", "=?utf-8?Q?abc", "=?utf-8?Q?abc"},
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.in), c.out) << c.name;
}

}  // namespace
