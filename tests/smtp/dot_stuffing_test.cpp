#include "smtp/dot_stuffing.h"

#include <gtest/gtest.h>

namespace {

// The terminator line stays single; a period elsewhere in a line is left alone.
TEST(DotStuffingTest, LinesBeginningWithAPeriodGainOne) {
    const std::pair<const char*, const char*> cases[] = {
        {"a\r\n.\r\n", "a\r\n.\r\n"},
        {"a\r\n.\r\n\r\n.\r\n", "a\r\n..\r\n\r\n.\r\n"},
        {"a\n.b\r\n.\r\n", "a\n..b\r\n.\r\n"},
        {"x.\r\ny. .\r\n.\r\n", "x.\r\ny. .\r\n.\r\n"},
        {".a", "..a"},
    };
    for (const auto& [text, wire] : cases) EXPECT_EQ(smtp::DotStuffed(text), wire) << text;
}

}  // namespace
