#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Convert(std::vector<uint16_t> units) {
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

}  // namespace
