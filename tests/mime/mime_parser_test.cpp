#include "mime/mime_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "header_test_util.h"
#include "mime/boundary_registry.h"

namespace {

// Boundaries stay in the module's registry: every message here uses its own long ones, so
// one test's leftovers cannot match another's lines.
struct Parsed {
    CStringArray lines;
    MimeParser parser;
    std::vector<const MimePart*> parts;

    explicit Parsed(const std::string& lfText, int end = -1) : lines(LinesOf(Crlf(lfText))) {
        EXPECT_TRUE(parser.Parse(0, end < 0 ? lines.GetSize() : end, lines, true));
        for (const MimePartList::Node* n = parser.Parts().Head(); n; n = parser.Parts().After(n))
            parts.push_back(n->part);
    }
    std::vector<std::string> Attachments() const {
        std::vector<std::string> names;
        const MimePartList::Node* cursor = nullptr;
        for (MimePart* a = parser.FirstAttachment(cursor); a; a = parser.NextAttachment(cursor))
            names.push_back(a->fileName.str());
        EXPECT_EQ(cursor, nullptr);
        return names;
    }
};

using Names = std::vector<std::string>;

TEST(MimeParserTest, AlternativeInsideMixedWithAttachment) {
    Parsed m(R"(From: a@x
To: b@y
Subject: mixed
Content-Type: multipart/mixed; boundary="==mix-alt-outer=="

preamble
--==mix-alt-outer==
Content-Type: multipart/alternative; boundary="==mix-alt-inner=="

--==mix-alt-inner==
Content-Type: text/plain; charset=us-ascii

plain body
--==mix-alt-inner==
Content-Type: text/html

<p>html body</p>
--==mix-alt-inner==--

--==mix-alt-outer==
Content-Type: application/pdf; name="doc.pdf"
Content-Disposition: attachment; filename="doc.pdf"
Content-Transfer-Encoding: base64

JVBERi0=
--==mix-alt-outer==--
epilogue
)");
    ASSERT_EQ(m.parts.size(), 4u);
    EXPECT_EQ(m.parts[0]->contentType, "text/plain");
    EXPECT_EQ(m.parts[0]->body, "plain body\n");
    EXPECT_EQ(m.parts[1]->contentType, "text/html");
    EXPECT_EQ(m.parts[1]->body, "<p>html body</p>\n");
    EXPECT_EQ(m.parts[2]->contentType, "multipart/alternative");
    EXPECT_EQ(m.parts[2]->boundary, "==mix-alt-inner==");
    EXPECT_EQ(m.parts[3]->contentType, "application/pdf");
    EXPECT_EQ(m.parts[3]->disposition, "attachment");
    EXPECT_EQ(m.parts[3]->transferEncoding, "base64");
    EXPECT_EQ(m.parts[3]->body, "JVBERi0=\n");
    EXPECT_EQ(m.parser.FindTextPart(false), m.parts[0]);
    EXPECT_EQ(m.parser.FindTextPart(true), m.parts[1]);
    EXPECT_EQ(m.Attachments(), Names{"doc.pdf"});
    EXPECT_EQ(m.parser.HeaderFields().subject, "mixed");
    EXPECT_EQ(m.parser.HeaderFields().contentType, "multipart/mixed");

    // The nested level left the registry when its walk ended; the top level stays.
    EXPECT_FALSE(BoundaryRegistry::Module().Contains("==mix-alt-inner=="));
    EXPECT_TRUE(BoundaryRegistry::Module().Contains("==mix-alt-outer=="));
}

TEST(MimeParserTest, TextPartOnlyWithinTheFirstThreeEntries) {
    std::string text = "Content-Type: multipart/mixed; boundary=\"==three-first==\"\n\n";
    for (const char* name : {"1.png", "2.png", "3.png"})
        text += std::string("--==three-first==\nContent-Type: image/png; name=\"") + name +
                "\"\nContent-Disposition: attachment; filename=\"" + name + "\"\n\nbody-" + name + "\n";
    text += "--==three-first==\nContent-Type: text/plain\n\nthe text\n--==three-first==--\n";
    Parsed m(text);
    ASSERT_EQ(m.parts.size(), 4u);
    EXPECT_EQ(m.parser.FindTextPart(false), nullptr);
    EXPECT_EQ(m.Attachments(), (Names{"1.png", "2.png", "3.png"}));
}

TEST(MimeParserTest, PartHeadersDecideWhatIsListed) {
    Parsed m(R"(Content-Type: multipart/mixed; boundary="==roles=="

--==roles==
Content-ID: <only-unknown@x>

dropped
--==roles==
Content-Type: image/gif

GIF
--==roles==
Content-Type: application/octet-stream; name="named.bin"

AAAA
--==roles==
Content-Type: application/octet-stream; name="x.bin"
Content-Disposition: attachment; filename=x.bin

BBBB
--==roles==
Content-Type: text/plain; name="=?utf-8?Q?r=C3=A9sum=C3=A9.txt?="
Content-Disposition: INLINE

text attachment
--==roles==--
)");
    ASSERT_EQ(m.parts.size(), 4u);
    EXPECT_EQ(m.parts[0]->contentType, "image/gif");
    EXPECT_EQ(m.parts[0]->fileName, "");
    EXPECT_EQ(m.parts[1]->fileName, "named.bin") << "name= without disposition";
    EXPECT_EQ(m.parts[1]->disposition, "");
    EXPECT_EQ(m.parts[2]->fileName, "") << "unquoted filename= empties the earlier name";
    EXPECT_EQ(m.parts[3]->fileName, "r\xE9sum\xE9.txt");
    // Named text is not a text part; only the inline one is an attachment.
    EXPECT_EQ(m.parser.FindTextPart(false), nullptr);
    EXPECT_EQ(m.Attachments(), Names{"r\xE9sum\xE9.txt"});
}

std::string TwoSameAttachments(const char* firstDisposition, const char* tag) {
    std::string b = std::string("==dup-") + tag + "==";
    std::string text = "Content-Type: multipart/mixed; boundary=\"" + b + "\"\n\n";
    for (const char* d : {firstDisposition, "attachment"})
        text += "--" + b + "\nContent-Type: image/png; name=\"a.png\"\nContent-Disposition: " + d +
                "; filename=\"a.png\"\n\nSAME\n";
    return text + "--" + b +
           "\nContent-Type: image/png\nContent-Disposition: attachment; filename=\"b.png\"\n\nOTHER\n--" + b +
           "--\n";
}

TEST(MimeParserTest, DuplicateAttachmentsOnlyWhenTheFirstIsExactlyAttachment) {
    EXPECT_EQ(Parsed(TwoSameAttachments("attachment", "exact")).Attachments(), (Names{"a.png", "b.png"}));
    EXPECT_EQ(Parsed(TwoSameAttachments("Attachment", "capital")).Attachments(),
              (Names{"a.png", "a.png", "b.png"}));
    EXPECT_EQ(Parsed(TwoSameAttachments("inline", "inline")).Attachments(),
              (Names{"a.png", "a.png", "b.png"}));
}

TEST(MimeParserTest, BoundaryTextInsideABodyLineEndsThePart) {
    Parsed m(R"(Content-Type: multipart/mixed; boundary="==in-body=="

--==in-body==
Content-Type: text/plain

line one
this line quotes ==IN-BODY== in passing
line three
--==in-body==--
)");
    ASSERT_EQ(m.parts.size(), 1u);
    EXPECT_EQ(m.parts[0]->body, "line one\n");
}

TEST(MimeParserTest, QuotedPrintablePartsAreDecoded) {
    Parsed m(R"(Content-Type: multipart/mixed; boundary="==qp-parts=="

--==qp-parts==
Content-Type: text/plain
Content-Transfer-Encoding: Quoted-Printable

caf=E9 soft=
break=3D
--==qp-parts==
Content-Type: text/plain
Content-Transfer-Encoding: base64

Y2Fm
--==qp-parts==--
)");
    ASSERT_EQ(m.parts.size(), 2u);
    EXPECT_EQ(m.parts[0]->body, "caf\xE9 soft\nbreak=\n");
    EXPECT_EQ(m.parts[0]->transferEncoding, "");
    EXPECT_EQ(m.parts[1]->body, "Y2Fm\n");
    EXPECT_EQ(m.parts[1]->transferEncoding, "base64");
}

TEST(MimeParserTest, SinglePartMessages) {
    Parsed plain("From: a@x\nSubject: s\n\nline1\n\nline2\n");
    ASSERT_EQ(plain.parts.size(), 1u);
    EXPECT_EQ(plain.parts[0]->contentType, "text/plain");
    EXPECT_EQ(plain.parts[0]->body, "line1\n\nline2\n");
    EXPECT_EQ(plain.parser.FindTextPart(false), plain.parts[0]);

    Parsed file(R"(Content-Type: application/pdf
Content-Disposition: attachment; filename=" report.pdf "
Content-Transfer-Encoding: base64

QUJD
REVG

R0g=
)");
    ASSERT_EQ(file.parts.size(), 1u);
    EXPECT_EQ(file.parts[0]->fileName, "report.pdf");
    EXPECT_EQ(file.parts[0]->disposition, "attachment; filename=\" report.pdf \"");
    EXPECT_EQ(file.parts[0]->body, "QUJDREVGR0g=");
    EXPECT_EQ(file.Attachments(), Names{"report.pdf"});

    Parsed rfc822("From: a@x\nContent-Type: message/rfc822\n\nFrom: inner@y\nSubject: s\n\nbody\n");
    ASSERT_EQ(rfc822.parts.size(), 1u);
    EXPECT_EQ(rfc822.parts[0]->contentType, "message/rfc822");
    EXPECT_EQ(rfc822.parts[0]->body, "From: inner@y\nSubject: s\n\nbody\n");
    EXPECT_EQ(rfc822.parser.FindTextPart(false), nullptr);

    Parsed qp("Content-Type: text/plain\nContent-Transfer-Encoding: quoted-printable\n\na=3Db\n");
    EXPECT_EQ(qp.parts[0]->body, "a=b\n");

    const CStringArray none;
    MimeParser empty;
    EXPECT_FALSE(empty.Parse(0, 0, none, true));
}

TEST(MimeParserTest, PartHeaderOnTheLastLineIsItsOwnBody) {
    Parsed m(
        "Content-Type: multipart/mixed; boundary=\"==last-line==\"\n\n--==last-line==\nContent-Type: "
        "text/plain\n");
    ASSERT_EQ(m.parts.size(), 1u);
    EXPECT_EQ(m.parts[0]->contentType, "text/plain");
    EXPECT_EQ(m.parts[0]->body, "Content-Type: text/plain\n");
}

TEST(MimeParserTest, TruncatedPartThatEndsWhereItBeganEndsTheWalk) {
    // The header on the last line also holds the boundary: its end search lands on itself.
    Parsed m(
        "Content-Type: multipart/mixed; boundary=\"==stuck-b==\"\n\n--==stuck-b==\n"
        "Content-Type: text/plain; x=\"==stuck-b==\"\n");
    ASSERT_EQ(m.parts.size(), 2u);
    EXPECT_EQ(m.parts[0]->body, "");
    Parsed nested(
        "Content-Type: multipart/mixed; boundary=\"==stuck-o==\"\n\n--==stuck-o==\n"
        "Content-Type: multipart/alternative; boundary=\"==stuck-i==\"\n\n--==stuck-i==\n"
        "Content-Type: text/plain; x=\"==stuck-i==\"\n");
    EXPECT_GE(nested.parts.size(), 2u);
    EXPECT_FALSE(BoundaryRegistry::Module().Contains("==stuck-i=="));
}

TEST(MimeParserTest, MissingClosingBoundaries) {
    Parsed open(R"(Content-Type: multipart/mixed; boundary="==open-top=="

--==open-top==
Content-Type: text/plain

first
--==open-top==
Content-Type: text/html

<p>second</p>
)");
    ASSERT_EQ(open.parts.size(), 2u);
    EXPECT_EQ(open.parts[0]->body, "first\n");
    EXPECT_EQ(open.parts[1]->body, "<p>second</p>\n");

    // A nested level without its closing line ends at the enclosing boundary, found through the
    // registry.
    Parsed nested(R"(Content-Type: multipart/mixed; boundary="==open-mix=="

--==open-mix==
Content-Type: multipart/alternative; boundary="==open-alt=="

--==open-alt==
Content-Type: text/plain

alt text
--==open-mix==
Content-Type: image/png; name="a.png"
Content-Disposition: attachment; filename="a.png"

AAAA
--==open-mix==--
)");
    ASSERT_EQ(nested.parts.size(), 3u);
    EXPECT_EQ(nested.parts[0]->body, "alt text\n");
    EXPECT_EQ(nested.parts[1]->contentType, "multipart/alternative");
    EXPECT_EQ(nested.Attachments(), Names{"a.png"});
    EXPECT_FALSE(BoundaryRegistry::Module().Contains("==open-alt=="));
}

TEST(MimeParserTest, ContainerWhoseBoundaryNeverComesEndsAtTheEnclosingOne) {
    Parsed m(R"(Content-Type: multipart/mixed; boundary="==never-top=="

--==never-top==
Content-Type: multipart/alternative; boundary="==never-comes=="

preamble only
--==never-top==
Content-Type: text/plain

after
--==never-top==--
)");
    ASSERT_EQ(m.parts.size(), 2u);
    EXPECT_EQ(m.parts[0]->contentType, "multipart/alternative");
    EXPECT_EQ(m.parts[0]->body, "preamble only\n");
    EXPECT_EQ(m.parts[1]->body, "after\n");
    EXPECT_EQ(m.parser.FindTextPart(false), m.parts[1]);
    EXPECT_FALSE(BoundaryRegistry::Module().Contains("==never-comes=="));
}

TEST(MimeParserTest, HostileNestingEndsWithoutExhaustingTheStack) {
    const int levels = 3 * kMaxMimeNesting;
    char name[32];
    std::string text = "Content-Type: multipart/mixed; boundary=\"deep-0000-x\"\n\n";
    for (int i = 0; i < levels; ++i) {
        std::snprintf(name, sizeof name, "deep-%04d-x", i + 1);
        std::snprintf(name + 16, 16, "%04d", i);
        text += "--deep-" + std::string(name + 16) + "-x\nContent-Type: multipart/mixed; boundary=\"" + name +
                "\"\n\n";
    }
    std::snprintf(name, sizeof name, "--deep-%04d-x", levels);
    text += std::string(name) + "\nContent-Type: text/plain\n\nleaf\n";
    Parsed m(text);
    EXPECT_GE(m.parts.size(), static_cast<size_t>(kMaxMimeNesting));
    EXPECT_TRUE(BoundaryRegistry::Module().Contains("deep-0000-x"));
    EXPECT_FALSE(BoundaryRegistry::Module().Contains("deep-0050-x"));
    EXPECT_FALSE(BoundaryRegistry::Module().Contains("deep-0250-x"));
}

}  // namespace
