#include "mime/lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& text, const char* tag = "") {
    CStringArray lines;
    lines.Add("kept");
    const int count = SplitMessageLines(text, lines, tag);
    EXPECT_EQ(count, lines.GetSize());
    std::vector<std::string> out;
    for (int i = 1; i < lines.GetSize(); ++i) out.push_back(lines[i].str());
    return out;
}

using Lines = std::vector<std::string>;

TEST(SplitMessageLinesTest, Table) {
    EXPECT_EQ(Split("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(Split("a\r\n\r\nb"), (Lines{"a", "", "b"})) << "a last line without CR LF is kept";
    EXPECT_EQ(Split(""), Lines{});
    EXPECT_EQ(Split("a\nb\r\n"), Lines{"a\nb"}) << "only CR ends a line";
    EXPECT_EQ(Split("a\rXb\r"), (Lines{"a", "b"})) << "the character after CR goes whatever it is";
    EXPECT_EQ(Split("* 1 FETCH\r\nbody\r\nAEG7 OK done\r\n", "AEG7"), (Lines{"* 1 FETCH", "body"}));
    EXPECT_EQ(Split("AEG7 in the middle\r\nlast\r\n", "AEG7"), (Lines{"AEG7 in the middle", "last"}));
}

}  // namespace
