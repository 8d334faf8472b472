#include "mime/line_gram_index.h"

#include <gtest/gtest.h>

#include "header_test_util.h"
#include "mime/text_match.h"

namespace {

// The index must answer exactly as a scan of the lines does.
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
            ASSERT_EQ(index.FindLineContaining(from, needle), expected) << needle << " from " << from << " gram " << gram;
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
}

}  // namespace
