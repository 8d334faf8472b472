#include "mime/line_gram_index.h"

#include <gtest/gtest.h>

#include <string>

#include "header_test_util.h"
#include "mime/mime_parser.h"
#include "mime/text_match.h"

namespace {

// The index must answer exactly as a scan of the lines does.
TEST(LineGramIndexTest, AgreesWithAScanOnRandomLines) {
    uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    const char alphabet[] = "abAB-=_ ";
    CStringArray lines;
    for (int i = 0; i < 400; ++i) {
        std::string line;
        const int length = static_cast<int>(next() % 12);
        for (int k = 0; k < length; ++k) line += alphabet[next() % 8];
        lines.Add(CString(line));
    }
    const LineGramIndex index(lines, 350);
    for (int q = 0; q < 300; ++q) {
        std::string needle;
        const int length = 3 + static_cast<int>(next() % 4);
        for (int k = 0; k < length; ++k) needle += alphabet[next() % 8];
        const int from = static_cast<int>(next() % 360);
        int expected = -1;
        for (int i = from; i < 350 && expected < 0; ++i)
            if (ContainsNoCase(needle, lines[i].view())) expected = i;
        ASSERT_EQ(index.FindLineContaining(from, needle), expected) << needle << " from " << from;
    }
}

// Containers whose boundaries never come: the searches move to the index and the result is
// what the scans give.
TEST(LineGramIndexTest, ParserResultsUnchangedOnceTheIndexTakesOver) {
    std::string text = "Content-Type: multipart/mixed; boundary=\"==gram-top==\"\n\n";
    for (int i = 0; i < 300; ++i)
        text += "--==gram-top==\nContent-Type: multipart/alternative; boundary=\"never-" +
                std::to_string(1000 + i) + "\"\n\n";
    text +=
        "--==gram-top==\nContent-Type: text/plain\n\nclosing text\nnever-1299 "
        "quoted\nafter\n--==gram-top==--\n";
    const CStringArray lines = LinesOf(Crlf(text));
    MimeParser parser;
    ASSERT_TRUE(parser.Parse(0, lines.GetSize(), lines, true));
    // The last container's boundary turns up inside the text part: the container runs up to
    // that line and swallows the text part, so only the 300 containers are listed.
    ASSERT_EQ(parser.Parts().GetCount(), 300);
    const MimePart* first = parser.Parts().Head()->part;
    EXPECT_EQ(first->boundary, "never-1000");
    EXPECT_EQ(first->body, "");
    const MimePart* last = parser.Parts().Tail()->part;
    EXPECT_EQ(last->boundary, "never-1299");
    EXPECT_EQ(last->body, "--==gram-top==\nContent-Type: text/plain\n\nclosing text\n");
}

}  // namespace
