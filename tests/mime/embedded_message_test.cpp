#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "header_test_util.h"
#include "mime/base64_decode.h"

namespace {

const char kInnerHeaders[] =
    "From: inner@y\nTo: t@z\ncc: c@z\nDate: Mon, 12 Jan 2004 10:00:00 +0100\nSubject: Inner";

// The merged header blocks: fields in a fixed order, whatever the inner message's order.
const std::string kTextBlock =
    "\r\n\r\nDate: Mon, 12 Jan 2004 10:00:00 +0100\r\nFrom: inner@y\r\nTo: t@z\r\ncc: c@z\r\nSubject: "
    "Inner\r\n\r\n";
const std::string kHtmlBlock =
    "<BR><BR><B>Date:</B> Mon, 12 Jan 2004 10:00:00 +0100<BR><B>From:</B> inner@y<BR><B>To:</B> t@z<BR>"
    "<B>cc:</B> c@z<BR><B>Subject:</B> Inner<BR><BR>";

const std::pair<std::string, std::string> Forward(const std::string& innerRest) {
    return {"Content-Type: message/rfc822", kInnerHeaders + innerRest};
}

TEST(EmbeddedMessageTest, ForwardedPlainMessageJoinsTheOuterText) {
    Parsed m("Subject: Fwd\n" +
             Mixed("==fwd-plain==", {{"Content-Type: text/plain\nContent-Transfer-Encoding: quoted-printable",
                                      "See below=3A\n"},
                                     Forward("\n\nInner text.\n")}));
    ASSERT_EQ(m.Bodies(), Names{"See below:\n" + kTextBlock + "Inner text.\n"})
        << "the forward is not listed";
    EXPECT_EQ(m.parts[0]->transferEncoding, "");
    EXPECT_EQ(m.parser.HeaderFields().subject, "Fwd");

    Parsed intoHtml(Mixed("==fwd-into-html==",
                          {{"Content-Type: text/html", "<p>Outer</p>\n"}, Forward("\n\nInner plain.\n")}));
    EXPECT_EQ(intoHtml.Bodies(), Names{"<p>Outer</p>\n" + kTextBlock + "Inner plain.\n"})
        << "a plain inner message joins an HTML outer part with the text block";

    EXPECT_TRUE(Parsed(Mixed("==fwd-alone==", {Forward("\n\nLost text.\n")})).parts.empty())
        << "without an enclosing text part the forward is dropped";
}

TEST(EmbeddedMessageTest, HtmlOnlyForwardGoesToHtmlAndConvertedToPlain) {
    Parsed m(Mixed("==fwd-html-o==",
                   {{"Content-Type: multipart/alternative; boundary=\"==fwd-html-a==\"",
                     "--==fwd-html-a==\nContent-Type: text/plain\n\nPlain outer.\n"
                     "--==fwd-html-a==\nContent-Type: text/html\n\n<p>Html outer.</p>\n--==fwd-html-a==--\n"},
                    Forward("\nContent-Type: text/html\n\n<p>Inner <b>html</b></p>\n")}));
    ASSERT_EQ(m.parts.size(), 3u);
    EXPECT_EQ(m.parts[0]->body, "Plain outer.\n" + kTextBlock + "Inner html\n ");
    EXPECT_EQ(m.parts[1]->body, "<p>Html outer.</p>\n" + kHtmlBlock + "<p>Inner <b>html</b></p>\n");
}

TEST(EmbeddedMessageTest, InnerAttachmentsJoinTheOuterList) {
    Parsed m(Mixed(
        "==fwd-att-o==",
        {{"Content-Type: text/plain", "Outer.\n"},
         Forward("\n" + Mixed("==fwd-att-i==", {{"Content-Type: text/plain", "Inner.\n"},
                                                {"Content-Type: text/plain; name=\"notes.txt\"\n"
                                                 "Content-Disposition: attachment; filename=\"notes.txt\"\n"
                                                 "Content-Transfer-Encoding: quoted-printable",
                                                 "note=20body\n"}})),
         {"Content-Type: application/zip\nContent-Disposition: attachment; filename=\"z.zip\"", "UEsD\n"}}));
    ASSERT_EQ(m.parts.size(), 3u);
    EXPECT_EQ(m.parts[0]->body, "Outer.\n" + kTextBlock + "Inner.\n");
    EXPECT_EQ(m.parts[1]->body, "note body\n") << "decoded by the inner parse";
    EXPECT_EQ(m.Attachments(), (Names{"notes.txt", "z.zip"}));
}

TEST(LineSearchTest, SearchesAndJoins) {
    const LineArray lines = LinesOf(Crlf("Subject: x\n\n--SEP\nbody\n\n--sep--\nsepz\nend\n"));
    MimeParser p;
    ASSERT_TRUE(p.Parse(0, 7, lines, true));  // sets the range end to 7
    EXPECT_EQ(p.FindLineContaining(0, "sep"), 2);
    EXPECT_EQ(p.FindLineContaining(3, "SEP"), 5);
    EXPECT_EQ(p.FindLineContaining(7, "sep"), -1);
    EXPECT_EQ(p.FindLineContaining(0, ""), -1);
    EXPECT_EQ(p.FindLastBoundaryLine(0, "sep"), 6);
    EXPECT_EQ(p.FindLastBoundaryLine(0, "--sep--x"), 5) << "a shorter line inside the text counts";
    EXPECT_EQ(p.FindLastBoundaryLine(0, "nowhere"), 6);
    EXPECT_EQ(p.JoinLines(2, 5, false), "--SEP\nbody\n\n");
    EXPECT_EQ(p.JoinLines(2, 5, true), "--SEPbody");
    EXPECT_EQ(p.JoinLines(4, 4, false), "");
}

// Real-world samples must parse and decode without harm (skipped when absent).
TEST(MimeCorpusTest, SampleMessagesParseAndDecode) {
    const std::string root = std::string(ZQ_SOURCE_DIR) + "/../shared/corpora";
    std::error_code error;
    int files = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        const std::string ext = it->path().extension().string();
        if (!it->is_regular_file() || (ext != ".raw" && ext != ".msg" && ext != ".eml")) continue;
        ++files;
        std::ifstream in(it->path(), std::ios::binary);
        std::string text(std::istreambuf_iterator<char>(in), {});
        std::string crlf;  // LF line ends become CR LF; existing CR LF pairs stay
        for (size_t i = 0; i < text.size(); ++i)
            crlf += text[i] == '\n' && (i == 0 || text[i - 1] != '\r') ? "\r\n" : std::string(1, text[i]);
        const LineArray lines = LinesOf(crlf);
        MimeParser parser;
        EXPECT_EQ(parser.Parse(0, lines.GetSize(), lines, true), lines.GetSize() > 0) << it->path();
        for (const MimePartList::Node* n = parser.Parts().Head(); n; n = parser.Parts().After(n)) {
            std::unique_ptr<unsigned char[]> bytes;
            int32_t length = 0;
            Base64Decode(n->part->body, bytes, length);
            EXPECT_LE(length, n->part->body.GetLength()) << it->path();
        }
    }
    if (files == 0) GTEST_SKIP() << "no sample corpus at " << root;
}

}  // namespace
