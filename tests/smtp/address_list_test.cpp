#include "smtp/address_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct HeaderCase {
    const char* list;
    const char* header;
};

// The header reading splits on ";" only and stops at an empty item.
TEST(FormatHeaderListTest, SemicolonListsAndTheirEdges) {
    const HeaderCase cases[] = {
        {"a@x.org; b@y.org", "<a@x.org>, <b@y.org>"},
        {"Ann <a@x.org>;b@y.org", "Ann <a@x.org>, <b@y.org>"},
        {"a@x.org,b@y.org", "<a@x.org,b@y.org>"},
        {"a@x.org;;b@y.org", "<a@x.org>"},
        {"a@x.org; ;b@y.org", "<a@x.org>, , <b@y.org>"},
        {";a@x.org", ""},
        {"a@x.org;", "<a@x.org>"},
        {" a@x.org ; b@y.org ", "<a@x.org>, <b@y.org>"},
        {" ;a@x.org", "<a@x.org>"},
        {"\"Doe, J\" <j@x.org>", "\"Doe, J\" <j@x.org>"},
        {"", ""},
    };
    for (const HeaderCase& c : cases) {
        EXPECT_EQ(smtp::FormatHeaderList(c.list), c.header) << "list: [" << c.list << "]";
    }
}

struct EnvelopeCase {
    const char* list;
    std::vector<const char*> addresses;
};

// The envelope reading splits on "," and ";" outside double quotes and keeps bare addresses.
TEST(RecipientCommandsTest, OneCommandPerAddress) {
    const EnvelopeCase cases[] = {
        {"a@x.org,b@y.org", {"a@x.org", "b@y.org"}},
        {"a@x.org;;b@y.org", {"a@x.org", "b@y.org"}},
        {"a@x.org; b@y.org", {"a@x.org", "b@y.org"}},
        {"a@x.org, ,b@y.org", {"a@x.org", "b@y.org"}},
        {"a@x.org,", {"a@x.org"}},
        {"a@x.org,a@x.org", {"a@x.org", "a@x.org"}},
        {"\"Doe, John\" <j@x.org>", {"j@x.org"}},
        {"\"Ann\" <a@x.org>, b@y.org", {"a@x.org", "b@y.org"}},
        {"Ann <a@x.org>", {"a@x.org"}},
        {"j@x.org (John Doe)", {"j@x.org"}},
        {"'j@x.org'", {"j@x.org"}},
        {"\"j@x.org\"", {}},
        {"Ann <a@x.org", {}},
        {"a>b<", {}},
        // An unbalanced quote stays open to the end: everything after it is one item.
        {"\"Ann <a@x.org>, b@y.org", {"a@x.org"}},
        {"", {}},
        {" , ; ", {}},
    };
    for (const EnvelopeCase& c : cases) {
        const CStringArray commands = smtp::RecipientCommands(c.list);
        ASSERT_EQ(commands.GetSize(), static_cast<int>(c.addresses.size())) << "list: [" << c.list << "]";
        for (int i = 0; i < commands.GetSize(); ++i) {
            EXPECT_EQ(commands[i], CString("RCPT TO: <") + c.addresses[i] + ">\r\n")
                << "list: [" << c.list << "]";
        }
    }
}

TEST(ExtractAddressTest, BracketsCommentsAndQuotes) {
    const HeaderCase cases[] = {
        {" \"Ann\" <'a@x.org'>", "a@x.org"},
        {"<>", ""},
        {"b> <a", ""},
        {"a@x.org (Ann) ", "a@x.org"},
        {"a@x.org (Ann", "a@x.org (Ann"},
        {"(Ann) a@x.org", ""},
        {"\t a@x.org \r\n", "a@x.org"},
        {"Ann <a@x.org> (home)", "a@x.org"},
    };
    for (const HeaderCase& c : cases) {
        EXPECT_EQ(smtp::ExtractAddress(c.list), c.header) << "item: [" << c.list << "]";
    }
}

TEST(UnquoteTest, StripsMatchingQuotesRepeatedlyWithoutRetrimming) {
    const HeaderCase cases[] = {
        {"  \"'a'\"  ", "a"}, {"\"", "\""},     {"''", ""},         {"\"a'", "\"a'"},
        {"' a '", " a "},     {"\"\"\"", "\""}, {"plain", "plain"},
    };
    for (const HeaderCase& c : cases) {
        EXPECT_EQ(smtp::Unquote(c.list), c.header) << "text: [" << c.list << "]";
    }
}

}  // namespace
