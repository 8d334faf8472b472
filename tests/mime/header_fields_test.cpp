#include "mime/header_fields.h"

#include <gtest/gtest.h>

#include "mime/text_match.h"
#include "platform/line_array.h"

namespace {

// A prepared needle first looks for one of its punctuation bytes: texts that lack it are
// rejected, texts that hold it elsewhere are still searched, and letters match in any case.
TEST(TextMatchTest, PreparedAndPlainSearchesAgree) {
    // This needle makes the skip search compare almost all of it at every step: the answer then
    // comes from the prefix-table scan.
    const std::string hay(200000, 'a'), hostile = std::string(999, 'A') + "bA";
    const struct {
        std::string needle, text;
        bool found;
    } cases[] = {
        {"----=_Part_7", "------=_pART_7--", true},
        {"----=_Part_7", "QUJD----Part_7", false},  // no "_" or "=": rejected at once
        {"----=_Part_7", "_= ----=_Part_8 ----=_Part_7", true},
        {"=_Part", "x=_PART", true},
        {"b=1", "B=1", true},
        {"b=1", "B1", false},
        {"abc", "xABCx", true},  // letters only: no first test
        {"", "abc", false},
        {"abcd", "abc", false},
        {"été", "ÉTÉ", false},  // only A-Z fold
        {"été", "aéTé", true},
        {hostile, hay, false},
        {hostile, hay + "Ba", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NoCaseFinder(c.needle).In(c.text), c.found) << c.needle << " in " << c.text;
        EXPECT_EQ(ContainsNoCase(c.needle, c.text), c.found) << c.needle << " in " << c.text;
    }
    EXPECT_FALSE(StartsWithNoCase("\xE9", "\xC9")) << "only A-Z fold";
}

TEST(ParseHeadersTest, FieldCleaningAndRange) {
    using B = MimeHeaderBlock;
    const struct {
        const char* headers;
        CString B::*field;
        const char* value;
        int end = -1, position = -1;  // the range end given and the position reached
    } cases[] = {
        {"Subject: Hello\r\n there\r\n\r\nbody", &B::subject, "Hello there\n", -1, 3},
        {"Subject: Hello\r\n\tthere\r\n\r\n", &B::subject, "Hellothere\n"},
        {"Subject:\tA\tB\r\n C\r\n\r\n", &B::subject, "AB C\n"},  // tabs leave a folded value
        {"Subject:\tA\tB  \r\n\r\n", &B::subject, "A\tB  "},      // unfolded: they stay
        {"Subject: one\r\nX-Subject: no\r\nSUBJECT: two\r\n\r\n", &B::subject, "two"},
        {"From: a\r\nX-Other: b\r\n cont\r\n\r\nbody\r\nSubject: no\r\n", &B::subject, "", -1, 4},
        // The header on the last line of the range is stored and parsing stops after it; a range
        // ending before its start (line 1 when the end is 0) reads nothing.
        {"From: a\r\nSubject: last\r\nTo: outside\r\n", &B::subject, "last", 2, 2},
        {"From: a\r\nSubject: last\r\nTo: outside\r\n", &B::to, "", 2, 2},
        {"Subject: outside\r\nTo: t@x\r\n", &B::to, "", 0, 1},
        {"To: t@x\r\nSubject: outside\r\n", &B::subject, "", 0, 1},
        {"To: a@x,\r\n b@y\r\n\r\n", &B::to, "a@x, b@y "},
        {"CC: c@z\r\n\td@w\r\nBcc: e@v\r\n\r\n", &B::cc, "c@zd@w "},
        {"Received: from a by b;\r\n Mon, 12 Jan 2004 10:00:00 +0100\r\n"
         "Received: from c by d; Tue, 13 Jan 2004 11:00:00 +0100\r\n (more)\r\n"
         "Date: Wed, 14 Jan 2004 12:00:00 +0100\r\n\r\n",
         &B::received, "Mon, 12 Jan 2004 10:00:00 +0100"},
        {"Date: Wed, 14 Jan 2004 12:00:00 +0100\r\n\r\n", &B::date, "Wed, 14 Jan 2004 12:00:00 +0100"},
        {"Received: by host\r\n  id 42\r\n  for x\r\n\r\n", &B::received, "for x"},
        {"Received: by host with smtp\r\n\r\n", &B::received, "Received: by host with smtp"},
        {"ReceivedX: no\r\nDate: Thu, 1 Jan 2004 00:00:00 +0000\r\n\r\n", &B::received,
         "Thu, 1 Jan 2004 00:00:00 +0000"},
        {"From: f@x\r\nReply-To: r@x\r\nReturn-Path: <p@x>\r\n\r\n", &B::replyTo, "<p@x>"},
        {"From: f@x\r\nReply-To: r@x\r\n\r\n", &B::replyTo, "r@x"},
        {"From: f@x\r\n\r\n", &B::replyTo, "f@x"},
        {"From: f@x\r\nReply-To: group: a@x;\r\n\r\n", &B::replyTo, "f@x"},
        {"From: =?iso-8859-1?Q?J=F6rg?= <j@x>\r\n\r\n", &B::from, "J\xF6rg <j@x>"},
        {"Content-Type:  text/plain ; charset=us-ascii\r\n\r\n", &B::contentType, "text/plain"},
        {"Content-Type:  text/plain ; charset=us-ascii\r\n\r\n", &B::boundary, ""},
        {"Content-Type: multipart/alternative;\r\n\tboundary=\"b1\"\r\n\r\n", &B::contentType,
         "multipart/alternative"},
        {"Content-Type: multipart/alternative;\r\n\tboundary=\"b1\"\r\n\r\n", &B::boundary, "b1"},
        {"Content-Type: multipart/mixed; boundary=\"abc def\"\r\n\r\n", &B::boundary, "abc def"},
        {"Content-Type: multipart/mixed; boundary=abc more\r\n\r\n", &B::boundary, "abc"},
        {"Content-Type: multipart/mixed; boundary=abc;x=y\r\n\r\n", &B::boundary, "abc;x=y"},
        {"Content-Type: multipart/mixed; BOUNDARY=xyz\r\n\r\n", &B::boundary, "xyz"},
        {"Content-Type: multipart/mixed; q=1; BOUNDARY=xyz\r\n\r\n", &B::boundary, "1;"},
        {"Content-Type: multipart/mixed; boundary=\"lone\r\n\r\n", &B::boundary, ""},
        {"Content-Type: multipart/mixed; boundary=\"=?utf-8?Q?x?=\"\r\n\r\n", &B::boundary, "=?utf-8?Q?x?="},
    };
    for (const auto& c : cases) {
        LineArray lines;
        lines.AppendLines(std::string_view(c.headers));
        MimeHeaderBlock block;
        int position = c.end == 0 ? 1 : 0;
        ParseHeaders(position, lines, c.end < 0 ? lines.GetSize() : c.end, block);
        EXPECT_EQ(block.*c.field, c.value) << c.headers;
        EXPECT_EQ(position, c.position < 0 ? position : c.position) << c.headers;
    }
}

}  // namespace
