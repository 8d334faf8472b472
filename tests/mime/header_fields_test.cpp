#include "mime/header_fields.h"

#include <gtest/gtest.h>

#include "header_test_util.h"
#include "mime/text_match.h"

namespace {

MimeHeaderBlock Parse(const std::string& text, int* positionOut = nullptr, int end = -1) {
    const LineArray lines = LinesOf(text);
    MimeHeaderBlock block;
    int position = 0;
    ParseHeaders(position, lines, end < 0 ? lines.GetSize() : end, block);
    if (positionOut) *positionOut = position;
    return block;
}

TEST(TextMatchTest, CaseFoldingAndHostileNeedles) {
    EXPECT_FALSE(StartsWithNoCase("\xE9", "\xC9")) << "only A-Z fold";
    EXPECT_FALSE(ContainsNoCase("", "abc"));
    EXPECT_FALSE(ContainsNoCase("abcd", "abc"));
    // This needle makes the skip search compare almost all of it at every step: the answer then
    // comes from the prefix-table scan.
    const std::string hay(200000, 'a'), needle = std::string(999, 'A') + "bA";
    EXPECT_FALSE(ContainsNoCase(needle, hay));
    EXPECT_TRUE(ContainsNoCase(needle, hay + "Ba"));
}

// A prepared needle first looks for one of its punctuation bytes: texts that lack it are
// rejected, texts that hold it elsewhere are still searched, and letters keep matching in any case.
TEST(TextMatchTest, PreparedNeedleAgreesWithThePlainSearch) {
    const struct {
        const char* needle;
        const char* text;
        bool found;
    } cases[] = {
        {"----=_Part_7", "------=_pART_7--", true},
        {"----=_Part_7", "QUJD----Part_7", false},  // no "_" or "=": rejected at once
        {"----=_Part_7", "_= ----=_Part_8 ----=_Part_7", true},
        {"=_Part", "x=_PART", true},
        {"b=1", "B=1", true},
        {"b=1", "B1", false},
        {"abc", "xABCx", true},  // letters only: no first test
        {"été", "ÉTÉ", false},   // only A-Z fold
        {"été", "aéTé", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NoCaseFinder(c.needle).In(c.text), c.found) << c.needle << " in " << c.text;
        EXPECT_EQ(ContainsNoCase(c.needle, c.text), c.found) << c.needle << " in " << c.text;
    }
}

TEST(ParseHeadersTest, FieldCleaning) {
    using F = CString MimeHeaderBlock::*;
    const F subject = &MimeHeaderBlock::subject, received = &MimeHeaderBlock::received,
            replyTo = &MimeHeaderBlock::replyTo, type = &MimeHeaderBlock::contentType,
            boundary = &MimeHeaderBlock::boundary;
    const struct {
        const char* headers;
        F field;
        const char* value;
    } cases[] = {
        {"Subject: Hello\r\n there\r\n\r\nbody", subject, "Hello there\n"},
        {"Subject: Hello\r\n\tthere\r\n\r\n", subject, "Hellothere\n"},
        {"Subject:\tA\tB\r\n C\r\n\r\n", subject, "AB C\n"},  // tabs leave a folded value
        {"Subject:\tA\tB  \r\n\r\n", subject, "A\tB  "},      // unfolded: they stay
        {"Subject: one\r\nX-Subject: no\r\nSUBJECT: two\r\n\r\n", subject, "two"},
        {"To: a@x,\r\n b@y\r\n\r\n", &MimeHeaderBlock::to, "a@x, b@y "},
        {"CC: c@z\r\n\td@w\r\nBcc: e@v\r\n\r\n", &MimeHeaderBlock::cc, "c@zd@w "},
        {"Received: from a by b;\r\n Mon, 12 Jan 2004 10:00:00 +0100\r\n"
         "Received: from c by d; Tue, 13 Jan 2004 11:00:00 +0100\r\n (more)\r\n"
         "Date: Wed, 14 Jan 2004 12:00:00 +0100\r\n\r\n",
         received, "Mon, 12 Jan 2004 10:00:00 +0100"},
        {"Date: Wed, 14 Jan 2004 12:00:00 +0100\r\n\r\n", &MimeHeaderBlock::date,
         "Wed, 14 Jan 2004 12:00:00 +0100"},
        {"Received: by host\r\n  id 42\r\n  for x\r\n\r\n", received, "for x"},
        {"Received: by host with smtp\r\n\r\n", received, "Received: by host with smtp"},
        {"ReceivedX: no\r\nDate: Thu, 1 Jan 2004 00:00:00 +0000\r\n\r\n", received,
         "Thu, 1 Jan 2004 00:00:00 +0000"},
        {"From: f@x\r\nReply-To: r@x\r\nReturn-Path: <p@x>\r\n\r\n", replyTo, "<p@x>"},
        {"From: f@x\r\nReply-To: r@x\r\n\r\n", replyTo, "r@x"},
        {"From: f@x\r\n\r\n", replyTo, "f@x"},
        {"From: f@x\r\nReply-To: group: a@x;\r\n\r\n", replyTo, "f@x"},
        {"From: =?iso-8859-1?Q?J=F6rg?= <j@x>\r\n\r\n", &MimeHeaderBlock::from, "J\xF6rg <j@x>"},
        {"Content-Type:  text/plain ; charset=us-ascii\r\n\r\n", type, "text/plain"},
        {"Content-Type:  text/plain ; charset=us-ascii\r\n\r\n", boundary, ""},
        {"Content-Type: multipart/alternative;\r\n\tboundary=\"b1\"\r\n\r\n", type, "multipart/alternative"},
        {"Content-Type: multipart/alternative;\r\n\tboundary=\"b1\"\r\n\r\n", boundary, "b1"},
        {"Content-Type: multipart/mixed; boundary=\"abc def\"\r\n\r\n", boundary, "abc def"},
        {"Content-Type: multipart/mixed; boundary=abc more\r\n\r\n", boundary, "abc"},
        {"Content-Type: multipart/mixed; boundary=abc;x=y\r\n\r\n", boundary, "abc;x=y"},
        {"Content-Type: multipart/mixed; BOUNDARY=xyz\r\n\r\n", boundary, "xyz"},
        {"Content-Type: multipart/mixed; q=1; BOUNDARY=xyz\r\n\r\n", boundary, "1;"},
        {"Content-Type: multipart/mixed; boundary=\"lone\r\n\r\n", boundary, ""},
        {"Content-Type: multipart/mixed; boundary=\"=?utf-8?Q?x?=\"\r\n\r\n", boundary, "=?utf-8?Q?x?="},
    };
    for (const auto& c : cases) EXPECT_EQ(Parse(c.headers).*c.field, c.value) << c.headers;
}

TEST(ParseHeadersTest, PositionAndRangeEnd) {
    int position = -1;
    MimeHeaderBlock h = Parse("From: a\r\nX-Other: b\r\n cont\r\n\r\nbody\r\nSubject: no\r\n", &position);
    EXPECT_EQ(position, 4) << "the line after the blank line";
    EXPECT_EQ(h.subject, "") << "body lines are not headers";
    // The header on the last line of the range is stored and parsing stops after it.
    h = Parse("From: a\r\nSubject: last\r\nTo: outside\r\n", &position, 2);
    EXPECT_EQ(h.subject, "last");
    EXPECT_EQ(h.to, "");
    EXPECT_EQ(position, 2);
}

}  // namespace
