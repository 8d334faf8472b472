#include "platform/line_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

Lines All(const LineArray& lines) { return Lines(lines.begin(), lines.end()); }

TEST(LineArrayTest, SplitsAtCrAndSkipsTheCharacterAfterIt) {
    const struct {
        const char* text;
        Lines lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},  // a last line without CR LF is kept
        {"", {}},
        {"a\nb\r\n", {"a\nb"}},   // only CR ends a line
        {"a\rXb\r", {"a", "b"}},  // the character after CR goes whatever it is
        {"\r", {""}},
    };
    for (const auto& c : cases) {
        LineArray lines;
        EXPECT_EQ(lines.AppendLines(std::string_view(c.text)), static_cast<int>(c.lines.size())) << c.text;
        EXPECT_EQ(All(lines), c.lines) << c.text;
    }
}

// The split rule one byte at a time, against the wide scan, on texts dense with CRs (CR CR and a
// CR in the last two bytes included), owned and borrowed.
TEST(LineArrayTest, SplitAgreesWithTheByteRuleOnRandomTexts) {
    std::mt19937 random(3);
    for (size_t length = 0; length < 3000; length += length < 200 ? 1 : 101) {
        std::string text(length, ' ');
        for (char& c : text) c = "ab\r\n"[random() % (length % 3 == 0 ? 4 : 3)];
        Lines expected;
        for (size_t p = 0; p < text.size();) {
            const size_t cr = std::min(text.find('\r', p), text.size());
            expected.emplace_back(text, p, cr - p);
            p = text.size() - cr > 2 ? cr + 2 : text.size();
        }
        LineArray owned, borrowed;
        EXPECT_EQ(owned.AppendLines(std::string_view(text)), static_cast<int>(expected.size()));
        EXPECT_EQ(borrowed.AppendBorrowedLines(text), static_cast<int>(expected.size()));
        ASSERT_EQ(All(owned), expected) << length;
        ASSERT_EQ(All(borrowed), expected) << length;
        if (!expected.empty()) {
            EXPECT_EQ(borrowed[0].data(), text.data());
        }
    }
}

// Views stay valid across later appends, and a kept text is not copied.
TEST(LineArrayTest, AppendsKeepEarlierLinesAndTheTextsTheyViewInto) {
    LineArray lines;
    std::string first = "one\r\ntwo\r\n";
    EXPECT_EQ(lines.AppendLines(std::string_view(first)), 2);
    first.assign("xxxxxxxxxx");  // the array holds its own copy
    std::string big(1000, 'b');
    big += "\r\nlast";
    const char* const data = big.data();
    EXPECT_EQ(lines.AppendLines(std::move(big)), 2);
    for (int i = 0; i < 100; ++i) lines.AppendLines(std::string_view("s\r\n"));
    ASSERT_EQ(lines.GetSize(), 104);
    EXPECT_EQ(lines[0], "one");
    EXPECT_EQ(lines[1], "two");
    EXPECT_EQ(lines[2].data(), data);
    EXPECT_EQ(lines[3], "last");
    lines.RemoveAt(0);
    EXPECT_EQ(lines[0], "two");
    EXPECT_EQ(lines.GetUpperBound(), 102);
}

}  // namespace
