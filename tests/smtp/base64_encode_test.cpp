#include "smtp/base64_encode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Both output forms give the same text; fill characters come after the line break and do not
// count towards the 70 characters of a line.
TEST(Base64EncodeTest, GroupsLineBreaksAndFill) {
    const std::pair<std::string, const char*> cases[] = {
        {"", ""},
        {"M", "TQ=="},
        {"Ma", "TWE="},
        {"Man", "TWFu"},
        {"\xfb\xef\xff", "++//"},
        {std::string(52, 'A'),
         "QUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQQ\r\n=="},
        {std::string(105, '\0'), "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\n"
                                 "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\n"},
    };
    for (const auto& [input, output] : cases) {
        CString appended("prefix:");
        ASSERT_TRUE(smtp::Base64Encode(input.data(), input.size(), appended));
        EXPECT_EQ(appended, CString("prefix:") + output) << "input length " << input.size();
        const std::unique_ptr<char[]> buffer = smtp::Base64Encode(input.data(), input.size());
        ASSERT_NE(buffer, nullptr);
        EXPECT_STREQ(buffer.get(), output) << "input length " << input.size();
        EXPECT_EQ(smtp::Base64EncodedLength(input.size()), std::string(output).size());
    }
}

}  // namespace
