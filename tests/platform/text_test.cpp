// The text classes and conversions of the platform layer: CString's searches and edits, the line
// array's storage, and Windows-1252.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/cstring.h"
#include "platform/line_array.h"

using Lines = std::vector<std::string>;

static std::string Convert(std::vector<uint16_t> units) {
    std::string out = "<";
    const int n = codepage::WideToAnsi(units.data(), static_cast<int>(units.size()), out);
    EXPECT_EQ(n + 1, static_cast<int>(out.size())) << "the count of bytes added";
    return out.substr(1);
}

// A letter with a mark and no composite, or a lone mark, is covered by the UTF-8 tests.
TEST(CodePageTest, Windows1252PositionsAndMarks) {
    EXPECT_EQ(Convert({'A', 0xE9, 0xFF, 0xA0}), "A\xE9\xFF\xA0");
    EXPECT_EQ(Convert({0x20AC, 0x2019, 0x0160, 0x017E, 0x0178, 0x2122}), "\x80\x92\x8A\x9E\x9F\x99");
    // Undefined positions round-trip from their C1 control; the others cannot be held.
    EXPECT_EQ(Convert({0x81, 0x8D, 0x9D, 0x80, 0x9F}), "\x81\x8D\x9D??");
    EXPECT_EQ(Convert({0x0100, 0x4E2D, 0xFFFD}), "???");
    EXPECT_EQ(Convert({'S', 0x030C, 'y', 0x0308}), "\x8A\xFF");
    EXPECT_EQ(Convert({'e', 0x0301, 0x0301}), "\xE9") << "a second mark is discarded";
    EXPECT_EQ(Convert({0x4E2D, 0x0301}), "?");
}

// Searches answer -1 when nothing is found. Long texts take the skip search: same answers, first
// occurrence, start honoured. Then the edits, and a text formatted past any fixed buffer.
TEST(CStringTest, SearchesEditsAndLongFormat) {
    const CString t("a,b,,c"), big(std::string(10000, 'A') + "AEG7 OK AEG7");
    const std::pair<int, int> positions[] = {
        {t.Find(','), 1},
        {t.Find(',', 2), 3},
        {t.Find(',', 6), -1},
        {t.Find(",,"), 3},
        {t.Find("x"), -1},
        {t.Find("", 6), 6},
        {t.ReverseFind(','), 4},
        {t.ReverseFind('x'), -1},
        {big.Find("AEG7"), 10000},
        {big.Find("AEG7", 10001), 10008},
        {big.Find("AEG8"), -1},
        {big.Find("AA", 5000), 5000},  // the skip search from a start
        {big.Find("G7", 10011), -1},
    };
    for (const auto& [actual, expected] : positions)
        EXPECT_EQ(actual, expected) << "row " << &actual - &positions[0].first;
    CString r("aXbXXc");
    EXPECT_EQ(r.Replace("X", "--"), 3);
    EXPECT_EQ(r, "a--b----c");
    EXPECT_EQ(r.Replace("", "z"), 0);
    EXPECT_EQ(r.Replace("--", "-"), 3);  // hits do not overlap, and the search goes on after each
    EXPECT_EQ(r, "a-b--c");
    EXPECT_EQ(r.Remove('-'), 3);
    EXPECT_EQ(r, "abc");
    CString formatted;
    formatted.Format("%s-%d", std::string(5000, 'x').c_str(), 42);
    EXPECT_EQ(formatted, std::string(5000, 'x') + "-42");
}

// Views stay valid across later appends, and a kept or borrowed text is not copied. (The split
// rule itself shows in every response the protocol layers read.)
TEST(LineArrayTest, AppendsKeepEarlierLinesAndTheTextsTheyViewInto) {
    LineArray lines;
    std::string first = "one\r\ntwo\r\n";
    EXPECT_EQ(lines.AppendLines(std::string_view(first)), 2);
    first.assign("xxxxxxxxxx");  // the array holds its own copy
    std::string big(1000, 'b');
    big += "\r\nlast";
    const char* const data = big.data();
    EXPECT_EQ(lines.AppendLines(std::move(big)), 2);
    const std::string borrowed = "x\rXy";
    EXPECT_EQ(lines.AppendBorrowedLines(borrowed), 2);
    EXPECT_EQ(lines[5].data(), borrowed.data() + 3);
    for (int i = 0; i < 100; ++i) lines.AppendLines(std::string_view("s\r\n"));
    ASSERT_EQ(lines.GetSize(), 106);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4), (Lines{"one", "two", std::string(1000, 'b'), "last"}));
    EXPECT_EQ(lines[2].data(), data);
    lines.RemoveAt(0);
    EXPECT_EQ(lines[0], "two");
    EXPECT_EQ(lines.GetUpperBound(), 104);
}
