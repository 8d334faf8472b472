#include "platform/line_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// Only CR ends a line, and the character after it goes whatever it is; a last line without one is
// kept. Fixed texts, then the rule one byte at a time against the wide scan on texts dense with CRs
// (CR CR and a CR in the last two bytes included); owned and borrowed alike.
TEST(LineArrayTest, SplitsAtCrAndSkipsTheCharacterAfterIt) {
    const auto check = [](const std::string& text, const Lines& expected) {
        LineArray owned, borrowed;
        EXPECT_EQ(owned.AppendLines(std::string_view(text)), static_cast<int>(expected.size())) << text;
        EXPECT_EQ(borrowed.AppendBorrowedLines(text), static_cast<int>(expected.size())) << text;
        EXPECT_EQ(Lines(owned.begin(), owned.end()), expected) << text;
        EXPECT_EQ(Lines(borrowed.begin(), borrowed.end()), expected) << text;
        EXPECT_TRUE(expected.empty() || borrowed[0].data() == text.data()) << "a borrowed text is not copied";
    };
    check("a\r\nb\r\n", {"a", "b"});
    check("a\r\n\r\nb", {"a", "", "b"});
    check("", {});
    check("a\nb\r\n", {"a\nb"});
    check("a\rXb\r", {"a", "b"});
    check("\r", {""});
    std::mt19937 random(3);
    for (size_t length = 0; length < 3000 && !HasFailure(); length += length < 200 ? 1 : 101) {
        std::string text(length, ' ');
        for (char& c : text) c = "ab\r\n"[random() % (length % 3 == 0 ? 4 : 3)];
        Lines expected;
        for (size_t p = 0; p < text.size();) {
            const size_t cr = std::min(text.find('\r', p), text.size());
            expected.emplace_back(text, p, cr - p);
            p = text.size() - cr > 2 ? cr + 2 : text.size();
        }
        check(text, expected);
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
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4), (Lines{"one", "two", std::string(1000, 'b'), "last"}));
    EXPECT_EQ(lines[2].data(), data);
    lines.RemoveAt(0);
    EXPECT_EQ(lines[0], "two");
    EXPECT_EQ(lines.GetUpperBound(), 102);
}

}  // namespace
