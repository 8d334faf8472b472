#include "smtp/base64_encode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    std::string input;
    const char* output;
};

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes;
}

// Both output forms give the same text; fill characters come after the line break and do not
// count towards the 70 characters of a line.
TEST(Base64EncodeTest, GroupsLineBreaksAndFill) {
    const Case cases[] = {
        {"", ""},
        {"M", "TQ=="},
        {"Ma", "TWE="},
        {"Man", "TWFu"},
        {"hello", "aGVsbG8="},
        {std::string(52, 'A'),
         "QUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQQ\r\n=="},
        {std::string(54, '\0'),
         "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\nAA"},
        {std::string(105, '\0'),
         "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\n"
         "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\n"},
        {AllByteValues(),
         "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMz\r\n"
         "Q1Njc4OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWltcXV5fYGFiY2RlZmdo\r\n"
         "aWprbG1ub3BxcnN0dXZ3eHl6e3x9fn+AgYKDhIWGh4iJiouMjY6PkJGSk5SVlpeYmZqbnJ\r\n"
         "2en6ChoqOkpaanqKmqq6ytrq+wsbKztLW2t7i5uru8vb6/wMHCw8TFxsfIycrLzM3Oz9DR\r\n"
         "0tPU1dbX2Nna29zd3t/g4eLj5OXm5+jp6uvs7e7v8PHy8/T19vf4+fr7/P3+/w=="},
    };
    for (const Case& c : cases) {
        CString appended("prefix:");
        ASSERT_TRUE(smtp::Base64Encode(c.input.data(), c.input.size(), appended));
        EXPECT_EQ(appended, CString("prefix:") + c.output) << "input length " << c.input.size();

        const std::unique_ptr<char[]> buffer = smtp::Base64Encode(c.input.data(), c.input.size());
        ASSERT_NE(buffer, nullptr);
        EXPECT_STREQ(buffer.get(), c.output) << "input length " << c.input.size();
        EXPECT_EQ(smtp::Base64EncodedLength(c.input.size()), std::string(c.output).size());
    }
}

}  // namespace
