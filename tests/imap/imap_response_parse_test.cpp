// Edges of the response readers that the scripted conversations do not reach.
#include <gtest/gtest.h>

#include <tuple>

#include "imap/imap_response_parse.h"
#include "imap/imap_text.h"

TEST(ImapParse, ExistsCountListNameSearchUidsFetchUid) {
    const std::tuple<std::vector<const char*>, bool, int32_t> existsCases[] = {
        {{"* FLAGS (\\Seen)", "* 23 EXISTS", "* 1 RECENT"}, true, 23},
        {{"* 7 exists", "* 9 EXISTS"}, true, 7},  // the first such line
        {{"*EXISTS"}, true, 0},                    // no spaces: no number
        {{"* 4294967299 EXISTS"}, true, 3},        // wraps, never undefined
        {{"* OK [UIDNEXT 5]", "* 4 RECENT"}, false, -1},
    };
    for (const auto& [texts, found, expected] : existsCases) {
        LineArray lines;
        for (const char* l : texts) lines.AppendLines(std::string(l) + "\r\n");
        int32_t count = -1;
        EXPECT_EQ(ParseExistsCount(lines, count), found) << texts[0];
        EXPECT_EQ(count, expected) << texts[0];
    }
    const std::tuple<const char*, bool, const char*> listCases[] = {
        {"* LIST (\\HasChildren) \"/\" \"NoSelect folder\"", false, ""},  // the test is on the whole line
        {"* LIST () \"/", false, ""},
        {"\"\"", true, ""},
    };
    for (const auto& [line, taken, expected] : listCases) {
        CString name;
        EXPECT_EQ(ParseListName(line, name), taken) << line;
        EXPECT_EQ(name, expected) << line;
    }
    const std::tuple<const char*, bool, std::vector<uint32_t>> searchCases[] = {
        {"* SEARCH 3 5 ", true, {3, 5}},  // the trailing space goes with the last token
        {"* SEARCH 4294967295", true, {4294967295u}},
        {"*", false, {}},
    };
    for (const auto& [line, parsed, expected] : searchCases) {
        std::vector<uint32_t> uids;
        EXPECT_EQ(ParseSearchUids(line, uids), parsed) << line;
        EXPECT_EQ(uids, expected) << line;
    }
    uint32_t uid = 0;
    EXPECT_TRUE(ParseFetchUid("* 1 FETCH (Uid 41 FLAGS ())\r\n", uid));  // up to the first ")"
    EXPECT_EQ(uid, 41u);
    EXPECT_FALSE(ParseFetchUid("* 1 FETCH (FLAGS ())\r\n", uid));
}

TEST(ImapParse, MessageSizeIsTheLastWordBeforeTheParenthesis) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"* 4 FETCH (RFC822.SIZE 12 UID 9)\r\n", 9},     // the last word, whatever it names
        {"* 4 FETCH (UID 9 RFC822.SIZE 2217 )\r\n", 0},  // a trailing blank leaves no word
        {"* 4 FETCH (UID 9 RFC822.SIZE 2217\r\n", 0},    // never closed
        {")(", 0},
    };
    for (const auto& [response, size] : cases) EXPECT_EQ(ParseMessageSize(response), size) << response;
    EXPECT_EQ(LeadingDecimal("2147483648"), INT32_MIN);  // wraps, never undefined
}
