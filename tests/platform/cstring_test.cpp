#include <gtest/gtest.h>

#include <string>

#include "platform/cstring.h"

// The algorithms lean on the class library's clamping rules; these are the ones that bite.
TEST(CStringTest, ExtractionClampsOutOfRangeArguments) {
    const CString s("Hello");
    EXPECT_EQ(s.Mid(2), "llo");
    EXPECT_EQ(s.Mid(5), "");
    EXPECT_EQ(s.Mid(9), "");
    EXPECT_EQ(s.Mid(-3, 2), "He");
    EXPECT_EQ(s.Mid(3, 99), "lo");
    EXPECT_EQ(s.Left(99), "Hello");
    EXPECT_EQ(s.Left(-1), "");
    EXPECT_EQ(s.Right(2), "lo");
    EXPECT_EQ(s.Right(0), "");
}

TEST(CStringTest, SearchesAnswerMinusOneWhenAbsent) {
    const CString s("a,b,,c");
    EXPECT_EQ(s.Find(','), 1);
    EXPECT_EQ(s.Find(',', 2), 3);
    EXPECT_EQ(s.Find(',', 6), -1);
    EXPECT_EQ(s.Find(",,"), 3);
    EXPECT_EQ(s.Find("x"), -1);
    EXPECT_EQ(s.Find("", 6), 6);
    EXPECT_EQ(s.ReverseFind(','), 4);
    EXPECT_EQ(s.ReverseFind('x'), -1);

    // Long texts take the skip search: same answers, first occurrence, start honoured.
    std::string body(10000, 'A');
    body += "AEG7 OK AEG7";
    const CString big(body);
    EXPECT_EQ(big.Find("AEG7"), 10000);
    EXPECT_EQ(big.Find("AEG7", 10001), 10008);
    EXPECT_EQ(big.Find("AEG8"), -1);
    EXPECT_EQ(big.Find("AA", 9990), 9990);
    EXPECT_EQ(big.Find("G7", 10011), -1);
}

TEST(CStringTest, EditingOperations) {
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
}

TEST(CStringTest, FormatHandlesLongOutput) {
    CString s;
    const std::string big(5000, 'x');
    s.Format("%s-%d", big.c_str(), 42);
    EXPECT_EQ(s.GetLength(), 5003);
    EXPECT_EQ(s.Right(3), "-42");
}
