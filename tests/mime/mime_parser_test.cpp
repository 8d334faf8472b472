#include "mime/mime_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "../support/test_kit.h"
#include "mime/boundary_registry.h"
#include "mime/line_gram_index.h"
#include "mime/text_match.h"

namespace {

// Parses a message written with LF line ends and describes it: a line per part (type, {boundary},
// [file name], (encoding), <disposition>, then the body), then the text parts chosen, the
// attachments listed and the subject.
std::string Summary(const std::string& lfText, bool listedOnly = false) {
    LineArray lines;
    lines.AppendLines(std::string_view(Crlf(lfText)));
    MimeParser parser;
    EXPECT_TRUE(parser.Parse(0, lines.GetSize(), lines, true));
    std::string listed = "listed", out;
    const MimePartList::Node* cursor = nullptr;
    for (MimePart* a = parser.FirstAttachment(cursor); a; a = parser.NextAttachment(cursor))
        listed += " " + a->fileName.str();
    EXPECT_EQ(cursor, nullptr);
    if (listedOnly) return listed;
    const auto add = [](std::string& s, const char* open, const CString& field, const char* close) {
        if (!field.IsEmpty()) s += open + field.str() + close;
    };
    std::vector<const MimePart*> parts;
    for (const MimePartList::Node* n = parser.Parts().Head(); n; n = parser.Parts().After(n)) {
        const MimePart* p = parts.emplace_back(n->part);
        std::string s = p->contentType.str();
        add(s, " {", p->boundary, "}");
        add(s, " [", p->fileName, "]");
        add(s, " (", p->transferEncoding, ")");
        add(s, " <", p->disposition, ">");
        out += s + ": " + p->body.str() + " | ";
    }
    const auto index = [&](bool html) {
        const auto at = std::find(parts.begin(), parts.end(), parser.FindTextPart(html));
        return at == parts.end() ? std::string("-") : std::to_string(at - parts.begin());
    };
    out += "text " + index(false) + " html " + index(true) + " " + listed;
    add(out, " subject ", parser.HeaderFields().subject, "");
    return out;
}

// Boundaries stay in the module's registry: every message here uses its own long ones, so
// one test's leftovers cannot match another's lines.
bool Registered(const std::string& boundary) { return BoundaryRegistry::Module().Contains(boundary.c_str()); }

std::string Attached(const char* type, const std::string& file) {
    return std::string("Content-Type: ") + type + "\nContent-Disposition: attachment; filename=\"" + file +
           "\"";
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

// Rows run in order in one process: a boundary a row leaves registered is seen by the later ones.
TEST(MimeParserTest, PartsTextPartsAndAttachments) {
    const struct {
        const char* name;
        std::string text, summary;
        const char* registry = "";  // boundaries still registered afterwards (+) or gone (-)
    } cases[] = {
        // Children come before their container; only quoted-printable bodies are decoded.
        {"alternative inside mixed",
         Mixed(
             "==mix-alt-outer==",
             {{"Content-Type: multipart/alternative; boundary=\"==mix-alt-inner==\"",
               "--==mix-alt-inner==\nContent-Type: text/plain; charset=us-ascii\n"
               "Content-Transfer-Encoding: Quoted-Printable\n\nplain=3D soft=\nbody\n"
               "--==mix-alt-inner==\nContent-Type: text/html\n\n<p>html body</p>\n--==mix-alt-inner==--\n\n"},
              {Attached("application/pdf; name=\"doc.pdf\"", "doc.pdf") +
                   "\nContent-Transfer-Encoding: base64",
               "JVBERi0=\n"}}) +
             "epilogue\n",
         "text/plain: plain= soft\nbody\n | text/html: <p>html body</p>\n | "
         "multipart/alternative {==mix-alt-inner==}:  | application/pdf [doc.pdf] (base64) <attachment>: "
         "JVBERi0=\n | text 0 html 1 listed doc.pdf",
         "+==mix-alt-outer== -==mix-alt-inner=="},
        // Only named parts disposed attachment or inline are listed; either name may be an encoded
        // word; an unquoted filename= empties the name; the plain text comes too late to be the text part.
        {"part headers decide what is listed",
         Mixed("==roles==", {{"Content-ID: <only-unknown@x>", "dropped\n"},
                             {"Content-Type: text/plain; name=\"=?utf-8?Q?r=C3=A9sum=C3=A9.txt?=\"\n"
                              "Content-Disposition: INLINE",
                              "text attachment\n"},
                             {Attached("image/png", "=?iso-8859-1?Q?a=E0.png?="), "PNG\n"},
                             {"Content-Type: application/octet-stream; name=\"named.bin\"", "AAAA\n"},
                             {"Content-Type: text/plain", "the text\n"},
                             {"Content-Type: application/octet-stream; name=\"x.bin\"\n"
                              "Content-Disposition: attachment; filename=x.bin",
                              "BBBB\n"}}),
         "text/plain [r\xE9sum\xE9.txt] <INLINE>: text attachment\n | image/png [a\xE0.png] <attachment>: "
         "PNG\n | application/octet-stream [named.bin]: AAAA\n | text/plain: the text\n | "
         "application/octet-stream <attachment>: BBBB\n | text - html - listed r\xE9sum\xE9.txt a\xE0.png"},
        {"plain single part", "From: a@x\nSubject: s\n\nline1\n\nline2\n",
         "text/plain: line1\n\nline2\n | text 0 html - listed subject s"},
        {"attachment single part",
         "Content-Type: application/pdf\nContent-Disposition: attachment; filename=\" report.pdf \"\n"
         "Content-Transfer-Encoding: base64\n\nQUJD\nREVG\n\nR0g=\n",
         "application/pdf [report.pdf] (base64) <attachment; filename=\" report.pdf \">: QUJDREVGR0g= | "
         "text - html - listed report.pdf"},
        {"message single part",
         "From: a@x\nContent-Type: message/rfc822\n\nFrom: inner@y\nSubject: s\n\nbody\n",
         "message/rfc822: From: inner@y\nSubject: s\n\nbody\n | text - html - listed"},
        // The search steps over the upper-case letters by their lower-case ones.
        {"boundary text inside a body line ends the part",
         Mixed("==in-body==", {{"Content-Type: text/plain",
                                "line one\nline two quotes ==IN-BODY== in passing\nline three\n"}}),
         "text/plain: line one\n | text 0 html - listed"},
        {"part header on the last line",
         Mixed("==last-line==", {}, false) + "--==last-line==\nContent-Type: text/plain\n",
         "text/plain: Content-Type: text/plain\n | text 0 html - listed"},
        // Its end search lands on itself, which must end the walk.
        {"last line's header holds the boundary",
         Mixed("==stuck-b==", {}, false) + "--==stuck-b==\nContent-Type: text/plain; x=\"==stuck-b==\"\n",
         "text/plain:  | text/plain:  | text 0 html - listed"},
        // The nested level ends at the enclosing boundary, found through the registry, the last
        // part at the end of the message.
        {"no closing lines",
         Mixed("==open-mix==",
               {{"Content-Type: multipart/alternative; boundary=\"==open-alt==\"",
                 "--==open-alt==\nContent-Type: text/plain\n\nalt text\n"},
                {Attached("image/png", "a.png"), "AAAA\n"}},
               false),
         "text/plain: alt text\n | multipart/alternative {==open-alt==}:  | image/png [a.png] <attachment>: "
         "AAAA\n | text 0 html - listed a.png",
         "-==open-alt=="},
        // A forward is not listed: its text joins the enclosing text parts, which were decoded before.
        {"forward into plain and HTML outer parts",
         "Subject: Outer\n" +
             Mixed("==fwd-plain==", {{"Content-Type: text/plain\nContent-Transfer-Encoding: quoted-printable",
                                      "See below=3A\n"},
                                     {"Content-Type: text/html", "<p>Outer</p>\n"},
                                     Forward("\n\nInner text=41.\n")}),
         "text/plain: See below:\n" + kTextBlock + "Inner text=41.\n | text/html: <p>Outer</p>\n" +
             kTextBlock + "Inner text=41.\n | text 0 html 1 listed subject Outer"},
        // With no enclosing boundary after it, a forward ends at the last line that is a piece of
        // that boundary, else just before the message's last line.
        {"forward to the end, cut at a piece of the boundary",
         Mixed("==fwd-open==",
               {{"Content-Type: text/plain", "Outer.\n"}, Forward("\n\nIn.\nfwd\nFWD-open\nx\n")}, false),
         "text/plain: Outer.\n" + kTextBlock + "In.\nfwd\n | text 0 html - listed"},
        {"forward to the end, no piece of the boundary",
         Mixed("==fwd-tail==", {{"Content-Type: text/plain", "Outer.\n"}, Forward("\n\nIn.\nlost\n")}, false),
         "text/plain: Outer.\n" + kTextBlock + "In.\n | text 0 html - listed"},
        {"forward without enclosing text part",
         "Subject: Outer\n" + Mixed("==fwd-alone==", {Forward("\n\nLost text.\n")}),
         "text - html - listed subject Outer"},
        {"HTML forward converted for the plain part",
         "Subject: Outer\n" +
             Mixed("==fwd-html==", {{"Content-Type: text/plain", "Plain outer.\n"},
                                    {"Content-Type: text/html", "<p>Html outer.</p>\n"},
                                    Forward("\nContent-Type: text/html\n\n<p>Inner <b>html</b></p>\n")}),
         "text/plain: Plain outer.\n" + kTextBlock + "Inner html\n  | text/html: <p>Html outer.</p>\n" +
             kHtmlBlock + "<p>Inner <b>html</b></p>\n | text 0 html 1 listed subject Outer"},
        {"forward's attachments decoded by the inner parse",
         "Subject: Outer\n" +
             Mixed(
                 "==fwd-att-o==",
                 {{"Content-Type: text/plain", "Outer.\n"},
                  Forward("\n" + Mixed("==fwd-att-i==", {{"Content-Type: text/plain", "Inner.\n"},
                                                         {Attached("text/plain", "notes.txt") +
                                                              "\nContent-Transfer-Encoding: quoted-printable",
                                                          "note=20body\n"}})),
                  {Attached("application/zip", "z.zip"), "UEsD\n"}}),
         "text/plain: Outer.\n" + kTextBlock +
             "Inner.\n | text/plain [notes.txt] <attachment>: note body\n | application/zip [z.zip] "
             "<attachment>: UEsD\n | text 0 html - listed notes.txt z.zip subject Outer"},
        // The enclosing boundary closes the forward before its blank line: the embedded message's
        // range is empty, and the header after the blank line lies outside it.
        {"forward cut before its blank line",
         "Subject: Outer\n" + Mixed("cut10", {{"Content-Type: text/plain", "Outer.\n"}}, false) +
             "--cut10\nContent-Type: message/rfc822\nFrom: inner@y\n--cut10--\n\nSubject: outside\nmore\n",
         "text/plain: Outer.\n\r\n\r\nDate: \r\nFrom: \r\nTo: \r\ncc: \r\nSubject: \r\n\r\n | text 0 html - "
         "listed subject Outer"},
        // A part header on the last line holding the part's own boundary: the part ends on that
        // line, its level is not walked (its boundary stays registered), and that part ends the walk.
        {"part ending where it began, top level",
         "Content-Type: multipart/mixed; boundary=\"cut8-top\"\n\n"
         "Content-Type: multipart/mixed; boundary=\"cut8-top-stalled\"\n",
         "multipart/mixed {cut8-top-stalled}:  | text - html - listed", "+cut8-top-stalled"},
        // The header line closes the part before it, then is a part of its own.
        {"part ending where it began, nested",
         Mixed("cut8n-top", {{"Content-Type: multipart/alternative; boundary=\"cut8n-alt\"", ""}}, false) +
             "--cut8n-alt\nContent-Type: multipart/related; boundary=\"cut8n-alt-rel\"\n",
         "multipart/related {cut8n-alt-rel}:  | multipart/related {cut8n-alt-rel}:  | multipart/alternative "
         "{cut8n-alt}:  | text - html - listed",
         "+cut8n-alt-rel -cut8n-alt"},
        // A container whose boundary never comes ends at the first line the registry knows, here
        // one inside the stalled boundary above, in any case; the inner boundary of the first row
        // left with its level.
        {"later message",
         Mixed("cut8-later", {{"Content-Type: multipart/alternative; boundary=\"cut8-never\"",
                               "preamble\nmix-ALT-inner\nTOP-stalled\nrest\n"}}),
         "multipart/alternative {cut8-never}: preamble\nmix-ALT-inner\n | text - html - listed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Summary(c.text), c.summary);
        std::istringstream registry(c.registry);
        for (std::string b; registry >> b;) EXPECT_EQ(Registered(b.substr(1)), b[0] == '+') << b;
    }
}

// A duplicate is left out only when the first copy is disposed exactly "attachment". Long bodies of
// one length with the same ends differ only in the middle: both stay, and a later copy of either
// is still found.
TEST(MimeParserTest, DuplicateAttachments) {
    const std::string same = "Content-Type: image/png; name=\"a.png\"\nContent-Disposition: ";
    const std::string ends(100, 'x');
    const struct {
        std::string text;
        const char* listed;
    } cases[] = {
        {Mixed("==dup-exact==", {{same + "attachment; filename=\"a.png\"", "SAME\n"},
                                 {same + "attachment; filename=\"a.png\"", "SAME\n"},
                                 {Attached("image/png", "b.png"), "OTHER\n"}}),
         "listed a.png b.png"},
        {Mixed("==dup-case==", {{same + "Attachment; filename=\"a.png\"", "SAME\n"},
                                {same + "attachment; filename=\"a.png\"", "SAME\n"},
                                {Attached("image/png", "b.png"), "OTHER\n"}}),
         "listed a.png a.png b.png"},
        {Mixed("==dup-long==", {{Attached("image/png", "1.png"), ends + "1" + ends + "\n"},
                                {Attached("image/png", "2.png"), ends + "2" + ends + "\n"},
                                {Attached("image/png", "3.png"), ends + "2" + ends + "\n"},
                                {Attached("image/png", "4.png"), ends + "1" + ends + "\n"}}),
         "listed 1.png 2.png"},
    };
    for (const auto& c : cases) EXPECT_EQ(Summary(c.text, true), c.listed) << c.text;
}

// Nesting past the limit is not walked; containers whose boundaries never come move the searches
// to the index, with the result the scans give.
TEST(MimeParserTest, HostileNestingAndUnendedContainers) {
    const auto name = [](int i) { return "deep-" + std::to_string(i) + "-x"; };
    std::string text = "Content-Type: multipart/mixed; boundary=\"" + name(0) + "\"\n\n";
    for (int i = 0; i < 3 * kMaxMimeNesting; ++i)
        text += "--" + name(i) + "\nContent-Type: multipart/mixed; boundary=\"" + name(i + 1) + "\"\n\n";
    const std::string deep =
        Summary(text + "--" + name(3 * kMaxMimeNesting) + "\nContent-Type: text/plain\n\nleaf\n");
    EXPECT_EQ(std::count(deep.begin(), deep.end(), '|'), kMaxMimeNesting + 1) << "parts listed";

    std::vector<std::pair<std::string, std::string>> parts;
    std::string expected;
    for (int i = 1000; i < 1300; ++i) {
        const std::string boundary = "n" + std::to_string(i) + "-never";
        parts.push_back({"Content-Type: multipart/alternative; boundary=\"" + boundary + "\"", ""});
        expected += "multipart/alternative {" + boundary + "}: " + (i < 1299 ? " | " : "");
    }
    parts.push_back({"Content-Type: text/plain", "closing text\nN1299-NEVER quoted\nafter\n"});
    // The last container's boundary turns up, in upper case, inside the text part: the container
    // runs up to that line and swallows the text part, so only the 300 containers are listed.
    // The index looks it up by its rarest piece, "n1299".
    EXPECT_EQ(Summary(Mixed("==gram-top==", parts)),
              expected + "--==gram-top==\nContent-Type: text/plain\n\nclosing text\n | text - html - listed");
    EXPECT_FALSE(Registered("n1000-never")) << "a level whose boundary never comes leaves too";
}

// The forward-end search directly: through the parser a line holding the whole boundary is found
// by the first search already, so the longer-line branch shows only here.
TEST(LineSearchTest, LastBoundaryLine) {
    LineArray lines;
    lines.AppendLines(std::string_view(Crlf("Subject: x\n\n--SEP\nbody\n\n--sep--\nsepz\nend\n")));
    MimeParser p;
    ASSERT_TRUE(p.Parse(0, 8, lines, true));  // sets the range end to 8
    EXPECT_EQ(p.FindLastBoundaryLine(0, "sep"), 6) << "a longer line holding it";
    EXPECT_EQ(p.FindLastBoundaryLine(0, "--sep--x"), 5) << "a shorter line inside the text";
    EXPECT_EQ(p.FindLastBoundaryLine(0, "nowhere"), 7) << "none: the range's last line";
}

// The index answers exactly as a scan of the lines does, for every piece length.
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

}  // namespace
