#include "smtp/address_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TextCase {
    const char* in;
    const char* out;
};

// The header reading splits on ";" only and stops at an empty item.
TEST(AddressListTest, HeaderListSplitsOnSemicolons) {
    const TextCase cases[] = {
        {"Ann <a@x.org>;b@y.org", "Ann <a@x.org>, <b@y.org>"},
        {"a@x.org,b@y.org", "<a@x.org,b@y.org>"},
        {"a@x.org;;b@y.org", "<a@x.org>"},
        {"a@x.org; ;b@y.org", "<a@x.org>, , <b@y.org>"},
        {";a@x.org", ""},
        {"a@x.org;", "<a@x.org>"},
        {" a@x.org ; b@y.org ", "<a@x.org>, <b@y.org>"},
        {"\"Doe, J\" <j@x.org>", "\"Doe, J\" <j@x.org>"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(smtp::FormatHeaderList(c.in), c.out) << c.in;
}

// The envelope reading splits on "," and ";" outside double quotes and keeps bare addresses.
TEST(AddressListTest, OneRecipientCommandPerAddress) {
    const struct {
        const char* list;
        std::vector<const char*> addresses;
    } cases[] = {
        {"a@x.org,b@y.org", {"a@x.org", "b@y.org"}},
        {"a@x.org;;b@y.org", {"a@x.org", "b@y.org"}},
        {"a@x.org, ,b@y.org", {"a@x.org", "b@y.org"}},
        {"a@x.org,", {"a@x.org"}},
        {"\"Doe, John\" <j@x.org>", {"j@x.org"}},
        {"\"Ann\" <a@x.org>, b@y.org", {"a@x.org", "b@y.org"}},
        {"j@x.org (John Doe)", {"j@x.org"}},
        {"'j@x.org'", {"j@x.org"}},
        {"\"j@x.org\"", {}},
        {"Ann <a@x.org", {}},
        // An unbalanced quote stays open to the end: everything after it is one item.
        {"\"Ann <a@x.org>, b@y.org", {"a@x.org"}},
        {" , ; ", {}},
    };
    for (const auto& c : cases) {
        const CStringArray commands = smtp::RecipientCommands(c.list);
        ASSERT_EQ(commands.GetSize(), static_cast<int>(c.addresses.size())) << c.list;
        for (int i = 0; i < commands.GetSize(); ++i) {
            EXPECT_EQ(commands[i], CString("RCPT TO: <") + c.addresses[i] + ">\r\n") << c.list;
        }
    }
}

TEST(AddressListTest, ExtractAddressAndUnquote) {
    const TextCase extract[] = {
        {" \"Ann\" <'a@x.org'>", "a@x.org"}, {"b> <a", ""}, {"a@x.org (Ann", "a@x.org (Ann"},
        {"(Ann) a@x.org", ""}, {"Ann <a@x.org> (home)", "a@x.org"},
    };
    for (const TextCase& c : extract) EXPECT_EQ(smtp::ExtractAddress(c.in), c.out) << c.in;
    // Matching quotes go repeatedly; what is inside is not trimmed again.
    const TextCase unquote[] = {
        {"  \"'a'\"  ", "a"}, {"\"", "\""}, {"\"a'", "\"a'"}, {"' a '", " a "}, {"\"\"\"", "\""},
    };
    for (const TextCase& c : unquote) EXPECT_EQ(smtp::Unquote(c.in), c.out) << c.in;
}

}  // namespace
