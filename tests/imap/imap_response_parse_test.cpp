// Edges of the response readers that the scripted conversations do not reach.
#include <gtest/gtest.h>

#include "imap/imap_response_parse.h"
#include "imap/imap_text.h"

TEST(ImapParse, ExistsCount) {
    struct Case {
        std::vector<const char*> lines;
        bool found;
        int32_t count;
    } cases[] = {
        {{"* FLAGS (\\Seen)", "* 23 EXISTS", "* 1 RECENT"}, true, 23},
        {{"* 7 exists", "* 9 EXISTS"}, true, 7},  // the first such line
        {{"*EXISTS"}, true, 0},                    // no spaces: no number
        {{"* 4294967299 EXISTS"}, true, 3},        // wraps, never undefined
        {{"* OK [UIDNEXT 5]", "* 4 RECENT"}, false, -1},
    };
    for (const Case& c : cases) {
        LineArray lines;
        for (const char* l : c.lines) lines.AppendLines(std::string(l) + "\r\n");
        int32_t count = -1;
        EXPECT_EQ(ParseExistsCount(lines, count), c.found) << c.lines[0];
        EXPECT_EQ(count, c.count) << c.lines[0];
    }
}

TEST(ImapParse, ListNameSearchUidsFetchUid) {
    struct ListCase {
        const char* line;
        bool taken;
        const char* name;
    } listCases[] = {
        {"* LIST (\\HasChildren) \"/\" \"NoSelect folder\"", false, ""},  // the test is on the whole line
        {"* LIST () \"/", false, ""},
        {"\"\"", true, ""},
    };
    for (const ListCase& c : listCases) {
        CString name;
        EXPECT_EQ(ParseListName(c.line, name), c.taken) << c.line;
        EXPECT_EQ(name, c.name) << c.line;
    }
    struct SearchCase {
        const char* line;
        bool parsed;
        std::vector<uint32_t> uids;
    } searchCases[] = {
        {"* SEARCH 3 5 ", true, {3, 5}},  // the trailing space goes with the last token
        {"* SEARCH 4294967295", true, {4294967295u}},
        {"*", false, {}},
    };
    for (const SearchCase& c : searchCases) {
        std::vector<uint32_t> uids;
        EXPECT_EQ(ParseSearchUids(c.line, uids), c.parsed) << c.line;
        EXPECT_EQ(uids, c.uids) << c.line;
    }
    uint32_t uid = 0;
    EXPECT_TRUE(ParseFetchUid("* 1 FETCH (Uid 41 FLAGS ())\r\n", uid));  // up to the first ")"
    EXPECT_EQ(uid, 41u);
    EXPECT_FALSE(ParseFetchUid("* 1 FETCH (FLAGS ())\r\n", uid));
}

TEST(ImapParse, MessageSizeIsTheLastWordBeforeTheParenthesis) {
    struct Case {
        const char* response;
        uint32_t size;
    } cases[] = {
        {"* 4 FETCH (RFC822.SIZE 12 UID 9)\r\n", 9},     // the last word, whatever it names
        {"* 4 FETCH (UID 9 RFC822.SIZE 2217 )\r\n", 0},  // a trailing blank leaves no word
        {"* 4 FETCH (UID 9 RFC822.SIZE 2217\r\n", 0},    // never closed
        {")(", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseMessageSize(c.response), c.size) << c.response;
    EXPECT_EQ(LeadingDecimal("2147483648"), INT32_MIN);  // wraps, never undefined
}
