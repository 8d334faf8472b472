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
        {{"* 7 exists", "* 9 EXISTS"}, true, 7},        // the first such line
        {{"* 0 ExIsTs"}, true, 0},
        {{"* OK [UIDNEXT 5]", "* 4 RECENT"}, false, -1},
        {{"*EXISTS"}, true, 0},                          // no spaces: no number
        {{"* 12EXISTS"}, true, 0},                       // no second space: an empty number
        {{"* 4294967299 EXISTS"}, true, 3},              // wraps, never undefined
        {{"* -2 EXISTS"}, true, -2},
        {{}, false, -1},
    };
    for (const Case& c : cases) {
        CStringArray lines;
        for (const char* l : c.lines) lines.Add(l);
        int32_t count = -1;
        EXPECT_EQ(ParseExistsCount(lines, count), c.found) << (c.lines.empty() ? "" : c.lines[0]);
        EXPECT_EQ(count, c.count) << (c.lines.empty() ? "" : c.lines[0]);
    }
}

TEST(ImapParse, ListName) {
    struct Case {
        const char* line;
        bool taken;
        const char* name;
    } cases[] = {
        {"* LIST (\\HasNoChildren) \"/\" INBOX", true, "INBOX"},
        {"* LIST () \"/\" \"Sent Items\"", true, "Sent Items"},
        {"* LIST () \".\" \"a\"\"b\"", true, "ab"},
        {"* LIST (\\Noselect) \"/\" Shared", false, ""},
        {"* LIST (\\HasChildren) \"/\" \"NoSelect folder\"", false, ""},  // the test is on the whole line
        {"* LIST () NIL INBOX", false, ""},
        {"* LIST () \"/", false, ""},
        {"\"\"", true, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        CString name;
        EXPECT_EQ(ParseListName(c.line, name), c.taken) << c.line;
        EXPECT_EQ(name, c.name) << c.line;
    }
}

TEST(ImapParse, SearchUids) {
    struct Case {
        const char* line;
        bool parsed;
        std::vector<uint32_t> uids;
    } cases[] = {
        {"* SEARCH 3 5 8", true, {3, 5, 8}},
        {"* SEARCH", false, {}},
        {"* SEARCH ", true, {}},
        {"* SEARCH 3  5", true, {3, 0, 5}},   // an empty token reads as 0
        {"* SEARCH 3 5 ", true, {3, 5}},      // the trailing space goes with the last token
        {"* SEARCH  4", true, {0, 4}},
        {"* SEARCH 4294967295 abc 7x", true, {4294967295u, 0, 7}},
        {"", false, {}},
        {"*", false, {}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> uids;
        EXPECT_EQ(ParseSearchUids(c.line, uids), c.parsed) << c.line;
        EXPECT_EQ(uids, c.uids) << c.line;
    }
}

TEST(ImapParse, FetchUidAndSize) {
    struct UidCase {
        const char* response;
        bool found;
        uint32_t uid;
    } uidCases[] = {
        {"* 1 FETCH (UID 41)\r\nAEG5 OK Fetch completed.\r\n", true, 41},
        {"* 1 FETCH (Uid 41 FLAGS ())\r\n", true, 41},  // up to the first ")": the number leads
        {"* 1 FETCH (UID)\r\n", false, 0},                // no space after "uid"
        {"* 1 FETCH (FLAGS ())\r\n", false, 0},
        {"uid", false, 0},
        {"", false, 0},
    };
    for (const UidCase& c : uidCases) {
        uint32_t uid = 0;
        EXPECT_EQ(ParseFetchUid(c.response, uid), c.found) << c.response;
        EXPECT_EQ(uid, c.uid) << c.response;
    }
    struct SizeCase {
        const char* response;
        uint32_t size;
    } sizeCases[] = {
        {"* 4 FETCH (UID 9 RFC822.SIZE 2217)\r\nAEG8 OK done\r\n", 2217},
        {"* 4 FETCH (RFC822.SIZE 12 UID 9)\r\n", 9},     // the last word, whatever it names
        {"* 4 FETCH (UID 9 RFC822.SIZE 2217 )\r\n", 0},  // a trailing blank leaves no word
        {"* 4 FETCH (2217)\r\n", 0},
        {"* 4 FETCH (UID 9 RFC822.SIZE 2217\r\n", 0},   // never closed
        {")(", 0},
        {"", 0},
    };
    for (const SizeCase& c : sizeCases) EXPECT_EQ(ParseMessageSize(c.response), c.size) << c.response;
}

TEST(ImapParse, LeadingDecimalReadsLikeAtoi) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"42", 42}, {"  42abc", 42}, {"\t-7", -7}, {"+8", 8}, {"", 0}, {"x1", 0}, {"- 1", 0}, {"2147483648", INT32_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(LeadingDecimal(c.text), c.value) << c.text;
}
