#include "smtp/body_wrap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Repeat(char ch, size_t n) { return std::string(n, ch); }

struct Case {
    const char* name;
    std::string body;
    std::string sent;
};

TEST(BodyWrapTest, LineEndsAndTheWrapAt65) {
    const std::string a65 = Repeat('a', 65);
    const Case cases[] = {
        {"65 characters pass unchanged", a65 + "\n", a65 + "\r\n"},
        {"66 characters break at 65", Repeat('a', 66) + "\n", a65 + "\r\na \r\n"},
        {"70 with a line end", Repeat('a', 70) + "\n", a65 + "\r\naaaaa \r\n"},
        {"70 without a line end go whole", Repeat('a', 70), Repeat('a', 70) + "\r\n"},
        {"space at 60 is the break", Repeat('x', 60) + " " + Repeat('y', 20) + "\n",
         Repeat('x', 60) + "\r\n" + Repeat('y', 20) + " \r\n"},
        {"space exactly at 65", Repeat('x', 65) + " yyyyy\n", Repeat('x', 65) + "\r\nyyyyy \r\n"},
        {"space at 66 is too far", Repeat('x', 66) + " yyyyy\n", Repeat('x', 65) + "\r\nx yyyyy \r\n"},
        {"space only before 55: no break", Repeat('x', 50) + " " + Repeat('y', 20),
         Repeat('x', 50) + " " + Repeat('y', 20) + "\r\n"},
        {"long line breaks every 65", Repeat('a', 200) + "\n",
         a65 + "\r\n" + a65 + "\r\n" + a65 + "\r\naaaaa \r\n"},
        {"LF only", "one\ntwo\n", "one\r\ntwo\r\n"},
        {"lone CR disappears", "one\rtwo\r\nthree", "onetwo\r\nthree\r\n"},
        {"CR LF kept", "one\r\n\r\ntwo", "one\r\n\r\ntwo\r\n"},
        {"only line ends", "\n\n", "\r\n\r\n"},
    };
    for (const Case& c : cases) {
        std::string out = "H:";
        smtp::AppendWrappedBody(c.body, out);
        EXPECT_EQ(out, "H:" + c.sent) << c.name;
    }
}

// Words of a long paragraph: each break takes the first space from index 55 on; the last
// break falls on the space that stands for the line end.
TEST(BodyWrapTest, ParagraphBreaksOnTheFirstSpaceFrom55) {
    std::string body;
    for (int i = 0; i < 40; ++i) body += "word" + std::to_string(i % 10) + " ";
    body.pop_back();
    body += "\n";
    const std::string line = "word0 word1 word2 word3 word4 word5 word6 word7 word8 word9";
    std::string out;
    smtp::AppendWrappedBody(body, out);
    EXPECT_EQ(out, line + "\r\n" + line + "\r\n" + line + "\r\n" + line + "\r\n");
}

}  // namespace
