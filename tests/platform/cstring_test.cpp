#include "platform/cstring.h"

#include <gtest/gtest.h>

#include <string>

// The algorithms lean on the class library's clamping rules; these are the ones that bite. Long
// texts take the skip search: same answers, first occurrence, start honoured.
TEST(CStringTest, ExtractionAndSearchesClampAndAnswerMinusOne) {
    const CString s("Hello"), t("a,b,,c"), big(std::string(10000, 'A') + "AEG7 OK AEG7");
    const std::pair<CString, const char*> texts[] = {
        {s.Mid(2), "llo"},    {s.Mid(5), ""},        {s.Mid(9), ""},   {s.Mid(-3, 2), "He"},
        {s.Mid(3, 99), "lo"}, {s.Left(99), "Hello"}, {s.Left(-1), ""}, {s.Right(2), "lo"},
        {s.Right(0), ""},     {s.Mid(1, 1), "e"},
    };
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
        {big.Find("AA", 9990), 9990},
        {big.Find("G7", 10011), -1},
    };
    for (const auto& [actual, expected] : texts)
        EXPECT_EQ(actual, expected) << "row " << &actual - &texts[0].first;
    for (const auto& [actual, expected] : positions)
        EXPECT_EQ(actual, expected) << "row " << &actual - &positions[0].first;
}

TEST(CStringTest, EditingOperationsAndLongFormat) {
    CString s("  MiXed \t\r\n");
    s.TrimLeft();
    s.TrimRight();
    EXPECT_EQ(s, "MiXed");
    s.MakeLower();
    EXPECT_EQ(s, "mixed");
    CString r("aXbXXc");
    EXPECT_EQ(r.Replace("X", "--"), 3);
    EXPECT_EQ(r, "a--b----c");
    EXPECT_EQ(r.Replace("", "z"), 0);
    EXPECT_EQ(r.Replace("--", "-"), 3);  // hits do not overlap, and the search goes on after each
    EXPECT_EQ(r, "a-b--c");
    EXPECT_EQ(r.Remove('-'), 3);
    EXPECT_EQ(r, "abc");
    CString lower("\xC4Z");
    lower.MakeLower();
    EXPECT_EQ(lower, "\xC4z") << "only A-Z fold";
    EXPECT_EQ(CString("INBOX").CompareNoCase("inbox"), 0);
    EXPECT_NE(CString("INBOX").CompareNoCase("inbox2"), 0);
    CString formatted;
    formatted.Format("%s-%d", std::string(5000, 'x').c_str(), 42);
    EXPECT_EQ(formatted, std::string(5000, 'x') + "-42");
}
