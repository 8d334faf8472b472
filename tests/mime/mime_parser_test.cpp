#include "mime/mime_parser.h"

#include <gtest/gtest.h>

#include "header_test_util.h"
#include "mime/boundary_registry.h"
#include "mime/line_gram_index.h"
#include "mime/text_match.h"

namespace {

// Boundaries stay in the module's registry: every message here uses its own long ones, so
// one test's leftovers cannot match another's lines.
bool Registered(const char* boundary) { return BoundaryRegistry::Module().Contains(boundary); }

TEST(MimeParserTest, AlternativeInsideMixedWithAttachment) {
    Parsed m(Mixed("==mix-alt-outer==",
                   {{"Content-Type: multipart/alternative; boundary=\"==mix-alt-inner==\"",
                     "--==mix-alt-inner==\nContent-Type: text/plain; charset=us-ascii\n"
                     "Content-Transfer-Encoding: Quoted-Printable\n\nplain=3D soft=\nbody\n"
                     "--==mix-alt-inner==\nContent-Type: text/html\n\n<p>html body</p>\n"
                     "--==mix-alt-inner==--\n\n"},
                    {"Content-Type: application/pdf; name=\"doc.pdf\"\nContent-Disposition: attachment; "
                     "filename=\"doc.pdf\"\nContent-Transfer-Encoding: base64",
                     "JVBERi0=\n"}}) +
             "epilogue\n");
    // Children come before their container; only quoted-printable bodies are decoded.
    ASSERT_EQ(m.Bodies(), (Names{"plain= soft\nbody\n", "<p>html body</p>\n", "", "JVBERi0=\n"}));
    EXPECT_EQ(m.parts[0]->transferEncoding, "");
    EXPECT_EQ(m.parts[2]->boundary, "==mix-alt-inner==");
    EXPECT_EQ(m.parts[3]->transferEncoding, "base64");
    EXPECT_EQ(m.parser.FindTextPart(false), m.parts[0]);
    EXPECT_EQ(m.parser.FindTextPart(true), m.parts[1]);
    EXPECT_EQ(m.Attachments(), Names{"doc.pdf"});
    EXPECT_FALSE(Registered("==mix-alt-inner==")) << "a nested level leaves when its walk ends";
    EXPECT_TRUE(Registered("==mix-alt-outer=="));
}

TEST(MimeParserTest, PartHeadersDecideWhatIsListed) {
    Parsed m(Mixed("==roles==",
                   {{"Content-ID: <only-unknown@x>", "dropped\n"},
                    {"Content-Type: text/plain; name=\"=?utf-8?Q?r=C3=A9sum=C3=A9.txt?=\"\n"
                     "Content-Disposition: INLINE",
                     "text attachment\n"},
                    {"Content-Type: image/png\nContent-Disposition: attachment; filename=\"a.png\"", "PNG\n"},
                    {"Content-Type: application/octet-stream; name=\"named.bin\"", "AAAA\n"},
                    {"Content-Type: text/plain", "the text\n"},
                    {"Content-Type: application/octet-stream; name=\"x.bin\"\n"
                     "Content-Disposition: attachment; filename=x.bin",
                     "BBBB\n"}}));
    ASSERT_EQ(m.Bodies(), (Names{"text attachment\n", "PNG\n", "AAAA\n", "the text\n", "BBBB\n"}));
    EXPECT_EQ(m.parts[2]->contentType, "application/octet-stream");
    EXPECT_EQ(m.parts[2]->fileName, "named.bin") << "name= without disposition";
    EXPECT_EQ(m.parts[2]->disposition, "");
    EXPECT_EQ(m.parts[4]->fileName, "") << "unquoted filename= empties the earlier name";
    // The named text is no text part, and the plain one comes after the first three entries.
    EXPECT_EQ(m.parser.FindTextPart(false), nullptr);
    EXPECT_EQ(m.Attachments(), (Names{"r\xE9sum\xE9.txt", "a.png"}));
}

TEST(MimeParserTest, DuplicateAttachmentsOnlyWhenTheFirstIsExactlyAttachment) {
    const struct {
        const char* disposition;
        Names names;
    } cases[] = {{"attachment", {"a.png", "b.png"}}, {"Attachment", {"a.png", "a.png", "b.png"}}};
    for (const auto& c : cases) {
        const std::string same = "Content-Type: image/png; name=\"a.png\"\nContent-Disposition: ";
        Parsed m(Mixed(
            std::string("==dup-") + c.disposition + "==",
            {{same + c.disposition + "; filename=\"a.png\"", "SAME\n"},
             {same + "attachment; filename=\"a.png\"", "SAME\n"},
             {"Content-Type: image/png\nContent-Disposition: attachment; filename=\"b.png\"", "OTHER\n"}}));
        EXPECT_EQ(m.Attachments(), c.names) << c.disposition;
    }
    // Long bodies of one length with the same ends differ only in the middle: both stay, and a
    // later copy of either is still found.
    const std::string ends(100, 'x');
    const std::string head = "Content-Type: image/png\nContent-Disposition: attachment; filename=";
    Parsed m(Mixed("==dup-long==", {{head + "\"1.png\"", ends + "1" + ends + "\n"},
                                    {head + "\"2.png\"", ends + "2" + ends + "\n"},
                                    {head + "\"3.png\"", ends + "2" + ends + "\n"},
                                    {head + "\"4.png\"", ends + "1" + ends + "\n"}}));
    EXPECT_EQ(m.Attachments(), (Names{"1.png", "2.png"}));
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
}

TEST(MimeParserTest, MisplacedAndMissingBoundaries) {
    Parsed inBody(Mixed(
        "==in-body==",
        {{"Content-Type: text/plain", "line one\nthis line quotes ==IN-BODY== in passing\nline three\n"}}));
    EXPECT_EQ(inBody.Bodies(), Names{"line one\n"}) << "a boundary text inside a body line ends the part";

    Parsed last(Mixed("==last-line==", {}, false) + "--==last-line==\nContent-Type: text/plain\n");
    ASSERT_EQ(last.Bodies(), Names{"Content-Type: text/plain\n"}) << "a part header on the last line";
    EXPECT_EQ(last.parts[0]->contentType, "text/plain");

    // The header on the last line also holds the boundary: its end search lands on itself, which
    // must end the walk.
    Parsed stuck(Mixed("==stuck-b==", {}, false) +
                 "--==stuck-b==\nContent-Type: text/plain; x=\"==stuck-b==\"\n");
    EXPECT_EQ(stuck.Bodies(), (Names{"", ""}));

    // No closing lines at all: the nested level ends at the enclosing boundary, found through the
    // registry, the last part at the end of the message.
    Parsed open(
        Mixed("==open-mix==",
              {{"Content-Type: multipart/alternative; boundary=\"==open-alt==\"",
                "--==open-alt==\nContent-Type: text/plain\n\nalt text\n"},
               {"Content-Type: image/png\nContent-Disposition: attachment; filename=\"a.png\"", "AAAA\n"}},
              false));
    ASSERT_EQ(open.Bodies(), (Names{"alt text\n", "", "AAAA\n"}));
    EXPECT_EQ(open.parts[1]->contentType, "multipart/alternative");
    EXPECT_EQ(open.Attachments(), Names{"a.png"});
    EXPECT_FALSE(Registered("==open-alt=="));
}

TEST(MimeParserTest, HostileNestingEndsWithoutExhaustingTheStack) {
    const int levels = 3 * kMaxMimeNesting;
    const auto name = [](int i) { return "deep-" + std::to_string(i) + "-x"; };
    std::string text = "Content-Type: multipart/mixed; boundary=\"" + name(0) + "\"\n\n";
    for (int i = 0; i < levels; ++i)
        text += "--" + name(i) + "\nContent-Type: multipart/mixed; boundary=\"" + name(i + 1) + "\"\n\n";
    Parsed m(text + "--" + name(levels) + "\nContent-Type: text/plain\n\nleaf\n");
    EXPECT_EQ(m.parts.size(), static_cast<size_t>(kMaxMimeNesting) + 1)
        << "the level past the limit is not walked";
}

// The inner header block as merged: fields in a fixed order, whatever the inner message's order.
const char kInnerHeaders[] =
    "From: inner@y\nTo: t@z\ncc: c@z\nDate: Mon, 12 Jan 2004 10:00:00 +0100\nSubject: Inner";
const std::string kTextBlock =
    "\r\n\r\nDate: Mon, 12 Jan 2004 10:00:00 +0100\r\nFrom: inner@y\r\nTo: t@z\r\ncc: c@z\r\nSubject: "
    "Inner\r\n\r\n";
const std::string kHtmlBlock =
    "<BR><BR><B>Date:</B> Mon, 12 Jan 2004 10:00:00 +0100<BR><B>From:</B> inner@y<BR><B>To:</B> t@z<BR>"
    "<B>cc:</B> c@z<BR><B>Subject:</B> Inner<BR><BR>";

std::pair<std::string, std::string> Forward(const std::string& innerRest) {
    return {"Content-Type: message/rfc822", kInnerHeaders + innerRest};
}

// A forwarded message is not listed: its text joins the enclosing text parts, its attachments
// the enclosing list.
TEST(EmbeddedMessageTest, ForwardsJoinTheOuterMessage) {
    const struct {
        const char* name;
        std::string text;
        Names bodies, attachments;
    } cases[] = {
        // The outer parts are decoded before the inner text joins them, so it is not decoded again.
        {"plain into plain and HTML outer parts",
         Mixed("==fwd-plain==",
               {{"Content-Type: text/plain\nContent-Transfer-Encoding: quoted-printable", "See below=3A\n"},
                {"Content-Type: text/html", "<p>Outer</p>\n"},
                Forward("\n\nInner text=41.\n")}),
         {"See below:\n" + kTextBlock + "Inner text=41.\n",
          "<p>Outer</p>\n" + kTextBlock + "Inner text=41.\n"},
         {}},
        {"no enclosing text part", Mixed("==fwd-alone==", {Forward("\n\nLost text.\n")}), {}, {}},
        {"HTML only: converted for the plain part",
         Mixed("==fwd-html==", {{"Content-Type: text/plain", "Plain outer.\n"},
                                {"Content-Type: text/html", "<p>Html outer.</p>\n"},
                                Forward("\nContent-Type: text/html\n\n<p>Inner <b>html</b></p>\n")}),
         {"Plain outer.\n" + kTextBlock + "Inner html\n ",
          "<p>Html outer.</p>\n" + kHtmlBlock + "<p>Inner <b>html</b></p>\n"},
         {}},
        {"inner attachments, decoded by the inner parse",
         Mixed("==fwd-att-o==",
               {{"Content-Type: text/plain", "Outer.\n"},
                Forward("\n" +
                        Mixed("==fwd-att-i==", {{"Content-Type: text/plain", "Inner.\n"},
                                                {"Content-Type: text/plain; name=\"notes.txt\"\n"
                                                 "Content-Disposition: attachment; filename=\"notes.txt\"\n"
                                                 "Content-Transfer-Encoding: quoted-printable",
                                                 "note=20body\n"}})),
                {"Content-Type: application/zip\nContent-Disposition: attachment; filename=\"z.zip\"",
                 "UEsD\n"}}),
         {"Outer.\n" + kTextBlock + "Inner.\n", "note body\n", "UEsD\n"},
         {"notes.txt", "z.zip"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Parsed m("Subject: Outer\n" + c.text);
        EXPECT_EQ(m.Bodies(), c.bodies);
        EXPECT_EQ(m.Attachments(), c.attachments);
        EXPECT_EQ(m.parser.HeaderFields().subject, "Outer");
    }
}

// The end of a forwarded message when no enclosing boundary follows it.
TEST(LineSearchTest, LastBoundaryLine) {
    const LineArray lines = LinesOf(Crlf("Subject: x\n\n--SEP\nbody\n\n--sep--\nsepz\nend\n"));
    MimeParser p;
    ASSERT_TRUE(p.Parse(0, 7, lines, true));  // sets the range end to 7
    EXPECT_EQ(p.FindLastBoundaryLine(0, "sep"), 6);
    EXPECT_EQ(p.FindLastBoundaryLine(0, "--sep--x"), 5) << "a shorter line inside the text counts";
    EXPECT_EQ(p.FindLastBoundaryLine(0, "nowhere"), 6);
}

// A private registry: the module's one is shared with every other test.
TEST(BoundaryRegistryTest, EntriesAndMatching) {
    BoundaryRegistry r;
    for (const char* b : {"", "==a==", "==a==", "==A==", "NextPart_42"}) r.RegisterBoundary(b);
    EXPECT_EQ(r.GetCount(), 3) << "identical bytes only once; other case is another entry";
    r.UnregisterBoundary("==a==");
    r.UnregisterBoundary("==missing==");
    EXPECT_FALSE(r.Contains("==a=="));
    EXPECT_TRUE(r.Contains("==A=="));
    EXPECT_EQ(r.GetCount(), 2);
    r.RegisterBoundary("==a==");
    EXPECT_TRUE(r.Contains("==a==")) << "registrable again once removed";
    // A match when the line and an entry contain one another, without regard to case.
    for (const char* line : {"--NextPart_42", "--nextpart_42--", "NextPart_42", "Part_4", "part_4"})
        EXPECT_TRUE(r.MatchesRegisteredBoundary(line)) << line;
    for (const char* line : {"NextPart_43", "--NextPart_4", ""})
        EXPECT_FALSE(r.MatchesRegisteredBoundary(line)) << line;
}

// The index must answer exactly as a scan of the lines does, for every piece length.
TEST(LineGramIndexTest, AgreesWithAScanOnRandomLines) {
    uint32_t state = 12345;
    const auto next = [&state] { return ((state = state * 1103515245u + 12345u) >> 16) & 0x7FFF; };
    const auto random = [&next](int length) {
        std::string text;
        for (int k = 0; k < length; ++k) text += "abAB-=_ "[next() % 8];
        return text;
    };
    LineArray lines;
    for (int i = 0; i < 400; ++i) lines.AppendLines(random(static_cast<int>(next() % 16)) + "\r\n");
    for (size_t gram = 1; gram <= LineGramIndex::kMaxGram; ++gram) {
        const LineGramIndex index(lines, 350, gram);
        for (int q = 0; q < 300; ++q) {
            const std::string needle = random(static_cast<int>(gram + next() % 4));
            const int from = static_cast<int>(next() % 360);
            int expected = -1;
            for (int i = from; i < 350 && expected < 0; ++i)
                if (ContainsNoCase(needle, lines[i])) expected = i;
            ASSERT_EQ(index.FindLineContaining(from, needle), expected)
                << needle << " from " << from << " gram " << gram;
        }
    }
}

// Containers whose boundaries never come: the searches move to the index and the result is
// what the scans give.
TEST(LineGramIndexTest, ParserResultsUnchangedOnceTheIndexTakesOver) {
    std::vector<std::pair<std::string, std::string>> parts;
    for (int i = 0; i < 300; ++i)
        parts.push_back(
            {"Content-Type: multipart/alternative; boundary=\"never-" + std::to_string(1000 + i) + "\"", ""});
    parts.push_back({"Content-Type: text/plain", "closing text\nnever-1299 quoted\nafter\n"});
    const Parsed m(Mixed("==gram-top==", parts));
    // The last container's boundary turns up inside the text part: the container runs up to
    // that line and swallows the text part, so only the 300 containers are listed.
    ASSERT_EQ(m.parts.size(), 300u);
    EXPECT_EQ(m.parts.front()->boundary, "never-1000");
    EXPECT_EQ(m.parts.front()->body, "");
    EXPECT_EQ(m.parts.back()->boundary, "never-1299");
    EXPECT_EQ(m.parts.back()->body, "--==gram-top==\nContent-Type: text/plain\n\nclosing text\n");
    EXPECT_FALSE(Registered("never-1000")) << "a level whose boundary never comes leaves too";
}

// A part header on the last line holding the part's own boundary: the part ends on that line, its
// level is not walked (its boundary stays registered), and the part starting there ends the walk.
TEST(CutShortInputTest, PartEndingWhereItBeganEndsTheWalk) {
    const struct {
        const char* name;
        std::string text;
        Names types;
        const char* stillRegistered;
        const char* gone;
    } cases[] = {
        {"top level, three lines",
         "Content-Type: multipart/mixed; boundary=\"cut8-top\"\n\n"
         "Content-Type: multipart/mixed; boundary=\"cut8-top-stalled\"\n",
         {"multipart/mixed"}, "cut8-top-stalled", nullptr},
        // The header line closes the part before it, then is a part of its own.
        {"nested level",
         Mixed("cut8n-top", {{"Content-Type: multipart/alternative; boundary=\"cut8n-alt\"", ""}}, false) +
             "--cut8n-alt\nContent-Type: multipart/related; boundary=\"cut8n-alt-rel\"\n",
         {"multipart/related", "multipart/related", "multipart/alternative"}, "cut8n-alt-rel", "cut8n-alt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Parsed m(c.text);
        Names types;
        for (const MimePart* part : m.parts) types.push_back(part->contentType.str());
        EXPECT_EQ(types, c.types);
        EXPECT_EQ(m.Bodies(), Names(c.types.size(), ""));
        EXPECT_TRUE(Registered(c.stillRegistered));
        if (c.gone) {
            EXPECT_FALSE(Registered(c.gone)) << "the walk that ended leaves";
        }
    }
    // A later message of the session: its container's boundary never comes, so the container
    // ends at the first line the registry knows, here one inside the stalled boundary.
    Parsed later(Mixed("cut8-later", {{"Content-Type: multipart/alternative; boundary=\"cut8-never\"",
                                       "preamble\ntop-stalled\nrest\n"}}));
    EXPECT_EQ(later.Bodies(), Names{"preamble\n"});
}

TEST(CutShortInputTest, ForwardedHeaderReadStaysInItsRange) {
    // The enclosing boundary closes the forwarded part before its blank line: the embedded
    // message's range is empty, and the header after the blank line lies outside it.
    Parsed m("Subject: Outer\n" + Mixed("cut10", {{"Content-Type: text/plain", "Outer.\n"}}, false) +
             "--cut10\nContent-Type: message/rfc822\nFrom: inner@y\n--cut10--\n\nSubject: outside\nmore\n");
    EXPECT_EQ(m.Bodies(),
              Names{"Outer.\n\r\n\r\nDate: \r\nFrom: \r\nTo: \r\ncc: \r\nSubject: \r\n\r\n"});
    EXPECT_EQ(m.parser.HeaderFields().subject, "Outer");

    // The same at the header reader itself: a range starting past its end reads nothing.
    const LineArray lines = LinesOf("Subject: outside\r\nTo: t@x\r\n");
    MimeHeaderBlock block;
    int position = 1;
    ParseHeaders(position, lines, 0, block);
    EXPECT_EQ(block.subject, "");
    EXPECT_EQ(block.to, "");
    EXPECT_EQ(position, 1);
}

}  // namespace
