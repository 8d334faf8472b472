#include "mime/mime_parser.h"

#include <gtest/gtest.h>

#include "header_test_util.h"
#include "mime/boundary_registry.h"

namespace {

// Boundaries stay in the module's registry: every message here uses its own long ones, so
// one test's leftovers cannot match another's lines.
bool Registered(const char* boundary) { return BoundaryRegistry::Module().Contains(boundary); }

TEST(MimeParserTest, AlternativeInsideMixedWithAttachment) {
    Parsed m(Mixed("==mix-alt-outer==",
                   {{"Content-Type: multipart/alternative; boundary=\"==mix-alt-inner==\"",
                     "--==mix-alt-inner==\nContent-Type: text/plain; charset=us-ascii\n\nplain body\n"
                     "--==mix-alt-inner==\nContent-Type: text/html\n\n<p>html body</p>\n"
                     "--==mix-alt-inner==--\n\n"},
                    {"Content-Type: application/pdf; name=\"doc.pdf\"\nContent-Disposition: attachment; "
                     "filename=\"doc.pdf\"\nContent-Transfer-Encoding: base64",
                     "JVBERi0=\n"}}) +
             "epilogue\n");
    ASSERT_EQ(m.parts.size(), 4u);
    EXPECT_EQ(m.parts[0]->body, "plain body\n");
    EXPECT_EQ(m.parts[1]->body, "<p>html body</p>\n");
    EXPECT_EQ(m.parts[2]->boundary, "==mix-alt-inner==");
    EXPECT_EQ(m.parts[3]->body, "JVBERi0=\n");
    EXPECT_EQ(m.parser.FindTextPart(false), m.parts[0]);
    EXPECT_EQ(m.parser.FindTextPart(true), m.parts[1]);
    EXPECT_EQ(m.Attachments(), Names{"doc.pdf"});
    EXPECT_FALSE(Registered("==mix-alt-inner==")) << "a nested level leaves when its walk ends";
    EXPECT_TRUE(Registered("==mix-alt-outer=="));
}

TEST(MimeParserTest, TextPartOnlyWithinTheFirstThreeEntries) {
    std::vector<std::pair<std::string, std::string>> parts;
    for (std::string name : {"1.png", "2.png", "3.png"})
        parts.push_back(
            {"Content-Type: image/png\nContent-Disposition: attachment; filename=\"" + name + "\"",
             name + "\n"});
    parts.push_back({"Content-Type: text/plain", "the text\n"});
    Parsed m(Mixed("==three-first==", parts));
    ASSERT_EQ(m.parts.size(), 4u);
    EXPECT_EQ(m.parser.FindTextPart(false), nullptr);
    EXPECT_EQ(m.Attachments(), (Names{"1.png", "2.png", "3.png"}));
}

TEST(MimeParserTest, PartHeadersDecideWhatIsListed) {
    Parsed m(Mixed("==roles==", {{"Content-ID: <only-unknown@x>", "dropped\n"},
                                 {"Content-Type: image/gif", "GIF\n"},
                                 {"Content-Type: application/octet-stream; name=\"named.bin\"", "AAAA\n"},
                                 {"Content-Type: application/octet-stream; name=\"x.bin\"\n"
                                  "Content-Disposition: attachment; filename=x.bin",
                                  "BBBB\n"},
                                 {"Content-Type: text/plain; name=\"=?utf-8?Q?r=C3=A9sum=C3=A9.txt?=\"\n"
                                  "Content-Disposition: INLINE",
                                  "text attachment\n"}}));
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

TEST(MimeParserTest, DuplicateAttachmentsOnlyWhenTheFirstIsExactlyAttachment) {
    const struct {
        const char* disposition;
        Names names;
    } cases[] = {{"attachment", {"a.png", "b.png"}},
                 {"Attachment", {"a.png", "a.png", "b.png"}},
                 {"inline", {"a.png", "a.png", "b.png"}}};
    for (const auto& c : cases) {
        const std::string same = "Content-Type: image/png; name=\"a.png\"\nContent-Disposition: ";
        Parsed m(Mixed(
            std::string("==dup-") + c.disposition + "==",
            {{same + c.disposition + "; filename=\"a.png\"", "SAME\n"},
             {same + "attachment; filename=\"a.png\"", "SAME\n"},
             {"Content-Type: image/png\nContent-Disposition: attachment; filename=\"b.png\"", "OTHER\n"}}));
        EXPECT_EQ(m.Attachments(), c.names) << c.disposition;
    }
}

TEST(MimeParserTest, BodiesBoundariesAndDecoding) {
    Parsed inBody(Mixed(
        "==in-body==",
        {{"Content-Type: text/plain", "line one\nthis line quotes ==IN-BODY== in passing\nline three\n"}}));
    EXPECT_EQ(inBody.Bodies(), Names{"line one\n"}) << "a boundary text inside a body line ends the part";

    Parsed qp(
        Mixed("==qp-parts==", {{"Content-Type: text/plain\nContent-Transfer-Encoding: Quoted-Printable",
                                "caf=E9 soft=\nbreak=3D\n"},
                               {"Content-Type: text/plain\nContent-Transfer-Encoding: base64", "Y2Fm\n"}}));
    ASSERT_EQ(qp.Bodies(), (Names{"caf\xE9 soft\nbreak=\n", "Y2Fm\n"}));
    EXPECT_EQ(qp.parts[0]->transferEncoding, "");
    EXPECT_EQ(qp.parts[1]->transferEncoding, "base64");
}

TEST(MimeParserTest, SinglePartMessages) {
    Parsed plain("From: a@x\nSubject: s\n\nline1\n\nline2\n");
    ASSERT_EQ(plain.Bodies(), Names{"line1\n\nline2\n"});
    EXPECT_EQ(plain.parts[0]->contentType, "text/plain");
    EXPECT_EQ(plain.parser.FindTextPart(false), plain.parts[0]);

    Parsed file(
        "Content-Type: application/pdf\nContent-Disposition: attachment; filename=\" report.pdf \"\n"
        "Content-Transfer-Encoding: base64\n\nQUJD\nREVG\n\nR0g=\n");
    ASSERT_EQ(file.Bodies(), Names{"QUJDREVGR0g="});
    EXPECT_EQ(file.parts[0]->disposition, "attachment; filename=\" report.pdf \"");
    EXPECT_EQ(file.Attachments(), Names{"report.pdf"});

    Parsed rfc822("From: a@x\nContent-Type: message/rfc822\n\nFrom: inner@y\nSubject: s\n\nbody\n");
    ASSERT_EQ(rfc822.Bodies(), Names{"From: inner@y\nSubject: s\n\nbody\n"});
    EXPECT_EQ(rfc822.parts[0]->contentType, "message/rfc822");
    EXPECT_EQ(rfc822.parser.FindTextPart(false), nullptr);

    const LineArray none;
    MimeParser empty;
    EXPECT_FALSE(empty.Parse(0, 0, none, true));
}

TEST(MimeParserTest, TruncatedMessagesEndTheWalk) {
    Parsed last(Mixed("==last-line==", {}, false) + "--==last-line==\nContent-Type: text/plain\n");
    ASSERT_EQ(last.Bodies(), Names{"Content-Type: text/plain\n"}) << "a part header on the last line";
    EXPECT_EQ(last.parts[0]->contentType, "text/plain");

    // The header on the last line also holds the boundary: its end search lands on itself.
    Parsed stuck(Mixed("==stuck-b==", {}, false) +
                 "--==stuck-b==\nContent-Type: text/plain; x=\"==stuck-b==\"\n");
    ASSERT_EQ(stuck.parts.size(), 2u);
    EXPECT_EQ(stuck.parts[0]->body, "");
    Parsed nested(Mixed("==stuck-o==", {}, false) +
                  "--==stuck-o==\nContent-Type: multipart/alternative; boundary=\"==stuck-i==\"\n\n"
                  "--==stuck-i==\nContent-Type: text/plain; x=\"==stuck-i==\"\n");
    EXPECT_GE(nested.parts.size(), 2u);
    EXPECT_FALSE(Registered("==stuck-i=="));
}

TEST(MimeParserTest, MissingClosingBoundaries) {
    Parsed open(Mixed(
        "==open-top==",
        {{"Content-Type: text/plain", "first\n"}, {"Content-Type: text/html", "<p>second</p>\n"}}, false));
    EXPECT_EQ(open.Bodies(), (Names{"first\n", "<p>second</p>\n"}));

    // A nested level without its closing line ends at the enclosing boundary, found through the
    // registry.
    Parsed nested(
        Mixed("==open-mix==",
              {{"Content-Type: multipart/alternative; boundary=\"==open-alt==\"",
                "--==open-alt==\nContent-Type: text/plain\n\nalt text\n"},
               {"Content-Type: image/png\nContent-Disposition: attachment; filename=\"a.png\"", "AAAA\n"}}));
    ASSERT_EQ(nested.parts.size(), 3u);
    EXPECT_EQ(nested.parts[0]->body, "alt text\n");
    EXPECT_EQ(nested.parts[1]->contentType, "multipart/alternative");
    EXPECT_EQ(nested.Attachments(), Names{"a.png"});
    EXPECT_FALSE(Registered("==open-alt=="));

    Parsed never(Mixed("==never-top==", {{"Content-Type: multipart/alternative; boundary=\"==never-comes==\"",
                                          "preamble only\n"},
                                         {"Content-Type: text/plain", "after\n"}}));
    ASSERT_EQ(never.Bodies(), (Names{"preamble only\n", "after\n"}));
    EXPECT_EQ(never.parser.FindTextPart(false), never.parts[1]);
    EXPECT_FALSE(Registered("==never-comes=="));
}

TEST(MimeParserTest, HostileNestingEndsWithoutExhaustingTheStack) {
    const int levels = 3 * kMaxMimeNesting;
    const auto name = [](int i) {
        char out[16];
        std::snprintf(out, sizeof out, "deep-%04d-x", i);
        return std::string(out);
    };
    std::string text = "Content-Type: multipart/mixed; boundary=\"" + name(0) + "\"\n\n";
    for (int i = 0; i < levels; ++i)
        text += "--" + name(i) + "\nContent-Type: multipart/mixed; boundary=\"" + name(i + 1) + "\"\n\n";
    Parsed m(text + "--" + name(levels) + "\nContent-Type: text/plain\n\nleaf\n");
    EXPECT_GE(m.parts.size(), static_cast<size_t>(kMaxMimeNesting));
    EXPECT_TRUE(Registered("deep-0000-x"));
    EXPECT_FALSE(Registered("deep-0050-x"));
    EXPECT_FALSE(Registered("deep-0250-x"));
}

}  // namespace
