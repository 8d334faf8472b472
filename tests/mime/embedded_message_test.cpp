#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "header_test_util.h"
#include "mime/base64_decode.h"
#include "mime/mime_parser.h"

namespace {

struct Parsed {
    CStringArray lines;
    MimeParser parser;
    std::vector<const MimePart*> parts;

    explicit Parsed(const std::string& lfText) : lines(LinesOf(Crlf(lfText))) {
        EXPECT_TRUE(parser.Parse(0, lines.GetSize(), lines, true));
        for (const MimePartList::Node* n = parser.Parts().Head(); n; n = parser.Parts().After(n))
            parts.push_back(n->part);
    }
};

const char kInnerHeaders[] = R"(From: inner@y
To: t@z
cc: c@z
Date: Mon, 12 Jan 2004 10:00:00 +0100
Subject: Inner
)";

const char kTextBlock[] =
    "\r\n\r\nDate: Mon, 12 Jan 2004 10:00:00 +0100\r\nFrom: inner@y\r\nTo: t@z\r\ncc: c@z\r\nSubject: "
    "Inner\r\n\r\n";
const char kHtmlBlock[] =
    "<BR><BR><B>Date:</B> Mon, 12 Jan 2004 10:00:00 +0100<BR><B>From:</B> inner@y<BR><B>To:</B> t@z<BR>"
    "<B>cc:</B> c@z<BR><B>Subject:</B> Inner<BR><BR>";

TEST(EmbeddedMessageTest, ForwardedPlainMessageJoinsTheOuterText) {
    Parsed m(std::string(R"(From: outer@x
Subject: Fwd
Content-Type: multipart/mixed; boundary="==fwd-plain=="

--==fwd-plain==
Content-Type: text/plain
Content-Transfer-Encoding: quoted-printable

See below=3A
--==fwd-plain==
Content-Type: message/rfc822

)") + kInnerHeaders +
             R"(
Inner text.
--==fwd-plain==--
)");
    ASSERT_EQ(m.parts.size(), 1u) << "the message/rfc822 part itself is not listed";
    EXPECT_EQ(m.parts[0]->body, std::string("See below:\n") + kTextBlock + "Inner text.\n");
    EXPECT_EQ(m.parts[0]->transferEncoding, "");
    EXPECT_EQ(m.parser.HeaderFields().subject, "Fwd");
}

TEST(EmbeddedMessageTest, HtmlOnlyForwardGoesToHtmlAndConvertedToPlain) {
    Parsed m(std::string(R"(Content-Type: multipart/mixed; boundary="==fwd-html-o=="

--==fwd-html-o==
Content-Type: multipart/alternative; boundary="==fwd-html-a=="

--==fwd-html-a==
Content-Type: text/plain

Plain outer.
--==fwd-html-a==
Content-Type: text/html

<p>Html outer.</p>
--==fwd-html-a==--
--==fwd-html-o==
Content-Type: message/rfc822

)") + kInnerHeaders +
             R"(Content-Type: text/html

<p>Inner <b>html</b></p>
--==fwd-html-o==--
)");
    ASSERT_EQ(m.parts.size(), 3u);
    EXPECT_EQ(m.parts[0]->body, std::string("Plain outer.\n") + kTextBlock + "Inner html\n ");
    EXPECT_EQ(m.parts[1]->body,
              std::string("<p>Html outer.</p>\n") + kHtmlBlock + "<p>Inner <b>html</b></p>\n");
}

TEST(EmbeddedMessageTest, PlainForwardIntoHtmlOnlyOuterUsesTheTextBlock) {
    Parsed m(std::string(R"(Content-Type: multipart/mixed; boundary="==fwd-into-html=="

--==fwd-into-html==
Content-Type: text/html

<p>Outer</p>
--==fwd-into-html==
Content-Type: message/rfc822

)") + kInnerHeaders +
             R"(
Inner plain.
--==fwd-into-html==--
)");
    ASSERT_EQ(m.parts.size(), 1u);
    EXPECT_EQ(m.parts[0]->body, std::string("<p>Outer</p>\n") + kTextBlock + "Inner plain.\n");
}

TEST(EmbeddedMessageTest, InnerAttachmentsJoinTheOuterList) {
    Parsed m(std::string(R"(Content-Type: multipart/mixed; boundary="==fwd-att-o=="

--==fwd-att-o==
Content-Type: text/plain

Outer.
--==fwd-att-o==
Content-Type: message/rfc822

)") + kInnerHeaders +
             R"(Content-Type: multipart/mixed; boundary="==fwd-att-i=="

--==fwd-att-i==
Content-Type: text/plain

Inner.
--==fwd-att-i==
Content-Type: text/plain; name="notes.txt"
Content-Disposition: attachment; filename="notes.txt"
Content-Transfer-Encoding: quoted-printable

note=20body
--==fwd-att-i==--
--==fwd-att-o==
Content-Type: application/zip; name="z.zip"
Content-Disposition: attachment; filename="z.zip"

UEsD
--==fwd-att-o==--
)");
    ASSERT_EQ(m.parts.size(), 3u);
    EXPECT_EQ(m.parts[0]->body, std::string("Outer.\n") + kTextBlock + "Inner.\n");
    EXPECT_EQ(m.parts[1]->fileName, "notes.txt");
    EXPECT_EQ(m.parts[1]->body, "note body\n") << "decoded by the inner parse";
    EXPECT_EQ(m.parts[2]->fileName, "z.zip");
    const MimePartList::Node* cursor = nullptr;
    EXPECT_EQ(m.parser.FirstAttachment(cursor), m.parts[1]);
    EXPECT_EQ(m.parser.NextAttachment(cursor), m.parts[2]);
    EXPECT_EQ(m.parser.NextAttachment(cursor), nullptr);
    EXPECT_EQ(cursor, nullptr);
}

TEST(EmbeddedMessageTest, ForwardWithoutEnclosingTextIsDropped) {
    Parsed m(std::string(R"(Content-Type: multipart/mixed; boundary="==fwd-alone=="

--==fwd-alone==
Content-Type: message/rfc822

)") + kInnerHeaders +
             R"(
Lost text.
--==fwd-alone==--
)");
    EXPECT_TRUE(m.parts.empty());
}

TEST(MimePartListTest, CircularLinksAndIteration) {
    MimePart a, b, c;
    MimePartList list;
    EXPECT_EQ(list.Head(), nullptr);
    list.Append(&a);
    EXPECT_EQ(list.Head()->next, list.Head());
    EXPECT_EQ(list.Head()->previous, list.Head());
    list.Append(&b);
    list.Append(&c);
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.Tail()->part, &c);
    EXPECT_EQ(list.Tail()->next, list.Head());
    EXPECT_EQ(list.Head()->previous, list.Tail());
    EXPECT_EQ(list.Head()->next->part, &b);
    EXPECT_EQ(list.After(list.Tail()), nullptr);
}

TEST(LineSearchTest, SearchesAndJoins) {
    const CStringArray lines = LinesOf(Crlf("Subject: x\n\n--SEP\nbody\n\n--sep--\nsepz\nend\n"));
    MimeParser p;
    ASSERT_TRUE(p.Parse(0, 7, lines, true));  // sets the range end to 7
    EXPECT_EQ(p.FindLineContaining(0, "sep"), 2);
    EXPECT_EQ(p.FindLineContaining(3, "SEP"), 5);
    EXPECT_EQ(p.FindLineContaining(7, "sep"), -1);
    EXPECT_EQ(p.FindLineContaining(0, ""), -1);
    EXPECT_EQ(p.FindLastBoundaryLine(0, "sep"), 6);
    EXPECT_EQ(p.FindLastBoundaryLine(0, "--sep--x"), 5) << "a shorter line inside the text counts";
    EXPECT_EQ(p.FindLastBoundaryLine(0, "nowhere"), 6);
    EXPECT_EQ(p.FindLastBoundaryLine(6, "sep"), 6);
    EXPECT_EQ(p.JoinLines(2, 5, false), "--SEP\nbody\n\n");
    EXPECT_EQ(p.JoinLines(2, 5, true), "--SEPbody");
    EXPECT_EQ(p.JoinLines(4, 4, false), "");
}

// Real-world samples must parse and decode without harm (skipped when absent).
TEST(MimeCorpusTest, SampleMessagesParseAndDecode) {
    const std::string root = std::string(ZQ_SOURCE_DIR) + "/../shared/corpora";
    std::vector<std::string> files;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file() &&
            (name.ends_with(".raw") || name.ends_with(".msg") || name.ends_with(".eml")))
            files.push_back(it->path().string());
    }
    if (files.empty()) GTEST_SKIP() << "no sample corpus at " << root;
    for (const std::string& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string crlf;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) crlf += '\r';
            crlf += text[i];
        }
        const CStringArray lines = LinesOf(crlf);
        MimeParser parser;
        EXPECT_EQ(parser.Parse(0, lines.GetSize(), lines, true), lines.GetSize() > 0) << path;
        for (const MimePartList::Node* n = parser.Parts().Head(); n; n = parser.Parts().After(n)) {
            std::unique_ptr<unsigned char[]> bytes;
            int32_t length = 0;
            Base64Decode(n->part->body, bytes, length);
            EXPECT_LE(length, n->part->body.GetLength()) << path;
        }
    }
}

}  // namespace
