#include "smtp/body_wrap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string R(char ch, size_t n) { return std::string(n, ch); }

// The break is the first space from index 55 to 65, else index 65; a last line without a
// line end is never wrapped.
TEST(BodyWrapTest, LineEndsAndTheWrapAt65) {
    const std::string a65 = R('a', 65);
    const struct {
        const char* name;
        std::string body;
        std::string sent;
    } cases[] = {
        {"65 pass unchanged", a65 + "\n", a65 + "\r\n"},
        {"66 break at 65", R('a', 66) + "\n", a65 + "\r\na \r\n"},
        {"70 with a line end", R('a', 70) + "\n", a65 + "\r\naaaaa \r\n"},
        {"70 without a line end", R('a', 70), R('a', 70) + "\r\n"},
        {"space at 60", R('x', 60) + " " + R('y', 20) + "\n", R('x', 60) + "\r\n" + R('y', 20) + " \r\n"},
        {"space at 65", R('x', 65) + " yyyyy\n", R('x', 65) + "\r\nyyyyy \r\n"},
        {"space at 66", R('x', 66) + " yyyyy\n", R('x', 65) + "\r\nx yyyyy \r\n"},
        {"space before 55 only", R('x', 50) + " " + R('y', 20) + "\n",
         R('x', 50) + " " + R('y', 14) + "\r\n" + R('y', 6) + " \r\n"},
        {"200 break every 65", R('a', 200) + "\n", a65 + "\r\n" + a65 + "\r\n" + a65 + "\r\naaaaa \r\n"},
        {"LF only", "one\ntwo\n", "one\r\ntwo\r\n"},
        {"lone CR disappears", "one\rtwo\r\nthree", "onetwo\r\nthree\r\n"},
        {"only line ends", "\n\n", "\r\n\r\n"},
    };
    for (const auto& c : cases) {
        std::string out = "H:";
        smtp::AppendWrappedBody(c.body, out);
        EXPECT_EQ(out, "H:" + c.sent) << c.name;
    }
}

}  // namespace
